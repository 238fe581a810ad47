// Logins as the network front end uses them: authentication, the first-start login, the
// login of a connection, and the logins file on disk (atomic, checked, never mistaken for
// empty). The statements themselves are in the corpus (logins.test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/security/login_store.h"
#include "engine/session.h"
#include "engine/types/render.h"

namespace {

using engine::LoginStore;
using engine::Session;

class LoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("engine-login-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::unique_ptr<Session> open(const std::string& login = "") {
        engine::SessionOptions options;
        options.login = login;
        auto opened = Session::open(dir_, "master", options);
        EXPECT_TRUE(opened.session);
        return std::move(opened.session);
    }

    std::string fileBytes() const {
        std::ifstream in(dir_ / LoginStore::kFileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void writeFile(const std::string& bytes) const {
        std::ofstream(dir_ / LoginStore::kFileName, std::ios::binary | std::ios::trunc) << bytes;
    }

    std::filesystem::path dir_;
};

TEST_F(LoginTest, AuthenticatesTheFirstStartLoginAndRefusesEveryOtherCredentialAlike) {
    EXPECT_FALSE(Session::hasLogins(dir_));
    EXPECT_TRUE(Session::setLogin(dir_, "sa", "Primera#Clave1").empty());
    EXPECT_TRUE(Session::hasLogins(dir_));

    auto ok = Session::authenticate(dir_, "SA", "Primera#Clave1");
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.defaultDatabase, "master");
    EXPECT_TRUE(ok.messages.empty());

    const std::vector<std::pair<std::string, std::string>> wrong = {{"sa", "primera#clave1"},
                                                                    {"nadie", "Primera#Clave1"}};
    for (const auto& [login, password] : wrong) {
        auto failed = Session::authenticate(dir_, login, password);
        EXPECT_FALSE(failed.ok);
        ASSERT_EQ(failed.messages.size(), 1u);
        EXPECT_EQ(failed.messages[0].number, 18456);
        EXPECT_EQ(failed.messages[0].severity, 14);
        EXPECT_EQ(failed.messages[0].state, 1);
        EXPECT_EQ(failed.messages[0].text, "Login failed for user '" + login + "'.");
    }

    // Setting it again replaces the password (and keeps the one login).
    EXPECT_TRUE(Session::setLogin(dir_, "sa", "Segunda#Clave2").empty());
    EXPECT_FALSE(Session::authenticate(dir_, "sa", "Primera#Clave1").ok);
    EXPECT_TRUE(Session::authenticate(dir_, "sa", "Segunda#Clave2").ok);
    auto s = open();
    auto r = s->execute("SELECT name, principal_id, sid FROM sys.sql_logins");
    ASSERT_EQ(r.resultSets.size(), 1u);
    ASSERT_EQ(r.resultSets[0].rows.size(), 1u);
    EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[0][1]), "1");
    EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[0][2]), "0x01");
}

TEST_F(LoginTest, DisabledLoginsFailAndTheDefaultDatabaseIsReported) {
    auto s = open();
    auto r = s->execute(
        "CREATE DATABASE Vardex "
        "CREATE LOGIN Gestor WITH PASSWORD = 'Gestor#2024x', DEFAULT_DATABASE = VARDEX, "
        "CHECK_POLICY = OFF");
    ASSERT_FALSE(r.hasErrors()) << r.firstError()->text;
    auto ok = Session::authenticate(dir_, "gestor", "Gestor#2024x");
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.defaultDatabase, "Vardex");

    ASSERT_FALSE(s->execute("ALTER LOGIN gestor DISABLE").hasErrors());
    auto failed = Session::authenticate(dir_, "gestor", "Gestor#2024x");
    EXPECT_FALSE(failed.ok);
    ASSERT_EQ(failed.messages.size(), 1u);
    EXPECT_EQ(failed.messages[0].number, 18456);
}

TEST_F(LoginTest, TheConnectionsLoginIsTheirSystemUserAndCannotBeDroppedWhileConnected) {
    ASSERT_TRUE(Session::setLogin(dir_, "Gestor", "Gestor#2024x").empty());
    auto admin = open();
    auto r = admin->execute("SELECT SUSER_SNAME(), SYSTEM_USER");
    EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[0][0]), "sa");
    {
        auto gestor = open("Gestor");
        r = gestor->execute("SELECT SUSER_SNAME(), SUSER_NAME(), SYSTEM_USER, ORIGINAL_LOGIN()");
        for (const auto& v : r.resultSets[0].rows[0])
            EXPECT_EQ(engine::renderForShell(v), "Gestor");
        r = admin->execute("DROP LOGIN GESTOR");
        ASSERT_TRUE(r.hasErrors());
        EXPECT_EQ(r.firstError()->number, 15434);
        EXPECT_EQ(r.firstError()->text,
                  "Could not drop login 'GESTOR' as the user is currently logged in.");
    }
    EXPECT_FALSE(admin->execute("DROP LOGIN GESTOR").hasErrors());
    EXPECT_FALSE(Session::hasLogins(dir_));
}

TEST_F(LoginTest, TheFileHoldsHashesOnlyAndSurvivesAReopen) {
    ASSERT_TRUE(Session::setLogin(dir_, "sa", "Primera#Clave1").empty());
    auto s = open();
    ASSERT_FALSE(s->execute("CREATE LOGIN Otro WITH PASSWORD = N'Otra#Clave22'").hasErrors());
    s.reset();
    const std::string bytes = fileBytes();
    EXPECT_EQ(bytes.find("Primera#Clave1"), std::string::npos);
    EXPECT_EQ(bytes.find("Otra#Clave22"), std::string::npos);
    EXPECT_NE(bytes.find("$argon2id$"), std::string::npos);
    EXPECT_TRUE(Session::authenticate(dir_, "otro", "Otra#Clave22").ok);
    // No temporary file is left behind by the atomic replacement.
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(LoginStore::kFileName + std::string(".")),
                  std::string::npos)
            << entry.path();
}

TEST_F(LoginTest, ADamagedFileIsAnErrorNeverNoLogins) {
    ASSERT_TRUE(Session::setLogin(dir_, "sa", "Primera#Clave1").empty());
    const std::string good = fileBytes();
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x20;
    std::string unknownVersion = good;
    unknownVersion[8] = 9;  // the version word follows the magic
    for (const std::string& damaged : {good.substr(0, good.size() - 3), flipped, unknownVersion}) {
        writeFile(damaged);
        LoginStore store;
        auto error = store.load(dir_);
        ASSERT_TRUE(error);
        EXPECT_NE(error->find("is damaged"), std::string::npos) << *error;

        auto result = Session::authenticate(dir_, "sa", "Primera#Clave1");
        EXPECT_FALSE(result.ok);
        ASSERT_EQ(result.messages.size(), 1u);
        EXPECT_EQ(result.messages[0].number, 17);
        // The first-start path must not paper over the damage with a fresh file.
        auto set = Session::setLogin(dir_, "sa", "Nueva#Clave3");
        ASSERT_EQ(set.size(), 1u);
        EXPECT_EQ(set[0].number, 17);
        EXPECT_EQ(fileBytes(), damaged);
        auto s = open();
        auto r = s->execute("CREATE LOGIN x WITH PASSWORD = 'y', CHECK_POLICY = OFF");
        ASSERT_TRUE(r.hasErrors());
        EXPECT_EQ(fileBytes(), damaged);
    }
    writeFile(good);
    EXPECT_TRUE(Session::authenticate(dir_, "sa", "Primera#Clave1").ok);
}

}  // namespace
