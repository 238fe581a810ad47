// The guards of the step tables, asked of a scripted catalogue.
#include "app/secuencia/pasos.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/central/routine_test.h"

namespace app {
namespace {

using central_test::ConTabla;
using central_test::ErrorServidor;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;

TEST(GuardaTest, EachKindOfGuardAsksTheCatalogueForUserTables) {
    ScriptedConnection conn;
    ConTabla(conn, "MOD349DECLARADOS");
    EXPECT_TRUE(GuardaCumplida(Siempre(), conn));
    EXPECT_TRUE(GuardaCumplida(Existe("MOD349DECLARADOS"), conn));
    EXPECT_FALSE(GuardaCumplida(NoExiste("MOD349DECLARADOS"), conn));
    EXPECT_TRUE(GuardaCumplida(NoExiste("PROPIEDADES"), conn));
    EXPECT_FALSE(GuardaCumplida(ExistenAmbas("MOD349DECLARADOS", "MOD349DECLARANTE"), conn));
    ConTabla(conn, "MOD349DECLARANTE");
    EXPECT_TRUE(GuardaCumplida(ExistenAmbas("MOD349DECLARADOS", "MOD349DECLARANTE"), conn));
    EXPECT_THAT(
        conn.Enviadas(),
        ElementsAre("Select name from sysobjects where xtype='U' and name='MOD349DECLARADOS'",
                    "Select name from sysobjects where xtype='U' and name='MOD349DECLARADOS'",
                    "Select name from sysobjects where xtype='U' and name='PROPIEDADES'",
                    "Select name from sysobjects where xtype='U' and name='MOD349DECLARADOS'",
                    "Select name from sysobjects where xtype='U' and name='MOD349DECLARANTE'",
                    "Select name from sysobjects where xtype='U' and name='MOD349DECLARADOS'",
                    "Select name from sysobjects where xtype='U' and name='MOD349DECLARANTE'"));
}

TEST(GuardaTest, ACatalogueThatCannotBeReadCountsAsAMissingTable) {
    ScriptedConnection conn;
    ConTabla(conn, "INDCOR");
    conn.FallaCon("Select name from sysobjects where xtype='U' and name='INDCOR'",
                  ErrorServidor(229, "permission denied"));
    EXPECT_FALSE(GuardaCumplida(Existe("INDCOR"), conn));
    EXPECT_TRUE(GuardaCumplida(NoExiste("INDCOR"), conn));
}

}  // namespace
}  // namespace app
