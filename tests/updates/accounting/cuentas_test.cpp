// The chart of accounts, concept descriptions, letterhead, predefined entries and locks against
// a scripted server: what is sent, in which order, and what the log says.
#include "updates/accounting/cuentas.h"

#include "updates/accounting/asientos.h"
#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;

const char kAmpliaTitulo[] =
    "if COL_LENGTH ('cta','titulodelacuenta') < 50 alter table cta  alter column "
    "titulodelacuenta varchar(50)";
const char kLogotipo[] =
    "IF COL_LENGTH ('logotipo','EmpDatosRegistro') = 200 ALTER TABLE logotipo ALTER COLUMN "
    "EmpDatosRegistro text";

class CuentasTest : public RoutineTest {};

TEST_F(CuentasTest, TheChartIsWidenedCleanedAndCompletedInOrder) {
    updates::accounting::ActualizaCuentas(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kAmpliaTitulo, "DELETE FROM CTA WHERE NUMCUENTA='0,5'",
                            "Alter Table CTA ADD recargo VARCHAR (1) NOT NULL DEFAULT('0') ",
                            "UPDATE CTA SET recargo='0'",
                            "Alter Table CTA ADD analitica BIT NOT NULL DEFAULT(0) ",
                            "UPDATE CTA SET analitica=0",
                            "Alter Table CTA ADD ENVIADA VARCHAR (1) DEFAULT('') ",
                            "UPDATE CTA SET ENVIADA=''"));
    EXPECT_THAT(Entries(),
                ElementsAre(Info("Comenzando actualizacion estructura CTA en la empresa0001 , "
                                 "servidor: SRV"),
                            Info("Campo titulodelacuenta actualizado correctamente en la empresa "
                                 "0001 , servidor: SRV"),
                            Added("recargo"), Added("analitica"), Added("ENVIADA")));
}

TEST_F(CuentasTest, ARefusedWideningIsAnIncidentAndTheRoutineGoesOn) {
    conn_.FallaCon(kAmpliaTitulo, ErrorServidor(4902, "Cannot find the object \"cta\"."));
    AllColumnsThere("CTA");
    updates::accounting::ActualizaCuentas(ctx_, conn_);
    EXPECT_THAT(Entries(),
                ElementsAre(Info("Comenzando actualizacion estructura CTA en la empresa0001 , "
                                 "servidor: SRV"),
                            Error("Form_Activate",
                                  "Actualizando campo titulodelacuenta en la empresa0001 en el "
                                  "servidor SRV",
                                  "Cannot find the object \"cta\".")));
    EXPECT_TRUE(ctx_.HayIncidencias());
    EXPECT_TRUE(Sent("DELETE FROM CTA WHERE NUMCUENTA='0,5'"));
}

TEST_F(CuentasTest, ConceptDescriptionsReportTheirWideningBothWays) {
    const std::string widen =
        "if COL_LENGTH ('DESCRIP','DESCCONCE') < 255 alter table DESCRIP  alter column DESCCONCE "
        "varchar(255)";
    updates::accounting::ActualizaDescripcionConceptos(ctx_, conn_);
    conn_.FallaCon(widen, ErrorServidor(4902, "no DESCRIP"));
    updates::accounting::ActualizaDescripcionConceptos(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(widen, widen));
    const std::string start = Info(
        "Comenzando actualizacion estructura descripcion conceptos en la empresa0001 , servidor: "
        "SRV");
    EXPECT_THAT(Entries(),
                ElementsAre(start,
                            Info("Campo DESCCONCE actualizado correctamente en la empresa 0001 , "
                                 "servidor: SRV"),
                            start,
                            Error("Form_Activate",
                                  "Actualizando campo DESCCONCE en la empresa0001 en el servidor "
                                  "SRV",
                                  "no DESCRIP")));
}

TEST_F(CuentasTest, TheLetterheadNamesTheCompanyItIsGivenAndItsFailureHasNoColon) {
    updates::accounting::ActualizaLogotipo(ctx_, conn_, "0007");
    conn_.FallaCon(kLogotipo, ErrorServidor(4902, "no logotipo"));
    updates::accounting::ActualizaLogotipo(ctx_, conn_, "0007");
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kLogotipo, kLogotipo));
    const std::string start =
        Info("Comenzando actualizacion estructura logotipo en la empresa 0007 , servidor: SRV");
    EXPECT_THAT(Entries(),
                ElementsAre(start,
                            Info("Campo EmpDatosRegistro actualizado correctamente en la empresa "
                                 "0007 , servidor: SRV"),
                            start,
                            Error("Form_Activate",
                                  "Actualizando campo EmpDatosRegistro en la empresa 0007 , "
                                  "servidor SRV",
                                  "no logotipo")));
}

TEST_F(CuentasTest, PredefinedEntriesWidenAndSetTheDefaultsOfImportedVariables) {
    updates::accounting::ActualizaAsientosPredefinidos(ctx_, conn_, "0001");
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre("Alter Table PREDEFIVA ADD Tipo Int DEFAULT(0) ", "UPDATE PREDEFIVA SET Tipo=0",
                    "alter table operaciones alter column operacion varchar(255)",
                    "alter table PREDEFCARTERA alter column cartera varchar(29)",
                    "update variables set valorpordefecto='C'  where  (asientopredef like "
                    "'02%' or asientopredef like '07%') and tipo='I' and "
                    "valorpordefecto<>'C'",
                    "update variables set valorpordefecto='V'  where  asientopredef like "
                    "'03%'  and tipo='I' and valorpordefecto<>'V'"));
    EXPECT_THAT(Entries(), ElementsAre(Info("Comenzando actualizacion estructura asientos "
                                            "predefinidos en la empresa 0001 , servidor: SRV"),
                                       Added("Tipo")));
}

TEST_F(CuentasTest, TheSecondLockedEntryDefaultsToTheTextNull) {
    AllColumnsThere("BLOQUEOS");
    updates::accounting::ActualizaBloqueos(ctx_, conn_, "0001");
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table BLOQUEOS ADD ASIENTO2 VARCHAR (7) DEFAULT(NULL) "));
    // Already there: only the start line.
    EXPECT_THAT(Entries(), ElementsAre(Info("Comenzando actualizacion estructura bloqueos en la "
                                            "empresa 0001 , servidor: SRV")));
}

}  // namespace
}  // namespace accounting_test
