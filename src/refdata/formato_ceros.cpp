#include "refdata/formato_ceros.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "db/text_util.h"

namespace refdata {
namespace {

struct WholeNumber {
    bool negative = false;
    std::string digits;  // without leading zeros; "0" for zero
};

std::string StripLeadingZeros(std::string digits) {
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return "0";
    return digits.substr(first);
}

// Adds one to a digit string.
std::string Increment(std::string digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return digits;
        }
        *it = '0';
    }
    return "1" + digits;
}

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Reads "[+|-]digits[.digits]" (at least one digit in all) and rounds it to a whole number,
// halves away from zero. nullopt when the text is not such a number.
std::optional<WholeNumber> ReadDecimalText(std::string_view text) {
    text = db::trimBlanks(text);
    WholeNumber number;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        number.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (!AllDigits(whole) || !AllDigits(fraction)) return std::nullopt;
    number.digits = StripLeadingZeros(std::string(whole));
    if (!fraction.empty() && fraction.front() >= '5') number.digits = Increment(number.digits);
    if (number.digits == "0") number.negative = false;
    return number;
}

WholeNumber FromInteger(std::int64_t value) {
    WholeNumber number;
    number.negative = value < 0;
    // Through the unsigned magnitude so that the most negative value does not overflow.
    const std::uint64_t magnitude = number.negative ? ~static_cast<std::uint64_t>(value) + 1
                                                    : static_cast<std::uint64_t>(value);
    number.digits = std::to_string(magnitude);
    return number;
}

std::optional<WholeNumber> FromVariant(const db::Variant& valor) {
    using Kind = db::Variant::Kind;
    switch (valor.kind()) {
        case Kind::Null:
            return std::nullopt;
        case Kind::Boolean:
            return FromInteger(valor.boolValue() ? -1 : 0);
        case Kind::Integer:
            return FromInteger(valor.intValue());
        case Kind::Double: {
            const double rounded = std::round(valor.doubleValue());  // halves away from zero
            if (!std::isfinite(rounded) || std::fabs(rounded) >= 9.2e18) return std::nullopt;
            return FromInteger(static_cast<std::int64_t>(rounded));
        }
        case Kind::Currency:
            return ReadDecimalText(db::formatScaled(valor.currencyScaled(), 4));
        case Kind::Decimal:
        case Kind::Text:
            return ReadDecimalText(valor.str());
        case Kind::DateTime:
        case Kind::Binary:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::string FormatoCeros(const db::Variant& valor, int digitos) {
    if (valor.isNull()) return "";
    const std::optional<WholeNumber> number = FromVariant(valor);
    if (!number) return valor.toText();
    std::string text = number->negative ? "-" : "";
    if (static_cast<int>(number->digits.size()) < digitos) {
        text.append(static_cast<std::size_t>(digitos) - number->digits.size(), '0');
    }
    text += number->digits;
    return text;
}

}  // namespace refdata
