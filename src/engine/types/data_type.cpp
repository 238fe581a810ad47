#include "engine/types/data_type.h"

#include <array>
#include <cctype>

#include "engine/types/sql_message.h"

namespace engine {

namespace {

struct TypeInfo {
    TypeId id;
    std::string_view name;
    int systemTypeId;
    int precedence;  // higher wins
    int fixedBytes;  // bytes of fixed-size types; 0 for types with a length
};

// In the order of TypeId.
constexpr std::array<TypeInfo, 25> kTypes = {{
    {TypeId::Bit, "bit", 104, 11, 1},
    {TypeId::TinyInt, "tinyint", 48, 12, 1},
    {TypeId::SmallInt, "smallint", 52, 13, 2},
    {TypeId::Int, "int", 56, 14, 4},
    {TypeId::BigInt, "bigint", 127, 15, 8},
    {TypeId::Decimal, "decimal", 106, 18, 0},
    {TypeId::Numeric, "numeric", 108, 18, 0},
    {TypeId::Money, "money", 60, 17, 8},
    {TypeId::SmallMoney, "smallmoney", 122, 16, 4},
    {TypeId::Float, "float", 62, 20, 8},
    {TypeId::Real, "real", 59, 19, 4},
    {TypeId::DateTime, "datetime", 61, 23, 8},
    {TypeId::SmallDateTime, "smalldatetime", 58, 22, 4},
    {TypeId::Date, "date", 40, 21, 3},
    {TypeId::Char, "char", 175, 2, 0},
    {TypeId::VarChar, "varchar", 167, 3, 0},
    {TypeId::Text, "text", 35, 9, 16},
    {TypeId::NChar, "nchar", 239, 4, 0},
    {TypeId::NVarChar, "nvarchar", 231, 5, 0},
    {TypeId::NText, "ntext", 99, 10, 16},
    {TypeId::Binary, "binary", 173, 0, 0},
    {TypeId::VarBinary, "varbinary", 165, 1, 0},
    {TypeId::Image, "image", 34, 8, 16},
    {TypeId::UniqueIdentifier, "uniqueidentifier", 36, 6, 16},
    {TypeId::SqlVariant, "sql_variant", 98, 24, 8016},
}};

const TypeInfo& info(TypeId id) {
    return kTypes[static_cast<size_t>(id)];
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Base type of a name as written; also reports names that are aliases.
std::optional<TypeId> baseTypeOfName(std::string_view lowered) {
    for (const auto& t : kTypes) {
        if (t.name == lowered) return t.id;
    }
    if (lowered == "integer") return TypeId::Int;
    if (lowered == "dec") return TypeId::Decimal;
    if (lowered == "character") return TypeId::Char;
    if (lowered == "sysname") return TypeId::NVarChar;
    if (lowered == "double precision") return TypeId::Float;
    return std::nullopt;
}

enum class TypeNameProblem {
    None,
    Unknown,
    WidthNotAllowed,
    SizeTooLarge,
    BadLength,
    PrecisionTooLarge,
    ScaleTooLarge
};

struct Resolution {
    std::optional<DataType> type;
    TypeNameProblem problem = TypeNameProblem::None;
    int32_t badValue = 0;
    int32_t limit = 0;
};

Resolution resolve(std::string_view name, std::optional<int32_t> arg1, std::optional<int32_t> arg2,
                   bool inCast) {
    Resolution r;
    const std::string lowered = lower(name);
    const auto base = baseTypeOfName(lowered);
    if (!base) {
        r.problem = TypeNameProblem::Unknown;
        return r;
    }
    const TypeId id = *base;
    if (lowered == "sysname") {
        if (arg1) {
            r.problem = TypeNameProblem::WidthNotAllowed;
            return r;
        }
        r.type = DataType::nvarchar(128);
        return r;
    }
    if (hasLength(id)) {
        if (arg2) {
            r.problem = TypeNameProblem::WidthNotAllowed;
            return r;
        }
        int32_t n = arg1.value_or(inCast ? 30 : 1);
        if (n == DataType::kMax) {
            if (id == TypeId::Char || id == TypeId::NChar || id == TypeId::Binary) {
                r.problem = TypeNameProblem::BadLength;
                r.badValue = n;
                return r;
            }
        } else if (n <= 0) {
            r.problem = TypeNameProblem::BadLength;
            r.badValue = n;
            return r;
        } else if (n > maxDeclaredLength(id)) {
            r.problem = TypeNameProblem::SizeTooLarge;
            r.badValue = n;
            r.limit = maxDeclaredLength(id);
            return r;
        }
        r.type = DataType{id, n, 0, 0};
        return r;
    }
    if (isDecimal(id)) {
        const int32_t p = arg1.value_or(18);
        const int32_t s = arg2.value_or(0);
        if (p < 1) {
            r.problem = TypeNameProblem::BadLength;
            r.badValue = p;
            return r;
        }
        if (p > 38) {
            r.problem = TypeNameProblem::PrecisionTooLarge;
            r.badValue = p;
            r.limit = 38;
            return r;
        }
        if (s < 0 || s > p) {
            r.problem = TypeNameProblem::ScaleTooLarge;
            r.badValue = s;
            r.limit = p;
            return r;
        }
        r.type = DataType{id, 0, static_cast<uint8_t>(p), static_cast<uint8_t>(s)};
        return r;
    }
    if (id == TypeId::Float) {
        if (arg2) {
            r.problem = TypeNameProblem::WidthNotAllowed;
            return r;
        }
        if (!arg1) {
            r.type = DataType::floating(TypeId::Float);
            return r;
        }
        if (*arg1 < 1 || *arg1 > 53) {
            r.problem = TypeNameProblem::BadLength;
            r.badValue = *arg1;
            return r;
        }
        r.type = DataType::floating(*arg1 <= 24 ? TypeId::Real : TypeId::Float);
        return r;
    }
    if (arg1 || arg2) {
        r.problem = TypeNameProblem::WidthNotAllowed;
        return r;
    }
    r.type = id == TypeId::Real ? DataType::floating(TypeId::Real) : DataType::of(id);
    return r;
}

}  // namespace

std::string_view typeName(TypeId id) {
    return info(id).name;
}

std::string typeDisplayName(const DataType& type) {
    std::string out(typeName(type.id));
    if (hasLength(type.id)) {
        out += '(';
        out += type.length == DataType::kMax ? std::string("max") : std::to_string(type.length);
        out += ')';
    } else if (isDecimal(type.id)) {
        out += '(' + std::to_string(type.precision) + ',' + std::to_string(type.scale) + ')';
    }
    return out;
}

std::optional<DataType> resolveTypeName(std::string_view name, std::optional<int32_t> arg1,
                                        std::optional<int32_t> arg2, bool inCast) {
    return resolve(name, arg1, arg2, inCast).type;
}

DataType resolveTypeNameOrThrow(std::string_view name, std::optional<int32_t> arg1,
                                std::optional<int32_t> arg2, bool inCast, int position) {
    const Resolution r = resolve(name, arg1, arg2, inCast);
    const std::string pos = std::to_string(position);
    switch (r.problem) {
        case TypeNameProblem::None:
            return *r.type;
        case TypeNameProblem::Unknown:
            if (inCast) throw SqlException(243, {std::string(name)});
            throw SqlException(2715, {pos, std::string(name)});
        case TypeNameProblem::WidthNotAllowed:
            throw SqlException(2716, {pos, std::string(name)});
        case TypeNameProblem::SizeTooLarge:
            throw SqlException(131,
                               {std::to_string(r.badValue), inCast ? "type" : "column",
                                inCast ? lower(name) : std::string(name), std::to_string(r.limit)});
        case TypeNameProblem::BadLength:
            throw SqlException(1001, {"1", std::to_string(r.badValue)});
        case TypeNameProblem::PrecisionTooLarge:
            throw SqlException(2750, {pos, std::to_string(r.badValue), std::to_string(r.limit)});
        case TypeNameProblem::ScaleTooLarge:
            throw SqlException(2751, {pos, std::to_string(r.badValue), std::to_string(r.limit)});
    }
    throw SqlException(2715, {pos, std::string(name)});
}

int systemTypeId(TypeId id) {
    return info(id).systemTypeId;
}

std::optional<TypeId> typeFromSystemTypeId(int id) {
    for (const auto& t : kTypes) {
        if (t.systemTypeId == id) return t.id;
    }
    return std::nullopt;
}

int storageBytes(const DataType& type) {
    switch (type.id) {
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::Binary:
        case TypeId::VarBinary:
            return type.length == DataType::kMax ? -1 : type.length;
        case TypeId::NChar:
        case TypeId::NVarChar:
            return type.length == DataType::kMax ? -1 : 2 * type.length;
        case TypeId::Decimal:
        case TypeId::Numeric:
            if (type.precision <= 9) return 5;
            if (type.precision <= 19) return 9;
            if (type.precision <= 28) return 13;
            return 17;
        default:
            return info(type.id).fixedBytes;
    }
}

int reportedPrecision(const DataType& type) {
    switch (type.id) {
        case TypeId::Bit:
            return 1;
        case TypeId::TinyInt:
            return 3;
        case TypeId::SmallInt:
            return 5;
        case TypeId::Int:
            return 10;
        case TypeId::BigInt:
            return 19;
        case TypeId::Decimal:
        case TypeId::Numeric:
            return type.precision;
        case TypeId::Money:
            return 19;
        case TypeId::SmallMoney:
            return 10;
        case TypeId::Float:
            return 53;
        case TypeId::Real:
            return 24;
        case TypeId::DateTime:
            return 23;
        case TypeId::SmallDateTime:
            return 16;
        case TypeId::Date:
            return 10;
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar:
        case TypeId::Binary:
        case TypeId::VarBinary:
            return type.length;
        default:
            return 0;
    }
}

int reportedScale(const DataType& type) {
    switch (type.id) {
        case TypeId::Decimal:
        case TypeId::Numeric:
            return type.scale;
        case TypeId::Money:
        case TypeId::SmallMoney:
            return 4;
        case TypeId::DateTime:
            return 3;
        default:
            return 0;
    }
}

int precedence(TypeId id) {
    return info(id).precedence;
}

bool isCharacter(TypeId id) {
    return id == TypeId::Char || id == TypeId::VarChar || id == TypeId::Text || isUnicode(id);
}
bool isUnicode(TypeId id) {
    return id == TypeId::NChar || id == TypeId::NVarChar || id == TypeId::NText;
}
bool isInteger(TypeId id) {
    return id == TypeId::Bit || id == TypeId::TinyInt || id == TypeId::SmallInt ||
           id == TypeId::Int || id == TypeId::BigInt;
}
bool isExactNumeric(TypeId id) {
    return isInteger(id) || isDecimal(id) || isMoney(id);
}
bool isApproximate(TypeId id) {
    return id == TypeId::Float || id == TypeId::Real;
}
bool isNumeric(TypeId id) {
    return isExactNumeric(id) || isApproximate(id);
}
bool isDateTime(TypeId id) {
    return id == TypeId::DateTime || id == TypeId::SmallDateTime || id == TypeId::Date;
}
bool isBinary(TypeId id) {
    return id == TypeId::Binary || id == TypeId::VarBinary || id == TypeId::Image;
}
bool isLargeObject(TypeId id) {
    return id == TypeId::Text || id == TypeId::NText || id == TypeId::Image;
}
bool isLargeObject(const DataType& type) {
    return isLargeObject(type.id);
}
bool isDecimal(TypeId id) {
    return id == TypeId::Decimal || id == TypeId::Numeric;
}
bool isMoney(TypeId id) {
    return id == TypeId::Money || id == TypeId::SmallMoney;
}
bool hasLength(TypeId id) {
    return id == TypeId::Char || id == TypeId::VarChar || id == TypeId::NChar ||
           id == TypeId::NVarChar || id == TypeId::Binary || id == TypeId::VarBinary;
}
IntegerRange integerRange(TypeId id) {
    switch (id) {
        case TypeId::Bit:
            return {0, 1};
        case TypeId::TinyInt:
            return {0, 255};
        case TypeId::SmallInt:
            return {-32768, 32767};
        case TypeId::Int:
            return {INT32_MIN, INT32_MAX};
        default:
            return {INT64_MIN, INT64_MAX};
    }
}

int32_t maxDeclaredLength(TypeId id) {
    return id == TypeId::NChar || id == TypeId::NVarChar ? 4000 : 8000;
}

}  // namespace engine
