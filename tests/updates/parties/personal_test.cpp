// Sales representatives, their permissions and the staff.
#include "updates/parties/personal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/parties/parties_test.h"

namespace parties_test {
namespace {

using ::testing::ElementsAre;
using namespace updates::parties;

const std::string kComienzoRepresentantes =
    "Comenzando actualizacion estructura reptabla en la empresa";
const std::string kIndice =
    "IF NOT EXISTS(SELECT NAME FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
    "NAME='REPINDICE') CREATE UNIQUE INDEX REPINDICE ON REPTABLA (REPCODIGO)";

class PersonalEngineTest : public EngineTest {};

TEST_F(PersonalEngineTest, RepresentativesGetTheirColumnsIndexAndPostalCodes) {
    Empresa(
        {"CREATE TABLE REPTABLA (REPCODIGO varchar(4) NOT NULL, REPNOMBRE varchar(50) NULL, "
         "REPCODPOSTAL varchar(5) NULL)",
         "INSERT INTO REPTABLA VALUES ('R001','Javier Sancho Ibáñez','50009'),('R002','Marta "
         "Aznar Pueyo','22002')"});
    ActualizaRepresentantes(ctx(), conexion());
    EXPECT_EQ(Columna("REPTABLA", "REPLOGIN"), "varchar(128) NULL");
    EXPECT_EQ(Columna("REPTABLA", "REPFIRMAPRE"), "varchar(1) NULL");
    EXPECT_EQ(Columna("REPTABLA", "REPFIRMAFAC"), "varchar(1) NULL");
    EXPECT_EQ(Columna("REPTABLA", "REPCODPOSTAL"), "varchar(10) NULL");
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
                       "NAME='REPINDICE'"),
              (Filas{{"1"}}));
    EXPECT_THAT(Entradas(), ElementsAre(Comienzo(kComienzoRepresentantes), Creado("REPLOGIN"),
                                        Creado("REPFIRMAPRE"), Creado("REPFIRMAPED"),
                                        Creado("REPFIRMAALB"), Creado("REPFIRMAFAC")));

    // The index now refuses a second representative with the same code.
    conexion().clearError();
    EXPECT_FALSE(conexion().execute("INSERT INTO REPTABLA (REPCODIGO) VALUES ('R001')").ok());

    // A second run finds everything in place and writes only its start line.
    ActualizaRepresentantes(ctx(), conexion());
    EXPECT_EQ(Entradas().size(), 7u);
    EXPECT_EQ(Entradas().back(), Comienzo(kComienzoRepresentantes));
}

TEST_F(PersonalEngineTest, DuplicateCodesLeaveTheIndexOutSilentlyAndWidePostalCodesStay) {
    Empresa(
        {"CREATE TABLE REPTABLA (REPCODIGO varchar(4) NOT NULL, REPNOMBRE varchar(50) NULL, "
         "REPCODPOSTAL varchar(12) NULL)",
         "INSERT INTO REPTABLA VALUES ('R001','Núria Ferrer','08001'),('R001','Núria Ferrer "
         "(duplicada)','08001')"});
    ActualizaRepresentantes(ctx(), conexion());
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
                       "NAME='REPINDICE'"),
              (Filas{{"0"}}));
    EXPECT_EQ(Columna("REPTABLA", "REPCODPOSTAL"), "varchar(12) NULL");
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM REPTABLA"), (Filas{{"2"}}));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(PersonalEngineTest, PermissionsAndStaffGetTheirColumns) {
    Empresa(
        {"CREATE TABLE PermisosRep (REPCODIGO varchar(4) NOT NULL, PERMISO varchar(20) NOT "
         "NULL, VALOR varchar(1) NULL)",
         "INSERT INTO PermisosRep VALUES ('R001','DESCUENTOS','S')",
         "CREATE TABLE PERSONAL (CODIGO varchar(6) NOT NULL, NOMBRE varchar(50) NOT NULL)",
         "INSERT INTO PERSONAL VALUES ('000001','Luis Peñalver Ruiz')"});
    ActualizaPermisosRepresentante(ctx(), conexion());
    ActualizaPersonal(ctx(), conexion());
    EXPECT_EQ(Columna("PermisosRep", "EDITACAMBIO"), "varchar(1) NULL");
    EXPECT_EQ(Columna("PermisosRep", "CONTROLTIEMPOCOBRO"), "int NULL ((0))");
    EXPECT_EQ(Columna("PERSONAL", "Numero"), "varchar(7) NOT NULL ('')");
    EXPECT_EQ(Columna("PERSONAL", "Piso"), "varchar(8) NOT NULL ('')");
    EXPECT_EQ(Columna("PERSONAL", "IPF"), "int NOT NULL ((0))");
    EXPECT_EQ(Columna("PERSONAL", "IdOutLook"), "varchar(255) NOT NULL ('')");
    EXPECT_EQ(Consulta("SELECT CONTROLTIEMPOCOBRO FROM PermisosRep"), (Filas{{"0"}}));
    EXPECT_EQ(Consulta("SELECT TipoVia, Numero, Piso, Puerta, IPF, IdOutLook FROM PERSONAL"),
              (Filas{{"", "", "", "", "0", ""}}));
    EXPECT_THAT(
        Entradas(),
        ElementsAre(
            Comienzo("Comenzando actualizacion estructura permisos representante en la empresa"),
            Creado("EDITACAMBIO"), Creado("CONTROLTIEMPOCOBRO"),
            Comienzo("Comenzando actualizacion estructura personal en la empresa"),
            Creado("TipoVia"), Creado("Numero"), Creado("Piso"), Creado("Puerta"), Creado("IPF"),
            Creado("IdOutLook")));
}

class PersonalScriptedTest : public ScriptedTest {};

TEST_F(PersonalScriptedTest, RepresentativesSendTheirTextsInOrder) {
    conn_.FallaCon(kIndice, ErrorServidor(1505, "The CREATE UNIQUE INDEX statement terminated."));
    ActualizaRepresentantes(ctx(), conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table RepTabla ADD REPLOGIN VARCHAR (128) ", kIndice,
                            "Alter Table REPTABLA ADD REPFIRMAPRE VARCHAR (1) ",
                            "Alter Table REPTABLA ADD REPFIRMAPED VARCHAR (1) ",
                            "Alter Table REPTABLA ADD REPFIRMAALB VARCHAR (1) ",
                            "Alter Table REPTABLA ADD REPFIRMAFAC VARCHAR (1) ",
                            "if COL_LENGTH ('REPTABLA','REPCODPOSTAL') <10 alter table REPTABLA "
                            "alter column REPCODPOSTAL varchar(10)"));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(PersonalScriptedTest, AMissingColumnTableIsReportedByEachAddition) {
    conn_.FallaSiEmpiezaPor("Alter Table PERSONAL ADD ",
                            ErrorServidor(4902, "Cannot find the object \"PERSONAL\"."));
    ActualizaPersonal(ctx(), conn_);
    const std::vector<std::string> log = Entradas();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[1], Error("Form_Activate",
                            "Error al crear el campo TipoVia en la empresa 0001 , servidor: SRV",
                            "Cannot find the object \"PERSONAL\"."));
    EXPECT_TRUE(ctx().HayIncidencias());
}

}  // namespace
}  // namespace parties_test
