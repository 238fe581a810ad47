// The customer master: what ActualizaClientes leaves in an old-release company database, what
// a second run does, and the exact texts it sends.
#include "updates/parties/clientes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "updates/parties/parties_test.h"

namespace parties_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using updates::parties::ActualizaClientes;

// The old-release customer tables, as a company of that release holds them.
const std::vector<std::string> kClientesAntiguos = {
    "CREATE TABLE CLIENTESTABLA (Clicodigo varchar(10) NOT NULL, CliNombre varchar(60) NULL, "
    "CliDireccion varchar(60) NULL, clicif varchar(12) NULL, CliCodPostal varchar(5) NULL, "
    "CliCodPostalLocali varchar(50) NULL, CliCodPostalProvin varchar(30) NULL, CliCodPostalPais "
    "varchar(30) NULL, CLIIVAINTRACOMUNITARIO bit NOT NULL CONSTRAINT "
    "DF_CLIENTESTABLA_CLIIVAINTRACOMUNITARIO DEFAULT 0)",
    "INSERT INTO CLIENTESTABLA VALUES "
    "('000001','Hermanos Gracia, S.C.','Calle Mayor, 4','J50111222','50001','Zaragoza',"
    "'Zaragoza','España',0),"
    "('000002','Supermercados Ebro, S.A.','Avenida Cataluña, 200','A50555666','50014',"
    "'Zaragoza','Zaragoza','España',0),"
    "('O''DONNELL','Ferretería O''Donnell','Calle Delicias, 80','B50333444','50017','Zaragoza',"
    "'Zaragoza','España',0),"
    "('000004','Talleres Moncayo','Polígono Malpica, calle D, nave 12, parcela 7 y 8',"
    "'B50777888','50016','Zaragoza','Provincia de Zaragoza, Aragón','Francia',1)",
    "CREATE TABLE ABOGADOCLIENTE (CodAbogado int NOT NULL, CodCliente varchar(10) NOT NULL, "
    "Permisos int NOT NULL)",
    "INSERT INTO ABOGADOCLIENTE VALUES (-1,'000001',14),(3,'000002',6)",
    "CREATE TABLE CENTROSADMINISTRATIVOS (CLICODIGO varchar(10) NOT NULL, CODIGOCENTRO "
    "varchar(10) NOT NULL, TIPO varchar(2) NOT NULL, DIRECCION varchar(80) NULL, CODIGOPOSTAL "
    "varchar(5) NULL, LOCALIDAD varchar(50) NULL, PROVINCIA varchar(20) NULL, PAIS varchar(3) "
    "NULL)",
    "CREATE TABLE CLIENTESTABLARELACIONES (CLICODIGO varchar(10) NOT NULL, CodClienteRel "
    "varchar(10) NOT NULL, TipoRel varchar(2) NOT NULL)",
    "INSERT INTO CLIENTESTABLARELACIONES VALUES ('000002','000001','01'),('000002','000004','03'),"
    "('000001','O''DONNELL','05')",
};

const std::string kComienzo = "Comenzando actualizacion estructura clientestabla en la empresa ";

class ClientesEngineTest : public EngineTest {
  protected:
    void Actualizar() { ActualizaClientes(ctx(), conexion(), kEmpresa); }
};

TEST_F(ClientesEngineTest, AnOldCustomerTableGetsTheReleaseLayout) {
    Empresa(kClientesAntiguos);
    Actualizar();

    // The widenings, the one of the common name included.
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliNombre"), "varchar(100) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliDireccion"), "varchar(100) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "clicif"), "varchar(15) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliCodPostal"), "varchar(10) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliNombreComun"), "varchar(100) NOT NULL ('')");

    // A sample of every shape of added column: defaults of each kind, without default, null
    // rules, and the columns added outside the big list.
    EXPECT_EQ(Columna("CLIENTESTABLA", "PersonaJuridica"), "bit NOT NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliPasarRecVac"), "bit NOT NULL ((1))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliAvisarSat"), "varchar(1) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLIRUTADOCUMENTOS"), "varchar(256) NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliApellido1"), "varchar(35) NULL ('')");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliIpf"), "int NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliPreso"), "int NOT NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliSexo"), "varchar(2) NOT NULL ('')");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliModoEnvio"), "char(1) NOT NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLIPDA"), "int NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliFechaGrabacion"), "datetime NOT NULL (getdate())");
    EXPECT_EQ(Columna("CLIENTESTABLA", "UltimaModificacion"), "datetime NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "LPD"), "int NOT NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliEmpresa"), "varchar(5) NOT NULL ('0001')");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CliFechaMandato"), "datetime NULL");
    EXPECT_EQ(Columna("CLIENTESTABLA", "DescuentoTPV"), "float NOT NULL ((0))");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLICODBancoTransferencias"), "varchar(4) NOT NULL ('')");
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLIComision"), "float NOT NULL ((0))");
    // Nine columns of the old release and 44 added.
    EXPECT_EQ(NumeroColumnas("CLIENTESTABLA"), 9 + 44);

    // Existing customers hold the defaults, their company and the mandate date of the release.
    EXPECT_EQ(Consulta("SELECT DISTINCT CliPasarRecVac, CliModoEnvio, CliEmpresa, "
                       "CONVERT(varchar(10), CliFechaMandato, 120), CLINumeracionIndependienteAsun"
                       "tosFormato, CliIpf FROM CLIENTESTABLA"),
              (Filas{{"True", "0", "0001", "2009-10-31", "", "0"}}));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM CLIENTESTABLA WHERE CliFechaGrabacion IS NULL OR "
                       "CliAvisarSat IS NOT NULL"),
              (Filas{{"0"}}));

    const std::vector<std::string> log = Entradas();
    ASSERT_EQ(log.size(), 1u + 3u + 2u + 1u + 37u + 5u);
    EXPECT_EQ(log[0], Info(kComienzo + "0001 , servidor: SRV"));
    EXPECT_EQ(log[1], Info("Campo CliNombre actualizado correctamente en la empresa 0001 , "
                           "servidor: SRV"));
    EXPECT_EQ(log[3], Info("Campo clicif actualizado correctamente en la empresa 0001 , servidor: "
                           "SRV"));
    EXPECT_EQ(log[4], Creado("PersonaJuridica"));
    EXPECT_EQ(log[6], Info("Campo CliNombreComun actualizado correctamente en la empresa 0001 , "
                           "servidor: SRV"));
    EXPECT_EQ(log[7], Creado("CliCtaProvisiones"));
    EXPECT_EQ(log[43], Creado("LPD"));
    EXPECT_THAT(std::vector<std::string>(log.begin() + 44, log.end()),
                ElementsAre(Creado("CliEmpresa"), Creado("CliFechaMandato"), Creado("DescuentoTPV"),
                            Creado("CLICODBancoTransferencias"), Creado("CLIComision")));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ClientesEngineTest, EveryCustomerWithoutALawyerRowGetsOneOnEveryRun) {
    Empresa(kClientesAntiguos);
    Actualizar();
    const std::string accesos =
        "SELECT CodAbogado, CodCliente, Permisos FROM ABOGADOCLIENTE ORDER BY CodCliente, "
        "CodAbogado";
    // 000001 had lawyer -1 already and 000002 another lawyer's row: neither gets a new one. The
    // code holding a quote gets its row like the others.
    const Filas tras1 = {{"-1", "000001", "14"},
                         {"3", "000002", "6"},
                         {"-1", "000004", "14"},
                         {"-1", "O'DONNELL", "14"}};
    EXPECT_EQ(Consulta(accesos), tras1);

    // A customer created since is given its row by the next run; nobody gets a second one.
    Ejecutar(
        "INSERT INTO CLIENTESTABLA (Clicodigo, CliNombre, CliFechaMandato) VALUES "
        "('000007', 'Nuevo', '20200101')");
    Actualizar();
    Filas tras2 = tras1;
    tras2.insert(tras2.begin() + 3, {"-1", "000007", "14"});
    EXPECT_EQ(Consulta(accesos), tras2);
}

TEST_F(ClientesEngineTest, TheIntraCommunityVatFlagBecomesAnIntegerUnderItsDefaultsName) {
    Empresa(kClientesAntiguos);
    Actualizar();
    // ALTER COLUMN without a null rule leaves the column nullable, as the server does it.
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLIIVAINTRACOMUNITARIO"), "int NULL ((0))");
    EXPECT_EQ(Consulta("SELECT OBJECT_NAME(cdefault) FROM syscolumns WHERE "
                       "id=OBJECT_ID('CLIENTESTABLA') AND name='CLIIVAINTRACOMUNITARIO'"),
              (Filas{{"DF_CLIENTESTABLA_CLIIVAINTRACOMUNITARIO"}}));
    EXPECT_EQ(Consulta("SELECT Clicodigo FROM CLIENTESTABLA WHERE CLIIVAINTRACOMUNITARIO=1"),
              (Filas{{"000004"}}));
    // The re-created default works: a customer inserted without the flag gets 0.
    Ejecutar(
        "INSERT INTO CLIENTESTABLA (Clicodigo, CliFechaMandato) VALUES ('000009', "
        "'20200101')");
    EXPECT_EQ(Consulta("SELECT CLIIVAINTRACOMUNITARIO FROM CLIENTESTABLA WHERE "
                       "Clicodigo='000009'"),
              (Filas{{"0"}}));
}

TEST_F(ClientesEngineTest, RelationsOfTypes01To04MoveIntoTheEmptyCentresTableOnce) {
    Empresa(kClientesAntiguos);
    Actualizar();
    // The centre's address comes from the related customer, cut to the centres' widths.
    EXPECT_EQ(
        Consulta("SELECT * FROM CENTROSADMINISTRATIVOS ORDER BY TIPO"),
        (Filas{{"000002", "000001", "01", "Calle Mayor, 4", "50001", "Zaragoza", "Zaragoza", "Esp"},
               {"000002", "000004", "03", "Polígono Malpica, calle D, nave 12, parcela 7 y 8",
                "50016", "Zaragoza", "Provincia de Zaragoz", "Fra"}}));
    EXPECT_EQ(Consulta("SELECT * FROM CLIENTESTABLARELACIONES"),
              (Filas{{"000001", "O'DONNELL", "05"}}));

    // A relation of those types added later stays where it is: the centres are no longer empty.
    Ejecutar("INSERT INTO CLIENTESTABLARELACIONES VALUES ('000001','000004','02')");
    Actualizar();
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM CENTROSADMINISTRATIVOS"), (Filas{{"2"}}));
    EXPECT_EQ(Consulta("SELECT TipoRel FROM CLIENTESTABLARELACIONES ORDER BY TipoRel"),
              (Filas{{"02"}, {"05"}}));
}

TEST_F(ClientesEngineTest, WithoutACentresTableTheRelationsStayAndNothingIsReported) {
    std::vector<std::string> lotes(kClientesAntiguos);
    lotes.erase(lotes.begin() + 4);  // no CENTROSADMINISTRATIVOS
    Empresa(lotes);
    Actualizar();
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM CLIENTESTABLARELACIONES"), (Filas{{"3"}}));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ClientesEngineTest, ASecondRunOnlyReportsItsWideningsAndFillsNoMandateDate) {
    Empresa(kClientesAntiguos);
    Actualizar();
    // A mandate date cleared by a user after the release stays cleared.
    Ejecutar("UPDATE CLIENTESTABLA SET CliFechaMandato=NULL WHERE Clicodigo='000002'");
    Ejecutar("DELETE FROM ABOGADOCLIENTE");
    const size_t antes = Entradas().size();

    Actualizar();
    const std::vector<std::string> log = Entradas();
    EXPECT_THAT(std::vector<std::string>(log.begin() + antes, log.end()),
                ElementsAre(Info(kComienzo + "0001 , servidor: SRV"),
                            Info("Campo CliNombre actualizado correctamente en la empresa 0001 , "
                                 "servidor: SRV"),
                            Info("Campo CliDireccion actualizado correctamente en la empresa 0001 "
                                 ", servidor: SRV"),
                            Info("Campo clicif actualizado correctamente en la empresa 0001 , "
                                 "servidor: SRV"),
                            Info("Campo CliNombreComun actualizado correctamente en la empresa "
                                 "0001 , servidor: SRV")));
    EXPECT_EQ(Consulta("SELECT CliFechaMandato FROM CLIENTESTABLA WHERE Clicodigo='000002'"),
              (Filas{{"NULL"}}));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM ABOGADOCLIENTE"), (Filas{{"4"}}));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ClientesEngineTest, APartlyUpdatedTableKeepsWhatItHas) {
    Empresa({
        "CREATE TABLE CLIENTESTABLA (Clicodigo varchar(10) NOT NULL, CliNombre varchar(100) NULL, "
        "CliDireccion varchar(100) NULL, clicif varchar(15) NULL, CliCodPostal varchar(10) NULL, "
        "CLIIVAINTRACOMUNITARIO int NOT NULL DEFAULT 0, PersonaJuridica bit NOT NULL DEFAULT 0, "
        "CliFechaMandato datetime NULL)",
        "INSERT INTO CLIENTESTABLA VALUES ('C0001','Fruites del Segrià, S.L.','Carrer Major, 1',"
        "'B25111222','25001',0,1,'20100115'),('C0002','Hotel Miramar','Passeig Marítim, 30',"
        "'A08222333','08005',0,1,NULL)",
        "CREATE TABLE ABOGADOCLIENTE (CodAbogado int NOT NULL, CodCliente varchar(10) NOT NULL, "
        "Permisos int NOT NULL)",
        "INSERT INTO ABOGADOCLIENTE VALUES (-1,'C0001',14),(-1,'C0002',14)",
    });
    Actualizar();
    // The mandate date was there: the NULL stays, the date stays, nobody is stamped again.
    EXPECT_EQ(Consulta("SELECT Clicodigo, CONVERT(varchar(10), CliFechaMandato, 120), "
                       "PersonaJuridica FROM CLIENTESTABLA ORDER BY Clicodigo"),
              (Filas{{"C0001", "2010-01-15", "True"}, {"C0002", "NULL", "True"}}));
    EXPECT_EQ(Columna("CLIENTESTABLA", "CLIIVAINTRACOMUNITARIO"), "int NOT NULL ((0))");
    EXPECT_THAT(Entradas(), Not(Contains(Creado("PersonaJuridica"))));
    EXPECT_THAT(Entradas(), Not(Contains(Creado("CliFechaMandato"))));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM ABOGADOCLIENTE"), (Filas{{"2"}}));
}

// --- Exact texts and failures, on a scripted server ----------------------------------------

class ClientesScriptedTest : public ScriptedTest {
  protected:
    void Actualizar(std::string_view empresa = kEmpresa) {
        ActualizaClientes(ctx(), conn_, empresa);
    }
};

const std::string kClientesSinAbogado =
    "select clicodigo  from clientestabla where clicodigo not in(select codcliente from "
    "abogadocliente)";
const std::string kAnchoNombre =
    "IF COL_LENGTH ('clientestabla','CliNombre') < 100 ALTER TABLE clientestabla ALTER COLUMN "
    "CliNombre varchar(100)";

TEST_F(ClientesScriptedTest, TheStatementsGoInTheRoutinesOrder) {
    Actualizar();
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    ASSERT_GE(enviadas.size(), 10u);
    EXPECT_THAT(std::vector<std::string>(enviadas.begin(), enviadas.begin() + 8),
                ElementsAre(kAnchoNombre,
                            "IF COL_LENGTH ('clientestabla','CliDireccion') < 100 ALTER TABLE "
                            "clientestabla ALTER COLUMN CliDireccion varchar(100)",
                            "IF COL_LENGTH ('clientestabla','clicif') < 15 ALTER TABLE "
                            "clientestabla ALTER COLUMN clicif varchar(15)",
                            "Alter Table ClientesTabla ADD PersonaJuridica BIT NOT NULL "
                            "DEFAULT(0) ",
                            "UPDATE ClientesTabla SET PersonaJuridica=0",
                            "Alter Table ClientesTabla ADD CliNombreComun VARCHAR (100) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE ClientesTabla SET CliNombreComun=''",
                            "IF COL_LENGTH ('clientestabla','CliNombreComun') < 100 ALTER TABLE "
                            "clientestabla ALTER COLUMN CliNombreComun varchar(100)"));
    // Landmarks of the rest, in order.
    const std::vector<int> orden = {
        Posicion("Alter Table ClientesTabla ADD CliCtaProvisiones VARCHAR (12) NOT NULL "
                 "DEFAULT('') "),
        Posicion("Alter Table ClientesTabla ADD CliModoEnvio CHAR (1) NOT NULL DEFAULT(0) "),
        Posicion("Alter Table ClientesTabla ADD CliFechaGrabacion DATETIME NOT NULL "
                 "DEFAULT(GetDate()) "),
        Posicion("Alter Table ClientesTabla ADD LPD int NOT NULL DEFAULT(0) "),
        Posicion("IF COL_LENGTH ('clientestabla','CliCodPostal') < 10 ALTER TABLE clientestabla "
                 "ALTER COLUMN CliCodPostal varchar(10)"),
        Posicion(kClientesSinAbogado),
        Posicion("Alter Table ClientesTabla ADD CliEmpresa VARCHAR (5) NOT NULL "
                 "DEFAULT('0001') "),
        Posicion("UPDATE ClientesTabla SET CliEmpresa='0001'"),
        Posicion("Alter Table ClientesTabla ADD CliFechaMandato DATETIME "),
        Posicion("UPDATE CLIENTESTABLA SET CLIFECHAMANDATO={d'2009-10-31'} WHERE "
                 "CLIFECHAMANDATO IS NULL"),
        Posicion("Alter Table CLIENTESTABLA ADD DescuentoTPV FLOAT NOT NULL DEFAULT(0) "),
        Posicion("Alter Table ClientesTabla ADD CliFechaMandato DATETIME NOT NULL "),
        Posicion("UPDATE CLIENTESTABLA SET CliFechaMandato={d'2009-10-31'} where CliFechaMandato "
                 "is null"),
        Posicion("Alter Table ClientesTabla ADD CLICODBancoTransferencias VARCHAR (4) NOT NULL "
                 "DEFAULT('') "),
        Posicion("Alter Table CLIENTESTABLA ADD CLIComision FLOAT NOT NULL DEFAULT(0) "),
        Posicion(updates::parties::LoteIvaIntracomunitario()),
        Posicion(updates::parties::LoteCentrosAdministrativos()),
    };
    for (size_t i = 0; i < orden.size(); ++i) {
        EXPECT_GE(orden[i], 0) << "landmark " << i << " not sent";
        if (i > 0) {
            EXPECT_LT(orden[i - 1], orden[i]) << "landmark " << i;
        }
    }
    EXPECT_EQ(enviadas.back(), updates::parties::LoteCentrosAdministrativos());
    // Columns without default get no UPDATE.
    EXPECT_FALSE(Enviada("UPDATE ClientesTabla SET CLIPDA="));
    for (const std::string& sql : enviadas)
        EXPECT_FALSE(sql.starts_with("UPDATE ClientesTabla SET CliAvisarSat")) << sql;
}

TEST_F(ClientesScriptedTest, TheBatchesEndEveryLineWithACarriageReturn) {
    const std::string iva = updates::parties::LoteIvaIntracomunitario();
    EXPECT_EQ(std::count(iva.begin(), iva.end(), '\r'), 18);
    EXPECT_EQ(iva.find('\n'), std::string::npos);
    EXPECT_TRUE(iva.starts_with(
        "IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
        "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='CLIIVAINTRACOMUNITARIO' "
        "and systypes.name='BIT')\rbegin\rdeclare @Def varchar(255)\rdeclare @consulta  "
        "NVARCHAR(500)\r-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO\r"));
    EXPECT_TRUE(iva.ends_with("exec SP_EXECUTESQL @consulta\rEnd\rEnd\r"));

    const std::string centros = updates::parties::LoteCentrosAdministrativos();
    EXPECT_EQ(std::count(centros.begin(), centros.end(), '\r'), 17);
    EXPECT_TRUE(
        centros.starts_with("if exists (select * from sysobjects where xtype='U' and name "
                            "= 'CENTROSADMINISTRATIVOS')\rbegin\r"));
    EXPECT_NE(centros.find("\rORDER BY CLICODIGO,TIPOREL\rDELETE FROM CLIENTESTABLARELACIONES "
                           "WHERE TIPOREL IN('01','02','03','04')\rEnd\rEnd\r"),
              std::string::npos);
}

TEST(LoteIvaIntracomunitarioTest, TheBitColumnBecomesAnIntegerUnderItsDefaultsName) {
    EXPECT_EQ(
        updates::parties::LoteIvaIntracomunitario(),
        "IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
        "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='CLIIVAINTRACOMUNITARIO'"
        " and systypes.name='BIT')\r"
        "begin\r"
        "declare @Def varchar(255)\r"
        "declare @consulta  NVARCHAR(500)\r"
        "-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO\r"
        "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
        "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('CLIENTESTABLA') "
        "AND UPPER(SYSCOLUMNS.NAME) ='CLIIVAINTRACOMUNITARIO')\r"
        "IF @Def <> ''\r"
        "begin\r"
        "set @consulta = 'ALTER TABLE CLIENTESTABLA DROP CONSTRAINT ' + @Def\r"
        "exec SP_EXECUTESQL @consulta\r"
        "End\r"
        "ALTER TABLE CLIENTESTABLA ALTER COLUMN CLIIVAINTRACOMUNITARIO INTEGER\r"
        "if @def <> ''\r"
        "begin\r"
        "set @consulta = 'ALTER TABLE CLIENTESTABLA ADD CONSTRAINT ' + @def + ' DEFAULT(0) "
        "FOR CLIIVAINTRACOMUNITARIO'\r"
        "exec SP_EXECUTESQL @consulta\r"
        "End\r"
        "End\r");
}

TEST_F(ClientesScriptedTest, AFailedWideningIsAnIncidentThatNamesCompanyAndServer) {
    conn_.FallaCon(kAnchoNombre, ErrorServidor(4902, "Cannot find the object \"clientestabla\"."));
    Actualizar();
    const std::vector<std::string> log = Entradas();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], Info(kComienzo + "0001 , servidor: SRV"));
    EXPECT_EQ(log[1], Error("Form_Activate",
                            "Actualizando campo CliNombre en la empresa 0001 , "
                            "servidor SRV",
                            "Cannot find the object \"clientestabla\"."));
    EXPECT_EQ(log[2], Info("Campo CliDireccion actualizado correctamente en la empresa 0001 , "
                           "servidor: SRV"));
    EXPECT_TRUE(ctx().HayIncidencias());
}

TEST_F(ClientesScriptedTest, TheMessagesCarryThePassedCodeAndTheDefaultTheCurrentRowsCode) {
    fixture_.EmpresaActual("0'7");
    Actualizar("0007");
    EXPECT_EQ(Entradas().front(), Info(kComienzo + "0007 , servidor: SRV"));
    // A quote in the code stays inside the literal.
    EXPECT_TRUE(
        Enviada("Alter Table ClientesTabla ADD CliEmpresa VARCHAR (5) NOT NULL "
                "DEFAULT('0''7') "));
}

TEST_F(ClientesScriptedTest, EachCustomerWithoutLawyerGetsItsOwnInsert) {
    conn_.Devuelve(kClientesSinAbogado,
                   test_support::Filas({"clicodigo"}, {{"000004"}, {"O'DONNELL"}, {"000006"}}));
    // One refused insert does not stop the others.
    conn_.FallaCon(updates::parties::SentenciaAccesoAbogado("000004"),
                   ErrorServidor(547, "The INSERT statement conflicted."));
    Actualizar();
    const int consulta = Posicion(kClientesSinAbogado);
    ASSERT_GE(consulta, 0);
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    EXPECT_THAT(
        std::vector<std::string>(enviadas.begin() + consulta + 1, enviadas.begin() + consulta + 4),
        ElementsAre("insert into ABOGADOCLIENTE (CodAbogado,CodCliente,Permisos) "
                    "values(-1,'000004',14)",
                    "insert into ABOGADOCLIENTE (CodAbogado,CodCliente,Permisos) "
                    "values(-1,'O''DONNELL',14)",
                    "insert into ABOGADOCLIENTE (CodAbogado,CodCliente,Permisos) "
                    "values(-1,'000006',14)"));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ClientesScriptedTest, AFailedCustomerQueryInsertsNothingAndTheRoutineGoesOn) {
    conn_.FallaCon(kClientesSinAbogado,
                   ErrorServidor(208, "Invalid object name 'abogadocliente'."));
    Actualizar();
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(sql.starts_with("insert into ABOGADOCLIENTE")) << sql;
    EXPECT_EQ(conn_.Enviadas().back(), updates::parties::LoteCentrosAdministrativos());
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ClientesScriptedTest, TheMandateDateIsFilledOnlyByTheAdditionThatCreatedIt) {
    const std::string primera = "Alter Table ClientesTabla ADD CliFechaMandato DATETIME ";
    const std::string segunda = "Alter Table ClientesTabla ADD CliFechaMandato DATETIME NOT NULL ";
    const std::string relleno1 =
        "UPDATE CLIENTESTABLA SET CLIFECHAMANDATO={d'2009-10-31'} WHERE CLIFECHAMANDATO IS NULL";
    const std::string relleno2 =
        "UPDATE CLIENTESTABLA SET CliFechaMandato={d'2009-10-31'} where CliFechaMandato is null";

    // The first addition failed (not as "already there"): the second adds it and fills it.
    conn_.FallaCon(primera, ErrorServidor(1750, "Could not create constraint."));
    Actualizar();
    EXPECT_FALSE(Enviada(relleno1));
    EXPECT_TRUE(Enviada(relleno2));
    EXPECT_THAT(Entradas(), Contains(Creado("CliFechaMandato")));

    // A run where both find the column: no fill.
    ScriptedConnection otra("Empresa_0001");
    otra.FallaCon(primera, ErrorServidor(2705, "Column names in each table must be unique."));
    otra.FallaCon(segunda, ErrorServidor(2705, "Column names in each table must be unique."));
    ActualizaClientes(ctx(), otra, kEmpresa);
    for (const std::string& sql : otra.Enviadas())
        EXPECT_FALSE(sql == relleno1 || sql == relleno2) << sql;
}

}  // namespace
}  // namespace parties_test
