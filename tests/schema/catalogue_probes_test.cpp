#include "schema/catalogue_probes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;

const char kConsultaPropiedades[] =
    "Select name from sysobjects where xtype='U' and name='PROPIEDADES'";
const char kConsultaIndice[] =
    "SELECT * FROM SYSINDEXES WHERE ID=OBJECT_ID('indcor') AND NAME='ACTINDICE'";

TEST(ExisteObjeto, AnswersWhetherTheCatalogueHasARowOfThatType) {
    ScriptedConnection conn;
    EXPECT_FALSE(ExisteObjeto("PROPIEDADES", conn, "U"));
    conn.Devuelve(kConsultaPropiedades, Filas({"name"}, {{"PROPIEDADES"}}));
    EXPECT_TRUE(ExisteObjeto("PROPIEDADES", conn));
    EXPECT_FALSE(ExisteObjeto("PROPIEDADES", conn, kTipoVista));
    EXPECT_THAT(conn.Enviadas(),
                ElementsAre(kConsultaPropiedades, kConsultaPropiedades,
                            "Select name from sysobjects where xtype='V' and name='PROPIEDADES'"));
}

TEST(ExisteObjeto, FailingQueryAnswersNo) {
    ScriptedConnection conn;
    conn.Devuelve(kConsultaPropiedades, Filas({"name"}, {{"PROPIEDADES"}}));
    conn.Romper(ErrorServidor(0, "Communication link failure"));
    EXPECT_FALSE(ExisteObjeto("PROPIEDADES", conn));
}

TEST(ExisteObjeto, QuotesInTheNameCannotChangeTheQuery) {
    ScriptedConnection conn;
    ExisteObjeto("X' or name<>'", conn);
    EXPECT_THAT(conn.Enviadas(),
                ElementsAre("Select name from sysobjects where xtype='U' and name='X'' or "
                            "name<>'''"));
}

TEST(ExisteIndice, AnswersFromSysindexes) {
    ScriptedConnection conn;
    EXPECT_FALSE(ExisteIndice("indcor", "ACTINDICE", conn));
    conn.Devuelve(kConsultaIndice, Filas({"id", "name"}, {{"5", "ACTINDICE"}}));
    EXPECT_TRUE(ExisteIndice("indcor", "ACTINDICE", conn));
    EXPECT_THAT(conn.Enviadas(), ElementsAre(kConsultaIndice, kConsultaIndice));
}

TEST(ExisteIndice, FailingProbeAnswersYesSoThatNobodyCreatesTheIndexBlindly) {
    ScriptedConnection conn;
    conn.Romper(ErrorServidor(0, "Communication link failure"));
    EXPECT_TRUE(ExisteIndice("indcor", "ACTINDICE", conn));
    ScriptedConnection cerrada;
    cerrada.Cerrar();
    EXPECT_TRUE(ExisteIndice("indcor", "ACTINDICE", cerrada));
}

TEST(Probes, ClearAnEarlierPendingError) {
    ScriptedConnection conn;
    conn.FallaCon("bad", ErrorServidor(102, "Incorrect syntax"));
    conn.execute("bad");
    conn.Devuelve(kConsultaPropiedades, Filas({"name"}, {{"PROPIEDADES"}}));
    EXPECT_TRUE(ExisteObjeto("PROPIEDADES", conn));
    conn.execute("bad");
    EXPECT_FALSE(ExisteIndice("indcor", "ACTINDICE", conn));
}

}  // namespace
}  // namespace schema
