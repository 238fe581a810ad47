#include "schema/column_type_change.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;

const std::string kTipo =
    "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='IVATABLA' AND "
    "COLUMN_NAME='IvaExonerado'";
const std::string kRestriccion =
    "SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.CDEFAULT = "
    "SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('IVATABLA') AND UPPER(SYSCOLUMNS.NAME) "
    "='IVAEXONERADO'";
const std::string kDefinicion =
    "SELECT SYSCOMMENTS.TEXT FROM SYSCOLUMNS INNER JOIN SYSCOMMENTS ON SYSCOLUMNS.CDEFAULT = "
    "SYSCOMMENTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('IVATABLA') AND UPPER(SYSCOLUMNS.NAME) "
    "='IVAEXONERADO'";
const std::string kDrop = "ALTER TABLE IVATABLA DROP CONSTRAINT [DF__IVATABLA__IvaEx__1A2B3C4D]";
const std::string kAlter = "ALTER TABLE IVATABLA ALTER COLUMN IvaExonerado int";

class CambiarTipoDatosTest : public ::testing::Test {
  protected:
    void ConDefecto() {
        conn_.Devuelve(kRestriccion, Filas({"NAME"}, {{"DF__IVATABLA__IvaEx__1A2B3C4D"}}));
        conn_.Devuelve(kDefinicion, Filas({"TEXT"}, {{"((0))"}}));
    }
    ScriptedConnection conn_;
};

TEST_F(CambiarTipoDatosTest, ColumnAlreadyOfTheTypeIsLeftAlone) {
    conn_.Devuelve(kTipo, Filas({"DATA_TYPE"}, {{"int"}}));
    EXPECT_FALSE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "INT", "0"));
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kTipo));
}

TEST_F(CambiarTipoDatosTest, TheOldDefaultKeepsItsName) {
    conn_.Devuelve(kTipo, Filas({"DATA_TYPE"}, {{"bit"}}));
    ConDefecto();
    EXPECT_TRUE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "int", "0"));
    EXPECT_THAT(conn_.Ejecutadas(),
                ElementsAre(kDrop, kAlter,
                            "ALTER TABLE IVATABLA ADD CONSTRAINT [DF__IVATABLA__IvaEx__1A2B3C4D] "
                            "DEFAULT 0 FOR IvaExonerado"));
}

TEST_F(CambiarTipoDatosTest, AColumnWithoutDefaultGetsAServerStyleName) {
    EXPECT_EQ(NombreDefectoNuevo("IVATABLA", "IvaExonerado"),
              "DF__IVATABLA__IvaExonerado__389C9811");
    EXPECT_EQ(NombreDefectoNuevo("T", "ABCDEFGHIJKLMNOP"), "DF__T__ABCDEFGHIJKL__389C9811");
    EXPECT_TRUE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "varchar(50)", "''"));
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kTipo, kRestriccion,
                            "ALTER TABLE IVATABLA ALTER COLUMN IvaExonerado varchar(50)",
                            "ALTER TABLE IVATABLA ADD CONSTRAINT "
                            "[DF__IVATABLA__IvaExonerado__389C9811] DEFAULT '' FOR IvaExonerado"));
}

TEST_F(CambiarTipoDatosTest, TheConstraintLookUpUpperCasesAccentedLetters) {
    EXPECT_TRUE(CambiarTipoDatos(conn_, "T", "añoCuenta", "int", ""));
    ASSERT_GE(conn_.Enviadas().size(), 2u);
    EXPECT_EQ(conn_.Enviadas()[1],
              "SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.CDEFAULT "
              "= SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('T') AND UPPER(SYSCOLUMNS.NAME) "
              "='AÑOCUENTA'");
}

TEST_F(CambiarTipoDatosTest, AnEmptyNewDefaultBindsNone) {
    ConDefecto();
    EXPECT_TRUE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "int", ""));
    EXPECT_THAT(conn_.Ejecutadas(), ElementsAre(kDrop, kAlter));
}

TEST_F(CambiarTipoDatosTest, FailingStepsAnswerFalse) {
    ScriptedConnection sinCatalogo;
    sinCatalogo.FallaCon(kRestriccion, ErrorServidor(208, "Invalid object name"));
    EXPECT_FALSE(CambiarTipoDatos(sinCatalogo, "IVATABLA", "IvaExonerado", "int", "0"));
    EXPECT_THAT(sinCatalogo.Ejecutadas(), ElementsAre());

    ConDefecto();
    conn_.FallaCon(kDrop, ErrorServidor(3728, "is not a constraint"));
    EXPECT_FALSE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "int", "0"));
    EXPECT_THAT(conn_.Ejecutadas(), ElementsAre(kDrop));
}

TEST_F(CambiarTipoDatosTest, RefusedTypeChangePutsTheDroppedDefaultBack) {
    ConDefecto();
    conn_.FallaCon(kAlter, ErrorServidor(245,
                                         "Conversion failed when converting the varchar "
                                         "value 'x' to data type int."));
    EXPECT_FALSE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "int", "1"));
    EXPECT_THAT(conn_.Ejecutadas(),
                ElementsAre(kDrop, kAlter,
                            "ALTER TABLE IVATABLA ADD CONSTRAINT [DF__IVATABLA__IvaEx__1A2B3C4D] "
                            "DEFAULT ((0)) FOR IvaExonerado"));
    EXPECT_EQ(conn_.lastError().nativeError, 245);
}

TEST_F(CambiarTipoDatosTest, RefusedTypeChangeWithoutOldDefaultBindsNothing) {
    conn_.FallaCon(kAlter, ErrorServidor(5074, "The object is dependent on column"));
    EXPECT_FALSE(CambiarTipoDatos(conn_, "IVATABLA", "IvaExonerado", "int", "0"));
    EXPECT_THAT(conn_.Ejecutadas(), ElementsAre(kAlter));
}

}  // namespace
}  // namespace schema
