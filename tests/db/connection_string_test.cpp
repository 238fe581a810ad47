#include "db/connection_string.h"
#include "db/text_util.h"

#include <gtest/gtest.h>

namespace db {
namespace {

TEST(QuoteValue, LeavesPlainValuesAlone) {
    EXPECT_EQ(quoteValue("sa"), "sa");
    EXPECT_EQ(quoteValue("SRV,1433"), "SRV,1433");
    EXPECT_EQ(quoteValue("host\\INST"), "host\\INST");
    EXPECT_EQ(quoteValue("p a s s"), "p a s s");
    EXPECT_EQ(quoteValue(""), "");
}

TEST(QuoteValue, BracesValuesThatWouldBreakTheString) {
    EXPECT_EQ(quoteValue("a;b"), "{a;b}");
    EXPECT_EQ(quoteValue("x=y"), "{x=y}");
    EXPECT_EQ(quoteValue("{x"), "{{x}");
    EXPECT_EQ(quoteValue("a}b"), "{a}}b}");
    EXPECT_EQ(quoteValue(" lead"), "{ lead}");
    EXPECT_EQ(quoteValue("trail "), "{trail }");
}

TEST(ParseConnectionString, ReadsTheFormsTheRoutinesCompose) {
    auto login = parseConnectionString("Server=SRV,1433;uid=sa;pwd=secret;database=vardex");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->server, "SRV,1433");
    EXPECT_EQ(login->user, "sa");
    EXPECT_EQ(login->password, "secret");
    EXPECT_EQ(login->database, "vardex");
    EXPECT_FALSE(login->integratedSecurity);
    EXPECT_EQ(login->loginTimeoutSeconds, 60);

    auto integrated = parseConnectionString("Server=./datos;database=Empresa_0001;Integrated Security=SSPI");
    ASSERT_TRUE(integrated);
    EXPECT_EQ(integrated->server, "./datos");
    EXPECT_EQ(integrated->database, "Empresa_0001");
    EXPECT_TRUE(integrated->integratedSecurity);
    EXPECT_EQ(integrated->user, "");
}

TEST(ParseConnectionString, KeysAreCaseInsensitiveWithSynonyms) {
    auto s = parseConnectionString(
        "Provider=SQLOLEDB; DATA SOURCE = srv ;User ID=u;Password=p;Initial Catalog=db;"
        "Connect Timeout=15;Trusted_Connection=yes");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->server, "srv");
    EXPECT_EQ(s->user, "u");
    EXPECT_EQ(s->password, "p");
    EXPECT_EQ(s->database, "db");
    EXPECT_EQ(s->loginTimeoutSeconds, 15);
    EXPECT_TRUE(s->integratedSecurity);
}

TEST(ParseConnectionString, HonoursBracesAndQuotes) {
    auto s = parseConnectionString("uid={we;ird};pwd={a}}b;c=d};database=\"x\"\"y\";server='s;1'");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->user, "we;ird");
    EXPECT_EQ(s->password, "a}b;c=d");
    EXPECT_EQ(s->database, "x\"y");
    EXPECT_EQ(s->server, "s;1");
    EXPECT_FALSE(parseConnectionString("pwd={never closed;database=x"));
}

// A password pasted unquoted would end at ';' and inject the attributes after it; quoted
// with quoteValue() it survives whole and nothing is injected.
TEST(ParseConnectionString, QuotedPasswordCannotInjectAttributes) {
    const std::string evil = "x;database=master;Integrated Security=SSPI;}";
    auto pasted = parseConnectionString("Server=s;uid=sa;pwd=" + evil + ";database=Vardex");
    ASSERT_TRUE(pasted);
    EXPECT_NE(pasted->password, evil);

    auto quoted = parseConnectionString("Server=s;uid=sa;" + attribute("pwd", evil) + ";database=Vardex");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->password, evil);
    EXPECT_EQ(quoted->database, "Vardex");
    EXPECT_FALSE(quoted->integratedSecurity);
}

TEST(FormatConnectionString, RoundTripsEveryValue) {
    ConnectionSettings in;
    in.server = "host,1433";
    in.user = " user ";
    in.password = "p;}{=w";
    in.database = "Empresa_0001";
    auto out = parseConnectionString(formatConnectionString(in));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->server, in.server);
    EXPECT_EQ(out->user, in.user);
    EXPECT_EQ(out->password, in.password);
    EXPECT_EQ(out->database, in.database);
    EXPECT_FALSE(out->integratedSecurity);

    in.integratedSecurity = true;
    EXPECT_EQ(formatConnectionString(in), "Server=host,1433;database=Empresa_0001;Integrated Security=SSPI");
}

}  // namespace
}  // namespace db

// Field and key names compare without regard to case, ASCII in place and the Latin-1 letters of
// UTF-8 text through folding; nothing but letters folds.
TEST(TextUtilTest, NamesCompareWithoutRegardToCase) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"Iban", "IBAN", true},      {"iban", "ibam", false},   {"[", "{", false},
        {"@", "`", false},           {"Año", "AÑO", true},      {"AñoX", "AÑOY", false},
        {"Cuenta", "Cuentas", false}, {"", "", true},           {"ñ", "n\xcc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(db::equalsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(db::equalsIgnoreCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
    }
}
