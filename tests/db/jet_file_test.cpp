// The Jet reader against the real base-data file of the fixtures (copied into a
// temporary program folder; the original is never opened for writing).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>

#include "db/jet/jet_condition.h"
#include "db/jet/jet_connection.h"
#include "db/jet/jet_file.h"
#include "db/trace.h"
#include "test_support.h"

namespace db::jet {
namespace {

namespace fs = std::filesystem;
using db::testing::TempDir;

fs::path fixtureFile() {
    if (const char* env = std::getenv("ACTUALIZA_BASE_DATA_FIXTURE")) return env;
    for (const char* candidate : {ACTUALIZA_REPO_BASE_DATA, ACTUALIZA_SHARED_BASE_DATA}) {
        if (fs::exists(candidate)) return candidate;
    }
    return ACTUALIZA_SHARED_BASE_DATA;
}

class JetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(fixtureFile())) << "fixture missing: " << fixtureFile();
        // Installed with other letter cases than the program asks for.
        fs::create_directories(dir_.path() / "include");
        fs::copy_file(fixtureFile(), dir_.path() / "include" / "DATOS BASE.mdb");
    }

    std::unique_ptr<Connection> open() { return openBaseDataFile(dir_.path()); }

    std::vector<std::string> column(Recordset& rs, const char* name) {
        std::vector<std::string> values;
        for (; !rs.eof(); rs.moveNext()) values.push_back(rs.value(name).isNull() ? "<NULL>" : rs.text(name));
        return values;
    }

    TempDir dir_;
};

TEST_F(JetFileTest, FindsTheFileWhateverTheLetterCase) {
    const auto found = findBaseDataFile(dir_.path());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->filename(), "DATOS BASE.mdb");
    EXPECT_EQ(found->parent_path().filename(), "include");
    TempDir empty;
    EXPECT_FALSE(findBaseDataFile(empty.path()));
}

TEST_F(JetFileTest, ReadsEveryRowWithColumnsInFileOrderAndTheirTypes) {
    auto conn = open();
    ASSERT_TRUE(conn->isOpen()) << conn->lastError().description;
    auto rs = conn->openRecordset("SELECT * FROM PAISES", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(rs) << conn->lastError().description;
    ASSERT_EQ(rs->fieldCount(), 8u);
    const char* names[] = {"CODIGO", "NOMBRE", "CONTINENTE", "PREFIJO", "IVAGENERAL", "UE", "ALTA", "CUOTA"};
    const FieldType types[] = {FieldType::WVarChar, FieldType::WVarChar, FieldType::WVarChar, FieldType::Integer,
                               FieldType::Double,   FieldType::Boolean,  FieldType::DateTime, FieldType::Currency};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(rs->field(i).name, names[i]);
        EXPECT_EQ(rs->field(i).type, types[i]) << names[i];
    }
    EXPECT_EQ(rs->field(0).definedSize, 3);
    EXPECT_EQ(rs->field(1).definedSize, 50);
    EXPECT_EQ(rs->recordCount(), 7);

    EXPECT_EQ(rs->text("NOMBRE"), "España");
    EXPECT_EQ(rs->value("PREFIJO"), Variant::integer(34));
    EXPECT_EQ(rs->value("IVAGENERAL"), Variant::real(21));
    EXPECT_EQ(rs->value("UE"), Variant::boolean(true));
    EXPECT_EQ(rs->value("ALTA"), Variant::dateTime(DateTime{1986, 1, 1}));
    EXPECT_EQ(rs->value("CUOTA"), Variant::currency(125000));
    rs->moveNext();
    rs->moveNext();
    EXPECT_EQ(rs->text("CODIGO"), "FR");
    EXPECT_EQ(rs->value("ALTA"), Variant::dateTime(DateTime{1958, 1, 1}));
    EXPECT_TRUE(rs->value("CUOTA").isNull());
    rs->moveNext();
    EXPECT_EQ(rs->text("CODIGO"), "CH");
    EXPECT_EQ(rs->value("UE"), Variant::boolean(false));
    EXPECT_EQ(rs->text("IVAGENERAL"), "8.1");
    EXPECT_TRUE(rs->value("ALTA").isNull());

    rs->moveFirst();
    EXPECT_EQ(column(*rs, "CODIGO"), (std::vector<std::string>{"ES", "PT", "FR", "CH", "MX", "AR", "MA"}));
}

TEST_F(JetFileTest, ControlTableKeepsEmptyTextApartFromNull) {
    auto conn = open();
    auto rs = conn->openRecordset("select * from Versiones where nombre='VERSION'", CursorType::ForwardOnly,
                                  LockType::ReadOnly);
    ASSERT_TRUE(rs) << conn->lastError().description;
    std::vector<std::string> tables, filters, values;
    for (; !rs->eof(); rs->moveNext()) {
        tables.push_back(rs->text("Tabla"));
        filters.push_back(rs->value("ActFiltro").isNull() ? "<NULL>" : rs->text("ActFiltro"));
        values.push_back(rs->value("valor").toText());
        EXPECT_FALSE(rs->value("TablaSql").isNull());
    }
    EXPECT_EQ(tables, (std::vector<std::string>{"PROVINCIAS", "TIPOSDEVIA_BASE", "PAISES", "TABLAOBSOLETA", "CNAE",
                                                "TABLAAUSENTE", "FORMASPAGO"}));
    EXPECT_EQ(filters, (std::vector<std::string>{"", "", "CONTINENTE='EUROPA'", "", "", "", "<NULL>"}));
    EXPECT_EQ(values, (std::vector<std::string>{"3", "2", "5", "1", "7", "1", "4"}));
}

TEST_F(JetFileTest, FiltersAsTheControlTableWritesThem) {
    auto conn = open();
    auto europe = conn->openRecordset("SELECT * FROM PAISES WHERE CONTINENTE='EUROPA'", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(europe);
    EXPECT_EQ(column(*europe, "CODIGO"), (std::vector<std::string>{"ES", "PT", "FR", "CH"}));
    auto far = conn->openRecordset("SELECT * FROM PAISES WHERE PREFIJO > 100 AND UE = 0", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(far);
    EXPECT_EQ(column(*far, "CODIGO"), (std::vector<std::string>{"MA"}));
    auto old = conn->openRecordset("SELECT CODIGO FROM PAISES WHERE ALTA < #1/1/1980#", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(old);
    ASSERT_EQ(old->fieldCount(), 1u);
    EXPECT_EQ(column(*old, "CODIGO"), (std::vector<std::string>{"FR"}));
}

TEST_F(JetFileTest, BicTableKeepsFileOrderDuplicatesAndNulls) {
    auto conn = open();
    auto rs = conn->openRecordset("Select * FROM CODIGOSBIC", CursorType::ForwardOnly, LockType::ReadOnly);
    ASSERT_TRUE(rs);
    EXPECT_EQ(column(*rs, "Bic"),
              (std::vector<std::string>{"BSCHESMMXXX", "POPUESMMXXX", "BSABESBBXXX", "BBVAESMMXXX", "CAIXESBBXXX",
                                        "BKBKESMMXXX", "PRUEBAS0021", "DUPLICADOXXX", "CCRIES2AXXX", "<NULL>"}));
}

TEST_F(JetFileTest, AccentedTextSurvives) {
    auto conn = open();
    // 'á' also finds 'Á': letters compare without regard to case, accented ones too.
    auto rs = conn->openRecordset("SELECT NOMBRE FROM PROVINCIAS WHERE NOMBRE LIKE '%á%'", CursorType::Static,
                                  LockType::ReadOnly);
    ASSERT_TRUE(rs) << conn->lastError().description;
    const auto names = column(*rs, "NOMBRE");
    for (const char* name : {"Araba/Álava", "Ávila", "Málaga", "Cáceres", "Cádiz"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
    EXPECT_EQ(std::find(names.begin(), names.end(), "Almería"), names.end());
    auto exact = conn->openRecordset("SELECT CODIGO FROM PROVINCIAS WHERE NOMBRE = 'ávila'", CursorType::Static,
                                     LockType::ReadOnly);
    ASSERT_TRUE(exact);
    EXPECT_EQ(column(*exact, "CODIGO"), (std::vector<std::string>{"05"}));
    auto all = conn->openRecordset("SELECT * FROM PROVINCIAS", CursorType::Static, LockType::ReadOnly);
    EXPECT_EQ(all->recordCount(), 52);
}

TEST_F(JetFileTest, FailuresAreClearErrorValues) {
    auto conn = open();
    conn->clearError();
    EXPECT_EQ(conn->openRecordset("SELECT * FROM TABLAAUSENTE", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_EQ(conn->lastError().nativeError, jet_error::kTableNotFound);
    EXPECT_NE(conn->lastError().description.find("TABLAAUSENTE"), std::string::npos);
    EXPECT_EQ(conn->openRecordset("SELECT * FROM PAISES WHERE CONTINENTE = ", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_EQ(conn->lastError().nativeError, jet_error::kSyntaxError);
    EXPECT_EQ(conn->openRecordset("SELECT * FROM PAISES WHERE NADA = 1", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_EQ(conn->lastError().nativeError, jet_error::kUnknownName);
    EXPECT_EQ(conn->openRecordset("DELETE FROM PAISES", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_FALSE(conn->execute("DELETE FROM PAISES"));

    // Opened for writing, a set of the file still cannot be written.
    auto rs = conn->openRecordset("SELECT * FROM PAISES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    EXPECT_FALSE(rs->isUpdatable());
    EXPECT_FALSE(rs->setValue("CODIGO", Variant::text("XX")));

    TempDir empty;
    auto missing = openBaseDataFile(empty.path());
    EXPECT_FALSE(missing->isOpen());
    EXPECT_EQ(missing->lastError().nativeError, jet_error::kFileNotFound);

    fs::create_directories(empty.path() / "Include");
    std::ofstream(empty.path() / "Include" / "Datos Base.MDB") << "this is not a database at all";
    auto garbage = openBaseDataFile(empty.path());
    EXPECT_FALSE(garbage->isOpen());
    EXPECT_EQ(garbage->lastError().nativeError, jet_error::kUnrecognizedFormat);
    EXPECT_EQ(garbage->openRecordset("SELECT * FROM CODIGOSBIC", CursorType::Static, LockType::ReadOnly), nullptr);
}

// A damaged file is refused, naming the file and where the damage is, before anything is read.
TEST_F(JetFileTest, DamageThatBreaksASignatureIsRefused) {
    const fs::path file = dir_.path() / "include" / "DATOS BASE.mdb";
    std::string good;
    {
        std::ifstream in(file, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    struct Damage {
        size_t offset;      // npos: the file is cut to `value` bytes instead
        unsigned value;
        const char* where;  // in the error's text
    };
    const size_t cut = std::string::npos;
    for (const Damage& d : {Damage{5, 'x', "no Jet signature"}, Damage{20, 9, "byte 20"},
                            Damage{3 * 4096, 9, "page 3 "}, Damage{5 * 4096 + 1, 0, "page 5 "},
                            Damage{6 * 4096 + 15, 0x1F, "page 6 (byte 24576 + 14): row 0"},
                            Damage{6 * 4096 + 16, 0xFF, "page 6 (byte 24576 + 16): row 1"},
                            Damage{6 * 4096 + 12, 0xFF, "page 6 "},
                            Damage{cut, 20 * 4096 + 100, "not a whole number"},
                            Damage{cut, 4096, "not a whole number"}}) {
        std::string bytes = good;
        if (d.offset == cut) bytes.resize(d.value);
        else bytes[d.offset] = static_cast<char>(d.value);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        auto conn = open();
        EXPECT_FALSE(conn->isOpen()) << d.where;
        EXPECT_EQ(conn->lastError().nativeError, jet_error::kUnrecognizedFormat) << d.where;
        EXPECT_NE(conn->lastError().description.find(file.string()), std::string::npos) << d.where;
        EXPECT_NE(conn->lastError().description.find(d.where), std::string::npos)
            << conn->lastError().description;
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << good;
    EXPECT_TRUE(open()->isOpen());
}

// A damaged row is refused, never read from outside its page (the fuzzer's findings: two bytes
// of a row's offset table putting a value beyond the page; a row claiming more columns than its
// table has). Each damages one table; the others read as ever.
TEST_F(JetFileTest, ADamagedRowRefusesItsTable) {
    const fs::path file = dir_.path() / "include" / "DATOS BASE.mdb";
    std::string good;
    {
        std::ifstream in(file, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (const auto& [offset, bytes] : {std::pair<size_t, std::string>{159740, "\xFF\xF9"},
                                        std::pair<size_t, std::string>{106520, "\x33"}}) {
        std::string damaged = good;
        damaged.replace(offset, bytes.size(), bytes);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        std::unique_ptr<JetFile> jet;
        ASSERT_TRUE(JetFile::open(file, jet));
        size_t refused = 0;
        for (const std::string& table : jet->tableNames()) {
            RowSet rows;
            const Status s = jet->readTable(table, "", rows);
            if (s) continue;
            EXPECT_EQ(s.error().nativeError, jet_error::kUnrecognizedFormat) << table;
            ++refused;
        }
        EXPECT_EQ(refused, 1u) << "damage at " << offset;
    }
}

TEST_F(JetFileTest, ReadingLeavesTheFileUntouched) {
    const fs::path file = dir_.path() / "include" / "DATOS BASE.mdb";
    auto bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string before = bytes();
    {
        auto conn = open();
        for (const char* t : {"PAISES", "Versiones", "CODIGOSBIC", "PROVINCIAS"}) {
            conn->openRecordset(std::string("SELECT * FROM ") + t, CursorType::Static, LockType::ReadOnly);
        }
    }
    EXPECT_EQ(bytes(), before);
}

TEST(JetSelect, ParsesTheStatementsTheReadersSend) {
    auto s = parseJetSelect("select * from Versiones where nombre='VERSION'");
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->columns.empty());
    EXPECT_EQ(s->table, "Versiones");
    EXPECT_EQ(s->condition, "nombre='VERSION'");
    auto cols = parseJetSelect("SELECT Entidad, [Bic] FROM [CODIGOS BIC]");
    ASSERT_TRUE(cols);
    EXPECT_EQ(cols->columns, (std::vector<std::string>{"Entidad", "Bic"}));
    EXPECT_EQ(cols->table, "CODIGOS BIC");
    EXPECT_EQ(cols->condition, "");
    EXPECT_FALSE(parseJetSelect("SELECT * FROM PAISES ORDER BY CODIGO"));
    EXPECT_FALSE(parseJetSelect("SELECT * FROM PAISES WHERE "));
    EXPECT_FALSE(parseJetSelect("UPDATE PAISES SET X=1"));
}

}  // namespace
}  // namespace db::jet
