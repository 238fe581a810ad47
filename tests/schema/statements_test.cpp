#include "schema/statements.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::RunFixture;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SentenciaAmpliacion, ReadsAsTheWideningStatement) {
    EXPECT_EQ(SentenciaAmpliacion("E2014FacturaTabla", "FACTURANombrecli", "< 100", "varchar(100)"),
              "if COL_LENGTH ('E2014FacturaTabla','FACTURANombrecli') < 100 alter table "
              "E2014FacturaTabla alter column FACTURANombrecli varchar(100)");
}

class StatementsTest : public ::testing::Test {
  protected:
    void SetUp() override { f_.EmpresaActual("0007"); }
    RunFixture f_;
    ScriptedConnection conn_;
};

TEST_F(StatementsTest, MessagesJoinTextCompanyAndServer) {
    EXPECT_EQ(MensajeEmpresa(f_.ctx(), "Campo X actualizado correctamente en la empresa "),
              "Campo X actualizado correctamente en la empresa 0007 , servidor: SRV");
    EXPECT_EQ(
        MensajeEmpresa(f_.ctx(), "Actualizando campo X en la empresa", kSeparadorEnElServidor),
        "Actualizando campo X en la empresa0007 en el servidor SRV");
    EXPECT_EQ(MensajeEmpresa(f_.ctx(), "Actualizando campo X en la empresa ",
                             kSeparadorServidorSinDosPuntos),
              "Actualizando campo X en la empresa 0007, servidor SRV");
}

TEST_F(StatementsTest, AMessageNamesTheCompanyItIsGivenOrTheCurrentOne) {
    EXPECT_EQ(
        Mensaje(f_.ctx(), "Actualizando campo X en la empresa ", "0042", kSeparadorComaServidor),
        "Actualizando campo X en la empresa 0042 , servidor SRV");
    EXPECT_EQ(Mensaje(f_.ctx(), "Comenzando actualizacion estructura Operaciones_orm", ""),
              "Comenzando actualizacion estructura Operaciones_orm , servidor: SRV");
}

TEST_F(StatementsTest, TheStartLineIsAnInformationEntryWithoutProcedure) {
    LineaDeComienzo(f_.ctx(), "Comenzando actualizacion estructura CTA en la empresa");
    LineaDeComienzo(f_.ctx(), "Comenzando actualizacion estructura logotipo en la empresa ",
                    "0042");
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Información:  Comenzando actualizacion estructura CTA en la "
                            "empresa0007 , servidor: SRV",
                            "Información:  Comenzando actualizacion estructura logotipo en la "
                            "empresa 0042 , servidor: SRV"));
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(StatementsTest, AReportedWideningNamesItsColumnInBothMessages) {
    const std::string bien =
        "if COL_LENGTH ('cta','titulodelacuenta') < 50 alter table cta  alter column "
        "titulodelacuenta varchar(50)";
    const std::string mal =
        "if COL_LENGTH ('DESCRIP','DESCCONCE') < 255 alter table DESCRIP  alter column DESCCONCE "
        "varchar(255)";
    conn_.FallaCon(mal, ErrorServidor(5074, "The object 'DF_X' is dependent on column."));
    EXPECT_TRUE(AmpliacionInformada(f_.ctx(), conn_, bien, "titulodelacuenta"));
    EXPECT_FALSE(AmpliacionInformada(f_.ctx(), conn_, mal, "DESCCONCE"));
    EXPECT_THAT(conn_.Ejecutadas(), ElementsAre(bien, mal));
    EXPECT_THAT(
        f_.Entradas(),
        ElementsAre("Información:  Campo titulodelacuenta actualizado correctamente en la "
                    "empresa 0007 , servidor: SRV",
                    "Error en el procesimiento Form_Activate:Actualizando campo DESCCONCE en la "
                    "empresa0007 en el servidor SRV     Mensaje devuelto por el servidor :The "
                    "object 'DF_X' is dependent on column."));
}

TEST_F(StatementsTest, PlainStatementIgnoresItsFailureAndLogsNothing) {
    conn_.FallaCon("DROP INDEX TELEFON.TELEINDICE", ErrorServidor(3701, "Cannot drop"));
    EXPECT_FALSE(SentenciaSimple(conn_, "DROP INDEX TELEFON.TELEINDICE"));
    EXPECT_TRUE(SentenciaSimple(conn_, "UPDATE T SET A=1"));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(StatementsTest, PlainStatementsGoOnPastAFailureInTheirOrder) {
    constexpr std::string_view kSentencias[] = {
        "DROP INDEX TELEFON.TELEINDICE",
        "Alter Table TELEFON Add ID BIGINT Identity(1, 1)",
        "UPDATE TELEFON SET TELEEMAIL=''",
    };
    conn_.FallaCon("DROP INDEX TELEFON.TELEINDICE", ErrorServidor(3701, "Cannot drop"));
    SentenciasSimples(conn_, kSentencias);
    EXPECT_THAT(conn_.Ejecutadas(), ElementsAre(kSentencias[0], kSentencias[1], kSentencias[2]));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

TEST_F(StatementsTest, ReportedStatementLogsSuccessAtLevelTwo) {
    conn_.FallaCon("earlier", ErrorServidor(1, "old"));
    conn_.execute("earlier");
    EXPECT_TRUE(SentenciaInformada(f_.ctx(), conn_, "ALTER TABLE T ALTER COLUMN C varchar(50)",
                                   "bien", "mal"));
    EXPECT_THAT(f_.Entradas(), ElementsAre("Información:  bien"));
    EXPECT_FALSE(conn_.hasError());
}

TEST_F(StatementsTest, ReportedStatementLogsFailureWithTheServersDescription) {
    conn_.FallaCon("ALTER TABLE T ALTER COLUMN C int",
                   ErrorServidor(5074, "The object 'DF__T__C' is dependent on column 'C'."));
    EXPECT_FALSE(
        SentenciaInformada(f_.ctx(), conn_, "ALTER TABLE T ALTER COLUMN C int", "bien", "mal"));
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Error en el procesimiento Form_Activate:mal     Mensaje devuelto por "
                            "el servidor :The object 'DF__T__C' is dependent on column 'C'."));
    EXPECT_TRUE(f_.ctx().HayIncidencias());
    EXPECT_FALSE(conn_.hasError());
}

TEST_F(StatementsTest, WideningIsAPlainStatement) {
    conn_.FallaSiEmpiezaPor("if COL_LENGTH", ErrorServidor(4922, "ALTER TABLE ALTER COLUMN"));
    EXPECT_FALSE(Ampliar(conn_, "CTA", "titulodelacuenta", "< 50", "varchar(50)"));
    EXPECT_THAT(conn_.Ejecutadas(),
                ElementsAre("if COL_LENGTH ('CTA','titulodelacuenta') < 50 alter table CTA alter "
                            "column titulodelacuenta varchar(50)"));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

}  // namespace
}  // namespace schema
