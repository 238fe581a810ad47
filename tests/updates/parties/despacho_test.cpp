// The law-practice tables: tasks, court filings and their lines, matters, lawyers and the
// communications sent.
#include "updates/parties/despacho.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/parties/parties_test.h"

namespace parties_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using namespace updates::parties;

const std::vector<std::string> kInstancias = {
    "CREATE TABLE INSTANCIAS (codasuntointerno int NOT NULL, numeroinstancia int NOT NULL, "
    "cerrada float NOT NULL, CANALCERRADA varchar(2) NULL)",
    // An open filing, a closed one with its channel, an open one of another matter, and a
    // closed one without channel.
    "INSERT INTO INSTANCIAS VALUES (1,1,0,''),(1,2,27,'00'),(2,1,0,NULL),(3,1,31,'')",
    "CREATE TABLE LINEASINSTANCIAS (CodAsuntoInterno int NOT NULL, NUMEROINSTANCIA int NOT NULL, "
    "LINEA int NOT NULL, TIPOLINEA int NOT NULL, valor float NULL, NUMFACT float NOT NULL, CANAL "
    "varchar(2) NULL)",
    "INSERT INTO LINEASINSTANCIAS VALUES (1,1,1,1,600,0,''),(1,1,2,2,150,0,''),"
    "(1,2,1,1,900,0,''),(1,2,2,5,300,0,''),(1,2,3,1,50,12,'03'),(2,1,1,1,400,0,''),"
    "(3,1,1,1,70,0,'')",
};

const std::string kAdeber =
    "SELECT codasuntointerno, numeroinstancia, Adeber FROM INSTANCIAS ORDER BY 1, 2";

class DespachoEngineTest : public EngineTest {};

TEST_F(DespachoEngineTest, EachOpenFilingOwesTheSumOfItsLinesFromTheRunThatAddsTheColumn) {
    Empresa(kInstancias);
    ActualizaInstancias(ctx(), conexion());
    // Closed filings keep the default 0.
    EXPECT_EQ(Consulta(kAdeber),
              (Filas{{"1", "1", "750"}, {"1", "2", "0"}, {"2", "1", "400"}, {"3", "1", "0"}}));
    EXPECT_EQ(Columna("INSTANCIAS", "Adeber"), "float NOT NULL ((0))");
    EXPECT_EQ(Columna("INSTANCIAS", "DesignacionInstancia"), "varchar(15) NULL ('0')");
    EXPECT_EQ(Columna("INSTANCIAS", "TurnoOficio"), "varchar(3) NOT NULL ('')");
    EXPECT_EQ(Columna("INSTANCIAS", "contraida"), "int NULL ((0))");
    EXPECT_THAT(
        Entradas(),
        ElementsAre(Comienzo("Comenzando actualizacion estructura INSTANCIAS en la "
                             "empresa"),
                    Creado("CodigoProcedimiento"), Creado("Procedimiento"),
                    Creado("PosicionProcesal"), Creado("Adeber"), Creado("DesignacionInstancia"),
                    Creado("InstanciaRel"), Creado("TurnoOficio"), Creado("contraida")));

    // New lines after the release do not change what a filing owes: only that run sums.
    Ejecutar("INSERT INTO LINEASINSTANCIAS VALUES (1,1,3,1,100,0,'')");
    ActualizaInstancias(ctx(), conexion());
    EXPECT_EQ(Consulta(kAdeber)[0], (std::vector<std::string>{"1", "1", "750"}));
}

TEST_F(DespachoEngineTest, AnOpenFilingWithoutLinesOwesNothingAndTheOthersAreStillSummed) {
    std::vector<std::string> lotes(kInstancias);
    lotes.push_back("INSERT INTO INSTANCIAS VALUES (4,1,0,'')");
    Empresa(lotes);
    ActualizaInstancias(ctx(), conexion());
    EXPECT_EQ(Consulta(kAdeber), (Filas{{"1", "1", "750"},
                                        {"1", "2", "0"},
                                        {"2", "1", "400"},
                                        {"3", "1", "0"},
                                        {"4", "1", "0"}}));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(DespachoEngineTest, FilingLinesGetStatesAndTheInvoiceOfTheirClosedFilingOnEveryRun) {
    Empresa(kInstancias);
    ActualizaLineasInstancias(ctx(), conexion());
    EXPECT_EQ(Columna("LINEASINSTANCIAS", "Estado"), "varchar(255) NULL");
    EXPECT_EQ(Columna("LINEASINSTANCIAS", "IdEntrega"), "bigint NOT NULL ((0))");
    EXPECT_EQ(Columna("LINEASINSTANCIAS", "FechaActualizacion"), "datetime NULL");
    EXPECT_EQ(Columna("LINEASINSTANCIAS", "UsuarioActualizacion"), "bigint NULL ((0))");
    const std::string lineas =
        "SELECT CodAsuntoInterno, NUMEROINSTANCIA, LINEA, NUMFACT, CANAL "
        "FROM LINEASINSTANCIAS ORDER BY 1, 2, 3";
    // Filing 1/2 is closed with invoice 27 on channel 00: its lines take them, except the line of
    // type 5 and the line that already had an invoice. Filing 3/1 is closed without a channel.
    EXPECT_EQ(Consulta(lineas), (Filas{{"1", "1", "1", "0", ""},
                                       {"1", "1", "2", "0", ""},
                                       {"1", "2", "1", "27", "00"},
                                       {"1", "2", "2", "0", ""},
                                       {"1", "2", "3", "12", "03"},
                                       {"2", "1", "1", "0", ""},
                                       {"3", "1", "1", "0", ""}}));

    Ejecutar("UPDATE LINEASINSTANCIAS SET ESTADO='Descargado' WHERE LINEA=1");
    Ejecutar("UPDATE LINEASINSTANCIAS SET ESTADO='Fallido' WHERE LINEA=2");
    Ejecutar("UPDATE LINEASINSTANCIAS SET ESTADO='Pendiente' WHERE LINEA=3");
    ActualizaLineasInstancias(ctx(), conexion());
    EXPECT_EQ(Consulta("SELECT DISTINCT LINEA, Estado FROM LINEASINSTANCIAS ORDER BY 1"),
              (Filas{{"1", "1"}, {"2", "2"}, {"3", "Pendiente"}}));
}

TEST_F(DespachoEngineTest, EachMattersMainClientIsItsEarliestClientFromTheRunThatAddsIt) {
    Empresa(
        {"CREATE TABLE ASUNTOS (CODIGOASUNTOINTERNO int NOT NULL, CODIGOASUNTO varchar(15) "
         "NOT NULL)",
         "INSERT INTO ASUNTOS VALUES (10,'2014/0010'),(11,'2014/0011'),(12,'2014/0012')",
         "CREATE TABLE ASUNTOCLIENTE (CodAsuntoInterno int NOT NULL, CodCliente varchar(10) "
         "NOT NULL, FechaIncorporacion datetime NULL)",
         "INSERT INTO ASUNTOCLIENTE VALUES (10,'CL0002','20140120'),(10,'CL0001','20140110'),"
         "(11,'CL0002','20140301')"});
    ActualizaAsuntos(ctx(), conexion());
    const std::string principales =
        "SELECT CODIGOASUNTOINTERNO, ClientePrincipalAsunto FROM ASUNTOS ORDER BY 1";
    // A matter without clients is left without a main client.
    EXPECT_EQ(Consulta(principales), (Filas{{"10", "CL0001"}, {"11", "CL0002"}, {"12", "NULL"}}));
    EXPECT_EQ(Columna("ASUNTOS", "ClientePrincipalAsunto"), "varchar(255) NULL ('')");
    EXPECT_EQ(Columna("ASUNTOS", "Observaciones"), "text NOT NULL ('')");
    EXPECT_EQ(Columna("ASUNTOS", "TurnoOficio"), "varchar(3) NOT NULL ('0')");
    EXPECT_EQ(Columna("ASUNTOS", "AsistenciaFecha_Guardia"), "datetime NULL");
    EXPECT_EQ(NumeroColumnas("ASUNTOS"), 2 + 8);
    EXPECT_FALSE(ctx().HayIncidencias());

    // Later clients do not change the main client chosen by that run.
    Ejecutar("INSERT INTO ASUNTOCLIENTE VALUES (11,'CL0009','20100101'),(12,'CL0003',NULL)");
    ActualizaAsuntos(ctx(), conexion());
    EXPECT_EQ(Consulta(principales), (Filas{{"10", "CL0001"}, {"11", "CL0002"}, {"12", "NULL"}}));
    EXPECT_EQ(Entradas().back(), Comienzo("Comenzando actualizacion estructura ASUNTOS en la "
                                          "empresa"));
}

TEST_F(DespachoEngineTest, TasksLawyersAndCommunicationsGetTheirColumns) {
    Empresa({"CREATE TABLE TAREAS (CODIGO int NOT NULL, DESCRIPCION varchar(100) NULL)",
             "INSERT INTO TAREAS VALUES (1,'Preparar vista oral')",
             "CREATE TABLE ABOGADOS (CODIGO int NOT NULL, NOMBRE varchar(50) NOT NULL)",
             "INSERT INTO ABOGADOS VALUES (1,'Lucía Núñez Iglesias')",
             "CREATE TABLE RELACIONENVIOS (CODIGO int NOT NULL, ASUNTO varchar(10) NULL)",
             "INSERT INTO RELACIONENVIOS VALUES (1,'2014/0010')"});
    ActualizaTareas(ctx(), conexion());
    ActualizaAbogados(ctx(), conexion());
    ActualizaRelacionEnvios(ctx(), conexion());

    EXPECT_EQ(Consulta("SELECT CanalFactura, NFactura, Guardia FROM TAREAS"),
              (Filas{{"00", "0", "0"}}));
    EXPECT_EQ(NumeroColumnas("TAREAS"), 2 + 7);
    EXPECT_EQ(Consulta("SELECT ClienteTurnoOficio, ClienteSerieTurnoOficio, CanalHabitualAbogado, "
                       "MostrarInforme, Desc6 FROM ABOGADOS"),
              (Filas{{"0000000001", "00", "00", "1", "0"}}));
    EXPECT_EQ(Columna("ABOGADOS", "Sexo"), "char(1) NOT NULL ('')");
    EXPECT_EQ(NumeroColumnas("ABOGADOS"), 2 + 24);
    EXPECT_EQ(Columna("RELACIONENVIOS", "ASUNTO"), "varchar(255) NULL");
    EXPECT_EQ(Columna("RELACIONENVIOS", "RUTAFICHERO"), "varchar(255) NULL");
    EXPECT_EQ(Columna("RELACIONENVIOS", "COSTESEGUNDO"), "float NOT NULL ((0))");
    EXPECT_EQ(NumeroColumnas("RELACIONENVIOS"), 2 + 9);

    const std::vector<std::string> log = Entradas();
    ASSERT_EQ(log.size(), 3u + 7u + 24u + 9u);
    EXPECT_EQ(log[0], Comienzo("Comenzando actualizacion estructura Tareas en la empresa"));
    EXPECT_EQ(log[8], Comienzo("Comenzando actualizacion estructura Abogados en la empresa"));
    EXPECT_EQ(log[33], Comienzo("Comenzando actualizacion estructura RelacionEnvios en la "
                                "empresa"));
    EXPECT_FALSE(ctx().HayIncidencias());
}

// --- Exact texts and failures, on a scripted server ----------------------------------------

class DespachoScriptedTest : public ScriptedTest {};

const std::string kAltaAdeber = "Alter Table INSTANCIAS ADD Adeber FLOAT NOT NULL DEFAULT(0) ";
const std::string kSumaAdeber =
    "update instancias set adeber= ( select sum(valor) from lineasinstancias where "
    "codasuntointerno=instancias.codasuntointerno and numeroinstancia=instancias.numeroinstancia) "
    "where cerrada =0";
const std::string kSumaAdeberSinLineas =
    "update instancias set adeber= isnull(( select sum(valor) from lineasinstancias where "
    "codasuntointerno=instancias.codasuntointerno and numeroinstancia=instancias.numeroinstancia)"
    ",0) where cerrada =0";

TEST_F(DespachoScriptedTest, TheOwedAmountIsSummedRightAfterItsColumnIsAdded) {
    ActualizaInstancias(ctx(), conn_);
    const int alta = Posicion(kAltaAdeber);
    ASSERT_GE(alta, 0);
    EXPECT_EQ(conn_.Enviadas()[alta + 1], "UPDATE INSTANCIAS SET Adeber=0");
    EXPECT_EQ(conn_.Enviadas()[alta + 2], kSumaAdeber);
    EXPECT_EQ(conn_.Enviadas()[alta + 3],
              "Alter Table INSTANCIAS ADD DesignacionInstancia VARCHAR (15) DEFAULT('0') ");
    // The fallback form is sent only when the sum is refused.
    EXPECT_FALSE(Enviada(kSumaAdeberSinLineas));
}

TEST_F(DespachoScriptedTest, ARefusedSumIsSentAgainCountingFilingsWithoutLinesAsZero) {
    conn_.FallaCon(kSumaAdeber, ErrorServidor(515,
                                              "Cannot insert the value NULL into column "
                                              "'Adeber'."));
    ActualizaInstancias(ctx(), conn_);
    EXPECT_EQ(Posicion(kSumaAdeberSinLineas), Posicion(kSumaAdeber) + 1);
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(DespachoScriptedTest, AnAmountColumnAlreadyThereIsNotSummed) {
    conn_.FallaCon(kAltaAdeber, ErrorServidor(2705, "Column names in each table must be unique."));
    ActualizaInstancias(ctx(), conn_);
    EXPECT_FALSE(Enviada(kSumaAdeber));
    EXPECT_FALSE(Enviada(kSumaAdeberSinLineas));
    EXPECT_THAT(Entradas(), Not(Contains(Creado("Adeber"))));
}

TEST_F(DespachoScriptedTest, TheMainClientStatementIsTheThreePiecesJoined) {
    ActualizaAsuntos(ctx(), conn_);
    EXPECT_EQ(conn_.Enviadas()[0],
              "Alter Table ASUNTOS ADD ClientePrincipalAsunto VARCHAR (255) DEFAULT('') ");
    EXPECT_EQ(conn_.Enviadas()[1], "UPDATE ASUNTOS SET ClientePrincipalAsunto=''");
    EXPECT_EQ(conn_.Enviadas()[2],
              "Update ASUNTOS SET ClientePrincipalAsunto = (SELECT TOP 1 CodCliente From "
              "ASUNTOCLIENTE WHERE CodAsuntoInterno = ASUNTOS.CODIGOASUNTOINTERNO ORDER BY "
              "FechaIncorporacion)");
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE ASUNTOS SET Observaciones=''");
}

TEST_F(DespachoScriptedTest, FilingLineCorrectionsGoInOrderAfterTheColumns) {
    ActualizaLineasInstancias(ctx(), conn_);
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    ASSERT_GE(enviadas.size(), 3u);
    EXPECT_THAT(
        std::vector<std::string>(enviadas.end() - 3, enviadas.end()),
        ElementsAre("UPDATE LINEASINSTANCIAS SET ESTADO ='1' WHERE ESTADO='Descargado'",
                    "UPDATE LINEASINSTANCIAS SET ESTADO ='2' WHERE ESTADO='Fallido'",
                    "UPDATE LINEASINSTANCIAS SET NUMFACT = CERRADA,CANAL=CANALCERRADA FROM "
                    "LINEASINSTANCIAS INNER JOIN INSTANCIAS ON LINEASINSTANCIAS.CodAsuntoInterno "
                    "= INSTANCIAS.CodAsuntoInterno AND LINEASINSTANCIAS.NUMEROINSTANCIA "
                    "=INSTANCIAS.NUMEROINSTANCIA WHERE INSTANCIAS.CERRADA <>0 AND "
                    "INSTANCIAS.CANALCERRADA <> '' AND LINEASINSTANCIAS.TIPOLINEA <> 5 AND "
                    "NUMFACT=0"));
}

TEST_F(DespachoScriptedTest, CommunicationsWidenTheSubjectBeforeTheirColumns) {
    ActualizaRelacionEnvios(ctx(), conn_);
    EXPECT_EQ(conn_.Enviadas().front(),
              "if COL_LENGTH ('RELACIONENVIOS','ASUNTO') <= 10 alter table RELACIONENVIOS  alter "
              "column ASUNTO varchar(255)");
    EXPECT_EQ(conn_.Enviadas()[1], "Alter Table RELACIONENVIOS ADD PAGINAS FLOAT DEFAULT(0) ");
}

}  // namespace
}  // namespace parties_test
