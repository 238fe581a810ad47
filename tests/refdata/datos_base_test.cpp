#include "refdata/datos_base.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "refdata/base_data_fixture.h"
#include "refdata/fake_connection.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

// The central database of an old release, as far as the synchronisation sees it: its property
// table and the targets of the fixture file's control table.
class SincronizarDatosBaseTest : public ::testing::Test {
  protected:
    SincronizarDatosBaseTest() {
        provincias.rows = {{T("99"), T("Provincia antigua"), T("00")}};
        tiposDeVia.rows = {{T("XX"), T("Vía antigua")}};
        paises.rows = {{T("DE"), T("Alemania"), T("EUROPA")},
                       {T("ES"), T("España antigua"), T("EUROPA")},
                       {T("JP"), T("Japón"), T("ASIA")}};
        formasPago.rows = {{T("99"), T("Antigua"), Variant::integer(1)}};
        AnswerTarget("PROVINCIAS", provincias);
        AnswerTarget("TIPOSDEVIA", tiposDeVia);
        AnswerTarget("PAISES", paises);
        AnswerTarget("FORMASPAGO", formasPago);
        sql.OnExecute("DELETE FROM PAISES WHERE CONTINENTE='EUROPA'", [this] {
            std::erase_if(paises.rows, [](const Row& r) { return r[2].toText() == "EUROPA"; });
        });
        for (const char* objeto : {"PROVINCIAS", "TIPOSDEVIA", "PAISES", "TABLAOBSOLETA", "CNAE",
                                   "TABLAAUSENTE", "FORMASPAGO"}) {
            AnswerVersion(objeto);
        }
    }

    void AnswerTarget(const std::string& name, FakeTable& table) {
        sql.Answer("SELECT * FROM " + name, table);
        sql.OnExecute("DELETE FROM " + name, [&table] { table.rows.clear(); });
    }

    void AnswerVersion(const std::string& objeto) {
        sql.Answer("SELECT * FROM PROPIEDADES WHERE OBJETO='" + objeto + "' AND NOMBRE='VERSION'",
                   propiedades, [objeto](const Row& r) {
                       return r[0].toText() == objeto && r[1].toText() == "VERSION";
                   });
    }

    std::optional<std::string> Version(const std::string& objeto) const {
        for (const Row& r : propiedades.rows) {
            if (r[0].toText() == objeto && r[1].toText() == "VERSION") return r[2].toText();
        }
        return std::nullopt;
    }

    void StoreVersion(const std::string& objeto, const std::string& valor) {
        propiedades.rows.push_back({T(objeto.c_str()), T("VERSION"), T(valor.c_str())});
    }

    std::vector<std::string> Column(const FakeTable& table, std::string_view column) const {
        std::vector<std::string> values;
        for (std::size_t i = 0; i < table.rows.size(); ++i)
            values.push_back(table.Text(i, column));
        return values;
    }

    test_support::RunFixture fixture;
    FakeConnection sql{"Vardex"};
    FakeTable propiedades = FakeTable::WithColumns({"OBJETO", "NOMBRE", "VALOR"});
    FakeTable provincias = FakeTable::WithColumns({"CODIGO", "NOMBRE", "COMUNIDAD"});
    FakeTable tiposDeVia = FakeTable::WithColumns({"TIPOVIA", "DESCRIPCION"});
    FakeTable paises = FakeTable::WithColumns({"CODIGO", "NOMBRE", "CONTINENTE"});
    FakeTable formasPago = FakeTable::WithColumns({"CODIGO", "DESCRIPCION", "DIAS"});
};

TEST_F(SincronizarDatosBaseTest, ReplacesDropsAndRecordsTheTablesOfTheFixtureFile) {
    testing::InstallBaseDataFile(fixture.directory());
    SincronizarDatosBase(fixture.ctx(), sql);

    EXPECT_EQ(sql.Executed(), (std::vector<std::string>{
                                  "DELETE FROM PROVINCIAS",
                                  "DELETE FROM TIPOSDEVIA",
                                  "DELETE FROM PAISES WHERE CONTINENTE='EUROPA'",
                                  "DROP TABLE TABLAOBSOLETA",
                                  "DELETE FROM FORMASPAGO",
                              }));
    ASSERT_EQ(provincias.rows.size(), 52u);
    EXPECT_EQ(provincias.Text(0, "NOMBRE"), "Araba/Álava");
    EXPECT_EQ(Column(tiposDeVia, "TIPOVIA"),
              (std::vector<std::string>{"CL", "AV", "PZ", "PS", "CR", "RD", "TR", "GL"}));
    EXPECT_EQ(tiposDeVia.Text(6, "DESCRIPCION"), "Travesía");
    // Only the European rows were replaced; the others stay.
    EXPECT_EQ(Column(paises, "CODIGO"), (std::vector<std::string>{"JP", "ES", "PT", "FR", "CH"}));
    EXPECT_EQ(paises.Text(1, "NOMBRE"), "España");
    // A NULL filter is no filter.
    EXPECT_EQ(Column(formasPago, "CODIGO"), (std::vector<std::string>{"01", "02", "03"}));
    EXPECT_EQ(formasPago.Text(1, "DIAS"), "30");

    EXPECT_EQ(Version("PROVINCIAS"), "3");  // the COMENTARIO row's 99 is not a version
    EXPECT_EQ(Version("TIPOSDEVIA"), "2");
    EXPECT_EQ(Version("TIPOSDEVIA_BASE"), std::nullopt);
    EXPECT_EQ(Version("PAISES"), "5");
    EXPECT_EQ(Version("TABLAOBSOLETA"), "1");
    EXPECT_EQ(Version("CNAE"), "7");
    // The source table is missing from the file: nothing deleted, no version, tried next run.
    EXPECT_EQ(Version("TABLAAUSENTE"), std::nullopt);
    EXPECT_EQ(Version("FORMASPAGO"), "4");

    EXPECT_EQ(sql.transactions, (std::vector<std::string>{"begin", "commit", "begin", "commit",
                                                          "begin", "commit", "begin", "commit"}));
    // The window may process events once per copied row.
    EXPECT_EQ(fixture.Bombeos(), 52 + 8 + 4 + 3);
    EXPECT_TRUE(fixture.Entradas().empty());
}

TEST_F(SincronizarDatosBaseTest, ASecondRunFindsEveryVersionAndChangesNothing) {
    testing::InstallBaseDataFile(fixture.directory());
    SincronizarDatosBase(fixture.ctx(), sql);
    const auto afterFirst = provincias.rows.size();
    sql.sent.clear();

    SincronizarDatosBase(fixture.ctx(), sql);
    for (const std::string& sent : sql.sent) {
        EXPECT_EQ(sent.rfind("open: SELECT * FROM PROPIEDADES", 0), 0u) << sent;
    }
    // TABLAAUSENTE is asked again and again, and never recorded.
    EXPECT_EQ(Version("TABLAAUSENTE"), std::nullopt);
    EXPECT_EQ(provincias.rows.size(), afterFirst);
}

TEST_F(SincronizarDatosBaseTest, ATableWhoseStoredVersionIsNotLowerIsLeftAlone) {
    testing::InstallBaseDataFile(fixture.directory());
    StoreVersion("PROVINCIAS", "3");
    StoreVersion("PAISES", "12");
    SincronizarDatosBase(fixture.ctx(), sql);
    EXPECT_EQ(provincias.rows.size(), 1u);
    EXPECT_EQ(paises.rows.size(), 3u);
    EXPECT_EQ(Version("PAISES"), "12");
    const auto executed = sql.Executed();
    EXPECT_EQ(std::count(executed.begin(), executed.end(), "DELETE FROM PROVINCIAS"), 0);
}

TEST_F(SincronizarDatosBaseTest, ACompanyDatabaseReadsTheCompanyControlTable) {
    testing::InstallBaseDataFile(fixture.directory());
    FakeConnection empresa("Empresa_0001");
    FakeTable propiedadesEmpresa = FakeTable::WithColumns({"OBJETO", "NOMBRE", "VALOR"});
    empresa.Answer("SELECT * FROM PROVINCIAS", provincias);
    empresa.OnExecute("DELETE FROM PROVINCIAS", [this] { provincias.rows.clear(); });
    empresa.Answer("SELECT * FROM FORMASPAGO", formasPago);
    empresa.OnExecute("DELETE FROM FORMASPAGO", [this] { formasPago.rows.clear(); });
    for (const std::string objeto : {"PROVINCIAS", "FORMASPAGO"}) {
        empresa.Answer(
            "SELECT * FROM PROPIEDADES WHERE OBJETO='" + objeto + "' AND NOMBRE='VERSION'",
            propiedadesEmpresa, [objeto](const Row& r) { return r[0].toText() == objeto; });
    }
    SincronizarDatosBase(fixture.ctx(), empresa);
    EXPECT_EQ(empresa.Executed(),
              (std::vector<std::string>{"DELETE FROM PROVINCIAS", "DELETE FROM FORMASPAGO"}));
    EXPECT_EQ(propiedadesEmpresa.rows.size(), 2u);
    EXPECT_EQ(propiedadesEmpresa.Text(0, "VALOR"), "1");
    EXPECT_EQ(propiedadesEmpresa.Text(1, "VALOR"), "2");
}

TEST_F(SincronizarDatosBaseTest, WithoutAReadableFileNothingIsSent) {
    SincronizarDatosBase(fixture.ctx(), sql);
    EXPECT_TRUE(sql.sent.empty());
    testing::WriteFakeBaseDataFile(fixture.directory(), std::string(4096, 'x'));
    SincronizarDatosBase(fixture.ctx(), sql);
    EXPECT_TRUE(sql.sent.empty());
    EXPECT_TRUE(propiedades.rows.empty());
}

// --- The same rules with a file the test writes -------------------------------------------

class SincronizarConArchivoTest : public SincronizarDatosBaseTest {
  protected:
    SincronizarConArchivoTest() {
        versiones.rows = {{T("VERSION"), T("PROVINCIAS"), T(""), T("BORRAR"), Variant::null(),
                           Variant::integer(3)}};
        archivo.Answer("select * from Versiones where nombre='VERSION'", versiones,
                       [](const Row& r) { return r[0].toText() == "VERSION"; });
        origen.rows = {{T("01"), T("Álava"), T("16")},
                       {T("02"), T("Albacete"), T("08")},
                       {T("03"), T("Alicante"), T("10")}};
        archivo.Answer("SELECT * FROM PROVINCIAS", origen);
    }

    void Run() { SincronizarDatosBase(fixture.ctx(), sql, archivo); }

    FakeConnection archivo{"Datos Base.MDB"};
    FakeTable versiones =
        FakeTable::WithColumns({"nombre", "Tabla", "TablaSql", "ActAccion", "ActFiltro", "valor"});
    FakeTable origen = FakeTable::WithColumns({"CODIGO", "NOMBRE", "COMUNIDAD"});
};

TEST_F(SincronizarConArchivoTest, RowsRefusedDuringTheCopyAreCancelledAndTheVersionRecorded) {
    sql.acceptRow = [](const Row& r) { return r[0].toText() != "02"; };
    Run();
    EXPECT_EQ(Column(provincias, "CODIGO"), (std::vector<std::string>{"01", "03"}));
    EXPECT_EQ(Version("PROVINCIAS"), "3");
    EXPECT_EQ(sql.transactions, (std::vector<std::string>{"begin", "commit"}));
}

TEST_F(SincronizarConArchivoTest, AColumnTheTargetLacksIsSkipped) {
    origen = FakeTable::WithColumns({"CODIGO", "NOMBRE", "COLUMNAAUSENTE"});
    origen.rows = {{T("01"), T("Álava"), T("x")}};
    Run();
    ASSERT_EQ(provincias.rows.size(), 1u);
    EXPECT_EQ(provincias.Text(0, "NOMBRE"), "Álava");
    EXPECT_TRUE(provincias.At(0, "COMUNIDAD").isNull());
    EXPECT_EQ(Version("PROVINCIAS"), "3");
}

TEST_F(SincronizarConArchivoTest, AMissingSourceTableDeletesNothingAndRecordsNothing) {
    archivo.Fail("SELECT * FROM PROVINCIAS", 3078,
                 "The Microsoft Jet database engine cannot find the input table");
    sql.supportsTransactions = false;
    Run();
    EXPECT_EQ(provincias.rows.size(), 1u);
    EXPECT_TRUE(sql.Executed().empty());
    EXPECT_EQ(Version("PROVINCIAS"), std::nullopt);
}

TEST_F(SincronizarConArchivoTest, ATargetThatCannotBeOpenedAfterTheDeleteIsRolledBack) {
    sql.Fail("SELECT * FROM PROVINCIAS", 229, "The SELECT permission was denied");
    Run();
    EXPECT_EQ(sql.Executed(), std::vector<std::string>{"DELETE FROM PROVINCIAS"});
    EXPECT_EQ(sql.transactions, (std::vector<std::string>{"begin", "rollback"}));
    EXPECT_EQ(Column(provincias, "CODIGO"), std::vector<std::string>{"99"});
    EXPECT_EQ(Version("PROVINCIAS"), std::nullopt);
    EXPECT_FALSE(sql.hasError());
}

TEST_F(SincronizarConArchivoTest, AFailedDeleteCopiesNothingAndRecordsNothing) {
    sql.Fail("DELETE FROM PROVINCIAS", 547,
             "The DELETE statement conflicted with the REFERENCE constraint");
    Run();
    EXPECT_EQ(Column(provincias, "CODIGO"), std::vector<std::string>{"99"});
    EXPECT_EQ(Version("PROVINCIAS"), std::nullopt);
    EXPECT_EQ(sql.transactions, (std::vector<std::string>{"begin", "rollback"}));
}

TEST_F(SincronizarConArchivoTest, WithoutTransactionsACompleteCopyStillRecordsTheVersion) {
    sql.supportsTransactions = false;
    Run();
    EXPECT_EQ(Column(provincias, "CODIGO"), (std::vector<std::string>{"01", "02", "03"}));
    EXPECT_EQ(Version("PROVINCIAS"), "3");
    EXPECT_TRUE(sql.transactions.empty());
}

TEST_F(SincronizarConArchivoTest, ADropCountsAsDoneWhenTheTableIsGone) {
    versiones.rows = {
        {T("VERSION"), T("TABLAOBSOLETA"), T(""), T("VACIAR"), T(""), Variant::integer(1)},
        {T("VERSION"), T("TABLAYABORRADA"), T(""), T("VACIAR"), T(""), Variant::integer(2)},
        {T("VERSION"), T("TABLAREFERIDA"), T(""), T("VACIAR"), T(""), Variant::integer(3)},
    };
    for (const char* objeto : {"TABLAYABORRADA", "TABLAREFERIDA"})
        AnswerVersion(objeto);
    sql.Fail("DROP TABLE TABLAYABORRADA", 3701,
             "Cannot drop the table 'TABLAYABORRADA', because it does not exist or you do not "
             "have permission.");
    sql.Fail("DROP TABLE TABLAREFERIDA", 3726,
             "Could not drop object 'TABLAREFERIDA' because it is referenced by a FOREIGN KEY "
             "constraint.");
    Run();
    EXPECT_EQ(Version("TABLAOBSOLETA"), "1");
    EXPECT_EQ(Version("TABLAYABORRADA"), "2");
    EXPECT_EQ(Version("TABLAREFERIDA"), std::nullopt);
}

TEST_F(SincronizarConArchivoTest, OnlyTheExactActionNamesActAndVersionsAreComparedAsNumbers) {
    versiones.rows = {
        {T("VERSION"), T("PROVINCIAS"), T(""), T("borrar"), T(""), Variant::real(10)},
    };
    StoreVersion("PROVINCIAS", "9");  // 9 < 10 as numbers, though "9" > "10" as texts
    Run();
    EXPECT_TRUE(sql.Executed().empty());  // "borrar" is not BORRAR: only the version
    EXPECT_EQ(Version("PROVINCIAS"), "10");
}

TEST_F(SincronizarConArchivoTest, AMissingControlTableChangesNothing) {
    archivo.Fail("select * from Versiones where nombre='VERSION'", 3078, "no table");
    Run();
    EXPECT_TRUE(sql.sent.empty());
}

}  // namespace
}  // namespace refdata
