#include "engine/types/functions.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <vector>

#include "engine/types/datetime.h"
#include "engine/types/function_support.h"
#include "engine/types/text.h"

namespace engine {

namespace functions {

void invalidArgument(const DataType& type, int position, std::string_view function) {
    std::string lower(function);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    throw SqlException(8116, {std::string(typeName(type.id)), std::to_string(position), lower});
}

void rejectLargeObject(const DataType& type, int position, std::string_view function) {
    if (isLargeObject(type.id)) invalidArgument(type, position, function);
}

std::string argumentText(const Value& v, const FunctionContext& context) {
    if (isCharacter(v.typeId())) return v.bytes();
    const DataType target{isUnicode(v.typeId()) ? TypeId::NVarChar : TypeId::VarChar,
                          DataType::kMax, 0, 0};
    return convert(v, target, ConversionKind::Implicit, 0, context.dateFormat).bytes();
}

int64_t argumentInteger(const Value& v, const FunctionContext& context) {
    return convert(v, DataType::of(TypeId::BigInt), ConversionKind::Implicit, 0, context.dateFormat)
        .asInt64();
}

DataType variableStringType(const DataType& t) {
    switch (t.id) {
        case TypeId::Char:
        case TypeId::VarChar:
            return DataType{TypeId::VarChar, t.length, 0, 0};
        case TypeId::NChar:
        case TypeId::NVarChar:
            return DataType{TypeId::NVarChar, t.length, 0, 0};
        case TypeId::Text:
            return DataType::varchar(DataType::kMax);
        case TypeId::NText:
            return DataType::nvarchar(DataType::kMax);
        default:
            return DataType::varchar(t.isNullLiteral() ? 1 : 30);
    }
}

bool isMaxLike(const DataType& t) {
    return t.length == DataType::kMax || isLargeObject(t.id);
}

DataType lengthResultType(const DataType& argument) {
    return DataType::of(isMaxLike(argument) ? TypeId::BigInt : TypeId::Int);
}

Value stringOfType(std::string utf8, const DataType& type) {
    if (type.length > 0 && utf8.size() > static_cast<size_t>(type.length) &&
        utf8Length(utf8) > static_cast<size_t>(type.length)) {
        utf8 = std::string(utf8Prefix(utf8, static_cast<size_t>(type.length)));
    }
    return Value::string(std::move(utf8), type);
}

}  // namespace functions

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

FunctionContext FunctionContext::system() {
    FunctionContext c;
    c.clock = [] { return dateTimeFromSystemClock(std::chrono::system_clock::now()); };
    c.random = [](unsigned char* out, size_t size) {
        static thread_local std::random_device device;
        for (size_t i = 0; i < size; ++i)
            out[i] = static_cast<unsigned char>(device() & 0xFF);
    };
    return c;
}

std::optional<DatePart> parseDatePart(std::string_view k) {
    static constexpr std::pair<std::string_view, DatePart> kParts[] = {
        {"year", DatePart::Year},       {"yy", DatePart::Year},
        {"yyyy", DatePart::Year},       {"quarter", DatePart::Quarter},
        {"qq", DatePart::Quarter},      {"q", DatePart::Quarter},
        {"month", DatePart::Month},     {"mm", DatePart::Month},
        {"m", DatePart::Month},         {"dayofyear", DatePart::DayOfYear},
        {"dy", DatePart::DayOfYear},    {"y", DatePart::DayOfYear},
        {"day", DatePart::Day},         {"dd", DatePart::Day},
        {"d", DatePart::Day},           {"week", DatePart::Week},
        {"wk", DatePart::Week},         {"ww", DatePart::Week},
        {"weekday", DatePart::Weekday}, {"dw", DatePart::Weekday},
        {"w", DatePart::Weekday},       {"hour", DatePart::Hour},
        {"hh", DatePart::Hour},         {"minute", DatePart::Minute},
        {"mi", DatePart::Minute},       {"n", DatePart::Minute},
        {"second", DatePart::Second},   {"ss", DatePart::Second},
        {"s", DatePart::Second},        {"millisecond", DatePart::Millisecond},
        {"ms", DatePart::Millisecond},
    };
    for (const auto& [name, part] : kParts) {
        if (equalsNoCase(name, k)) return part;
    }
    return std::nullopt;
}

const ScalarFunction* findScalarFunction(std::string_view name) {
    for (auto group : {functions::stringFunctions(), functions::dateFunctions(),
                       functions::mathFunctions(), functions::otherFunctions()}) {
        for (const ScalarFunction& f : group) {
            if (equalsNoCase(f.name, name)) return &f;
        }
    }
    return nullptr;
}

void checkArgumentCount(const ScalarFunction& function, size_t count) {
    if (count < static_cast<size_t>(function.minArgs) ||
        count > static_cast<size_t>(function.maxArgs)) {
        std::string lower(function.name);
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const size_t expected =
            count < static_cast<size_t>(function.minArgs) ? function.minArgs : function.maxArgs;
        throw SqlException(174, {lower, std::to_string(expected)});
    }
}

Value callScalarFunction(std::string_view name, std::span<const Value> args,
                         FunctionContext& context) {
    const ScalarFunction* f = findScalarFunction(name);
    if (!f) throw SqlException(195, {std::string(name)});
    checkArgumentCount(*f, args.size());
    if (f->firstArgIsDatePart && !args.empty() && !parseDatePart(args[0].bytes())) {
        std::string lower(f->name);
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        throw SqlException(155, {args[0].bytes(), lower});
    }
    std::vector<DataType> types;
    std::vector<const Value*> constants;
    for (const Value& v : args) {
        types.push_back(v.type());
        constants.push_back(&v);
    }
    f->resultType(types, constants);
    return f->evaluate(args, context);
}

}  // namespace engine
