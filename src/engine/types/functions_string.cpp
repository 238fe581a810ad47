// String functions: LEN, DATALENGTH, LEFT, RIGHT, SUBSTRING, REPLICATE, UPPER, LOWER,
// LTRIM, RTRIM, REPLACE, CHARINDEX, SPACE, STR, CHAR, ASCII, NCHAR, UNICODE.
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/types/collation.h"
#include "engine/types/decimal_math.h"
#include "engine/types/function_support.h"
#include "engine/types/text.h"

namespace engine::functions {

namespace {

using Types = std::span<const DataType>;
using Constants = std::span<const Value* const>;
using Args = std::span<const Value>;

bool anyNull(Args args) {
    for (const Value& v : args) {
        if (v.isNull()) return true;
    }
    return false;
}

std::vector<char32_t> decode(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    for (size_t p = 0; p < s.size();)
        out.push_back(utf8Next(s, p));
    return out;
}

bool sameChar(char32_t a, char32_t b) {
    return a == b || collationCompareChar(a, b) == 0;
}

// Position (0-based, in characters) of needle in haystack from `from`, under the
// collation; npos when absent.
size_t findChars(const std::vector<char32_t>& haystack, const std::vector<char32_t>& needle,
                 size_t from) {
    if (needle.empty() || needle.size() > haystack.size()) return std::string::npos;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && sameChar(haystack[i + k], needle[k]))
            ++k;
        if (k == needle.size()) return i;
    }
    return std::string::npos;
}

// ---- LEN / DATALENGTH ------------------------------------------------------------------

DataType lenType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "len");
    return lengthResultType(t[0]);
}
Value lenEval(Args a, FunctionContext& ctx) {
    const DataType t = lengthResultType(a[0].type());
    if (a[0].isNull()) return Value::null(t);
    return Value::integer(
        static_cast<int64_t>(utf8Length(trimTrailingBlanks(argumentText(a[0], ctx)))), t.id);
}

DataType datalengthType(Types t, Constants) {
    return lengthResultType(t[0]);
}
Value datalengthEval(Args a, FunctionContext&) {
    const Value& v = a[0];
    const DataType t = lengthResultType(v.type());
    if (v.isNull()) return Value::null(t);
    int64_t bytes;
    if (isUnicode(v.typeId())) {
        bytes = 2 * static_cast<int64_t>(utf16Length(v.bytes()));
    } else if (isCharacter(v.typeId())) {
        bytes = static_cast<int64_t>(utf8Length(v.bytes()));
    } else if (isBinary(v.typeId()) || v.typeId() == TypeId::UniqueIdentifier) {
        bytes = static_cast<int64_t>(v.bytes().size());
    } else {
        bytes = storageBytes(v.type());
    }
    return Value::integer(bytes, t.id);
}

// ---- LEFT / RIGHT / SUBSTRING ----------------------------------------------------------

DataType leftType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "left");
    return variableStringType(t[0]);
}
Value leftEval(Args a, FunctionContext& ctx) {
    const DataType t = variableStringType(a[0].type());
    if (anyNull(a)) return Value::null(t);
    const int64_t n = argumentInteger(a[1], ctx);
    if (n < 0) throw SqlException(536, {"LEFT"});
    return Value::string(std::string(utf8Prefix(argumentText(a[0], ctx), static_cast<size_t>(n))),
                         t);
}

DataType rightType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "right");
    return variableStringType(t[0]);
}
Value rightEval(Args a, FunctionContext& ctx) {
    const DataType t = variableStringType(a[0].type());
    if (anyNull(a)) return Value::null(t);
    const int64_t n = argumentInteger(a[1], ctx);
    if (n < 0) throw SqlException(536, {"RIGHT"});
    const std::string s = argumentText(a[0], ctx);
    const size_t chars = utf8Length(s);
    const size_t skip = static_cast<size_t>(n) >= chars ? 0 : chars - static_cast<size_t>(n);
    return Value::string(s.substr(utf8Offset(s, skip)), t);
}

DataType substringType(Types t, Constants) {
    if (isBinary(t[0].id))
        return DataType{TypeId::VarBinary, t[0].id == TypeId::Image ? DataType::kMax : t[0].length,
                        0, 0};
    return variableStringType(t[0]);
}
Value substringEval(Args a, FunctionContext& ctx) {
    const DataType t = substringType(std::span<const DataType>(&a[0].type(), 1), {});
    if (anyNull(a)) return Value::null(t);
    const int64_t start = argumentInteger(a[1], ctx);
    const int64_t length = argumentInteger(a[2], ctx);
    if (length < 0) throw SqlException(536, {"SUBSTRING"});
    // Positions before 1 count against the length: SUBSTRING('abc', 0, 2) is 'a'.
    const int64_t from = std::max<int64_t>(start, 1);
    const int64_t to = start > INT64_MAX - length ? INT64_MAX : start + length;  // exclusive
    if (to <= from) return Value::string(std::string(), t);
    const auto first = static_cast<size_t>(from - 1), count = static_cast<size_t>(to - from);
    if (isBinary(a[0].typeId())) {
        const std::string& b = a[0].bytes();
        return Value::binary(first >= b.size() ? std::string() : b.substr(first, count), t);
    }
    return Value::string(std::string(utf8Substring(argumentText(a[0], ctx), first, count)), t);
}

// ---- REPLICATE / SPACE -----------------------------------------------------------------

DataType replicateType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "replicate");
    const bool unicode = isUnicode(t[0].id);
    const int32_t length = isMaxLike(t[0]) ? DataType::kMax : (unicode ? 4000 : 8000);
    return DataType{unicode ? TypeId::NVarChar : TypeId::VarChar, length, 0, 0};
}
Value replicateEval(Args a, FunctionContext& ctx) {
    const DataType t = replicateType(std::span<const DataType>(&a[0].type(), 1), {});
    if (anyNull(a)) return Value::null(t);
    const int64_t n = argumentInteger(a[1], ctx);
    if (n < 0) return Value::null(t);
    const std::string unit = argumentText(a[0], ctx);
    const size_t unitChars = utf8Length(unit);
    std::string out;
    if (unitChars > 0) {
        int64_t times = n;
        if (t.length > 0)
            times = std::min<int64_t>(times, (t.length + static_cast<int64_t>(unitChars) - 1) /
                                                 static_cast<int64_t>(unitChars));
        out.reserve(unit.size() * static_cast<size_t>(std::min<int64_t>(times, 1 << 20)));
        for (int64_t i = 0; i < times; ++i)
            out += unit;
    }
    return stringOfType(std::move(out), t);
}

DataType spaceType(Types, Constants) {
    return DataType::varchar(8000);
}
Value spaceEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::varchar(8000);
    if (a[0].isNull()) return Value::null(t);
    const int64_t n = argumentInteger(a[0], ctx);
    if (n < 0) return Value::null(t);
    return Value::string(std::string(static_cast<size_t>(std::min<int64_t>(n, 8000)), ' '), t);
}

// ---- UPPER / LOWER / LTRIM / RTRIM -----------------------------------------------------

DataType sameStringType(const DataType& t) {
    if (isCharacter(t.id) && !isLargeObject(t.id)) return t;
    return variableStringType(t);
}
DataType upperType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "upper");
    return sameStringType(t[0]);
}
DataType lowerType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "lower");
    return sameStringType(t[0]);
}
Value upperEval(Args a, FunctionContext& ctx) {
    const DataType t = sameStringType(a[0].type());
    if (a[0].isNull()) return Value::null(t);
    return Value::string(toUpperText(argumentText(a[0], ctx)), t);
}
Value lowerEval(Args a, FunctionContext& ctx) {
    const DataType t = sameStringType(a[0].type());
    if (a[0].isNull()) return Value::null(t);
    return Value::string(toLowerText(argumentText(a[0], ctx)), t);
}

DataType ltrimType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "ltrim");
    return variableStringType(t[0]);
}
DataType rtrimType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "rtrim");
    return variableStringType(t[0]);
}
Value ltrimEval(Args a, FunctionContext& ctx) {
    const DataType t = variableStringType(a[0].type());
    if (a[0].isNull()) return Value::null(t);
    const std::string s = argumentText(a[0], ctx);
    const size_t first = s.find_first_not_of(' ');
    return Value::string(first == std::string::npos ? std::string() : s.substr(first), t);
}
Value rtrimEval(Args a, FunctionContext& ctx) {
    const DataType t = variableStringType(a[0].type());
    if (a[0].isNull()) return Value::null(t);
    return Value::string(std::string(trimTrailingBlanks(argumentText(a[0], ctx))), t);
}

// ---- REPLACE / CHARINDEX ---------------------------------------------------------------

DataType replaceType(Types t, Constants) {
    bool unicode = false, max = false;
    for (size_t i = 0; i < t.size(); ++i) {
        rejectLargeObject(t[i], static_cast<int>(i + 1), "replace");
        unicode = unicode || isUnicode(t[i].id);
        max = max || isMaxLike(t[i]);
    }
    return DataType{unicode ? TypeId::NVarChar : TypeId::VarChar,
                    max ? DataType::kMax : (unicode ? 4000 : 8000), 0, 0};
}
Value replaceEval(Args a, FunctionContext& ctx) {
    const DataType types[3] = {a[0].type(), a[1].type(), a[2].type()};
    const DataType t = replaceType(types, {});
    if (anyNull(a)) return Value::null(t);
    const std::string s = argumentText(a[0], ctx);
    const std::vector<char32_t> hay = decode(s);
    const std::vector<char32_t> needle = decode(argumentText(a[1], ctx));
    const std::string replacement = argumentText(a[2], ctx);
    if (needle.empty()) return stringOfType(s, t);
    std::string out;
    size_t i = 0;
    while (i < hay.size()) {
        const size_t found = findChars(hay, needle, i);
        const size_t end = found == std::string::npos ? hay.size() : found;
        for (; i < end; ++i)
            appendUtf8(hay[i], out);
        if (found == std::string::npos) break;
        out += replacement;
        i = found + needle.size();
    }
    if (!isUnicode(t.id)) out = toWindows1252Repertoire(out);
    return stringOfType(std::move(out), t);
}

DataType charindexType(Types t, Constants) {
    return lengthResultType(t[1]);
}
Value charindexEval(Args a, FunctionContext& ctx) {
    const DataType t = lengthResultType(a[1].type());
    if (anyNull(a)) return Value::null(t);
    const std::vector<char32_t> needle = decode(argumentText(a[0], ctx));
    const std::vector<char32_t> hay = decode(argumentText(a[1], ctx));
    int64_t start = a.size() > 2 ? argumentInteger(a[2], ctx) : 1;
    if (start < 1) start = 1;
    if (static_cast<uint64_t>(start) > hay.size()) return Value::integer(0, t.id);
    const size_t found = findChars(hay, needle, static_cast<size_t>(start - 1));
    return Value::integer(found == std::string::npos ? 0 : static_cast<int64_t>(found) + 1, t.id);
}

// ---- STR -------------------------------------------------------------------------------

DataType strType(Types, Constants c) {
    int32_t length = 10;
    if (c.size() > 1 && c[1] && !c[1]->isNull() && isInteger(c[1]->typeId())) {
        const int64_t n = c[1]->asInt64();
        if (n >= 1 && n <= 8000) length = static_cast<int32_t>(n);
    }
    return DataType::varchar(length);
}
Value strEval(Args a, FunctionContext& ctx) {
    if (anyNull(a)) return Value::null(DataType::varchar(10));
    const int64_t length = a.size() > 1 ? argumentInteger(a[1], ctx) : 10;
    int64_t decimals = a.size() > 2 ? argumentInteger(a[2], ctx) : 0;
    if (length < 1 || length > 8000 || decimals < 0) return Value::null(DataType::varchar(10));
    decimals = std::min<int64_t>(decimals, 16);
    const double x = convert(a[0], DataType::floating(TypeId::Float), ConversionKind::Implicit, 0,
                             ctx.dateFormat)
                         .asDouble();
    // Through the shortest decimal text, so that 2.5 rounds to 3 (half away from zero).
    Int128 unscaled;
    int scale;
    std::string text;
    char buf[400];
    const bool exact = decimal::fromDoubleShortest(x, unscaled, scale);
    for (int64_t d = decimals;; --d) {
        if (exact) {
            const auto rounded = decimal::rescale(unscaled, scale, static_cast<int>(d));
            text = decimal::toString(*rounded, static_cast<int>(d));
        } else {
            std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(d), x);
            text = buf;
        }
        if (static_cast<int64_t>(text.size()) <= length || d == 0) break;
    }
    const DataType t = DataType::varchar(static_cast<int32_t>(length));
    if (static_cast<int64_t>(text.size()) > length)
        return Value::string(std::string(static_cast<size_t>(length), '*'), t);
    return Value::string(std::string(static_cast<size_t>(length) - text.size(), ' ') + text, t);
}

// ---- CHAR / ASCII / NCHAR / UNICODE ----------------------------------------------------

DataType charType(Types, Constants) {
    return DataType::character(TypeId::Char, 1);
}
Value charEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::character(TypeId::Char, 1);
    if (a[0].isNull()) return Value::null(t);
    const int64_t code = argumentInteger(a[0], ctx);
    if (code < 0 || code > 255) return Value::null(t);
    std::string s;
    appendUtf8(windows1252Char(static_cast<unsigned char>(code)), s);
    return Value::string(std::move(s), t);
}

DataType asciiType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "ascii");
    return DataType::of(TypeId::Int);
}
Value asciiEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::of(TypeId::Int);
    if (a[0].isNull()) return Value::null(t);
    const std::string s = argumentText(a[0], ctx);
    if (s.empty()) return Value::null(t);
    size_t p = 0;
    unsigned char b;
    return Value::integer(windows1252Byte(utf8Next(s, p), b) ? b : '?');
}

DataType ncharType(Types, Constants) {
    return DataType::character(TypeId::NChar, 1);
}
Value ncharEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::character(TypeId::NChar, 1);
    if (a[0].isNull()) return Value::null(t);
    const int64_t code = argumentInteger(a[0], ctx);
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return Value::null(t);
    std::string s;
    appendUtf8(static_cast<char32_t>(code), s);
    return Value::string(std::move(s), t);
}

DataType unicodeType(Types t, Constants) {
    rejectLargeObject(t[0], 1, "unicode");
    return DataType::of(TypeId::Int);
}
Value unicodeEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::of(TypeId::Int);
    if (a[0].isNull()) return Value::null(t);
    const std::string s = argumentText(a[0], ctx);
    if (s.empty()) return Value::null(t);
    size_t p = 0;
    return Value::integer(static_cast<int64_t>(utf8Next(s, p)));
}

constexpr ScalarFunction kFunctions[] = {
    {"LEN", 1, 1, false, true, lenType, lenEval},
    {"DATALENGTH", 1, 1, false, true, datalengthType, datalengthEval},
    {"LEFT", 2, 2, false, true, leftType, leftEval},
    {"RIGHT", 2, 2, false, true, rightType, rightEval},
    {"SUBSTRING", 3, 3, false, true, substringType, substringEval},
    {"REPLICATE", 2, 2, false, true, replicateType, replicateEval},
    {"SPACE", 1, 1, false, true, spaceType, spaceEval},
    {"UPPER", 1, 1, false, true, upperType, upperEval},
    {"LOWER", 1, 1, false, true, lowerType, lowerEval},
    {"LTRIM", 1, 1, false, true, ltrimType, ltrimEval},
    {"RTRIM", 1, 1, false, true, rtrimType, rtrimEval},
    {"REPLACE", 3, 3, false, true, replaceType, replaceEval},
    {"CHARINDEX", 2, 3, false, true, charindexType, charindexEval},
    {"STR", 1, 3, false, true, strType, strEval},
    {"CHAR", 1, 1, false, true, charType, charEval},
    {"ASCII", 1, 1, false, true, asciiType, asciiEval},
    {"NCHAR", 1, 1, false, true, ncharType, ncharEval},
    {"UNICODE", 1, 1, false, true, unicodeType, unicodeEval},
};

}  // namespace

std::span<const ScalarFunction> stringFunctions() {
    return kFunctions;
}

}  // namespace engine::functions
