#include "engine/types/render.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/types/datetime.h"
#include "engine/types/decimal_math.h"
#include "engine/types/text.h"

namespace engine {

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// v with leading zeros to the width.
std::string padded(int v, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*d", width, v);
    return b;
}
std::string pad2(int v) {
    return padded(v, 2);
}
std::string pad3(int v) {
    return padded(v, 3);
}
std::string pad4(int v) {
    return padded(v, 4);
}

std::string hourAmPm(const CivilDateTime& c, bool withSeconds) {
    const int h12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
    char b[40];
    if (withSeconds) {
        std::snprintf(b, sizeof b, "%2d:%02d:%02d:%03d%s", h12, c.minute, c.second, c.millisecond,
                      c.hour < 12 ? "AM" : "PM");
    } else {
        std::snprintf(b, sizeof b, "%2d:%02d%s", h12, c.minute, c.hour < 12 ? "AM" : "PM");
    }
    return b;
}

std::optional<std::string> formatDateTime(const Value& v, int style) {
    const CivilDateTime c = toCivil(v);
    const bool dateOnly = v.typeId() == TypeId::Date;
    const std::string yy = pad2(c.year % 100), yyyy = pad4(c.year), mm = pad2(c.month),
                      dd = pad2(c.day);
    const std::string time24 = pad2(c.hour) + ":" + pad2(c.minute) + ":" + pad2(c.second);
    const std::string mon = kMonths[c.month - 1];
    char b[64];
    switch (style) {
        case 0:
        case 100:
            if (dateOnly && style == 0) return yyyy + "-" + mm + "-" + dd;
            std::snprintf(b, sizeof b, "%s %2d %04d %s", mon.c_str(), c.day, c.year,
                          hourAmPm(c, false).c_str());
            return std::string(b);
        case 1:
            return mm + "/" + dd + "/" + yy;
        case 101:
            return mm + "/" + dd + "/" + yyyy;
        case 2:
            return yy + "." + mm + "." + dd;
        case 102:
            return yyyy + "." + mm + "." + dd;
        case 3:
            return dd + "/" + mm + "/" + yy;
        case 103:
            return dd + "/" + mm + "/" + yyyy;
        case 4:
            return dd + "." + mm + "." + yy;
        case 104:
            return dd + "." + mm + "." + yyyy;
        case 5:
            return dd + "-" + mm + "-" + yy;
        case 105:
            return dd + "-" + mm + "-" + yyyy;
        case 6:
            return dd + " " + mon + " " + yy;
        case 106:
            return dd + " " + mon + " " + yyyy;
        case 7:
            return mon + " " + dd + ", " + yy;
        case 107:
            return mon + " " + dd + ", " + yyyy;
        case 8:
        case 108:
            return time24;
        case 9:
        case 109:
            std::snprintf(b, sizeof b, "%s %2d %04d %s", mon.c_str(), c.day, c.year,
                          hourAmPm(c, true).c_str());
            return std::string(b);
        case 10:
            return mm + "-" + dd + "-" + yy;
        case 110:
            return mm + "-" + dd + "-" + yyyy;
        case 11:
            return yy + "/" + mm + "/" + dd;
        case 111:
            return yyyy + "/" + mm + "/" + dd;
        case 12:
            return yy + mm + dd;
        case 112:
            return yyyy + mm + dd;
        case 13:
        case 113:
            return dd + " " + mon + " " + yyyy + " " + time24 + ":" + pad3(c.millisecond);
        case 14:
        case 114:
            return time24 + ":" + pad3(c.millisecond);
        case 20:
        case 120:
            return yyyy + "-" + mm + "-" + dd + " " + time24;
        case 21:
        case 121:
            if (v.typeId() == TypeId::Date) return yyyy + "-" + mm + "-" + dd;
            return yyyy + "-" + mm + "-" + dd + " " + time24 + "." + pad3(c.millisecond);
        case 23:
            return yyyy + "-" + mm + "-" + dd;
        case 126:
        case 127: {
            std::string out = yyyy + "-" + mm + "-" + dd + "T" + time24;
            if (c.millisecond != 0) out += "." + pad3(c.millisecond);
            return out;
        }
        default:
            return std::nullopt;
    }
}

// printf %e/%g output with the exponent widened to three digits, as SQL Server prints.
std::string widenExponent(std::string s) {
    const size_t e = s.find('e');
    if (e == std::string::npos) return s;
    const size_t digits = e + 2;  // after the sign
    if (digits > s.size() || s.size() - digits >= 3) return s;
    return s.substr(0, digits) + std::string(3 - (s.size() - digits), '0') + s.substr(digits);
}

std::string formatFloat(double d, int style) {
    char b[64];
    switch (style) {
        case 1:
            std::snprintf(b, sizeof b, "%.7e", d);
            break;
        case 2:
            std::snprintf(b, sizeof b, "%.15e", d);
            break;
        default:
            std::snprintf(b, sizeof b, "%.6g", d);
            break;
    }
    return widenExponent(b);
}

std::string withThousands(const std::string& plain) {
    const size_t point = plain.find('.');
    const size_t intEnd = point == std::string::npos ? plain.size() : point;
    const size_t intStart = !plain.empty() && plain[0] == '-' ? 1 : 0;
    std::string out = plain.substr(0, intStart);
    for (size_t i = intStart; i < intEnd; ++i) {
        out.push_back(plain[i]);
        const size_t remaining = intEnd - i - 1;
        if (remaining > 0 && remaining % 3 == 0) out.push_back(',');
    }
    out += plain.substr(intEnd);
    return out;
}

std::optional<std::string> formatMoney(int64_t scaled, int style) {
    switch (style) {
        case 0:
        case 1: {
            const auto rounded = decimal::rescale(scaled, 4, 2);
            const std::string plain = decimal::toString(*rounded, 2);
            return style == 1 ? withThousands(plain) : plain;
        }
        case 2:
        case 126:
            return decimal::toString(scaled, 4);
        default:
            return std::nullopt;
    }
}

std::string guidText(const std::string& b) {
    // The first three groups are stored little-endian.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out;
    char h[4];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        const auto byte = static_cast<unsigned char>(
            static_cast<size_t>(kOrder[i]) < b.size() ? b[kOrder[i]] : 0);
        std::snprintf(h, sizeof h, "%02X", byte);
        out += h;
    }
    return out;
}

std::string hexText(const std::string& bytes) {
    std::string out;
    char h[4];
    for (char c : bytes) {
        std::snprintf(h, sizeof h, "%02X", static_cast<unsigned char>(c));
        out += h;
    }
    return out;
}

std::string shortestDouble(double d, bool isReal) {
    char b[64];
    std::to_chars_result r = isReal ? std::to_chars(b, b + sizeof b, static_cast<float>(d))
                                    : std::to_chars(b, b + sizeof b, d);
    return std::string(b, r.ptr);
}

}  // namespace

std::optional<std::string> renderWithStyle(const Value& v, int style) {
    if (v.isNull()) return std::string();
    switch (v.typeId()) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
            return std::to_string(v.asInt64());
        case TypeId::Decimal:
        case TypeId::Numeric:
            return decimal::toString(v.decimalUnscaled(), v.type().scale);
        case TypeId::Money:
        case TypeId::SmallMoney:
            return formatMoney(v.moneyScaled(), style);
        case TypeId::Float:
        case TypeId::Real:
            if (style < 0 || style > 3) return std::nullopt;
            return formatFloat(v.asDouble(), style);
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date:
            return formatDateTime(v, style);
        case TypeId::UniqueIdentifier:
            return guidText(v.bytes());
        case TypeId::Binary:
        case TypeId::VarBinary:
        case TypeId::Image:
            if (style == 1) return "0x" + hexText(v.bytes());
            if (style == 2) return hexText(v.bytes());
            if (style != 0) return std::nullopt;
            return windows1252ToUtf8(v.bytes());
        default:
            return v.bytes();
    }
}

std::string renderAsText(const Value& v) {
    return renderWithStyle(v, 0).value_or(std::string());
}

std::string renderForShell(const Value& v) {
    if (v.isNull()) return "NULL";
    switch (v.typeId()) {
        case TypeId::Money:
        case TypeId::SmallMoney:
            return decimal::toString(v.moneyScaled(), 4);
        case TypeId::Float:
        case TypeId::Real:
            return shortestDouble(v.asDouble(), v.typeId() == TypeId::Real);
        case TypeId::DateTime:
            return *formatDateTime(v, 121);
        case TypeId::SmallDateTime:
            return *formatDateTime(v, 120);
        case TypeId::Date:
            return *formatDateTime(v, 23);
        case TypeId::Binary:
        case TypeId::VarBinary:
        case TypeId::Image:
            return "0x" + hexText(v.bytes());
        default:
            return renderAsText(v);
    }
}

}  // namespace engine
