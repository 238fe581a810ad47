// A fixture for the tests of the central routines and the run sequence against a scripted
// server: a run context whose log lives in a temporary program folder (server "SRV", no
// company row current), a scripted connection on Vardex, and the texts of the entries the
// routines write.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace central_test {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::ScriptedConnection;

// The catalogue probe ExisteObjeto sends for a user table.
inline std::string Sonda(const std::string& tabla) {
    return "Select name from sysobjects where xtype='U' and name='" + tabla + "'";
}

// Makes the probe for `tabla` find it on `conn`.
inline void ConTabla(ScriptedConnection& conn, const std::string& tabla) {
    conn.Devuelve(Sonda(tabla), Filas({"name"}, {{tabla}}));
}

class RoutineTest : public ::testing::Test {
  protected:
    std::vector<std::string> Entries() const { return fixture_.Entradas(); }

    // The information line CrearCampo writes for an added column, during the central phase
    // (no company code).
    static std::string Added(const std::string& column) {
        return "Información:  Campo " + column +
               " actualizado correctamente en la empresa  , servidor: SRV";
    }
    static std::string Info(const std::string& message) { return "Información:  " + message; }

    // Makes every statement of `alters` fail as adding an existing column does.
    void ColumnsAlreadyThere(const std::vector<std::string>& alters) {
        for (const std::string& sql : alters)
            conn_.FallaCon(sql, ErrorServidor(2705, "Column names in each table must be unique."));
    }

    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    ScriptedConnection conn_{"Vardex"};
};

}  // namespace central_test
