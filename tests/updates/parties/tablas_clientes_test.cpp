// Telephones, delivery addresses, customer price lists and customer types.
#include "updates/parties/tablas_clientes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/parties/parties_test.h"

namespace parties_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace updates::parties;

class TablasClientesEngineTest : public EngineTest {};

TEST_F(TablasClientesEngineTest, TheOldTelephoneBookGetsMailIdentityAndWiderContacts) {
    Empresa(
        {"CREATE TABLE TELEFON (TELENOMBRE varchar(50) NOT NULL, TELECONTACTO varchar(50) "
         "NULL, TELENUMERO varchar(15) NULL)",
         "CREATE UNIQUE INDEX TELEINDICE ON TELEFON (TELENOMBRE)",
         "INSERT INTO TELEFON VALUES ('Asesoría Laboral Ebro','Pilar','976222333'),"
         "('Gestoría Sanz','Jorge Sanz','976444555')"});
    ActualizaTelefonos(ctx(), conexion());

    // The mail column is added at 50 and then set to 100 like every width up to 255.
    EXPECT_EQ(Columna("TELEFON", "TELEEMAIL"), "varchar(100) NULL");
    EXPECT_EQ(Columna("TELEFON", "TELECONTACTO"), "varchar(100) NULL");
    EXPECT_EQ(Columna("TELEFON", "ID"), "bigint NOT NULL");
    EXPECT_EQ(Consulta("SELECT COLUMNPROPERTY(OBJECT_ID('TELEFON'),'ID','IsIdentity')"),
              (Filas{{"1"}}));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM SYSINDEXES WHERE ID=OBJECT_ID('TELEFON') AND "
                       "NAME='TELEINDICE'"),
              (Filas{{"0"}}));
    // Every existing entry is numbered; two entries may now share a name.
    EXPECT_EQ(Consulta("SELECT COUNT(DISTINCT ID), MIN(ID) FROM TELEFON"), (Filas{{"2", "1"}}));
    Ejecutar("INSERT INTO TELEFON (TELENOMBRE) VALUES ('Gestoría Sanz')");
    EXPECT_THAT(Entradas(), ElementsAre(Creado("TELEEMAIL")));

    // A second run: the column is there, the index is gone, the identity is there; silent.
    ActualizaTelefonos(ctx(), conexion());
    EXPECT_THAT(Entradas(), ElementsAre(Creado("TELEEMAIL")));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(TablasClientesEngineTest, AMailAddressLongerThanTheNewWidthKeepsTheColumnAsItWas) {
    const std::string larga =
        "departament.de.comptabilitat.i.fiscalitat.de.clients.corporatius@assessoria-puig-i-"
        "associats-advocats-economistes.cat";
    Empresa(
        {"CREATE TABLE TELEFON (TELENOMBRE varchar(50) NOT NULL, TELECONTACTO varchar(100) "
         "NULL, TELEEMAIL varchar(255) NULL, ID bigint IDENTITY(1, 1) NOT NULL)",
         "INSERT INTO TELEFON (TELENOMBRE, TELEEMAIL) VALUES ('Assessoria Puig','" + larga + "')"});
    ActualizaTelefonos(ctx(), conexion());
    EXPECT_EQ(Columna("TELEFON", "TELEEMAIL"), "varchar(255) NULL");
    EXPECT_EQ(Consulta("SELECT TELEEMAIL FROM TELEFON"), (Filas{{larga}}));
    EXPECT_THAT(Entradas(), IsEmpty());
}

TEST_F(TablasClientesEngineTest, DeliveryAddressesAreWidenedAndEachWideningReported) {
    Empresa(
        {"CREATE TABLE CLIDIRENVIOS (CLIENVICLIENTE varchar(10) NOT NULL, "
         "CLIENVINOMCOMERCIAL varchar(50) NULL, CLIENVIDIRECCION varchar(60) NULL)",
         "INSERT INTO CLIDIRENVIOS VALUES ('000002','Supermercado Ebro Delicias','Calle "
         "Delicias, 51')"});
    ActualizaDireccionesEnvio(ctx(), conexion(), kEmpresa);
    EXPECT_EQ(Columna("CLIDIRENVIOS", "CLIENVINOMCOMERCIAL"), "varchar(100) NULL");
    EXPECT_EQ(Columna("CLIDIRENVIOS", "CLIENVIDIRECCION"), "varchar(100) NULL");
    EXPECT_EQ(Consulta("SELECT CLIENVINOMCOMERCIAL, CLIENVIDIRECCION FROM CLIDIRENVIOS"),
              (Filas{{"Supermercado Ebro Delicias", "Calle Delicias, 51"}}));
    EXPECT_THAT(
        Entradas(),
        ElementsAre(
            Comienzo("Comenzando actualizacion estructura CLIDIRENVIOS en la empresa"),
            Info("Campo Clienviomcomercial actualizado correctamente en la empresa 0001 , "
                 "servidor: SRV"),
            Info("Campo Clienvidireccion actualizado correctamente en la empresa 0001 , servidor: "
                 "SRV")));
}

TEST_F(TablasClientesEngineTest, PriceListsWidenOnlyArticleCodesOfUpToTenAndGetTheSixthPrice) {
    Empresa(
        {"CREATE TABLE TarifasCliente (TariCodCliente varchar(10) NOT NULL, TariCodArticul "
         "varchar(10) NOT NULL, TariTar1 float NULL)",
         "INSERT INTO TarifasCliente VALUES ('000001','HAR0000001',0.52)",
         "CREATE TABLE TIPOCLI (TIPOCODIGO varchar(4) NOT NULL, TIPODESCRIPCION varchar(35))",
         "INSERT INTO TIPOCLI VALUES ('MAY','Mayorista'),('MIN','Minorista')"});
    ActualizaTarifasCliente(ctx(), conexion());
    ActualizaTiposCliente(ctx(), conexion());
    // The widening names no null rule, so the server makes the column nullable.
    EXPECT_EQ(Columna("TarifasCliente", "TariCodArticul"), "varchar(20) NULL");
    EXPECT_EQ(Columna("TarifasCliente", "TariTar6"), "float NOT NULL ((0))");
    EXPECT_EQ(Consulta("SELECT TariCodArticul, TariTar6 FROM TarifasCliente"),
              (Filas{{"HAR0000001", "0"}}));
    EXPECT_EQ(Columna("TIPOCLI", "TIPOPUBLICABLE"), "int NULL ((0))");
    EXPECT_EQ(Consulta("SELECT DISTINCT TIPOPUBLICABLE FROM TIPOCLI"), (Filas{{"0"}}));
    EXPECT_THAT(Entradas(), ElementsAre(Creado("TariTar6"), Creado("TIPOPUBLICABLE")));

    // A code column wider than ten is left alone.
    Ejecutar("ALTER TABLE TarifasCliente ALTER COLUMN TariCodArticul varchar(15) NOT NULL");
    ActualizaTarifasCliente(ctx(), conexion());
    EXPECT_EQ(Columna("TarifasCliente", "TariCodArticul"), "varchar(15) NOT NULL");
}

// --- Exact texts and failures, on a scripted server ----------------------------------------

class TablasClientesScriptedTest : public ScriptedTest {};

TEST_F(TablasClientesScriptedTest, TelephonesSendTheirStatementsInOrderWhateverFails) {
    conn_.FallaCon("DROP INDEX TELEFON.TELEINDICE",
                   ErrorServidor(3701, "Cannot drop the index 'TELEFON.TELEINDICE'."));
    ActualizaTelefonos(ctx(), conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table TELEFON ADD TELEEMAIL VARCHAR (50) ",
                            "DROP INDEX TELEFON.TELEINDICE",
                            "Alter Table TELEFON Add ID BIGINT Identity(1, 1)",
                            "if COL_LENGTH ('TELEFON','TELECONTACTO') <= 100 alter table TELEFON "
                            "alter column TELECONTACTO varchar(100)",
                            "if COL_LENGTH ('TELEFON','TELEEMAIL') <= 255 alter table TELEFON "
                            "alter column TELEEMAIL varchar(100)"));
    EXPECT_THAT(Entradas(), ElementsAre(Creado("TELEEMAIL")));
}

TEST_F(TablasClientesScriptedTest, AFailedAddressWideningIsReportedWithItsOwnSeparator) {
    const std::string segunda =
        "if COL_LENGTH ('CLIDIRENVIOS','CLIENVIDIRECCION') < 100 alter table CLIDIRENVIOS  alter "
        "column CLIENVIDIRECCION varchar(100)";
    conn_.FallaCon(
        "IF COL_LENGTH ('CLIDIRENVIOS','CLIENVINOMCOMERCIAL') < 100 ALTER TABLE "
        "CLIDIRENVIOS ALTER COLUMN CLIENVINOMCOMERCIAL varchar(100)",
        ErrorServidor(5074,
                      "The object 'IX_NOM' is dependent on column "
                      "'CLIENVINOMCOMERCIAL'."));
    conn_.FallaCon(segunda, ErrorServidor(8152, "String or binary data would be truncated."));
    ActualizaDireccionesEnvio(ctx(), conn_, "0007");
    EXPECT_THAT(
        Entradas(),
        ElementsAre(Info("Comenzando actualizacion estructura CLIDIRENVIOS en la empresa0007 , "
                         "servidor: SRV"),
                    Error("Form_Activate",
                          "Actualizando campo Clienviomcomercial en la empresa0007, servidor SRV",
                          "The object 'IX_NOM' is dependent on column 'CLIENVINOMCOMERCIAL'."),
                    Error("Form_Activate",
                          "Actualizando campo Clienvidireccion en la empresa0007, servidor SRV",
                          "String or binary data would be truncated.")));
    EXPECT_EQ(conn_.Enviadas().back(), segunda);
    EXPECT_TRUE(ctx().HayIncidencias());
}

TEST_F(TablasClientesScriptedTest, PriceListsAndCustomerTypesSendTheirTexts) {
    ActualizaTarifasCliente(ctx(), conn_);
    ActualizaTiposCliente(ctx(), conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("if COL_LENGTH ('TarifasCliente','TariCodArticul') <= 10 alter table "
                            "TarifasCliente  alter column TariCodArticul varchar(20)",
                            "Alter Table TarifasCliente ADD TariTar6 Float NOT NULL DEFAULT(0) ",
                            "UPDATE TarifasCliente SET TariTar6=0",
                            "Alter Table TIPOCLI ADD TIPOPUBLICABLE INT DEFAULT(0) ",
                            "UPDATE TIPOCLI SET TIPOPUBLICABLE=0"));
}

}  // namespace
}  // namespace parties_test
