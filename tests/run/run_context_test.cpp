#include "run/run_context.h"

#include <gtest/gtest.h>

#include "run/test_files.h"

namespace run {
namespace {

TEST(RunContext, TheLogLivesInTheProgramDirectoryAndUsesTheContextClock) {
    run_test::TempDir dir;
    RunContext context(dir.path(), [] { return LocalDateTime{2025, 1, 2, 3, 4, 5}; });
    EXPECT_EQ(context.log.file(), dir.path() / "LogActualizacion.txt");
    context.log.IniciarLog();
    EXPECT_EQ(run_test::ReadBytes(context.log.file()),
              "Inicio proceso de actualizaci\xF3n de Catalogos a 02/01/2025 03:04:05\r\n"
              "--------------------\r\n");
    context.EscribirLog("x", "y", "z", kNivelError);
    EXPECT_TRUE(context.HayIncidencias());
}

TEST(RunContext, TheCurrentCompanyCodeComesFromTheGrid) {
    RunContext context("/nonexistent");
    context.grid.Prepare("");
    context.grid.AddCompanyRow("Actualizando Uno", "0001");
    EXPECT_EQ(context.CodigoEmpresaActual(), "");
    context.grid.SetCurrentRow(3);
    EXPECT_EQ(context.CodigoEmpresaActual(), "0001");
}

TEST(RunContext, PendingEventsGoToTheInstalledPump) {
    RunContext context("/nonexistent");
    context.ProcessPendingEvents();  // no pump yet: nothing happens
    int calls = 0;
    context.SetEventPump([&] { ++calls; });
    context.ProcessPendingEvents();
    context.ProcessPendingEvents();
    EXPECT_EQ(calls, 2);
    context.SetEventPump({});
    context.ProcessPendingEvents();
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace run
