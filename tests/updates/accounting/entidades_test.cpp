// The bank entities against a scripted server: the creditor-account fill, the columns and when
// the IBAN/BIC backfill runs and marks itself done.
#include "updates/accounting/entidades.h"

#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;
using updates::accounting::kRellenoEntidades;

const char kAltaIban[] = "Alter Table ENTIDAD ADD ENTIBAN VARCHAR (4) ";
const char kAltaBic[] = "Alter Table ENTIDAD ADD ENTIBIC VARCHAR (15) ";
const char kMarca[] = "SELECT * FROM PROPIEDADES WHERE NOMBRE='ENTIDAD'";

class EntidadesTest : public RoutineTest {
  protected:
    EntidadesTest() {
        conn_.Devuelve(
            std::string(kRellenoEntidades.selectBefore),
            Filas({"ENTENTIDAD", "ENTSUCURSAL", "ENTDIGCONT", "ENTCUENTA", "ENTIBAN", "ENTIBIC",
                   "ENTIBANORDENANTE", "ENTORDENAENTIDAD", "ENTORDENASUCURSAL", "ENTORDENADIGITO",
                   "ENTORDENACUENTA", "ENTIBICORDENANTE"},
                  {{"21", "38", "5", "123", "", std::string(test_support::kNulo), "", "", "", "",
                    "", ""}}));
        ctx_.ColeccionBIC.Add("0021", "CAIXESBBXXX");
    }
    void Marca(const std::string& valor) {
        std::vector<std::vector<std::string>> filas;
        if (!valor.empty()) filas.push_back({"ENTIDAD", valor});
        conn_.Devuelve(kMarca, Filas({"NOMBRE", "VALOR"}, filas));
    }
    bool Backfilled() const { return Sent(std::string(kRellenoEntidades.selectBefore)); }
};

TEST_F(EntidadesTest, TheFirstRunFillsCreditorsAddsEverythingAndBackfillsOnce) {
    Marca("");
    updates::accounting::ActualizaEntidades(ctx_, conn_);
    const std::vector<std::string>& sent = conn_.Enviadas();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0],
              "UPDATE ENTIDAD SET ENTCTAACREEDOR='410' + REPLICATE('0', LEN (ENTCTACONTABLE)-7)+ "
              "ENTCODIGO WHERE ENTCODIGO<>'9999' AND isnull(ENTCTAACREEDOR,'') = '' AND LEN "
              "(ENTCTACONTABLE)>3");
    // The commission tiers interleave their three columns, tier by tier.
    EXPECT_EQ(sent[1], "Alter Table ENTIDAD ADD ENTCOMTARDE1 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(sent[3], "Alter Table ENTIDAD ADD ENTCOMTARA1 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(sent[5], "Alter Table ENTIDAD ADD ENTCOMTARPCTO1 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(sent[7], "Alter Table ENTIDAD ADD ENTCOMTARDE2 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(sent[29], "Alter Table ENTIDAD ADD ENTCOMTARPCTO5 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_THAT(
        std::vector<std::string>(sent.begin() + 31, sent.begin() + 37),
        ElementsAre("Alter Table ENTIDAD ADD ENTIDENTIFICACIONN32 VARCHAR (15) ",
                    "Alter Table ENTIDAD ADD ENTIBANORDENANTE VARCHAR (4) ",
                    "Alter Table ENTIDAD ADD ENTIBICORDENANTE VARCHAR (15) ", kAltaIban, kAltaBic,
                    "IF COL_LENGTH ('ENTIDAD','ALMCODPOSTAL') < 10 ALTER TABLE ENTIDAD "
                    "ALTER COLUMN ALMCODPOSTAL varchar(10)"));
    // Both created now: the mark is not even read; the backfill runs and then sets it.
    EXPECT_EQ(sent[37], std::string(kRellenoEntidades.selectBefore));
    EXPECT_EQ(sent[38], kMarca);
    ASSERT_EQ(conn_.Guardadas().size(), 2u);
    const test_support::FilaGuardada& entidad = conn_.Guardadas()[0];
    EXPECT_EQ(entidad.valores.at("ENTIBAN").toText(), "ES13");
    EXPECT_EQ(entidad.valores.at("ENTIBIC").toText(), "CAIXESBBXXX");
    // The empty ordering party gets neither IBAN nor BIC.
    EXPECT_EQ(entidad.valores.count("ENTIBANORDENANTE"), 0u);
    EXPECT_EQ(entidad.valores.count("ENTIBICORDENANTE"), 0u);
    const test_support::FilaGuardada& marca = conn_.Guardadas()[1];
    EXPECT_TRUE(marca.nueva);
    EXPECT_EQ(marca.valores.at("NOMBRE").toText(), "ENTIDAD");
    EXPECT_EQ(marca.valores.at("VALOR").toText(), "1001");

    EXPECT_EQ(sent[39],
              "IF COL_LENGTH ('ENTIDAD','ENTENTIDAD') < 10 ALTER TABLE ENTIDAD ALTER "
              "COLUMN ENTENTIDAD varchar(10)");
    EXPECT_EQ(sent.back(), "UPDATE ENTIDAD SET ENTITPVENCRIPTACION=0");
    EXPECT_TRUE(Sent("Alter Table ENTIDAD ADD ENTITPVMONDEA integer DEFAULT(0) "));
    EXPECT_TRUE(
        Sent("Alter Table ENTIDAD ADD ENTITPVCLAVESECRETA varchar (255) NOT NULL "
             "DEFAULT('') "));
    EXPECT_EQ(Entries().front(),
              Info("Comenzando actualizacion estructura entidad en la empresa 0001 , servidor: "
                   "SRV"));
}

TEST_F(EntidadesTest, OneColumnAlreadyThereBackfillsWhileTheMarkIsUnset) {
    AlreadyThere(kAltaBic);
    Marca("");
    updates::accounting::ActualizaEntidades(ctx_, conn_);
    EXPECT_TRUE(Backfilled());
    EXPECT_EQ(conn_.Guardadas().back().valores.at("VALOR").toText(), "1001");
}

TEST_F(EntidadesTest, ALaterRunWithTheMarkSetSendsNoBackfill) {
    AlreadyThere(kAltaIban);
    AlreadyThere(kAltaBic);
    Marca("1001");
    updates::accounting::ActualizaEntidades(ctx_, conn_);
    EXPECT_TRUE(Sent(kMarca));
    EXPECT_FALSE(Backfilled());
    EXPECT_TRUE(conn_.Guardadas().empty());
}

TEST_F(EntidadesTest, AFailedColumnAdditionNeverBackfills) {
    conn_.FallaCon(kAltaBic, ErrorServidor(4902, "Cannot find the object \"ENTIDAD\"."));
    Marca("");
    updates::accounting::ActualizaEntidades(ctx_, conn_);
    EXPECT_FALSE(Sent(kMarca));
    EXPECT_FALSE(Backfilled());
}

TEST_F(EntidadesTest, AnUnreadableEntityListLeavesTheMarkUnset) {
    conn_.FallaCon(std::string(kRellenoEntidades.selectBefore),
                   ErrorServidor(207, "Invalid column name 'ENTORDENAENTIDAD'."));
    Marca("");
    updates::accounting::ActualizaEntidades(ctx_, conn_);
    EXPECT_TRUE(Backfilled());
    EXPECT_TRUE(conn_.Guardadas().empty());
    // The widening of the entity code and the card-terminal columns still follow.
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE ENTIDAD SET ENTITPVENCRIPTACION=0");
}

}  // namespace
}  // namespace accounting_test
