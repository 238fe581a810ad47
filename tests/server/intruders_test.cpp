// tds-server against peers that break the rules: wrong logins, bytes that are not TDS, packets
// and values that announce more than they hold, clients that vanish or stop reading. Each
// such connection must end (and the log say why) while a well-behaved client connected all
// along keeps getting its answers, and no password may reach the log.
#include <gtest/gtest.h>

#include <memory>

#include "odbc_client.h"
#include "server/tds/bytes.h"
#include "server_fixture.h"
#include "wire_client.h"

namespace server_test {
namespace {

using tds::PacketType;
using test_support::TdsServerProcess;

constexpr const char* kWrongPassword = "Clave-equivocada-77";

// A packet with any header the test likes.
std::string Packet(uint8_t type, uint8_t status, uint16_t length, std::string_view data) {
    tds::ByteWriter w;
    w.u8(type), w.u8(status), w.u16be(length), w.u16be(0), w.u8(1), w.u8(0);
    w.raw(data);
    return w.bytes();
}

// sp_executesql whose statement, an nvarchar(max), announces `total` bytes in a first chunk
// of `chunk` bytes, and holds a few.
std::string RpcWithPlp(uint64_t total, uint32_t chunk) {
    tds::ByteWriter w;
    w.u32(22), w.u32(18), w.u16(2), w.u64(0), w.u32(1);
    w.u16(0xFFFF), w.u16(10), w.u16(0);  // sp_executesql by number, no options
    w.u8(0), w.u8(0);                    // unnamed, input
    w.u8(0xE7), w.u16(0xFFFF), w.raw(std::string("\x09\x04\xD0\x00\x34", 5));
    w.u64(total), w.u32(chunk);
    w.raw(Utf16("SELECT 1"));
    return w.bytes();
}

class IntrudersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(MakeDataDirectory(
                      directory_.path(),
                      {"CREATE DATABASE Vardex",
                       "USE Vardex; SET NOCOUNT ON;"
                       "CREATE TABLE Marcas (id int PRIMARY KEY, nombre varchar(100));"
                       "DECLARE @i int = 0; WHILE @i < 500 BEGIN"
                       "  INSERT Marcas VALUES (@i, REPLICATE('m', 90) + CAST(@i AS varchar(10)));"
                       "  SET @i += 1 END"}),
                  "");
        server_ = std::make_unique<TdsServerProcess>(directory_.path());
        ASSERT_TRUE(server_->Started()) << server_->Error();
        witness_ = std::make_unique<OdbcClient>(server_->Port(), TdsServerProcess::kLogin,
                                                TdsServerProcess::kPassword, "Vardex");
        ASSERT_TRUE(witness_->Connected()) << witness_->Error();
    }

    void TearDown() override {
        witness_.reset();
        if (!server_) return;
        const int status = server_->Stop();
        const std::string log = server_->Log();
        EXPECT_EQ(status, 0) << log;
        for (const char* password : {TdsServerProcess::kPassword, kWrongPassword})
            EXPECT_EQ(log.find(password), std::string::npos) << "a password in the log:\n" << log;
        EXPECT_EQ(log.find("internal error"), std::string::npos) << log;
    }

    // The client connected since the start still gets its answers.
    void ExpectWitnessAnswers() {
        Outcome out = witness_->Run("SELECT COUNT(*) FROM Marcas");
        EXPECT_TRUE(out.ok()) << out.errorText;
        EXPECT_EQ(out.scalar(), "500");
    }

    TempDirectory directory_{"intruders"};
    std::unique_ptr<TdsServerProcess> server_;
    std::unique_ptr<OdbcClient> witness_;
};

TEST_F(IntrudersTest, LoginsThatFailAreRefusedAndTheirConnectionsClosed) {
    struct Case {
        const char* what;
        std::string user, password;
        uint8_t optionFlags2;
        int error;
        std::string text;  // the error's text, or a part of it
        std::string logged;
    };
    const Case cases[] = {
        {"wrong password", TdsServerProcess::kLogin, kWrongPassword, 0, 18456,
         "Login failed for user 'actualiza'.", "Login failed for user 'actualiza'."},
        {"unknown login", "nadie", kWrongPassword, 0, 18456, "Login failed for user 'nadie'.",
         "Login failed for user 'nadie'."},
        {"integrated security", "", "", 0x80, 18452, "Integrated authentication",
         "integrated security is not supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WireClient intruder(server_->Port());
        ASSERT_TRUE(intruder.Connected());
        ASSERT_TRUE(intruder.SendMessage(PacketType::Login7,
                                         Login7Record(c.user, c.password, "", c.optionFlags2)));
        auto payload = intruder.ReadMessage();
        ASSERT_TRUE(payload);
        Reply reply = Summarize(*payload);
        EXPECT_FALSE(reply.loginAck);
        ASSERT_EQ(reply.errors, std::vector<int>{c.error});
        EXPECT_NE(reply.texts[0].find(c.text), std::string::npos) << reply.texts[0];
        EXPECT_TRUE(intruder.ClosedByServer());
        EXPECT_EQ(ConnectionEnd(*server_, intruder.LocalPort()), "refused (" + c.logged + ")");
        ExpectWitnessAnswers();
    }
    // FreeTDS sees the same refusal.
    OdbcClient wrong(server_->Port(), TdsServerProcess::kLogin, kWrongPassword);
    EXPECT_FALSE(wrong.Connected());
    EXPECT_EQ(wrong.Error().rfind("18456 ", 0), 0u) << wrong.Error();
}

TEST_F(IntrudersTest, BytesThatBreakTheProtocolCloseOnlyTheirOwnConnection) {
    const std::string login = Login7Record("x", "y");
    std::string hugeLogin = login;
    hugeLogin[0] = '\xFF', hugeLogin[1] = '\xFF', hugeLogin[2] = '\xFF', hugeLogin[3] = '\x7F';
    std::string hostOutside = login;
    hostOutside[36] = '\xFF', hostOutside[37] = '\x7F';  // the host name's offset
    std::string loginBeyondCeiling;  // LOGIN7 packets that never end the message
    for (int i = 0; i < 6; ++i)
        loginBeyondCeiling += Packet(0x10, 0, 32767, std::string(32767 - 8, 'L'));
    std::string batchBeyondCeiling;  // past the 64 MB a logged-in client may send at once
    for (int i = 0; i < 2050; ++i)
        batchBeyondCeiling += Packet(0x01, 0, 32767, std::string(32767 - 8, 'B'));

    struct Case {
        const char* what;
        bool loggedIn;  // the intruder logs in properly first
        std::string bytes;
        bool thenCloses;  // the intruder closes at once, instead of waiting to be closed
        std::string logged;
    };
    const Case cases[] = {
        {"not TDS at all", false, "GET / HTTP/1.1\r\nHost: tds\r\n\r\n", false,
         "protocol error: unknown packet type"},
        {"a header longer than any packet", false, Packet(0x10, 1, 0xFFFF, login), false,
         "protocol error: packet longer than TDS allows"},
        {"a header shorter than itself", false, Packet(0x12, 1, 4, ""), false,
         "protocol error: packet shorter than its header"},
        {"a truncated packet, then gone", false, Packet(0x10, 1, 400, login.substr(0, 50)), true,
         "the client closed the connection, in the middle of a message"},
        {"a login message beyond the login ceiling", false, loginBeyondCeiling, false,
         "protocol error: message larger than the server accepts"},
        {"a LOGIN7 announcing 2 GB", false, tds::packetsOf(PacketType::Login7, hugeLogin), false,
         "protocol error: LOGIN7 length does not match the packet"},
        {"a LOGIN7 pointing outside itself", false, tds::packetsOf(PacketType::Login7, hostOutside),
         false, "protocol error: LOGIN7 field outside the record"},
        {"a batch instead of a login", false,
         tds::packetsOf(PacketType::SqlBatch, BatchPayload("SELECT 1")), false,
         "protocol error: LOGIN7 expected"},
        {"a PLP value announcing 2 GB", true,
         tds::packetsOf(PacketType::Rpc, RpcWithPlp(0x7FFFFFFF, 0x7FFFFFFF)), false,
         "protocol error: PLP value longer than the message"},
        {"a PLP chunk announcing 2 GB", true,
         tds::packetsOf(PacketType::Rpc, RpcWithPlp(0xFFFFFFFFFFFFFFFE, 0x7FFFFFFF)), false,
         "protocol error: message shorter than it announces"},
        {"a request beyond the ceiling", true, batchBeyondCeiling, false,
         "protocol error: message larger than the server accepts"},
        {"a response sent to the server", true, tds::packetsOf(PacketType::TabularResult, "\xFD"),
         false, "protocol error: unexpected packet type after login"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WireClient intruder(server_->Port());
        ASSERT_TRUE(intruder.Connected());
        const int port = intruder.LocalPort();
        if (c.loggedIn) {
            ASSERT_TRUE(
                intruder.LogIn(TdsServerProcess::kLogin, TdsServerProcess::kPassword).loginAck);
        }
        intruder.Send(c.bytes);  // the server may close before it has taken everything
        if (c.thenCloses) {
            intruder.Close();
        } else {
            EXPECT_TRUE(intruder.ClosedByServer());
        }
        EXPECT_EQ(ConnectionEnd(*server_, port),
                  (c.loggedIn ? "closed (" : "refused (") + c.logged + ")");
        ExpectWitnessAnswers();
    }
    // And a newcomer that keeps the rules is served as ever.
    WireClient newcomer(server_->Port());
    ASSERT_TRUE(newcomer.LogIn(TdsServerProcess::kLogin, TdsServerProcess::kPassword).loginAck);
    auto reply = newcomer.Run("PRINT 'sigo aquí'");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->texts, std::vector<std::string>{"sigo aquí"});
}

TEST_F(IntrudersTest, AClientThatVanishesInsideALargeResultLeavesNothingBehind) {
    WireClient intruder(server_->Port());
    ASSERT_TRUE(
        intruder.LogIn(TdsServerProcess::kLogin, TdsServerProcess::kPassword, "Vardex").loginAck);
    auto began = intruder.Run("BEGIN TRANSACTION; INSERT Marcas VALUES (9999, 'intrusa')");
    ASSERT_TRUE(began && began->errors.empty());
    // Megabytes of rows; the intruder reads the first few kilobytes and is gone.
    ASSERT_TRUE(intruder.SendMessage(
        PacketType::SqlBatch,
        BatchPayload("SELECT a.nombre, b.nombre FROM Marcas a CROSS JOIN Marcas b")));
    EXPECT_FALSE(intruder.ReadSome(8192).empty());
    const int port = intruder.LocalPort();
    intruder.Close();
    EXPECT_EQ(ConnectionEnd(*server_, port).rfind("closed (", 0), 0u);
    // Its transaction went with it: the row is gone and the table free for others.
    Outcome out = witness_->Run(
        "SELECT COUNT(*) FROM Marcas WHERE id = 9999; UPDATE Marcas SET nombre = 'x' WHERE id = 1");
    EXPECT_TRUE(out.ok()) << out.errorText;
    EXPECT_EQ(out.scalar(), "0");
}

TEST_F(IntrudersTest, AClientThatStopsReadingDoesNotHoldUpTheOthers) {
    WireClient intruder(server_->Port());
    intruder.SetSmallReceiveBuffer();
    ASSERT_TRUE(
        intruder.LogIn(TdsServerProcess::kLogin, TdsServerProcess::kPassword, "Vardex").loginAck);
    // Messages, not rows: the engine sends them with its lock held for every session.
    ASSERT_TRUE(intruder.SendMessage(PacketType::SqlBatch,
                                     BatchPayload("DECLARE @i int = 0; WHILE @i < 20000 BEGIN "
                                                  "PRINT REPLICATE('x', 4000); SET @i += 1 END")));
    // Tens of megabytes of messages to make first: slow in a sanitized build on a busy machine.
    const std::string end = ConnectionEnd(*server_, intruder.LocalPort(), std::chrono::seconds(180));
    EXPECT_NE(end.find("the client does not read its results"), std::string::npos)
        << server_->Log();
    ExpectWitnessAnswers();
}

// Not an intruder, but the same race: an attention that arrives while its request is still
// on its way to the engine must cancel it all the same, not a minute later.
TEST_F(IntrudersTest, AnAttentionCancelsTheRequestItFollowsAtOnce) {
    WireClient client(server_->Port());
    ASSERT_TRUE(
        client.LogIn(TdsServerProcess::kLogin, TdsServerProcess::kPassword, "Vardex").loginAck);
    const std::string attention = tds::packetsOf(PacketType::Attention, "");
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const std::string waiting =
            tds::packetsOf(PacketType::SqlBatch, BatchPayload("WAITFOR DELAY '00:01:00'"));
        // Together, and then apart (the request surely running by the time it comes).
        ASSERT_TRUE(client.Send(i % 2 ? waiting + attention : waiting));
        if (i % 2 == 0) {
            EXPECT_FALSE(client.ReadMessage(std::chrono::milliseconds(100)));
            ASSERT_TRUE(client.Send(attention));
        }
        // The request's response, cut short, then the acknowledgement in a message of its
        // own (a request cancelled before it started gets the acknowledgement alone).
        bool acknowledged = false;
        for (int message = 0; message < 2 && !acknowledged; ++message) {
            auto payload = client.ReadMessage(std::chrono::seconds(30));  // half the WAITFOR
            ASSERT_TRUE(payload);
            acknowledged = Summarize(*payload).attentionAck;
        }
        EXPECT_TRUE(acknowledged);
        auto reply = client.Run("PRINT 'listo'");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->texts, std::vector<std::string>{"listo"});
    }
}

TEST(IntrudersNoLoginsTest, ADataDirectoryWithoutLoginsRefusesEveryLogin) {
    TempDirectory directory("intruders-no-logins");
    ASSERT_EQ(MakeDataDirectory(directory.path(), {}), "");
    TdsServerProcess server(directory.path(), {}, false);
    ASSERT_TRUE(server.Started()) << server.Error();
    EXPECT_NE(server.Log().find("the data directory has no logins"), std::string::npos)
        << server.Log();
    for (const char* login : {"sa", TdsServerProcess::kLogin}) {
        WireClient client(server.Port());
        Reply reply = client.LogIn(login, TdsServerProcess::kPassword);
        EXPECT_FALSE(reply.loginAck);
        EXPECT_EQ(reply.errors, std::vector<int>{18456});
        EXPECT_TRUE(client.ClosedByServer());
    }
    OdbcClient odbc(server.Port(), "sa", TdsServerProcess::kPassword);
    EXPECT_FALSE(odbc.Connected());
    EXPECT_EQ(odbc.Error().rfind("18456 ", 0), 0u) << odbc.Error();
    EXPECT_EQ(server.Stop(), 0) << server.Log();
    EXPECT_EQ(server.Log().find(TdsServerProcess::kPassword), std::string::npos) << server.Log();
}

}  // namespace
}  // namespace server_test
