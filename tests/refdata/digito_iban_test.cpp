#include "refdata/digito_iban.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace refdata {
namespace {

// MOD 97 of a decimal text, one digit at a time: an independent reading of the number.
int Mod97(const std::string& digits) {
    int remainder = 0;
    for (char c : digits)
        remainder = (remainder * 10 + (c - '0')) % 97;
    return remainder;
}

// The check digits by ISO 7064 MOD 97-10 over the full 26-digit number account + "142800".
std::string ExpectedCheck(const std::string& account) {
    const int check = 98 - Mod97(account + "142800");
    return "ES" + std::string(check < 10 ? "0" : "") + std::to_string(check);
}

TEST(DigitoIBAN, GivesTheCheckDigitsOfKnownSpanishIbans) {
    EXPECT_EQ(digitoIBAN("21000418450200051332"), "ES91");  // ES91 2100 0418 4502 0005 1332
    EXPECT_EQ(digitoIBAN("00491500051234567892"), "ES60");
    EXPECT_EQ(digitoIBAN("00000000000000000000"), "ES82");
}

TEST(DigitoIBAN, WritesSmallAndLargeCheckValuesWithTwoDigits) {
    // Remainders 96, 1 and 0 give the check values 2, 97 and 98.
    EXPECT_EQ(digitoIBAN("00490000000000712710"), "ES02");
    EXPECT_EQ(digitoIBAN("00490000000000221732"), "ES97");
    EXPECT_EQ(digitoIBAN("00490000000000467221"), "ES98");
}

TEST(DigitoIBAN, MatchesTheFullMod97CheckForRandomAccounts) {
    std::mt19937_64 random(20130101);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> zeros(0, 6);
    for (int i = 0; i < 5000; ++i) {
        std::string account(20, '0');
        // Some accounts start with zeros, as entity codes such as 0049 do.
        const int leading = zeros(random);
        for (int d = leading; d < 20; ++d)
            account[d] = static_cast<char>('0' + digit(random));
        const std::string iban = digitoIBAN(account);
        ASSERT_EQ(iban, ExpectedCheck(account)) << account;
        // A whole IBAN made with these digits validates: BBAN + "ES" as digits + check = 1 mod 97.
        ASSERT_EQ(Mod97(account + "1428" + iban.substr(2)), 1) << account;
    }
}

TEST(DigitoIBAN, IsExactForAccountsOfOtherLengths) {
    // An entity of five digits makes a 21-digit account; short accounts make short numbers.
    for (const std::string account :
         {"123450000000000000000", "49", "", "9999999999999999999999999"}) {
        EXPECT_EQ(digitoIBAN(account), ExpectedCheck(account)) << account;
    }
}

TEST(DigitoIBAN, HasNoCheckDigitsForAnAccountWithOtherCharacters) {
    EXPECT_EQ(digitoIBAN("0049 1500051234567892"), "");
    EXPECT_EQ(digitoIBAN("AB491500051234567892"), "");
    EXPECT_EQ(digitoIBAN("-0491500051234567892"), "");
}

}  // namespace
}  // namespace refdata
