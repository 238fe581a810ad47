// The VAT settings, the ledger families and the tax-return tables against a scripted server:
// the gated column groups, the one-off corrections and the index rebuilds.
#include "updates/accounting/modelos.h"

#include "updates/accounting/apuntes.h"
#include "updates/accounting/inmovilizado.h"
#include "updates/accounting/iva_tabla.h"
#include "updates/accounting/modelo349.h"
#include "updates/accounting/modelo390.h"
#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ModelosTest : public RoutineTest {
  protected:
    // The columns whose addition to `table` was sent, in order.
    std::vector<std::string> ColumnsTried(const std::string& table) const {
        std::vector<std::string> out;
        const std::string prefix = "Alter Table " + table + " ADD ";
        for (const std::string& sql : SentStartingWith(prefix)) {
            const std::string rest = sql.substr(prefix.size());
            out.push_back(rest.substr(0, rest.find(' ')));
        }
        return out;
    }
    std::vector<std::string> PaymentFormUpdates() const {
        std::vector<std::string> out;
        for (const std::string& sql : SentStartingWith("UPDATE MOD13"))
            if (sql.find(" SET FORMAPAGO=") != std::string::npos) out.push_back(sql);
        return out;
    }
};

// --- IVATABLA -----------------------------------------------------------------------------

TEST_F(ModelosTest, ANewExemptionBringsTheActivitiesAndANewExportVolumeTheLastFive) {
    updates::accounting::ActualizaIvaTabla(ctx_, conn_, "0001");
    const std::vector<std::string> columns = ColumnsTried("IVATABLA");
    ASSERT_EQ(columns.size(), 40u + 30u + 1u + 5u);
    EXPECT_EQ(columns[39], "IVAEXONERADO");
    EXPECT_THAT(std::vector<std::string>(columns.begin() + 40, columns.begin() + 46),
                ElementsAre("EXONOMBREACTIVIDAD1", "EXOCLAVEACTIVIDAD1", "EXOEPIGRAFEACTIVIDAD1",
                            "EXONOMBREACTIVIDAD2", "EXOCLAVEACTIVIDAD2", "EXOEPIGRAFEACTIVIDAD2"));
    EXPECT_EQ(columns[69], "EXOVOLUMADUANA");
    EXPECT_EQ(columns[70], "EXOVOLUMENEXPORTACIONESEXENTAS");
    EXPECT_EQ(columns.back(), "EXOVOLUMENTREGASINVERSION");
    EXPECT_TRUE(Sent("Alter Table IVATABLA ADD IVASOPORCUOTA6 FLOAT NOT NULL DEFAULT((0)) "));
    EXPECT_TRUE(Sent("UPDATE IVATABLA SET IVASOPORCUOTA6=(0)"));
    EXPECT_TRUE(Sent("Alter Table IVATABLA ADD IVACODIGOBANCO varchar (4) NOT NULL DEFAULT('') "));
    EXPECT_TRUE(Sent("Alter Table IVATABLA ADD EXOCLAVEACTIVIDAD6 INT "));
    // No type change of the exemption when it was created now.
    EXPECT_THAT(SentStartingWith("SELECT DATA_TYPE"), IsEmpty());
    EXPECT_EQ(Entries().front(), Info("Comenzando actualización estructura IVATABLA en la "
                                      "empresa0001 , servidor: SRV"));
}

TEST_F(ModelosTest, AnExistingExemptionIsConvertedAndGatesTheActivitiesOut) {
    AllColumnsThere("IVATABLA");
    conn_.Devuelve(
        "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='IVATABLA' "
        "AND COLUMN_NAME='IVAEXONERADO'",
        Filas({"DATA_TYPE"}, {{"bit"}}));
    updates::accounting::ActualizaIvaTabla(ctx_, conn_, "0001");
    const std::vector<std::string> columns = ColumnsTried("IVATABLA");
    ASSERT_EQ(columns.size(), 40u + 1u);
    EXPECT_EQ(columns.back(), "EXOVOLUMENEXPORTACIONESEXENTAS");
    EXPECT_TRUE(Sent("ALTER TABLE IVATABLA ALTER COLUMN IVAEXONERADO int"));
    EXPECT_TRUE(
        Sent("ALTER TABLE IVATABLA ADD CONSTRAINT [DF__IVATABLA__IVAEXONERADO__389C9811] "
             "DEFAULT 0 FOR IVAEXONERADO"));
    EXPECT_EQ(Entries().size(), 1u);
}

// --- Ledger families ------------------------------------------------------------------------

TEST_F(ModelosTest, EachLedgerFamilyLogsItsStartAndGivesEveryYearItsColumns) {
    WithFamily("Lineaapunte", {"E2013Lineaapunte"});
    WithFamily("HistoricoIRPF", {"E2013HistoricoIRPF", "E2014HistoricoIRPF"});
    WithFamily("ContadorTabla", {"E2014ContadorTabla"});
    updates::accounting::ActualizaApuntes(ctx_, conn_);
    updates::accounting::ActualizaHistoricoIRPF(ctx_, conn_);
    updates::accounting::ActualizaContadores(ctx_, conn_);
    EXPECT_THAT(ColumnsTried("E2013Lineaapunte"),
                ElementsAre("TIPODOCUMENTOKORVAN", "DOCUMENTOKORVAN", "BANCOREMESA", "ENVIADO",
                            "CERRADO", "CENTRO", "CENTRONOMBRE", "SECCION", "SECCIONNOMBRE"));
    EXPECT_THAT(ColumnsTried("E2014HistoricoIRPF"),
                ElementsAre("HISTORICANAL", "HISTORIEXPORTADO"));
    EXPECT_TRUE(
        Sent("Alter Table E2013HistoricoIRPF ADD HISTORIEXPORTADO int NOT NULL DEFAULT(0) "));
    EXPECT_THAT(ColumnsTried("E2014ContadorTabla"),
                ElementsAre("PROXIMOAPUNTECOMPRAS", "PROXIMOAPUNTEVENTAS", "SERIEEXENTA"));
    EXPECT_EQ(fixture_.Bombeos(), 4);
    const std::vector<std::string> entries = Entries();
    EXPECT_EQ(
        entries[0],
        Info("Comenzando actualizacion estructura apuntes en la empresa0001 , servidor: SRV"));
    EXPECT_EQ(entries[10], Info("Comenzando actualizacion estructura historico de irpf en la "
                                "empresa0001 , servidor: SRV"));
    EXPECT_EQ(entries[15], Info("Comenzando actualizacion estructura contadores en la "
                                "empresa0001 , servidor: SRV"));
}

TEST_F(ModelosTest, ObjectiveEstimationEntriesAreWidenedAroundTheirColumns) {
    WithFamily("APUNTESORM", {"E2014APUNTESORM"});
    updates::accounting::ActualizaApuntesOrm(ctx_, conn_);
    const std::vector<std::string>& sent = conn_.Enviadas();
    ASSERT_EQ(sent.size(), 1u + 1u + 11u + 1u);
    EXPECT_EQ(sent[1],
              "if COL_LENGTH ('E2014APUNTESORM','DESOPE') < 255 alter table "
              "E2014APUNTESORM alter column DESOPE varchar(255)");
    EXPECT_EQ(sent[2],
              "Alter Table E2014APUNTESORM ADD TIPOOPERACIONINTRACOMUNITARIA INT NOT "
              "NULL DEFAULT(0) ");
    EXPECT_EQ(sent.back(),
              "if COL_LENGTH ('E2014APUNTESORM','DOCUM') < 15 alter table "
              "E2014APUNTESORM alter column DOCUM varchar(15)");
}

// --- Fixed assets -------------------------------------------------------------------------

TEST_F(ModelosTest, FixedAssetTablesGetTheirColumns) {
    updates::accounting::ActualizaAmortizaciones(ctx_, conn_);
    updates::accounting::ActualizaBienesInversion(ctx_, conn_, "0001");
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table AMORTIZACIONES ADD MOTIVOBAJA varchar (128) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE AMORTIZACIONES SET MOTIVOBAJA=''",
                            "Alter Table BIENESINVERSION ADD IOP varchar (2) DEFAULT('') ",
                            "UPDATE BIENESINVERSION SET IOP=''",
                            "Alter Table BIENESINVERSION ADD IPERIODO INT DEFAULT(0) ",
                            "UPDATE BIENESINVERSION SET IPERIODO=0"));
    EXPECT_EQ(Entries()[1], Info("Comenzando actualización estructura BIENESINVERSION en la "
                                 "empresa0001 , servidor: SRV"));
}

// --- Forms 347, 180, 115 ------------------------------------------------------------------

TEST_F(ModelosTest, Form347InterleavesItsTwoTablesAndLogsTwoStarts) {
    updates::accounting::ActualizaModelo347(ctx_, conn_, "0001");
    EXPECT_EQ(ColumnsTried("OPERACIONES_347").size(), 15u);
    EXPECT_THAT(ColumnsTried("ARRENDA_347"),
                ElementsAre("Tipo", "TNumeracion", "NCasa", "CNumeracion", "Bloque", "Portal",
                            "CodMun", "Localidad"));
    EXPECT_TRUE(
        Sent("Alter Table OPERACIONES_347 ADD ImporteMetalico float NOT NULL "
             "DEFAULT('0') "));
    const std::vector<std::string>& sent = conn_.Enviadas();
    const auto at = [&](const std::string& sql) {
        return std::find(sent.begin(), sent.end(), sql) - sent.begin();
    };
    const auto nombre =
        at("IF COL_LENGTH ('OPERACIONES_347','Nombre') < 50 ALTER TABLE "
           "OPERACIONES_347 ALTER COLUMN Nombre varchar(255)");
    const auto sg =
        at("IF COL_LENGTH ('ARRENDA_347','SG') < 5 ALTER TABLE ARRENDA_347 ALTER "
           "COLUMN SG varchar(5)");
    EXPECT_EQ(nombre, 20);  // after the ten amounts and their fills
    EXPECT_EQ(sg, 21);
    EXPECT_EQ(sent[22], "Alter Table ARRENDA_347 ADD Tipo int NOT NULL DEFAULT('0') ");
    EXPECT_EQ(sent.back(), "UPDATE OPERACIONES_347 SET ImportesDevengadosRegimenCaja=0");
    const std::vector<std::string> entries = Entries();
    EXPECT_EQ(entries[0], Info("Comenzando actualizacion estructura OPERACIONES_347 en la "
                               "empresa0001 , servidor: SRV"));
    EXPECT_EQ(entries[11], Info("Comenzando actualizacion estructura ARRENDA_347 en la "
                                "empresa0001 , servidor: SRV"));
}

TEST_F(ModelosTest, LeaseFormsNameTheirTablesWithAnAccent) {
    updates::accounting::ActualizaModelo180(ctx_, conn_, "0001");
    updates::accounting::ActualizaModelo115(ctx_, conn_, "0001");
    EXPECT_EQ(ColumnsTried("MODEL180").size(), 19u);
    EXPECT_THAT(ColumnsTried("MODEL115"),
                ElementsAre("NUM115", "ESC115", "PUER115", "BANC115", "PER115", "FEC115"));
    const std::vector<std::string> entries = Entries();
    EXPECT_EQ(entries[0], Info("Comenzando actualización estructura MODEL180 en la empresa0001 "
                               ", servidor: SRV"));
    EXPECT_EQ(entries[20], Info("Comenzando actualización estructura MODEL115 en la "
                                "empresa0001 , servidor: SRV"));
}

// --- Forms 130 and 131 --------------------------------------------------------------------

TEST_F(ModelosTest, PaymentFormsAreSetOnlyOnTheRunThatAddsThemAndInReverse) {
    updates::accounting::ActualizaModelo130(ctx_, conn_);
    updates::accounting::ActualizaModelo131(ctx_, conn_);
    EXPECT_THAT(PaymentFormUpdates(),
                ElementsAre("UPDATE MOD130 SET FORMAPAGO=1 WHERE EFECTIVO=1",
                            "UPDATE MOD130 SET FORMAPAGO=2 WHERE (EFECTIVO=0 AND TOTAL>0)",
                            "UPDATE MOD131 SET FORMAPAGO=2 WHERE EFECTIVO=1 AND TOTAL > 0",
                            "UPDATE MOD131 SET FORMAPAGO=1 WHERE EFECTIVO=0 AND TOTAL>0"));
    EXPECT_THAT(ColumnsTried("Mod130"),
                ElementsAre("MINORACIONRDL", "RESULTADOSANTERIORES", "FORMAPAGO",
                            "JUSTIFICANTECOMPLEMENTARIA", "DEDVIVIENDA", "Iban", "GASTOSREALES",
                            "GASTOSJUSTIFICACION"));
    EXPECT_THAT(ColumnsTried("Mod131"), ElementsAre("MINORACIONRDL", "FORMAPAGO"));
    EXPECT_THAT(ColumnsTried("MOD131"),
                ElementsAre("Justificante", "DEDUCCOMPLEMTARIA", "RESULTADO", "DEDVIVIENDA"));
}

TEST_F(ModelosTest, AnExistingPaymentFormIsNeverRecomputed) {
    AlreadyThere("Alter Table Mod130 ADD FORMAPAGO INT NOT NULL DEFAULT(0) ");
    AlreadyThere("Alter Table Mod131 ADD FORMAPAGO INT NOT NULL DEFAULT(0) ");
    updates::accounting::ActualizaModelo130(ctx_, conn_);
    updates::accounting::ActualizaModelo131(ctx_, conn_);
    EXPECT_THAT(PaymentFormUpdates(), IsEmpty());
    EXPECT_EQ(ColumnsTried("Mod130").size(), 8u);
}

// --- Form 349 -----------------------------------------------------------------------------

const char kHelpIndex[] = "exec sp_helpindex 'mod349declarados'";
const char kDropDeclarados[] = "drop index Mod349Declarados.IndiceDeclarados";
const char kCreateDeclarados[] =
    "Create unique Index IndiceDeclarados on Mod349Declarados(Ejercicio,Periodo,NumeroRegistro)";

TEST_F(ModelosTest, ANewPeriodRebuildsTheDeclarantIndexAndAnIndexWithoutPeriodIsRebuilt) {
    conn_.Devuelve(kHelpIndex, Filas({"index_name", "index_description", "index_keys"},
                                     {{"IndiceDeclarados",
                                       "nonclustered, unique located on "
                                       "PRIMARY",
                                       "Ejercicio, NumeroRegistro"}}));
    updates::accounting::ActualizaModelo349(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table Mod349Declarante ADD Periodo VARCHAR (4) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE Mod349Declarante SET Periodo=''",
                            "drop index Mod349Declarante.Indice349",
                            "Create unique index Indice349 on Mod349Declarante(Ejercicio,Periodo)",
                            "Alter Table Mod349Declarados ADD PeriodoC VARCHAR (4) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE Mod349Declarados SET PeriodoC=''", kHelpIndex, kDropDeclarados,
                            kCreateDeclarados));
}

TEST_F(ModelosTest, AnIndexWhoseKeysMentionThePeriodInAnyCaseIsLeftAlone) {
    AllColumnsThere("Mod349Declarante");
    AllColumnsThere("Mod349Declarados");
    conn_.Devuelve(kHelpIndex,
                   Filas({"index_name", "index_description", "index_keys"},
                         {{"IndiceDeclarados", "x", "Ejercicio, periodo, NumeroRegistro"},
                          {"Otro", "x", "NIFOPERADOR"}}));
    updates::accounting::ActualizaModelo349(ctx_, conn_);
    EXPECT_FALSE(Sent("drop index Mod349Declarante.Indice349"));
    EXPECT_FALSE(Sent(kDropDeclarados));
    EXPECT_FALSE(Sent(kCreateDeclarados));
}

TEST_F(ModelosTest, NoIndexListOrAFailingListRebuildsTheDeclaredIndex) {
    AllColumnsThere("Mod349Declarante");
    AllColumnsThere("Mod349Declarados");
    updates::accounting::ActualizaModelo349(ctx_, conn_);  // the list comes back empty
    EXPECT_THAT(SentStartingWith("drop index"), ElementsAre(kDropDeclarados));
    EXPECT_TRUE(Sent(kCreateDeclarados));

    ScriptedConnection broken("Empresa_0001");
    broken.FallaCon(kHelpIndex, ErrorServidor(15009,
                                              "The object 'mod349declarados' does not "
                                              "exist in database 'Empresa_0001'."));
    updates::accounting::ActualizaModelo349(ctx_, broken);
    EXPECT_EQ(broken.Enviadas().back(), kCreateDeclarados);
}

// --- Form 390 -----------------------------------------------------------------------------

TEST_F(ModelosTest, EachForm390GroupFollowsItsOwnGate) {
    const auto deducible = updates::accounting::Grupo390Deducible();
    const auto recc = updates::accounting::Grupo390Recc();
    const auto caja = updates::accounting::Grupo390CriterioCaja();
    EXPECT_EQ(deducible.size(), 54u);
    EXPECT_EQ(recc.size(), 7u);
    EXPECT_EQ(caja.size(), 10u);

    // Group 1's gate exists, group 2's gate is new, group 3's gate fails.
    AlreadyThere(
        "Alter Table MODELO390CABECERA ADD DEDUCIBLEINTERIORESBASE6 FLOAT NOT NULL "
        "DEFAULT(0) ");
    conn_.FallaCon(
        "Alter Table MODELO390CABECERA ADD DEVENGADOCRITERIOCAJABASE1 FLOAT NOT NULL "
        "DEFAULT(0) ",
        ErrorServidor(1205, "deadlock"));
    updates::accounting::ActualizaModelo390(ctx_, conn_);
    EXPECT_THAT(ColumnsTried("MODELO390CABECERA"),
                ElementsAre("DEDUCIBLEINTERIORESBASE6", "ORIGENRECC", "DESTINORECC",
                            "VOLUMENOPERACIONESRECC", "ESPECIFICASENTREGASRECCBASE",
                            "ESPECIFICASENTREGASRECCCUOTA", "ESPECIFICASAQUISICIONESRECCBASE",
                            "ESPECIFICASAQUISICIONESRECCCUOTA", "DEVENGADOCRITERIOCAJABASE1"));
    EXPECT_TRUE(Sent("Alter Table MODELO390CABECERA ADD ORIGENRECC BIT NOT NULL DEFAULT(0) "));
    EXPECT_TRUE(ctx_.HayIncidencias());
}

// --- Register, forms 310 and 340 ----------------------------------------------------------

TEST_F(ModelosTest, RegisterAndForms310And340AddTheirColumnsSilently) {
    updates::accounting::ActualizaRegistro(ctx_, conn_);
    updates::accounting::ActualizaModelo310(ctx_, conn_);
    updates::accounting::ActualizaModelo340(ctx_, conn_);
    EXPECT_EQ(ColumnsTried("REGISTRO").size(), 13u);
    EXPECT_TRUE(Sent("Alter Table REGISTRO ADD SOCIEDADOTROS VARCHAR (5) NOT NULL DEFAULT(0) "));
    EXPECT_THAT(
        ColumnsTried("ModAct310"),
        ElementsAre("REDUCCIONES", "PORINGCUENTA", "IVAINVSUJPAS", "REGULBIENINV", "ADICIONAL"));
    EXPECT_THAT(ColumnsTried("Mod340Declarados"),
                ElementsAre("ImpCobPag", "FechaCobPag", "FormaPC", "BancoOtros"));
    // Only the additions' own lines.
    EXPECT_EQ(Entries().size(), 13u + 5u + 4u);
}

}  // namespace
}  // namespace accounting_test
