#include "schema/column_creation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::RunFixture;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct TextoEsperado {
    const char* campo;
    const char* tabla;
    const char* tipo;
    Longitud longitud;
    bool notNull;
    const char* defecto;
    const char* sentencia;
};

TEST(SentenciaCrearCampo, KeepsTheBlanksOfEveryClause) {
    const TextoEsperado casos[] = {
        {"Bic", "CTANUEVOPGC", "varchar", 15, true, "''",
         "Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') "},
        {"C", "T", "int", 0, true, "0", "Alter Table T ADD C int NOT NULL DEFAULT(0) "},
        {"C", "T", "VARCHAR", "255", false, "", "Alter Table T ADD C VARCHAR (255) "},
        {"C", "T", "bit", true, false, "0", "Alter Table T ADD C bit DEFAULT(0) "},
        {"C", "T", "bit", false, false, "", "Alter Table T ADD C bit "},
        {"C", "T", "money", 0, false, "", "Alter Table T ADD C money "},
        {"C", "T", "money", Longitud{}, false, "", "Alter Table T ADD C money "},
        {"C", "T", "varchar", -5, false, "", "Alter Table T ADD C varchar "},
        {"C", "T", "varchar", "0", false, "", "Alter Table T ADD C varchar "},
        {"C", "T", "varchar", "abc", false, "", "Alter Table T ADD C varchar "},
        {"C", "T", "varchar", " 35 ", false, "", "Alter Table T ADD C varchar ( 35 ) "},
        {"F", "T", "datetime", 0, false, "GetDate()",
         "Alter Table T ADD F datetime DEFAULT(GetDate()) "},
        {"C", "T", "VACHAR", 10, false, "", "Alter Table T ADD C VACHAR (10) "},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(SentenciaCrearCampo(c.campo, c.tabla, c.tipo, c.longitud, c.notNull, c.defecto),
                  c.sentencia);
    }
}

TEST(SentenciaCrearCampo, FillsExistingRowsWithoutWhereOrTrailingBlank) {
    EXPECT_EQ(SentenciaRellenarCampo("Bic", "CTANUEVOPGC", "''"), "UPDATE CTANUEVOPGC SET Bic=''");
    EXPECT_EQ(SentenciaRellenarCampo("Importe", "T", "(0)"), "UPDATE T SET Importe=(0)");
}

TEST(Longitud, ComparesItsNumericValue) {
    EXPECT_EQ(Longitud(15).Valor(), 15);
    EXPECT_EQ(Longitud("255").Valor(), 255);
    EXPECT_EQ(Longitud(true).Valor(), -1);
    EXPECT_EQ(Longitud(false).Valor(), 0);
    EXPECT_EQ(Longitud("x12").Valor(), 0);
    EXPECT_EQ(Longitud(std::string_view("50")).Texto(), "50");
    EXPECT_EQ(Longitud(7L).Texto(), "7");
}

class CrearCampoTest : public ::testing::Test {
  protected:
    void SetUp() override { f_.EmpresaActual("0001"); }

    RunFixture f_;
    ScriptedConnection conn_;
};

TEST_F(CrearCampoTest, NewColumnIsFilledLoggedAndReportedAsCreated) {
    EXPECT_EQ(CrearCampo(f_.ctx(), "Bic", "CTANUEVOPGC", "varchar", conn_, 15, true, "''"),
              ResultadoCampo::Creado);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ",
                            "UPDATE CTANUEVOPGC SET Bic=''"));
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Información:  Campo Bic actualizado correctamente en la empresa "
                            "0001 , servidor: SRV"));
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(CrearCampoTest, WithoutDefaultNoFollowUpUpdateIsSent) {
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "money", conn_, 0, false, ""), ResultadoCampo::Creado);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre("Alter Table T ADD C money "));
}

TEST_F(CrearCampoTest, ExistingColumnIsSilent) {
    conn_.FallaSiEmpiezaPor("Alter Table T ADD C ",
                            ErrorServidor(2705, "Column names in each table must be unique."));
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "int", conn_, 0, true, "0"),
              ResultadoCampo::YaExistia);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre("Alter Table T ADD C int NOT NULL DEFAULT(0) "));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(CrearCampoTest, OtherRefusalIsLoggedWithTheServersMessage) {
    conn_.FallaSiEmpiezaPor("Alter Table", ErrorServidor(4902,
                                                         "Cannot find the object \"T\" "
                                                         "because it does not exist or you "
                                                         "do not have permissions."));
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "VACHAR", conn_, 10, false, "''"),
              ResultadoCampo::Fallido);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre("Alter Table T ADD C VACHAR (10) DEFAULT('') "));
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Error en el procesimiento Form_Activate:Error al crear el campo C en "
                            "la empresa 0001 , servidor: SRV     Mensaje devuelto por el servidor "
                            ":Cannot find the object \"T\" because it does not exist or you do "
                            "not have permissions."));
    EXPECT_TRUE(f_.ctx().HayIncidencias());
}

TEST_F(CrearCampoTest, ReadsTheFirstErrorOfTheCollection) {
    // 2705 arrives second, behind another error: the column was not "already there".
    db::Status dos({ErrorServidor(1750, "Could not create constraint."),
                    ErrorServidor(2705, "Column names in each table must be unique.")});
    conn_.FallaSiEmpiezaPor("Alter Table", dos);
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "int", conn_, 0, false, ""), ResultadoCampo::Fallido);
}

TEST_F(CrearCampoTest, FailedFollowUpUpdateDoesNotChangeTheOutcome) {
    conn_.FallaSiEmpiezaPor("UPDATE", ErrorServidor(245, "Conversion failed."));
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "int", conn_, 0, false, "'x'"),
              ResultadoCampo::Creado);
    EXPECT_EQ(f_.Entradas().size(), 1u);
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(CrearCampoTest, AnErrorLeftPendingByEarlierStatementsDoesNotCount) {
    conn_.FallaCon("DROP TABLE X", ErrorServidor(3701, "Cannot drop the table 'X'."));
    conn_.execute("DROP TABLE X");
    ASSERT_TRUE(conn_.hasError());
    EXPECT_EQ(CrearCampo(f_.ctx(), "C", "T", "int", conn_, 0, false, ""), ResultadoCampo::Creado);
}

TEST(CrearCampoCentral, MessagesCarryAnEmptyCompanyCode) {
    RunFixture f("host,1433");
    ScriptedConnection conn("Vardex");
    conn.FallaCon("Alter Table EMP ADD X int ", ErrorServidor(1, "m"));
    CrearCampo(f.ctx(), "MENUEVO", "EMP", "int", conn, 0, false, "");
    CrearCampo(f.ctx(), "X", "EMP", "int", conn, 0, false, "");
    EXPECT_THAT(f.Entradas(),
                ElementsAre("Información:  Campo MENUEVO actualizado correctamente en la empresa "
                            " , servidor: host,1433",
                            "Error en el procesimiento Form_Activate:Error al crear el campo X en "
                            "la empresa  , servidor: host,1433     Mensaje devuelto por el "
                            "servidor :m"));
}

TEST_F(CrearCampoTest, ColumnTablesAreAddedInOrder) {
    static constexpr DefinicionCampo kCampos[] = {
        {"FACTURABancoPago", "varchar", 35, false, ""},
        {"FACTURACANALRECTIFICADO", "VARCHAR", 2, false, "''"},
        {"FACTURADOCUMENTORECTIFICADO", "FLOAT", {}, false, "0"},
    };
    CrearCampos(f_.ctx(), conn_, "E2014FacturaTabla", kCampos);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table E2014FacturaTabla ADD FACTURABancoPago varchar (35) ",
                            "Alter Table E2014FacturaTabla ADD FACTURACANALRECTIFICADO VARCHAR "
                            "(2) DEFAULT('') ",
                            "UPDATE E2014FacturaTabla SET FACTURACANALRECTIFICADO=''",
                            "Alter Table E2014FacturaTabla ADD FACTURADOCUMENTORECTIFICADO FLOAT "
                            "DEFAULT(0) ",
                            "UPDATE E2014FacturaTabla SET FACTURADOCUMENTORECTIFICADO=0"));
}

TEST_F(CrearCampoTest, ColumnListsSpanningTablesNameEachTable) {
    static constexpr CampoDeTabla kCampos[] = {
        {"JUZGADOS", {"COMUNIDAD", "VARCHAR", 2, true, "''"}},
        {"COLEGIOSABOGADOS", {"WEB", "varchar", "100", false, ""}},
    };
    CrearCampos(f_.ctx(), conn_, kCampos);
    EXPECT_THAT(conn_.Ejecutadas(),
                ElementsAre("Alter Table JUZGADOS ADD COMUNIDAD VARCHAR (2) NOT NULL DEFAULT('') ",
                            "UPDATE JUZGADOS SET COMUNIDAD=''",
                            "Alter Table COLEGIOSABOGADOS ADD WEB varchar (100) "));
}

TEST_F(CrearCampoTest, AListTellsWhichOfItsColumnsItCreated) {
    static constexpr DefinicionCampo kCampos[] = {
        {"Iban", "varchar", 4, true, "''"},
        {"Bic", "varchar", 15, true, "''"},
        {"Plazos", "int", 0, true, "0"},
    };
    conn_.FallaCon("Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ",
                   ErrorServidor(kErrorColumnaDuplicada, "Column names must be unique."));
    conn_.FallaCon("Alter Table CTANUEVOPGC ADD Plazos int NOT NULL DEFAULT(0) ",
                   ErrorServidor(1105, "Could not allocate space."));
    EXPECT_THAT(CrearCampos(f_.ctx(), conn_, "CTANUEVOPGC", kCampos), ElementsAre("Iban"));

    static constexpr CampoDeTabla kEnTablas[] = {
        {"PROVBANCOSDISP", {"PROVBANCOSBIC", "varchar", 15, true, "''"}},
        {"PROVEEDORESTABLA", {"EsIntra", "BIT", {}, true, "0"}},
        {"PROVBANCOSDISP", {"PROVBANCOSIBAN", "varchar", 4, true, "''"}},
    };
    conn_.FallaCon("Alter Table PROVEEDORESTABLA ADD EsIntra BIT NOT NULL DEFAULT(0) ",
                   ErrorServidor(kErrorColumnaDuplicada, "Column names must be unique."));
    EXPECT_THAT(CrearCampos(f_.ctx(), conn_, kEnTablas),
                ElementsAre("PROVBANCOSBIC", "PROVBANCOSIBAN"));
}

}  // namespace
}  // namespace schema
