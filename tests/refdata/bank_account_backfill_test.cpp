#include "refdata/bank_account_backfill.h"

#include <gtest/gtest.h>

#include <array>

#include "refdata/digito_iban.h"
#include "refdata/fake_connection.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

constexpr std::string_view kSelect = "SELECT E,S,D,C,IBAN,BIC FROM CUENTAS";

constexpr std::array<BankAccountColumns, 1> kWhenEmpty = {{
    {"E", "S", "D", "C", "IBAN", "BIC", IbanRule::kWhenEmptyAndAccountComplete,
     BicRule::kWhenEmptyAndEntityPresent, BicKey::kEntityFourDigits},
}};
constexpr std::array<BankAccountColumns, 1> kEveryRow = {{
    {"E", "S", "D", "C", "IBAN", "BIC", IbanRule::kEveryRow, BicRule::kEveryRow,
     BicKey::kEntityFourDigits},
}};
constexpr std::array<BankAccountColumns, 1> kEveryRowAsStored = {{
    {"E", "S", "D", "C", "IBAN", "BIC", IbanRule::kEveryRow, BicRule::kEveryRow,
     BicKey::kEntityAsStored},
}};

class BackfillTest : public ::testing::Test {
  protected:
    BackfillTest() {
        bics.Add("0049", "BSCHESMMXXX");
        bics.Add("2100", "CAIXESBBXXX");
        bics.Add("49", "SINRELLENOXXX");
    }

    BackfillOutcome Run(std::span<const BankAccountColumns> accounts,
                        db::CursorType cursor = db::CursorType::Dynamic) {
        connection.Answer(std::string(kSelect), table);
        return RellenarCuentasBancarias(connection, bics,
                                        BankAccountBackfill{kSelect, "", cursor, accounts});
    }

    FakeConnection connection;
    run::ColeccionBIC bics;
    FakeTable table = FakeTable::WithColumns({"E", "S", "D", "C", "IBAN", "BIC"});
};

TEST_F(BackfillTest, FillsEmptyColumnsFromTheZeroPaddedAccount) {
    table.rows = {
        {T("49"), T("1500"), T("5"), T("1234567892"), T(""), T("")},
        {T("2100"), T("418"), T("45"), T("200051332"), N, N},
    };
    const BackfillOutcome outcome = Run(kWhenEmpty);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.rows, 2);
    EXPECT_EQ(outcome.saved, 2);
    // 49 / 1500 / 5 / 1234567892 is the account 0049 1500 05 1234567892.
    EXPECT_EQ(table.Text(0, "IBAN"), digitoIBAN("00491500051234567892"));
    EXPECT_EQ(table.Text(0, "BIC"), "BSCHESMMXXX");
    EXPECT_EQ(table.Text(1, "IBAN"), "ES91");
    EXPECT_EQ(table.Text(1, "BIC"), "CAIXESBBXXX");
}

TEST_F(BackfillTest, ConditionalRulesLeaveFilledColumnsAndIncompleteAccountsAlone) {
    table.rows = {
        // IBAN already there: kept; BIC empty: filled.
        {T("0049"), T("1500"), T("05"), T("1234567892"), T("ES11"), T("")},
        // A NULL or empty account part: no IBAN; the entity still gives the BIC.
        {T("2100"), N, T("45"), T("0200051332"), T(""), N},
        {T("2100"), T("0418"), T(""), T("0200051332"), N, T("")},
        // BIC already there: kept, the IBAN is computed.
        {T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T("OTROBICXXX")},
        // No entity: neither IBAN nor BIC.
        {T(""), T("0418"), T("45"), T("0200051332"), T(""), T("")},
    };
    Run(kWhenEmpty);
    EXPECT_EQ(table.Text(0, "IBAN"), "ES11");
    EXPECT_EQ(table.Text(0, "BIC"), "BSCHESMMXXX");
    EXPECT_TRUE(table.At(1, "IBAN").toText().empty());
    EXPECT_EQ(table.Text(1, "BIC"), "CAIXESBBXXX");
    EXPECT_TRUE(table.At(2, "IBAN").isNull());
    EXPECT_EQ(table.Text(2, "BIC"), "CAIXESBBXXX");
    EXPECT_EQ(table.Text(3, "IBAN"), "ES91");
    EXPECT_EQ(table.Text(3, "BIC"), "OTROBICXXX");
    EXPECT_EQ(table.Text(4, "IBAN"), "");
    EXPECT_EQ(table.Text(4, "BIC"), "");
}

TEST_F(BackfillTest, EveryRowRulesOverwriteAndAnUnknownEntityKeepsItsBic) {
    table.rows = {
        {T("2100"), T("0418"), T("45"), T("0200051332"), T("ES00"), T("VIEJOXXX")},
        {T("9999"), T("0418"), T("45"), T("0200051332"), T(""), T("")},
    };
    Run(kEveryRow);
    EXPECT_EQ(table.Text(0, "IBAN"), "ES91");
    EXPECT_EQ(table.Text(0, "BIC"), "CAIXESBBXXX");
    EXPECT_EQ(table.Text(1, "IBAN"), digitoIBAN("99990418450200051332"));
    EXPECT_EQ(table.Text(1, "BIC"), "");
}

TEST_F(BackfillTest, LooksTheEntityUpPaddedOrAsStored) {
    table.rows = {{T("49"), T("1500"), T("05"), T("1234567892"), T(""), T("")}};
    FakeTable copy = table;
    Run(kEveryRow);
    EXPECT_EQ(table.Text(0, "BIC"), "BSCHESMMXXX");  // "49" looked up as "0049"

    table = copy;
    Run(kEveryRowAsStored);
    EXPECT_EQ(table.Text(0, "BIC"), "SINRELLENOXXX");  // "49" looked up as "49"
}

TEST_F(BackfillTest, CancelsARefusedRowAndGoesOn) {
    table.rows = {
        {T("0049"), T("1500"), T("05"), T("1234567892"), T(""), T("")},
        {T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T("")},
        {T("0049"), T("1500"), T("05"), T("1234567893"), T(""), T("")},
    };
    connection.acceptRow = [](const testing::Row& row) { return row[0].toText() != "2100"; };
    const BackfillOutcome outcome = Run(kEveryRow);
    EXPECT_EQ(outcome.rows, 3);
    EXPECT_EQ(outcome.saved, 2);
    EXPECT_EQ(outcome.cancelled, 1);
    EXPECT_EQ(table.Text(0, "BIC"), "BSCHESMMXXX");
    EXPECT_EQ(table.Text(1, "IBAN"), "");
    EXPECT_EQ(table.Text(1, "BIC"), "");
    EXPECT_EQ(table.Text(2, "IBAN"), digitoIBAN("00491500051234567893"));
    EXPECT_FALSE(connection.hasError());
}

TEST_F(BackfillTest, AnEmptyCatalogueStillGivesTheIban) {
    bics.Clear();
    table.rows = {{T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T("")}};
    Run(kEveryRow);
    EXPECT_EQ(table.Text(0, "IBAN"), "ES91");
    EXPECT_EQ(table.Text(0, "BIC"), "");
}

TEST_F(BackfillTest, FillsEachAccountOfARowByItsOwnColumns) {
    FakeTable entities = FakeTable::WithColumns(
        {"E", "S", "D", "C", "IBAN", "BIC", "E2", "S2", "D2", "C2", "IBAN2", "BIC2"});
    entities.rows = {{T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T(""), T("49"),
                      T("1500"), T("5"), T("1234567892"), T(""), T("")},
                     {T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T(""), T(""), T(""),
                      T(""), T(""), T(""), T("")}};
    constexpr std::array<BankAccountColumns, 2> kTwoAccounts = {{
        {"E", "S", "D", "C", "IBAN", "BIC", IbanRule::kWhenEmptyAndAccountComplete,
         BicRule::kWhenEmptyAndEntityPresent, BicKey::kEntityFourDigits},
        {"E2", "S2", "D2", "C2", "IBAN2", "BIC2", IbanRule::kWhenEmptyAndAccountComplete,
         BicRule::kWhenEmptyAndEntityPresent, BicKey::kEntityFourDigits},
    }};
    connection.Answer("SELECT * FROM ENTIDAD", entities);
    RellenarCuentasBancarias(
        connection, bics,
        BankAccountBackfill{"SELECT * FROM ENTIDAD", "", db::CursorType::Dynamic, kTwoAccounts});
    EXPECT_EQ(entities.Text(0, "IBAN"), "ES91");
    EXPECT_EQ(entities.Text(0, "BIC"), "CAIXESBBXXX");
    EXPECT_EQ(entities.Text(0, "IBAN2"), digitoIBAN("00491500051234567892"));
    EXPECT_EQ(entities.Text(0, "BIC2"), "BSCHESMMXXX");
    // An empty second account gets nothing while the first is filled.
    EXPECT_EQ(entities.Text(1, "IBAN"), "ES91");
    EXPECT_EQ(entities.Text(1, "IBAN2"), "");
    EXPECT_EQ(entities.Text(1, "BIC2"), "");
}

TEST_F(BackfillTest, PutsAFamilyTableBetweenTheTwoPartsOfTheStatement) {
    table.rows = {{T("2100"), T("0418"), T("45"), T("0200051332"), T(""), T("")}};
    connection.Answer("SELECT E,S,D,C,IBAN,BIC FROM E2013Cuentas WHERE C <> ''", table);
    const BackfillOutcome outcome = RellenarCuentasBancarias(
        connection, bics,
        BankAccountBackfill{"SELECT E,S,D,C,IBAN,BIC FROM ", " WHERE C <> ''",
                            db::CursorType::Dynamic, kEveryRow},
        "E2013Cuentas");
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(table.Text(0, "IBAN"), "ES91");
}

TEST_F(BackfillTest, SkipsEverythingWhenTheSetCannotBeOpened) {
    connection.Fail(std::string(kSelect), 208, "Invalid object name 'CUENTAS'.");
    const BackfillOutcome outcome = RellenarCuentasBancarias(
        connection, bics, BankAccountBackfill{kSelect, "", db::CursorType::Dynamic, kEveryRow});
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.rows, 0);
    EXPECT_EQ(connection.sent, std::vector<std::string>{"open: " + std::string(kSelect)});
}

}  // namespace
}  // namespace refdata
