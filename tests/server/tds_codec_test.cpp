// The TDS codec on its own: packets split and joined in any way, the login records a client
// may send (and those it must not), and every engine type through TYPE_INFO and back.
#include <gtest/gtest.h>

#include <random>

#include "engine/types/text.h"
#include "server/tds/bytes.h"
#include "server/tds/login7.h"
#include "server/tds/packet.h"
#include "server/tds/prelogin.h"
#include "server/tds/requests.h"
#include "server/tds/type_codec.h"
#include "wire_client.h"

namespace {

using namespace tds;
using engine::DataType;
using engine::TypeId;
using engine::Value;

std::string utf16(std::string_view utf8) {
    return engine::utf8ToUtf16le(utf8);
}

TEST(PacketTest, MessagesSurviveAnySplitOfTheirPackets) {
    std::string payload(10000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7);
    std::string wire = packetsOf(PacketType::SqlBatch, payload, 512);
    wire += packetsOf(PacketType::Rpc, "second", 512);
    EXPECT_EQ(wire.size(), payload.size() + 6 + 8 * (20 + 1));  // 504 bytes of data a packet

    std::mt19937 random(7);
    MessageAssembler assembler;
    std::vector<Message> out;
    for (size_t at = 0; at < wire.size();) {
        const size_t n = std::min<size_t>(wire.size() - at, 1 + random() % 700);
        assembler.feed(std::string_view(wire).substr(at, n));
        at += n;
        while (auto m = assembler.next())
            out.push_back(std::move(*m));
    }
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].type, PacketType::SqlBatch);
    EXPECT_EQ(out[0].payload, payload);
    EXPECT_EQ(out[1].payload, "second");
    EXPECT_TRUE(assembler.idle());
}

TEST(PacketTest, RefusesPacketsNoClientSends) {
    auto feed = [](std::string bytes, size_t limit = 1 << 20) {
        MessageAssembler a(limit);
        a.feed(bytes);
    };
    EXPECT_THROW(feed(std::string("\x01\x01\x00\x04\x00\x00\x01\x00", 8)), ProtocolError);  // shorter than header
    EXPECT_THROW(feed(std::string("\x63\x01\x00\x08\x00\x00\x01\x00", 8)), ProtocolError);  // unknown type
    EXPECT_THROW(feed(std::string("\x01\x00\xFF\xFF\x00\x00\x01\x00", 8)), ProtocolError);  // beyond 32767
    // A batch packet followed by an RPC packet inside the same message.
    EXPECT_THROW(feed(std::string("\x01\x00\x00\x09\x00\x00\x01\x00x\x03\x01\x00\x09\x00\x00\x02\x00y", 18)),
                 ProtocolError);
    // Packets that keep coming past the ceiling.
    std::string many;
    for (int i = 0; i < 10; ++i)
        many += std::string("\x01\x00\x00\x10\x00\x00\x01\x00", 8) + std::string(8, 'x');
    EXPECT_THROW(feed(many, 64), ProtocolError);
    // An attention may cut a message short.
    MessageAssembler a;
    a.feed(std::string("\x01\x00\x00\x09\x00\x00\x01\x00x\x06\x01\x00\x08\x00\x00\x01\x00", 17));
    auto m = a.next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, PacketType::Attention);
}

TEST(PreLoginTest, OptionsAndEncryptionChoice) {
    ByteWriter w;
    w.u8(0x00), w.u16be(11), w.u16be(6);  // version
    w.u8(0x01), w.u16be(17), w.u16be(1);  // encryption
    w.u8(0xFF);
    w.raw(std::string("\x0F\x00\x07\xD0\x00\x00", 6));
    w.u8(0x01);
    PreLoginRequest r = parsePreLogin(w.bytes());
    EXPECT_EQ(r.clientVersion, 0x0F0007D0u);
    EXPECT_EQ(r.encryption, Encryption::On);

    std::string bad = w.bytes();
    bad[4] = 0x7F;  // version option longer than the packet
    EXPECT_THROW(parsePreLogin(bad), ProtocolError);

    EXPECT_TRUE(chooseEncryption(Encryption::On, false).refuse);
    EXPECT_FALSE(chooseEncryption(Encryption::Off, false).refuse);
    EXPECT_EQ(chooseEncryption(Encryption::Off, true).reply, Encryption::Off);
    EXPECT_TRUE(chooseEncryption(Encryption::Off, true).encryptLogin);
    EXPECT_FALSE(chooseEncryption(Encryption::Off, true).encryptSession);
    EXPECT_TRUE(chooseEncryption(Encryption::Required, true).encryptSession);

    PreLoginRequest back = parsePreLogin(buildPreLoginReply({Encryption::NotSupported}));
    EXPECT_EQ(back.encryption, Encryption::NotSupported);
}

TEST(Login7Test, FieldsAndThePasswordAreRecovered) {
    Login7 l = parseLogin7(server_test::Login7Record("sa", "pässwörd€", "Vardex"));
    EXPECT_EQ(l.tdsVersion, kTds74);
    EXPECT_EQ(l.userName, "sa");
    EXPECT_EQ(l.password, "pässwörd€");
    EXPECT_EQ(l.database, "Vardex");
    EXPECT_EQ(l.hostName, "host");
    EXPECT_FALSE(l.integratedSecurity);
    EXPECT_TRUE(parseLogin7(server_test::Login7Record("", "", "", 0x80)).integratedSecurity);
}

TEST(Login7Test, LengthsPointingOutsideThePacketAreRefused) {
    std::string good = server_test::Login7Record("sa", "x", "db");
    std::string longer = good;
    longer[0] = static_cast<char>(0xF0);  // claims more than the packet holds
    EXPECT_THROW(parseLogin7(longer), ProtocolError);
    std::string outside = good;
    outside[40] = static_cast<char>(0xFF), outside[41] = static_cast<char>(0x7F);  // host name offset
    EXPECT_THROW(parseLogin7(outside), ProtocolError);
    EXPECT_THROW(parseLogin7(good.substr(0, 60)), ProtocolError);
}

// Values written as a column would carry them, read back as an RPC parameter would: the
// two share their encodings for every type but text/ntext/image.
TEST(TypeCodecTest, EveryTypeRoundTrips) {
    const std::vector<Value> values = {
        Value::bit(true),
        Value::integer(200, TypeId::TinyInt),
        Value::integer(-32000, TypeId::SmallInt),
        Value::integer(-2147483647 - 1),
        Value::integer(INT64_MIN + 1, TypeId::BigInt),
        Value::decimal(-123456789012345, DataType::decimal(18, 4)),
        Value::decimal((engine::Int128(1) << 100) + 5, DataType::numeric(38, 10)),
        Value::money(-922337203685477580),
        Value::money(-2147483648, TypeId::SmallMoney),
        Value::floating(-1.5e-300),
        Value::floating(3.25, TypeId::Real),
        Value::datetime(-53690, 25919999),
        Value::datetime(45000, 300 * 60 * 61, TypeId::SmallDateTime),
        Value::datetime(-693595, 0, TypeId::Date),
        Value::string("Peñíscola €", DataType::varchar(20)),
        Value::string("ab  ", DataType::character(TypeId::Char, 4)),
        Value::string("日本 𝄞", DataType::nvarchar(10)),
        Value::string(std::string(9000, 'x'), DataType::varchar(DataType::kMax)),
        Value::string("", DataType::nvarchar(DataType::kMax)),
        Value::binary(std::string("\x00\xFF\x10", 3), DataType::character(TypeId::VarBinary, 8)),
        Value::guid(std::string("0123456789abcdef")),
        Value::null(DataType::nvarchar(DataType::kMax)),
        Value::null(DataType::decimal(5, 2)),
        Value::null(DataType::of(TypeId::Date)),
    };
    for (const Value& v : values) {
        SCOPED_TRACE(engine::typeDisplayName(v.type()));
        ByteWriter w;
        writeTypeInfo(w, v.type(), WireFeatures{});
        writeValue(w, v, v.type(), WireFeatures{});
        ByteReader r(w.bytes());
        DecodedParameter p = readTypedValue(r);
        EXPECT_TRUE(r.atEnd());
        EXPECT_EQ(p.type.id, v.type().id);
        EXPECT_EQ(p.value.isNull(), v.isNull());
        if (v.isNull()) continue;
        EXPECT_EQ(p.value.asInt64(), v.asInt64());
        EXPECT_TRUE(p.value.decimalUnscaled() == v.decimalUnscaled());
        EXPECT_EQ(p.value.bytes(), v.bytes());
        EXPECT_EQ(p.value.days(), v.days());
        EXPECT_EQ(p.value.ticks(), v.ticks());
    }
}

TEST(TypeCodecTest, SqlVariantKeepsTheBaseType) {
    const DataType variant = DataType::of(TypeId::SqlVariant);
    for (const Value& v : {Value::integer(42), Value::string("día", DataType::varchar(3)),
                           Value::decimal(1234, DataType::decimal(9, 2)), Value::datetime(1, 2)}) {
        ByteWriter w;
        writeTypeInfo(w, variant, WireFeatures{});
        writeValue(w, v, variant, WireFeatures{});
        ByteReader r(w.bytes());
        DecodedParameter p = readTypedValue(r);
        EXPECT_EQ(p.type.id, TypeId::SqlVariant);
        EXPECT_EQ(p.value.typeId(), v.typeId());
        EXPECT_EQ(p.value.bytes(), v.bytes());
        EXPECT_EQ(p.value.asInt64(), v.asInt64());
    }
}

TEST(RequestsTest, RpcCallsAndBatchesWithHeaders) {
    ByteWriter headers;
    headers.u32(22), headers.u32(18), headers.u16(2), headers.u64(77), headers.u32(1);
    ByteWriter rpc;
    rpc.raw(headers.bytes());
    rpc.u16(0xFFFF), rpc.u16(10), rpc.u16(0);  // sp_executesql by number
    rpc.u8(0), rpc.u8(0);                      // unnamed, input
    writeTypeInfo(rpc, DataType::nvarchar(DataType::kMax), WireFeatures{});
    writeValue(rpc, Value::string("SELECT @a", DataType::nvarchar(DataType::kMax)),
               DataType::nvarchar(DataType::kMax), WireFeatures{});
    rpc.u8(2), rpc.raw(utf16("@a")), rpc.u8(1);  // named, output
    writeTypeInfo(rpc, DataType::of(TypeId::Int), WireFeatures{});
    writeValue(rpc, Value::integer(5), DataType::of(TypeId::Int), WireFeatures{});
    RpcRequest request = parseRpc(rpc.bytes(), true);
    EXPECT_EQ(request.headers.transactionDescriptor, 77u);
    ASSERT_EQ(request.calls.size(), 1u);
    EXPECT_EQ(request.calls[0].procedure, SpecialProcedure::ExecuteSql);
    ASSERT_EQ(request.calls[0].parameters.size(), 2u);
    EXPECT_EQ(request.calls[0].parameters[0].value.value.bytes(), "SELECT @a");
    EXPECT_EQ(request.calls[0].parameters[1].name, "@a");
    EXPECT_TRUE(request.calls[0].parameters[1].output);

    std::string truncated = rpc.bytes().substr(0, rpc.size() - 3);
    EXPECT_THROW(parseRpc(truncated, true), ProtocolError);
    EXPECT_EQ(parseSqlBatch(headers.bytes() + utf16("SELECT 'ñ'"), true).text, "SELECT 'ñ'");
    EXPECT_THROW(parseSqlBatch(headers.bytes() + "x", true), ProtocolError);  // half a character
}

TEST(RequestsTest, TransactionRequestNamesAreCountedInBytes) {
    ByteWriter headers;
    headers.u32(22), headers.u32(18), headers.u16(2), headers.u64(5), headers.u32(1);
    auto parse = [&](const ByteWriter& body) {
        return parseTransactionRequest(headers.bytes() + body.bytes(), true);
    };

    ByteWriter begin;  // BEGIN TRANSACTION Traspaso at SERIALIZABLE
    begin.u16(5), begin.u8(4), begin.u8(16), begin.raw(utf16("Traspaso"));
    TransactionRequest r = parse(begin);
    EXPECT_EQ(r.kind, TransactionRequestKind::Begin);
    EXPECT_EQ(r.isolationLevel, 4);
    EXPECT_EQ(r.name, "Traspaso");
    EXPECT_EQ(r.headers.transactionDescriptor, 5u);

    ByteWriter rollback;  // ROLLBACK a, then a new transaction bb at READ COMMITTED
    rollback.u16(8), rollback.u8(2), rollback.raw(utf16("a"));
    rollback.u8(1), rollback.u8(2), rollback.u8(4), rollback.raw(utf16("bb"));
    r = parse(rollback);
    EXPECT_EQ(r.kind, TransactionRequestKind::Rollback);
    EXPECT_EQ(r.name, "a");
    EXPECT_TRUE(r.beginAfter);
    EXPECT_EQ(r.isolationLevel, 2);
    EXPECT_EQ(r.beginName, "bb");

    ByteWriter odd;  // half a character
    odd.u16(9), odd.u8(3), odd.raw("abc");
    EXPECT_THROW(parse(odd), ProtocolError);
}

}  // namespace
