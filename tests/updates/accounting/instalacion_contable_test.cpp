// The accounting and tax routines over company databases of the embedded engine, built from the
// old-release fixture scripts: what the routines leave in the tables of a complete old company
// (Empresa_0001), of a partially updated one (Empresa_0002) and of a small one (Empresa_0005),
// and a second run that changes nothing and reports nothing but its start lines.
//
// The company connections speak Spanish, as the suite's servers do: dates such as '31/12/1899'
// in the statements are read day first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "schema/catalogue_probes.h"
#include "schema/properties.h"
#include "script_batches.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/statement_trace.h"
#include "updates/accounting/apuntes.h"
#include "updates/accounting/asientos.h"
#include "updates/accounting/cartera.h"
#include "updates/accounting/cobros_pagos.h"
#include "updates/accounting/cuentas.h"
#include "updates/accounting/entidades.h"
#include "updates/accounting/inmovilizado.h"
#include "updates/accounting/iva_tabla.h"
#include "updates/accounting/libros_iva.h"
#include "updates/accounting/modelo200.h"
#include "updates/accounting/modelo349.h"
#include "updates/accounting/modelo390.h"
#include "updates/accounting/modelos.h"

namespace accounting_test {
namespace {

namespace fs = std::filesystem;
namespace acc = updates::accounting;
using test_support::EmbeddedServer;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using Filas = std::vector<std::vector<std::string>>;

// Every accounting routine of a company, in the run's order, each behind the guard the run
// tests before calling it.
void ActualizarContabilidad(run::RunContext& ctx, db::Connection& c, const std::string& codigo) {
    const auto existe = [&c](std::string_view tabla) { return schema::ExisteObjeto(tabla, c); };
    if (!existe("PROPIEDADES")) schema::CrearPropiedadesEmpresa(c);
    acc::ActualizaLogotipo(ctx, c, codigo);
    acc::ActualizaCuentas(ctx, c);
    acc::ActualizaAcuCartera(ctx, c);
    acc::ActualizaEntidades(ctx, c);
    acc::ActualizaRemesas(ctx, c);
    if (existe("PREDEFIVA")) acc::ActualizaAsientosPredefinidos(ctx, c, codigo);
    if (existe("MOD349DECLARADOS") && existe("MOD349DECLARANTE")) acc::ActualizaModelo349(ctx, c);
    acc::ActualizaModelo390(ctx, c);
    if (existe("Mod130")) acc::ActualizaModelo130(ctx, c);
    if (existe("MOD131")) acc::ActualizaModelo131(ctx, c);
    if (existe("MODACT310")) acc::ActualizaModelo310(ctx, c);
    if (existe("Mod340Declarados")) acc::ActualizaModelo340(ctx, c);
    acc::ActualizaHistoricoIRPF(ctx, c);
    acc::ActualizaContadores(ctx, c);
    acc::ActualizaApuntes(ctx, c);
    acc::ActualizaLibrosIVA(ctx, c);
    acc::ActualizaPaginasModelo200(ctx, c);
    acc::ActualizaCarteraContabilidad(ctx, c);
    if (existe("BLOQUEOS")) acc::ActualizaBloqueos(ctx, c, codigo);
    if (existe("OPERACIONES_347")) acc::ActualizaModelo347(ctx, c, codigo);
    acc::ActualizaIvaTabla(ctx, c, codigo);
    acc::ActualizaApuntesOrm(ctx, c);
    acc::ActualizaDescripcionConceptos(ctx, c);
    if (existe("REGISTRO")) acc::ActualizaRegistro(ctx, c);
    if (existe("amortizaciones")) acc::ActualizaAmortizaciones(ctx, c);
    if (existe("COBROSPAGOS_REL")) acc::ActualizaCobrosPagosRel(ctx, c);
    if (existe("COBROSPAGOS_DATOSFACTURA")) acc::ActualizaCobrosPagosDatosFactura(ctx, c);
    if (existe("MODEL180")) acc::ActualizaModelo180(ctx, c, codigo);
    if (existe("MODEL115")) acc::ActualizaModelo115(ctx, c, codigo);
    if (existe("BIENESINVERSION")) acc::ActualizaBienesInversion(ctx, c, codigo);
}

class InstalacionContableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path scripts = fs::path(ACTUALIZA_REPO_DIR) / "fixtures" / "old-release";
        auto master = server_.Conectar("");
        ASSERT_TRUE(master->isOpen()) << master->lastError().description;
        for (const char* file : {"00-databases.sql", "20-accounting.sql", "80-housekeeping.sql"}) {
            for (const fixtures_test::ScriptBatch& batch :
                 fixtures_test::splitBatches(fixtures_test::readFile(scripts / file))) {
                EmbeddedServer::Preparar(*master, batch.text);
                if (HasFatalFailure()) return;
            }
        }
        master->close();
        ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX");
        ctx_.ColeccionBIC.Add("2100", "CAIXESBBXXX");
        ctx_.ColeccionBIC.Add("3058", "CCRIES2AXXX");
        ctx_.ColeccionBIC.Add("0021", "BKOAES22XXX");
        ctx_.ColeccionBIC.Add("0081", "BSABESBBXXX");
    }

    // Opens `codigo`'s database as the run does, makes its row current and updates it.
    std::unique_ptr<db::Connection> Actualizar(const std::string& codigo) {
        auto empresa = Empresa(codigo);
        fixture_.EmpresaActual(codigo);
        ctx_.progress.SetMaximum(1000);
        ActualizarContabilidad(ctx_, *empresa, codigo);
        return empresa;
    }
    std::unique_ptr<db::Connection> Empresa(const std::string& codigo) {
        auto empresa = server_.Conectar("Empresa_" + codigo);
        EXPECT_TRUE(empresa->isOpen()) << empresa->lastError().description;
        return empresa;
    }

    static Filas Rows(db::Connection& c, const std::string& sql) {
        return EmbeddedServer::Filas(c, sql);
    }
    static std::string Value(db::Connection& c, const std::string& sql) {
        const Filas filas = Rows(c, sql);
        return filas.empty() || filas[0].empty() ? "<no row>" : filas[0][0];
    }
    // DATA_TYPE, maximum length (or NULL), nullability and default text of a column.
    static std::vector<std::string> Column(db::Connection& c, const std::string& table,
                                           const std::string& column) {
        const Filas filas =
            Rows(c,
                 "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT FROM "
                 "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
                     table + "' AND COLUMN_NAME='" + column + "'");
        return filas.empty() ? std::vector<std::string>{"<missing>"} : filas[0];
    }
    static std::string DefaultName(db::Connection& c, const std::string& table,
                                   const std::string& column) {
        return Value(c,
                     "SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
                     "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('" +
                         table + "') AND SYSCOLUMNS.NAME ='" + column + "'");
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> out;
        for (const std::string& e : fixture_.Entradas())
            if (e.starts_with("Error")) out.push_back(e);
        return out;
    }

    EmbeddedServer server_;
    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
};

TEST_F(InstalacionContableTest, ACompleteOldCompanyIsUpdatedWithoutIncidents) {
    auto c = Actualizar("0001");
    EXPECT_THAT(Errors(), ::testing::IsEmpty());
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(InstalacionContableTest, ThePortfolioAmountIsFloatUnderItsOldDefaultAndTheDueRowsAreFilled) {
    auto c = Actualizar("0001");
    EXPECT_THAT(Column(*c, "ACUCARTERATABLA", "ACUCARTERAIMPORTE"),
                ElementsAre("float", "NULL", "YES", "((0))"));
    EXPECT_EQ(DefaultName(*c, "ACUCARTERATABLA", "ACUCARTERAIMPORTE"),
              "DF_ACUCARTERATABLA_IMPORTE");
    EXPECT_EQ(Column(*c, "ACUCARTERATABLA", "ACUCARTERANombreBanco")[1], "50");
    EXPECT_EQ(Column(*c, "ACUCARTERATABLA", "ACUCARTERADescricliente")[1], "100");
    EXPECT_EQ(Column(*c, "ACUCARTERATABLA", "ACUCARTERANifCliente")[1], "15");
    EXPECT_EQ(Rows(*c,
                   "SELECT ACUCARTERACODIGO, ACUCARTERAempresa, ACUCARTERAIBAN, ACUCARTERABIC, "
                   "ACUCARTERAIMPORTE FROM ACUCARTERATABLA ORDER BY ACUCARTERACODIGO"),
              (Filas{{"1", "0001", "", "", "1250.4"},  // due before 2013
                     {"2", "0001", "ES25", "BSCHESMMXXX", "980"},
                     {"3", "0001", "ES13", "BKOAES22XXX", "310.25"},  // entity 21 is 0021
                     {"4", "0001", "ES91", "CAIXESBBXXX", "4520"},
                     {"5", "0001", "", "", "75.1"},         // no entity
                     {"6", "0001", "", "", "600"},          // no account number
                     {"7", "0001", "ES65", "", "1999.99"},  // an entity without BIC
                     {"8", "0001", "ES88", "", "420"}}));
}

TEST_F(InstalacionContableTest, EntitiesGetCreditorAccountsBothIbansAndTheirMark) {
    auto c = Actualizar("0001");
    EXPECT_EQ(Rows(*c,
                   "SELECT ENTCODIGO, ENTCTAACREEDOR, ENTIBAN, ENTIBIC, ENTIBANORDENANTE, "
                   "ENTIBICORDENANTE FROM ENTIDAD ORDER BY ENTCODIGO"),
              (Filas{{"0001", "41000001", "ES25", "BSCHESMMXXX", "ES91", "CAIXESBBXXX"},
                     {"0002", "4100002", "ES38", "CCRIES2AXXX", "NULL", "NULL"},
                     {"0003", "NULL", "ES13", "BKOAES22XXX", "NULL", "NULL"},
                     // the ordering party lacks its control digits: a BIC but no IBAN
                     {"0004", "41000004", "ES65", "NULL", "NULL", "BSCHESMMXXX"},
                     {"9999", "NULL", "NULL", "NULL", "NULL", "NULL"}}));
    EXPECT_EQ(schema::LeerPropiedadEmpresa(*c, "ENTIDAD"), "1001");
    EXPECT_EQ(Column(*c, "ENTIDAD", "ALMCODPOSTAL")[1], "10");
    EXPECT_EQ(Column(*c, "ENTIDAD", "ENTENTIDAD")[1], "10");
    EXPECT_THAT(Column(*c, "ENTIDAD", "ENTITPVMONDEA"), ElementsAre("int", "NULL", "YES", "((0))"));
}

TEST_F(InstalacionContableTest, TheChartTheDescriptionsAndThePredefinedEntriesAreCorrected) {
    auto c = Actualizar("0001");
    EXPECT_EQ(Column(*c, "CTA", "titulodelacuenta")[1], "50");
    EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM CTA WHERE NUMCUENTA='0,5'"), "0");
    EXPECT_THAT(Column(*c, "CTA", "recargo"), ElementsAre("varchar", "1", "NO", "('0')"));
    EXPECT_EQ(Column(*c, "DESCRIP", "DESCCONCE")[1], "255");
    EXPECT_EQ(Column(*c, "logotipo", "EmpDatosRegistro")[0], "text");
    EXPECT_EQ(Rows(*c,
                   "SELECT asientopredef, tipo, valorpordefecto FROM variables ORDER BY "
                   "asientopredef"),
              (Filas{{"0201", "I", "C"},
                     {"0202", "N", "X"},
                     {"0301", "I", "V"},
                     {"0302", "I", "V"},
                     {"0501", "I", "X"},
                     {"0701", "I", "C"}}));
    EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM BLOQUEOS WHERE ASIENTO2 IS NOT NULL"), "0");
    EXPECT_EQ(Value(*c,
                    "SELECT COUNT(*) FROM REMESAS WHERE isnull(RemesaFechaCargo,0) <> "
                    "isnull(REMESAFECHA,0)"),
              "0");
}

TEST_F(InstalacionContableTest, VatBooksTakeOperationDatesAndAnIntegerCapitalGoodsMark) {
    auto c = Actualizar("0001");
    // 2012 got the column now: every row takes its invoice date. 2013 and 2014 had it: only
    // the 1899-12-31 rows are repaired and a NULL stays NULL.
    EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM E2012TABLA WHERE FECHAOPERACION = FECHA"), "2");
    EXPECT_EQ(Rows(*c,
                   "SELECT asiento, numlinea, CONVERT(varchar(8), FECHAOPERACION, 112) FROM "
                   "E2013TABLA ORDER BY asiento, numlinea"),
              (Filas{{"15", "1", "20130410"}, {"15", "2", "NULL"}, {"16", "1", "20130405"}}));
    EXPECT_EQ(Value(*c,
                    "SELECT CONVERT(varchar(8), FECHAOPERACION, 112) FROM E2014TABLA WHERE "
                    "asiento=3 AND numlinea=2"),
              "20140115");

    EXPECT_THAT(Column(*c, "E2012TABLA", "BIENINVERSION"),
                ElementsAre("int", "NULL", "NO", "((0))"));
    // 2013: a nullable bit without default became INT NOT NULL with the batch's constraint.
    EXPECT_EQ(Column(*c, "E2013TABLA", "BIENINVERSION")[0], "int");
    EXPECT_EQ(DefaultName(*c, "E2013TABLA", "BIENINVERSION"), "DF_BIENINVERSION_A9046FFCDA2013");
    EXPECT_EQ(Rows(*c, "SELECT BIENINVERSION FROM E2013TABLA ORDER BY asiento, numlinea"),
              (Filas{{"0"}, {"0"}, {"1"}}));
    // 2014: a bit with a named default became INT under the same name.
    EXPECT_EQ(Column(*c, "E2014TABLA", "BIENINVERSION")[0], "int");
    EXPECT_EQ(DefaultName(*c, "E2014TABLA", "BIENINVERSION"), "DF_E2014TABLA_BIENINVERSION");
    EXPECT_EQ(Value(*c, "SELECT BIENINVERSION FROM E2014TABLA WHERE asiento=4"), "1");

    EXPECT_EQ(Column(*c, "E2012TABLA", "DES")[1], "255");
    EXPECT_EQ(Column(*c, "E2013TABLA", "SIIESTADO")[3], "((-1))");
    EXPECT_EQ(Value(*c, "SELECT MIN(SIIESTADO) FROM E2013TABLA"), "-1");
    // The scanning table matches the books' pattern but is not a book.
    EXPECT_EQ(Column(*c, "ESCANTABLA", "FECHAOPERACION"), std::vector<std::string>{"<missing>"});
    EXPECT_EQ(Column(*c, "ESCANTABLA", "SIIESTADO"), std::vector<std::string>{"<missing>"});
}

TEST_F(InstalacionContableTest, PageEightYearsBecomeFourDigitsWherePossible) {
    auto c = Actualizar("0001");
    const std::string boxes =
        "SELECT Casilla725, Casilla726, Casilla727, Casilla728, Casilla729, Casilla730, "
        "Casilla731, Casilla735, Casilla737, Casilla741 FROM ";
    EXPECT_EQ(
        Rows(*c, boxes + "E2013PAGINA8"),
        (Filas{{"2004", "1905", "1999", "2000", "1996", "NULL", "7", "2003", "NULL", "2001"}}));
    // Casilla726 of 2012 holds 'X1': both of its updates fail and its years stay as they were.
    EXPECT_EQ(
        Rows(*c, boxes + "E2012PAGINA8 ORDER BY Casilla725 DESC"),
        (Filas{{"2004", "X1", "1999", "2000", "1996", "NULL", "7", "2003", "NULL", "2001"},
               {"2002", "95", "1988", "2001", "2003", "2004", "1905", "1908", "1910", "1914"}}));
    EXPECT_EQ(Rows(*c, "SELECT Casilla725, Casilla726, Casilla727 FROM E2014PAGINA8"),
              (Filas{{"2004", "1995", "1999"}}));
    // casilla734 holds amounts such as 1500.00 that do not fit four characters: the server
    // refuses its type change, which is ignored, and the amounts stay.
    EXPECT_THAT(Column(*c, "E2013PAGINA8", "casilla734"),
                ElementsAre("money", "NULL", "YES", "NULL"));
    EXPECT_EQ(Value(*c, "SELECT casilla734 FROM E2013PAGINA8"), "1500");
    EXPECT_THAT(Column(*c, "E2013PAGINA8", "Casilla274"),
                ElementsAre("varchar", "4", "NO", "('')"));
    EXPECT_THAT(Column(*c, "E2014PAGINA9", "Casilla042"),
                ElementsAre("money", "NULL", "YES", "((0))"));
    EXPECT_EQ(Value(*c, "SELECT Casilla042 FROM E2014PAGINA9"), "0");
    EXPECT_EQ(Column(*c, "E2012PAGINA11", "Casilla056")[0], "money");
    EXPECT_EQ(Column(*c, "MODELO200", "CNAE")[1], "4");
}

TEST_F(InstalacionContableTest, PaymentsAreLinkedToTheirBookLinesAndOperations) {
    auto c = Actualizar("0001");
    EXPECT_EQ(Rows(*c,
                   "SELECT REGISTRO_COBROPAGO, LINEA FROM COBROSPAGOS_REL ORDER BY "
                   "REGISTRO_COBROPAGO"),
              (Filas{{"1", "1"}, {"2", "2"}, {"3", "1"}, {"4", "NULL"}}));
    // '2013 ' is trimmed to find E2013APUNTESORM; the 2014 row has no entry and keeps NULL.
    EXPECT_EQ(Rows(*c, "SELECT ER, OP FROM COBROSPAGOS_DATOSFACTURA ORDER BY nuapunte"),
              (Filas{{"E", "01"}, {"R", "09"}, {"E", "NULL"}}));
}

TEST_F(InstalacionContableTest, TaxReturnsGetTheirPaymentFormsIndexesAndBoxes) {
    auto c = Actualizar("0001");
    EXPECT_EQ(Rows(*c, "SELECT PERIODO, FORMAPAGO FROM Mod130 ORDER BY PERIODO"),
              (Filas{{"1T", "1"}, {"2T", "2"}, {"3T", "0"}, {"4T", "1"}}));
    EXPECT_EQ(Rows(*c, "SELECT PERIODO, FORMAPAGO FROM MOD131 ORDER BY PERIODO"),
              (Filas{{"1T", "2"}, {"2T", "1"}, {"3T", "0"}}));
    // The declared operators' index now has the period: the same operator may be declared
    // in two periods of a year.
    EXPECT_EQ(Rows(*c, "exec sp_helpindex 'mod349declarados'")[0][2],
              "Ejercicio, Periodo, NumeroRegistro");
    EXPECT_EQ(Rows(*c, "exec sp_helpindex 'Mod349Declarante'")[0][2], "Ejercicio, Periodo");
    EXPECT_EQ(Value(*c,
                    "SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                    "TABLE_NAME='MODELO390CABECERA'"),
              std::to_string(4 + 71));
    EXPECT_EQ(Column(*c, "OPERACIONES_347", "Nombre")[1], "255");
    EXPECT_EQ(Column(*c, "ARRENDA_347", "SG")[1], "5");
    EXPECT_EQ(Column(*c, "IVATABLA", "EXOVOLUMENTREGASINVERSION")[0], "float");
    EXPECT_EQ(Column(*c, "IVATABLA", "EXOEPIGRAFEACTIVIDAD6")[1], "7");
    EXPECT_EQ(Column(*c, "E2014APUNTESORM", "DOCUM")[1], "15");
}

TEST_F(InstalacionContableTest, ASecondRunChangesNothingAndReportsOnlyItsStartLines) {
    Actualizar("0001");
    auto c = Empresa("0001");
    // Rows the backfills would fill again if they ran.
    EmbeddedServer::Preparar(*c,
                             "UPDATE ACUCARTERATABLA SET ACUCARTERAIBAN='' WHERE "
                             "ACUCARTERACODIGO=2");
    EmbeddedServer::Preparar(*c, "UPDATE ENTIDAD SET ENTIBAN=NULL WHERE ENTCODIGO='0002'");
    const std::string snapshot =
        "SELECT ENTCODIGO, ENTCTAACREEDOR, ENTIBAN, ENTIBIC FROM ENTIDAD ORDER BY ENTCODIGO";
    const Filas entidades = Rows(*c, snapshot);
    const Filas pagina8 = Rows(*c, "SELECT * FROM E2013PAGINA8");
    const Filas lineas = Rows(*c, "SELECT * FROM COBROSPAGOS_REL ORDER BY REGISTRO_COBROPAGO");
    const size_t before = fixture_.Entradas().size();

    test_support::StatementTrace trace;
    ActualizarContabilidad(ctx_, *c, "0001");

    EXPECT_EQ(Rows(*c, snapshot), entidades);
    EXPECT_EQ(Rows(*c, "SELECT * FROM E2013PAGINA8"), pagina8);
    EXPECT_EQ(Rows(*c, "SELECT * FROM COBROSPAGOS_REL ORDER BY REGISTRO_COBROPAGO"), lineas);
    EXPECT_EQ(Value(*c, "SELECT ACUCARTERAIBAN FROM ACUCARTERATABLA WHERE ACUCARTERACODIGO=2"), "");
    for (const std::string& sql : trace.Statements()) {
        EXPECT_FALSE(sql.starts_with("Select * from acucarteratabla")) << sql;
        EXPECT_FALSE(sql.starts_with("SELECT ENTENTIDAD,ENTSUCURSAL")) << sql;
        EXPECT_EQ(sql.find("SET FORMAPAGO="), std::string::npos) << sql;
        EXPECT_FALSE(sql.starts_with("update a set linea")) << sql;
    }

    const std::vector<std::string> all = fixture_.Entradas();
    const std::vector<std::string> second(all.begin() + static_cast<long>(before), all.end());
    const std::string tail = "0001 , servidor: SRV";
    const auto start = [&](const std::string& text) { return "Información:  " + text + tail; };
    const auto widened = [&](const std::string& column) {
        return "Información:  Campo " + column + " actualizado correctamente en la empresa " + tail;
    };
    EXPECT_THAT(
        second,
        ElementsAre(start("Comenzando actualizacion estructura logotipo en la empresa "),
                    widened("EmpDatosRegistro"),
                    start("Comenzando actualizacion estructura CTA en la empresa"),
                    widened("titulodelacuenta"),
                    start("Comenzando actualizacion estructura ACUCARTERATABLA en la empresa"),
                    widened("ACUCARTERANombreBanco"), widened("ACUCARTERADescricliente"),
                    start("Comenzando actualizacion estructura entidad en la empresa "),
                    start("Comenzando actualizacion estructura asientos predefinidos en la "
                          "empresa "),
                    start("Comenzando actualizacion estructura historico de irpf en la empresa"),
                    start("Comenzando actualizacion estructura contadores en la empresa"),
                    start("Comenzando actualizacion estructura apuntes en la empresa"),
                    start("Comenzando actualizacion estructura libros de iva en la empresa"),
                    start("Comenzando actualizacion estructura página 2 modelo 201"),
                    start("Comenzando actualizacion estructura página 6 modelo 201"),
                    start("Comenzando actualizacion estructura página 8 modelo 201"),
                    start("Comenzando actualizacion estructura página 9 modelo 201"),
                    start("Comenzando actualizacion estructura página 10 modelo 201"),
                    start("Comenzando actualizacion estructura página 11 modelo 201"),
                    start("Comenzando actualizacion estructura cartera contabilidad en la "
                          "empresa"),
                    start("Comenzando actualizacion estructura bloqueos en la empresa "),
                    start("Comenzando actualizacion estructura OPERACIONES_347 en la empresa"),
                    start("Comenzando actualizacion estructura ARRENDA_347 en la empresa"),
                    start("Comenzando actualización estructura IVATABLA en la empresa"),
                    start("Comenzando actualizacion estructura apuntes orm en la empresa"),
                    start("Comenzando actualizacion estructura descripcion conceptos en la "
                          "empresa"),
                    widened("DESCCONCE"),
                    start("Comenzando actualización estructura MODEL180 en la empresa"),
                    start("Comenzando actualización estructura MODEL115 en la empresa"),
                    start("Comenzando actualización estructura BIENESINVERSION en la empresa")));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(InstalacionContableTest, APartlyUpdatedCompanyTakesTheBranchesForWhatItHas) {
    auto c = Actualizar("0002");
    EXPECT_THAT(Errors(), ::testing::IsEmpty());
    // The exemption was a bit under a server-named default: int, same name, default 0; the
    // activities were not added and neither were the last five volumes.
    const std::string exonerado = DefaultName(*c, "IVATABLA", "IVAEXONERADO");
    EXPECT_TRUE(exonerado.starts_with("DF__")) << exonerado;
    EXPECT_THAT(Column(*c, "IVATABLA", "IVAEXONERADO"), ElementsAre("int", "NULL", "YES", "((0))"));
    EXPECT_EQ(Column(*c, "IVATABLA", "EXONOMBREACTIVIDAD1")[0], "<missing>");
    EXPECT_EQ(Column(*c, "IVATABLA", "EXOVOLUMAGRICULTURA")[0], "<missing>");
    EXPECT_EQ(Column(*c, "IVATABLA", "IVAREGREVPRORRATA")[0], "bit");

    // ENTIBAN was there, ENTIBIC is new, no mark: the backfill ran and marked itself.
    EXPECT_EQ(Rows(*c, "SELECT ENTCODIGO, ENTIBAN, ENTIBIC FROM ENTIDAD ORDER BY ENTCODIGO"),
              (Filas{{"0001", "ES69", "CAIXESBBXXX"}, {"0002", "ES76", "BSABESBBXXX"}}));
    EXPECT_EQ(schema::LeerPropiedadEmpresa(*c, "ENTIDAD"), "1001");

    EXPECT_EQ(Value(*c, "SELECT FORMAPAGO FROM Mod130"), "0");
    EXPECT_EQ(Rows(*c, "exec sp_helpindex 'mod349declarados'")[0][2],
              "Ejercicio, Periodo, NumeroRegistro");
    EXPECT_EQ(Column(*c, "MODELO390CABECERA", "VOLUMENOPERACIONESRECC")[0], "<missing>");
    EXPECT_EQ(Column(*c, "MODELO390CABECERA", "DEDUCIBLEINTERIORESBASE7")[0], "<missing>");
    EXPECT_EQ(Column(*c, "MODELO390CABECERA", "DEDUCIBLEBASERECTIFICACION")[0], "float");

    EXPECT_EQ(DefaultName(*c, "E2014TABLA", "SIIESTADO"), "DF_E2014TABLA_SIIESTADO");
    EXPECT_EQ(Column(*c, "E2014TABLA", "SIIESTADO")[3], "((-1))");
    EXPECT_THAT(Column(*c, "E2014TABLA", "BIENINVERSION"),
                ElementsAre("int", "NULL", "NO", "((0))"));
    EXPECT_EQ(DefaultName(*c, "E2014TABLA", "BIENINVERSION"), "DF_BIENINVERSION_A9046FFCDA2014");
    EXPECT_EQ(Rows(*c,
                   "SELECT REMESACODIGO, CONVERT(varchar(8), RemesaFechaCargo, 112) FROM "
                   "REMESAS ORDER BY REMESACODIGO"),
              (Filas{{"1", "NULL"}, {"2", "20140402"}}));
}

TEST_F(InstalacionContableTest, ASmallCompanyReportsTheTablesItLacks) {
    auto c = Actualizar("0005");
    const std::vector<std::string> errors = Errors();
    EXPECT_TRUE(ctx_.HayIncidencias());
    // The unguarded single tables it lacks refuse their columns, one logged error each time.
    EXPECT_THAT(errors, Contains(::testing::HasSubstr("Error al crear el campo RemesaFechaCargo en "
                                                      "la empresa 0005 , servidor: SRV")));
    EXPECT_THAT(errors, Contains(::testing::HasSubstr("Error al crear el campo ACUCARTERABIC")));
    // Widenings of missing tables do nothing: COL_LENGTH is NULL, so they report success.
    EXPECT_THAT(fixture_.Entradas(),
                Contains("Información:  Campo EmpDatosRegistro actualizado correctamente en la "
                         "empresa 0005 , servidor: SRV"));
    // No family and no guarded table: nothing of theirs is tried, nothing of theirs fails.
    EXPECT_THAT(errors, Not(Contains(::testing::HasSubstr("FORMAPAGO"))));
    EXPECT_THAT(errors, Not(Contains(::testing::HasSubstr("Consultando estructura pagina"))));
    // The tables it has are brought up to date.
    EXPECT_EQ(Column(*c, "CTA", "recargo")[0], "varchar");
    EXPECT_EQ(Column(*c, "IVATABLA", "EXOVOLUMTOTAL")[0], "float");
    EXPECT_EQ(Column(*c, "ENTIDAD", "ENTITPVURL")[1], "255");
}

}  // namespace
}  // namespace accounting_test
