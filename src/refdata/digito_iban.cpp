#include "refdata/digito_iban.h"

#include <cstdint>

namespace refdata {
namespace {

// The country code ES as digits (E = 14, S = 28) followed by 00 in place of the check digits.
constexpr std::string_view kSufijoES = "142800";
constexpr std::size_t kDigitosPorGrupo = 6;

bool SoloDigitos(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::uint32_t LeerGrupo(std::string_view group) {
    std::uint32_t value = 0;
    for (char c : group)
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    return value;
}

}  // namespace

std::string digitoIBAN(std::string_view cuenta) {
    if (!SoloDigitos(cuenta)) return "";
    std::string n(cuenta);
    n.append(kSufijoES);

    // Groups of six digits counted from the right; the leftmost group takes what remains. Each
    // step appends six digits to a remainder below 97, so no value reaches 10^8.
    std::size_t head = n.size() % kDigitosPorGrupo;
    if (head == 0) head = kDigitosPorGrupo;
    std::uint32_t remainder = LeerGrupo(std::string_view(n).substr(0, head)) % 97;
    for (std::size_t pos = head; pos < n.size(); pos += kDigitosPorGrupo) {
        const std::uint32_t group = LeerGrupo(std::string_view(n).substr(pos, kDigitosPorGrupo));
        remainder = (remainder * 1000000 + group) % 97;
    }

    const std::uint32_t check = 98 - remainder;
    std::string result = "ES";
    result.push_back(static_cast<char>('0' + check / 10));
    result.push_back(static_cast<char>('0' + check % 10));
    return result;
}

}  // namespace refdata
