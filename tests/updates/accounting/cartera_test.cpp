// The portfolio, its per-year data tables and the remittances against a scripted server.
#include "updates/accounting/cartera.h"

#include "schema/default_batches.h"
#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;
using updates::accounting::kRellenoAcuCartera;

const char kAltaBic[] =
    "Alter Table ACUCARTERATABLA ADD ACUCARTERABIC varchar (15) NOT NULL DEFAULT('') ";
const char kAltaIban[] =
    "Alter Table ACUCARTERATABLA ADD ACUCARTERAIBAN varchar (4) NOT NULL DEFAULT('') ";

class CarteraTest : public RoutineTest {
  protected:
    std::string Relleno() const { return std::string(kRellenoAcuCartera.selectBefore); }
};

TEST_F(CarteraTest, TheFirstRunConvertsWidensAddsAndBackfillsTheDuePortfolio) {
    conn_.Devuelve(Relleno(), Filas({"ACUCARTERAEntidad", "ACUCARTERASucursal", "ACUCARTERADigito",
                                     "ACUCARTERACuenta", "ACUCARTERAIBAN", "ACUCARTERABIC"},
                                    {{"49", "1500", "5", "1234567890", "", ""}}));
    ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX");
    updates::accounting::ActualizaAcuCartera(ctx_, conn_);

    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre(schema::LoteConversionTipo(
                        {"ACUCARTERATABLA", "ACUCARTERAIMPORTE", "numeric", "FLOAT", "0", true}),
                    "if COL_LENGTH ('ACUCARTERATABLA','ACUCARTERANombreBanco') < 50 alter table "
                    "ACUCARTERATABLA alter column ACUCARTERANombreBanco varchar(50)",
                    "if COL_LENGTH ('ACUCARTERATABLA','ACUCARTERADescricliente') < 100 alter "
                    "table ACUCARTERATABLA alter column ACUCARTERADescricliente varchar(100)",
                    "Alter Table ACUCARTERATABLA ADD ACUCARTERACodAsuntoInterno FLOAT NOT NULL "
                    "DEFAULT(0) ",
                    "UPDATE ACUCARTERATABLA SET ACUCARTERACodAsuntoInterno=0",
                    "Alter Table ACUCARTERATABLA ADD ACUCARTERAempresa varchar (5) NOT NULL "
                    "DEFAULT('0001') ",
                    "UPDATE ACUCARTERATABLA SET ACUCARTERAempresa='0001'", kAltaBic,
                    "UPDATE ACUCARTERATABLA SET ACUCARTERABIC=''", kAltaIban,
                    "UPDATE ACUCARTERATABLA SET ACUCARTERAIBAN=''",
                    "Select * from acucarteratabla where ACUCARTERAVencimiento "
                    ">={d'2013-01-01'} and (isnull(ACUCARTERAEntidad,'') <>'' and "
                    "isnull(ACUCARTERASucursal,'') <> '' and isnull(ACUCARTERADigito,'') <>'' "
                    "and isnull(ACUCARTERACuenta,'') <> '')",
                    "IF COL_LENGTH ('ACUCARTERATABLA','ACUCARTERANifCliente') < 15 ALTER TABLE "
                    "ACUCARTERATABLA ALTER COLUMN ACUCARTERANifCliente VARCHAR(15)"));
    ASSERT_EQ(conn_.Guardadas().size(), 1u);
    // 0049 1500 05 1234567890: the entity is padded for the account and for the BIC lookup.
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("ACUCARTERAIBAN").toText(), "ES17");
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("ACUCARTERABIC").toText(), "BSCHESMMXXX");
    EXPECT_EQ(Entries().front(),
              Info("Comenzando actualizacion estructura ACUCARTERATABLA en la empresa0001 , "
                   "servidor: SRV"));
    EXPECT_EQ(Entries()[1], Info("Campo ACUCARTERANombreBanco actualizado correctamente en la "
                                 "empresa 0001 , servidor: SRV"));
}

TEST_F(CarteraTest, TheBackfillNeedsBothColumnsCreatedOnThisRun) {
    AlreadyThere(kAltaBic);
    updates::accounting::ActualizaAcuCartera(ctx_, conn_);
    EXPECT_FALSE(Sent(Relleno()));

    conn_.NoFallaCon(kAltaBic);
    AlreadyThere(kAltaIban);
    updates::accounting::ActualizaAcuCartera(ctx_, conn_);
    EXPECT_FALSE(Sent(Relleno()));
    EXPECT_TRUE(conn_.Guardadas().empty());
}

TEST_F(CarteraTest, TheCompanyDefaultTakesTheLastFiveCharactersAsOneLiteral) {
    EXPECT_EQ(updates::accounting::DefectoEmpresaCartera("0001"), "'0001'");
    EXPECT_EQ(updates::accounting::DefectoEmpresaCartera("ABC12345"), "'12345'");
    EXPECT_EQ(updates::accounting::DefectoEmpresaCartera(""), "''");
    // A quote in a code cannot end the literal early.
    EXPECT_EQ(updates::accounting::DefectoEmpresaCartera("X'Y"), "'X''Y'");
}

TEST_F(CarteraTest, PortfolioDataTablesOfEveryYearAreWidenedWithEventsBetweenThem) {
    WithFamily("DATOSCARTERA", {"E2013DATOSCARTERA", "E2014DATOSCARTERA"});
    updates::accounting::ActualizaCarteraContabilidad(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(Familia("DATOSCARTERA"),
                            "if COL_LENGTH ('E2013DATOSCARTERA','DESCCTA') < 255 alter table "
                            "E2013DATOSCARTERA  alter column DESCCTA varchar(255)",
                            "if COL_LENGTH ('E2013DATOSCARTERA','DESCBANCO') < 255 alter table "
                            "E2013DATOSCARTERA  alter column DESCBANCO varchar(255)",
                            "if COL_LENGTH ('E2014DATOSCARTERA','DESCCTA') < 255 alter table "
                            "E2014DATOSCARTERA  alter column DESCCTA varchar(255)",
                            "if COL_LENGTH ('E2014DATOSCARTERA','DESCBANCO') < 255 alter table "
                            "E2014DATOSCARTERA  alter column DESCBANCO varchar(255)"));
    EXPECT_EQ(fixture_.Bombeos(), 2);
    EXPECT_THAT(Entries(), ElementsAre(Info("Comenzando actualizacion estructura cartera "
                                            "contabilidad en la empresa0001 , servidor: SRV")));
}

TEST_F(CarteraTest, RemittancesTakeTheirChargeDateOnlyOnTheRunThatAddsIt) {
    const std::string alta = "Alter Table REMESAS ADD RemesaFechaCargo DATETIME ";
    updates::accounting::ActualizaRemesas(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(alta, "UPDATE REMESAS SET REMESAFECHACARGO = REMESAFECHA"));
    EXPECT_THAT(Entries(), ElementsAre(Added("RemesaFechaCargo")));

    AlreadyThere(alta);
    updates::accounting::ActualizaRemesas(ctx_, conn_);
    EXPECT_EQ(conn_.Enviadas().size(), 3u);
    EXPECT_EQ(Entries().size(), 1u);
}

}  // namespace
}  // namespace accounting_test
