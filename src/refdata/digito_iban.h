// IBAN check digits of a Spanish domestic bank account (ISO 13616, MOD 97-10 of ISO 7064).
//
// The company databases store only the four characters "ES" + check digits in their IBAN
// columns: the rest of the IBAN is the 20-digit account they already hold (entity, branch,
// control digits, account number).
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace refdata {

// "ES" followed by the two check digits of the domestic account `cuenta` (normally 20 digits,
// already zero-padded). The arithmetic is exact for an account of any length. An empty text is
// returned when `cuenta` holds anything but the digits 0-9, since such an account has no check
// digits; callers leave the IBAN column as it is then.
std::string digitoIBAN(std::string_view cuenta);

}  // namespace refdata
