#include "engine/exec/parameters.h"

#include <memory>
#include <unordered_map>

#include "engine/catalog/database.h"
#include "engine/exec/batch.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"

namespace engine::exec {

namespace {

// The declarations split at commas outside parentheses and quotes.
std::vector<std::string> splitDeclarations(std::string_view text) {
    std::vector<std::string> parts;
    std::string current;
    int depth = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '\'') quoted = !quoted;
        if (!quoted && c == '(') ++depth;
        if (!quoted && c == ')') --depth;
        if (!quoted && depth == 0 && c == ',') {
            parts.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

// Removes a trailing OUTPUT / OUT / READONLY keyword; true when it marked an output.
bool stripMode(std::string& declaration) {
    bool output = false;
    for (;;) {
        size_t end = declaration.find_last_not_of(" \t\r\n");
        if (end == std::string::npos) return output;
        declaration.resize(end + 1);
        size_t start = declaration.find_last_of(" \t\r\n)");
        std::string_view word = std::string_view(declaration).substr(start == std::string::npos ? 0 : start + 1);
        if (identifierEqual(word, "OUTPUT") || identifierEqual(word, "OUT")) {
            output = true;
        } else if (!identifierEqual(word, "READONLY")) {
            return output;
        }
        declaration.resize(declaration.size() - word.size());
    }
}

}  // namespace

std::vector<DeclaredParameter> parseParameterDeclarations(std::string_view text) {
    std::vector<DeclaredParameter> out;
    for (std::string piece : splitDeclarations(text)) {
        if (piece.find_first_not_of(" \t\r\n") == std::string::npos) continue;
        const bool output = stripMode(piece);
        sql::ParseResult parsed = sql::parseBatch("DECLARE " + piece);
        if (!parsed.ok() || parsed.batch.statements.empty())
            throw SqlException(parsed.errors.empty() ? sqlMessage(102, {piece}) : parsed.errors.front());
        const auto* decl = parsed.batch.statements[0]->as<sql::DeclareStmt>();
        if (!decl) throw SqlException(sqlMessage(102, {piece}));
        for (const auto& v : decl->variables) {
            // Clients declare date and time parameters with the newer types (FreeTDS sends
            // SQL_TIMESTAMP values as datetime2); here they are datetime, the engine's type
            // for them, as a datetime column would take them.
            const bool newerTime = identifierEqual(v.type.name, "datetime2") ||
                                   identifierEqual(v.type.name, "datetimeoffset") ||
                                   identifierEqual(v.type.name, "time");
            DataType type = newerTime ? DataType::of(TypeId::DateTime)
                                      : resolveTypeNameOrThrow(v.type.name, v.type.arg1, v.type.arg2);
            out.push_back({v.name, type, output});
        }
    }
    return out;
}

// Parameterized statements by their text, parameter declarations and current database (a
// declaration may name an alias type of it). Parsing is pure, so a statement parsed once
// serves every later run. The compile step's check of its names holds while no definition
// changes anywhere (Database::definitionsGeneration); running binds them each time.
struct ParameterizedCache {
    struct Entry {
        std::vector<DeclaredParameter> parameters;
        sql::ParseResult parsed;
        // The generation of definitions at which the compile step last passed (0: never).
        mutable uint64_t namesBoundAt = 0;
    };
    // Entries kept at most; a session past it starts again (clients reuse a handful).
    static constexpr size_t kMaxEntries = 64;
    std::unordered_map<std::string, std::shared_ptr<const Entry>> entries;
};

namespace {

std::shared_ptr<const ParameterizedCache::Entry> parsedParameterized(ExecContext& ctx, std::string_view statement,
                                                                    std::string_view declarations) {
    auto& cache = ctx.session.parameterized;
    if (!cache) cache = std::make_shared<ParameterizedCache>();
    std::string key = ctx.session.database ? ctx.session.database->name : std::string();
    key.append(1, '\0').append(declarations).append(1, '\0').append(statement);
    auto it = cache->entries.find(key);
    if (it != cache->entries.end()) return it->second;
    auto entry = std::make_shared<ParameterizedCache::Entry>();
    entry->parameters = parseParameterDeclarations(declarations);
    entry->parsed = sql::parseBatch(statement);
    if (cache->entries.size() >= ParameterizedCache::kMaxEntries) cache->entries.clear();
    cache->entries.emplace(std::move(key), entry);
    return entry;
}

}  // namespace

void runParameterized(ExecContext& ctx, std::string_view statement, std::string_view declarations,
                      std::vector<ParameterArgument>& arguments) {
    const std::shared_ptr<const ParameterizedCache::Entry> prepared = parsedParameterized(ctx, statement, declarations);
    const std::vector<DeclaredParameter>& parameters = prepared->parameters;
    ExecContext child(ctx.session, ctx.out);
    child.depth = ctx.depth + 1;
    if (child.depth > 32) raise(ctx, 217);
    TemporaryScope temporaries(child.session, child.depth);

    // Arguments bound to parameters: positional ones in order, named ones by name.
    std::vector<ParameterArgument*> bound(parameters.size(), nullptr);
    size_t position = 0;
    for (auto& a : arguments) {
        if (a.name.empty()) {
            if (position < parameters.size()) bound[position] = &a;
            ++position;
            continue;
        }
        bool found = false;
        for (size_t i = 0; i < parameters.size(); ++i) {
            if (identifierEqual(parameters[i].name, a.name)) {
                bound[i] = &a;
                found = true;
            }
        }
        if (!found) raise(ctx, 8145, {a.name, "sp_executesql"});
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
        const DeclaredParameter& p = parameters[i];
        child.variables.declare(p.name, p.type);
        ParameterArgument* a = bound[i];
        if (!a || a->useDefault) {
            // An output parameter may come without a value; an input one may not.
            if (p.output) continue;
            raise(ctx, 8178, {std::string(declarations), p.name});
        }
        child.variables.find(p.name)->value =
            convert(a->value, p.type, ConversionKind::Implicit, 0, ctx.dateFormat());
    }
    // Read before compiling: a definition changed meanwhile (by the statement itself, say)
    // leaves the check to be done again next time.
    const uint64_t generation = Database::definitionsGeneration();
    if (runParsedBatch(child, prepared->parsed, prepared->namesBoundAt == generation))
        prepared->namesBoundAt = generation;
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (bound[i] && bound[i]->output && parameters[i].output)
            bound[i]->value = child.variables.find(parameters[i].name)->value;
    }
}

}  // namespace engine::exec
