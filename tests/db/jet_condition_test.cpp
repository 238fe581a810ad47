#include "db/jet/jet_condition.h"

#include <gtest/gtest.h>

namespace db::jet {
namespace {

// Rows shaped like the base-data file's PAISES table.
class JetConditionTest : public ::testing::Test {
protected:
    std::vector<FieldInfo> fields() const {
        auto f = [](const char* name, FieldType type) {
            FieldInfo info;
            info.name = name;
            info.type = type;
            return info;
        };
        return {f("CODIGO", FieldType::WVarChar), f("CONTINENTE", FieldType::WVarChar),
                f("PREFIJO", FieldType::Integer), f("IVAGENERAL", FieldType::Double),
                f("UE", FieldType::Boolean), f("ALTA", FieldType::DateTime), f("CUOTA", FieldType::Currency)};
    }

    std::vector<std::vector<Variant>> rows() const {
        auto row = [](const char* code, const char* continent, int64_t prefix, double vat, bool eu,
                      std::optional<DateTime> since, std::optional<int64_t> fee) {
            return std::vector<Variant>{Variant::text(code),
                                        Variant::text(continent),
                                        Variant::integer(prefix),
                                        Variant::real(vat),
                                        Variant::boolean(eu),
                                        since ? Variant::dateTime(*since) : Variant(),
                                        fee ? Variant::currency(*fee) : Variant()};
        };
        return {row("ES", "EUROPA", 34, 21, true, DateTime{1986, 1, 1}, 125000),
                row("PT", "EUROPA", 351, 23, true, DateTime{1986, 1, 1}, 0),
                row("FR", "EUROPA", 33, 20, true, DateTime{1958, 1, 1}, std::nullopt),
                row("CH", "EUROPA", 41, 8.1, false, std::nullopt, std::nullopt),
                row("MX", "AMERICA", 52, 16, false, std::nullopt, std::nullopt),
                row("MA", "AFRICA", 212, 20, false, std::nullopt, std::nullopt)};
    }

    // The codes of the rows the condition selects, joined with blanks.
    std::string select(const std::string& text) {
        std::unique_ptr<Condition> condition;
        Status s = Condition::parse(text, fields(), condition);
        if (!s) return "error " + std::to_string(s.error().nativeError);
        std::string codes;
        for (const auto& row : rows()) {
            bool keep = false;
            if (Status m = condition->matches(row, keep); !m) return "error " + std::to_string(m.error().nativeError);
            if (keep) codes += (codes.empty() ? "" : " ") + row[0].str();
        }
        return codes;
    }
};

TEST_F(JetConditionTest, SelectsRowsWithJetsComparisonRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"CONTINENTE='EUROPA'", "ES PT FR CH"},
        {"continente = 'europa'", "ES PT FR CH"},              // text without regard to case
        {"CONTINENTE=\"AFRICA\"", "MA"},                       // double-quoted text
        {"PREFIJO > 100 AND UE = 0", "MA"},
        {"PREFIJO > 100 OR CODIGO = 'CH'", "PT CH MA"},
        {"NOT (CONTINENTE = 'EUROPA')", "MX MA"},
        {"UE = True", "ES PT FR"},
        {"UE = -1", "ES PT FR"},                               // True is -1
        {"UE = 1", ""},
        {"UE", "ES PT FR"},
        {"UE = No", "CH MX MA"},
        {"IVAGENERAL = 8.1", "CH"},
        {"IVAGENERAL BETWEEN 16 AND 20", "FR MX MA"},
        {"IVAGENERAL NOT BETWEEN 16 AND 20", "ES PT CH"},
        {"PREFIJO IN (33, 34, 999)", "ES FR"},
        {"CODIGO NOT IN ('ES','PT')", "FR CH MX MA"},
        {"PREFIJO = '34'", "ES"},                              // numeric text against a number
        {"ALTA < #1/1/1980#", "FR"},                           // month/day/year literal
        {"ALTA = #1986-01-01#", "ES PT"},
        {"ALTA >= '01/01/1986'", "ES PT"},                     // text read as a date
        {"ALTA IS NULL", "CH MX MA"},
        {"ALTA IS NOT NULL AND CUOTA IS NULL", "FR"},
        {"CUOTA = 12.5", "ES"},
        {"ALTA <> #1986-01-01#", "FR"},                        // NULL is unknown, not different
        {"PREFIJO * 2 > 100", "PT MX MA"},
        {"PREFIJO MOD 2 = 1", "PT FR CH"},
        {"PREFIJO \\ 100 = 2", "MA"},
        {"-PREFIJO < -300 OR PREFIJO - 1 = 32", "PT FR"},
        {"CODIGO & CONTINENTE = 'ESEUROPA'", "ES"},
        {"[CODIGO] LIKE 'M%'", "MX MA"},
        {"PAISES.CODIGO LIKE '_H'", "CH"},
        {"CODIGO LIKE '[E-F]%'", "ES FR"},
        {"CODIGO NOT LIKE '[!M]%'", "MX MA"},
        {"(PREFIJO < 40 OR PREFIJO > 300) AND UE <> 0", "ES PT FR"},
        {"PREFIJO * 10000000000000000 * 100000 > 0", "ES PT FR CH MX MA"},  // beyond the integers
        {"ALTA + 1 = #1986-01-02#", "ES PT"},
    };
    for (const auto& [condition, expected] : cases) {
        EXPECT_EQ(select(condition), expected) << condition;
    }
}

TEST_F(JetConditionTest, BadConditionsAreErrorValues) {
    EXPECT_EQ(select("CONTINENTE = "), "error 3075");
    EXPECT_EQ(select("CONTINENTE = 'EUROPA"), "error 3075");
    EXPECT_EQ(select("PREFIJO > 100 AND"), "error 3075");
    EXPECT_EQ(select("ALTA < #not a date#"), "error 3075");
    EXPECT_EQ(select("NO_SUCH_COLUMN = 1"), "error 3061");
    EXPECT_EQ(select("PREFIJO = 'abc'"), "error 3464");
    EXPECT_EQ(select("ALTA = 'abc'"), "error 3464");
    EXPECT_EQ(select("Year(ALTA) = 1986"), "error 3251");
    EXPECT_EQ(select("PREFIJO / 0 = 1"), "error 3075");
    EXPECT_EQ(select("ALTA + 9e99 > ALTA"), "error 3349");  // a date beyond 9999
}

TEST(JetLike, WildcardsAndCharacterLists) {
    EXPECT_TRUE(likeMatches("Almería", "alm%"));
    EXPECT_TRUE(likeMatches("Almería", "%ERÍA"));
    EXPECT_TRUE(likeMatches("Ávila", "_vila"));  // one character, even when it takes two bytes
    EXPECT_FALSE(likeMatches("Ávila", "__vila"));
    EXPECT_TRUE(likeMatches("abc", "a%c%"));
    EXPECT_FALSE(likeMatches("abc", "a%d"));
    EXPECT_TRUE(likeMatches("a1", "a[0-9]"));
    EXPECT_FALSE(likeMatches("a1", "a[!0-9]"));
    EXPECT_TRUE(likeMatches("", "%"));
    EXPECT_FALSE(likeMatches("", "_"));
}

}  // namespace
}  // namespace db::jet
