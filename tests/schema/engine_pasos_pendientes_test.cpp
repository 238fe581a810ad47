// One-off steps behind their markers, against the embedded engine: a step is done by the run
// that creates its guard, or by the run that finds the marker an interrupted one left, and by
// no other; a phase leaves no marker table behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "schema/catalogue_probes.h"
#include "schema/pasos_pendientes.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"

namespace schema {
namespace {

using test_support::EmbeddedServer;
using Filas = std::vector<std::vector<std::string>>;

constexpr DefinicionCampo kGuarda = {"B", "int", {}, false, ""};
constexpr DefinicionCampo kConRelleno = {"C", "int", {}, false, "5"};

struct Caso {
    const char* nombre;
    std::vector<std::string> antes;  // what an earlier run (or a hand) left
    bool pasoHecho;                  // the step's UPDATE ran
};

TEST(EnginePasosPendientesTest, AStepRunsWhenItsGuardIsNewOrItsMarkerWasLeft) {
    const std::string marca = "INSERT INTO PASOSPENDIENTES (PASO) VALUES ('paso T.B')";
    const Caso casos[] = {
        {"new guard", {}, true},
        {"guard and marker left by an interrupted run",
         {SentenciaCrearTablaPasos(), marca, "ALTER TABLE T ADD B int NULL"}, true},
        {"guard there, no marker", {"ALTER TABLE T ADD B int NULL"}, false},
        {"guard there, marker table left empty",
         {SentenciaCrearTablaPasos(), "ALTER TABLE T ADD B int NULL"}, false},
        {"marker left, guard not yet made", {SentenciaCrearTablaPasos(), marca}, true},
    };
    for (const Caso& caso : casos) {
        EmbeddedServer servidor;
        std::vector<std::string> lotes = {"CREATE TABLE T (A int)", "INSERT INTO T (A) VALUES (1)"};
        lotes.insert(lotes.end(), caso.antes.begin(), caso.antes.end());
        servidor.CrearBaseDatos("Empresa_0001", lotes);
        auto conexion = servidor.Conectar("Empresa_0001");
        test_support::RunFixture fixture;
        ComenzarFase(fixture.ctx(), *conexion);
        CrearCampoConPaso(fixture.ctx(), *conexion, "T", kGuarda,
                          [&] { conexion->execute("UPDATE T SET B = 7"); });
        TerminarFase(fixture.ctx(), *conexion);
        EXPECT_EQ(EmbeddedServer::Filas(*conexion, "SELECT COUNT(*) FROM T WHERE B = 7"),
                  (Filas{{caso.pasoHecho ? "1" : "0"}}))
            << caso.nombre;
        EXPECT_FALSE(ExisteObjeto("PASOSPENDIENTES", *conexion)) << caso.nombre;
    }
}

// The default of a nullable column reaches the rows through an UPDATE after the column: a run
// stopped in between leaves the marker, and the next run fills the rows.
TEST(EnginePasosPendientesTest, AnInterruptedDefaultFillIsFinishedAndOnlyThen) {
    for (const bool marcada : {true, false}) {
        EmbeddedServer servidor;
        std::vector<std::string> lotes = {"CREATE TABLE T (A int)", "INSERT INTO T (A) VALUES (1)",
                                          "ALTER TABLE T ADD C int NULL DEFAULT(5)"};
        if (marcada) {
            lotes.push_back(SentenciaCrearTablaPasos());
            lotes.push_back(SentenciaMarcarPaso(ClaveColumna("T", "C")));
        }
        servidor.CrearBaseDatos("Empresa_0001", lotes);
        auto conexion = servidor.Conectar("Empresa_0001");
        test_support::RunFixture fixture;
        ComenzarFase(fixture.ctx(), *conexion);
        EXPECT_EQ(CrearCampo(fixture.ctx(), *conexion, "T", kConRelleno), ResultadoCampo::YaExistia);
        TerminarFase(fixture.ctx(), *conexion);
        EXPECT_EQ(EmbeddedServer::Filas(*conexion, "SELECT C FROM T"),
                  (Filas{{marcada ? "5" : "NULL"}}));
        EXPECT_FALSE(ExisteObjeto("PASOSPENDIENTES", *conexion));
    }
}

}  // namespace
}  // namespace schema
