// Internal to the system procedures (procedures.cpp, catalog_procedures.cpp): their
// arguments, the messages they raise and the splitting of the object names they are given.
// Thread-compatible (used by one statement at a time).
#pragma once

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/exec/binder.h"
#include "engine/exec/context.h"
#include "engine/sql/ast.h"
#include "engine/types/collation.h"
#include "engine/types/render.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

inline DataType sysname() {
    return DataType::nvarchar(128);
}

// Arguments by parameter name, positional ones matched to the procedure's parameters. An
// argument written DEFAULT counts as not given.
class Arguments {
  public:
    Arguments(ExecContext& ctx, const sql::ExecStmt& exec, std::vector<std::string> parameters)
        : parameters_(std::move(parameters)) {
        Binder binder(ctx);
        Scope scope;
        Frame frame;
        frame.ctx = &ctx;
        size_t position = 0;
        for (const auto& a : exec.arguments) {
            Value v;
            if (!a.isDefault && a.value) v = binder.bindScalar(*a.value, scope)->eval(frame);
            std::string name = a.name;
            if (name.empty()) {
                if (!extraNames_.empty() && firstPositionalAfterNamed_ == 0)
                    firstPositionalAfterNamed_ =
                        static_cast<int>(position + extraNames_.size()) + 1;
                name = position < parameters_.size() ? parameters_[position]
                                                     : "@" + std::to_string(position + 1);
                ++position;
            } else {
                extraNames_.push_back(name);
            }
            ordered_.push_back(v);
            if (a.isDefault) continue;
            values_.emplace(name, v);
        }
        positional_ = position;
    }

    // SQL Server's checks of a call: 119 (a value without a name after a named one), 8144
    // (more values than parameters), 8145 (a name the procedure does not have), 201 (the
    // first `required` parameters not given).
    void check(const ExecContext& ctx, const char* procedure, size_t required = 0) const {
        auto fail = [&](int number, const std::vector<std::string>& args) {
            SqlMessage m = sqlMessage(number, args);
            m.line = ctx.line;
            throw SqlException(m);
        };
        if (firstPositionalAfterNamed_ > 0) fail(119, {std::to_string(firstPositionalAfterNamed_)});
        if (positional_ > parameters_.size()) fail(8144, {procedure});
        for (const auto& name : extraNames_) {
            bool known = false;
            for (const auto& p : parameters_)
                known = known || identifierEqual(p, name);
            if (!known) fail(8145, {name, procedure});
        }
        for (size_t i = 0; i < required && i < parameters_.size(); ++i) {
            if (!get(parameters_[i])) fail(201, {procedure, parameters_[i]});
        }
    }

    std::optional<Value> get(const std::string& name) const {
        for (const auto& [k, v] : values_) {
            if (identifierEqual(k, name)) return v;
        }
        return std::nullopt;
    }
    // The text of an argument (NULL and absent give nullopt).
    std::optional<std::string> text(const std::string& name) const {
        auto v = get(name);
        if (!v || v->isNull()) return std::nullopt;
        if (isCharacter(v->typeId())) return v->bytes();
        return renderAsText(*v);
    }
    const std::vector<Value>& ordered() const { return ordered_; }
    const std::multimap<std::string, Value>& all() const { return values_; }

  private:
    std::vector<std::string> parameters_;
    std::multimap<std::string, Value> values_;
    std::vector<Value> ordered_;
    std::vector<std::string> extraNames_;
    size_t positional_ = 0;
    int firstPositionalAfterNamed_ = 0;
};

inline SqlMessage procedureMessage(ExecContext& ctx, const char* procedure, int number,
                                   const std::vector<std::string>& args = {}) {
    SqlMessage m = sqlMessage(number, args);
    m.procedure = procedure;
    m.line = ctx.line;
    return m;
}

[[noreturn]] inline void procedureError(ExecContext& ctx, const char* procedure, int number,
                                        const std::vector<std::string>& args = {}) {
    throw SqlException(procedureMessage(ctx, procedure, number, args));
}

inline std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

inline std::string stripBrackets(std::string s) {
    if (s.size() >= 2 &&
        ((s.front() == '[' && s.back() == ']') || (s.front() == '"' && s.back() == '"')))
        return s.substr(1, s.size() - 2);
    return s;
}

inline std::vector<std::string> splitParts(const std::string& name) {
    std::vector<std::string> parts;
    std::string current;
    bool bracket = false;
    for (char c : name) {
        if (c == '[') bracket = true;
        if (c == ']') bracket = false;
        if (c == '.' && !bracket) {
            parts.push_back(stripBrackets(current));
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    parts.push_back(stripBrackets(current));
    return parts;
}

// The catalogue procedures of ODBC (sp_columns, sp_tables, sp_pkeys, sp_statistics, ...):
// runs the one named (lower case) and returns true, or returns false for another name.
bool runCatalogProcedure(ExecContext& ctx, const std::string& name, const sql::ExecStmt& exec);

}  // namespace engine::exec
