// A fixture for the tests of update routines against a scripted connection: a run context
// whose log lives in a temporary program folder, the server "SRV", and the expected texts of
// the log entries the routines write.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/run_context.h"
#include "run/test_files.h"
#include "updates/central/log_entries.h"
#include "updates/central/scripted_connection.h"

namespace central_test {

class RoutineTest : public ::testing::Test {
  protected:
    RoutineTest() {
        ctx_.parametros.Servidor = "SRV";
        ctx_.log.IniciarLog();
    }

    std::vector<std::string> Entries() const { return LogEntries(ctx_.log.file()); }

    // The information line CrearCampo writes for an added column, during the central phase
    // (no company code).
    static std::string Added(const std::string& column) {
        return "Información:  Campo " + column + " actualizado correctamente en la empresa  , "
               "servidor: SRV";
    }
    static std::string Info(const std::string& message) { return "Información:  " + message; }

    // Makes every "Alter Table ... ADD" statement in `texts` fail as an existing column does.
    void ColumnsAlreadyThere(const std::vector<std::string>& alters) {
        for (const std::string& sql : alters)
            conn_.FailExecute(sql, ScriptedConnection::ServerError(
                                       2705, "Column names in each table must be unique."));
    }

    run_test::TempDir dir_;
    run::RunContext ctx_{dir_.path(), [] { return run::LocalDateTime{2026, 3, 4, 5, 6, 7}; }};
    ScriptedConnection conn_;
};

}  // namespace central_test
