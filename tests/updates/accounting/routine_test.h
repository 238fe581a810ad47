// The fixture of the accounting routines' tests against a scripted server: a run context whose
// log lives in a temporary program folder (server "SRV", company 0001 current), a scripted
// connection on Empresa_0001, and the texts of the entries the routines write.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace accounting_test {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::ScriptedConnection;

inline const std::string kFamiliaPrefijo =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____";

// The listing query of family E____<nombre>.
inline std::string Familia(const std::string& nombre) {
    return kFamiliaPrefijo + nombre + "' and table_type='BASE TABLE '";
}

class RoutineTest : public ::testing::Test {
  protected:
    RoutineTest() { fixture_.EmpresaActual("0001"); }

    std::vector<std::string> Entries() const { return fixture_.Entradas(); }

    // The information line CrearCampo writes for a column added to company 0001.
    static std::string Added(const std::string& column) {
        return "Información:  Campo " + column +
               " actualizado correctamente en la empresa 0001 , servidor: SRV";
    }
    static std::string Info(const std::string& message) { return "Información:  " + message; }
    static std::string Error(const std::string& procedure, const std::string& message,
                             const std::string& server) {
        return "Error en el procesimiento " + procedure + ":" + message +
               "     Mensaje devuelto por el servidor :" + server;
    }

    // Makes `sql` fail as adding an existing column does.
    void AlreadyThere(const std::string& sql) {
        conn_.FallaCon(sql, ErrorServidor(2705, "Column names in each table must be unique."));
    }
    // Makes every column addition to `table` fail as for existing columns.
    void AllColumnsThere(const std::string& table) {
        conn_.FallaSiEmpiezaPor("Alter Table " + table + " ADD ",
                                ErrorServidor(2705, "Column names in each table must be unique."));
    }
    // The family E____<nombre> lists `tablas`.
    void WithFamily(const std::string& nombre, const std::vector<std::string>& tablas) {
        std::vector<std::vector<std::string>> filas;
        for (const std::string& t : tablas)
            filas.push_back({t});
        conn_.Devuelve(Familia(nombre), Filas({"Table_name"}, filas));
    }

    // The texts sent that start with `prefix`, in order.
    std::vector<std::string> SentStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& sql : conn_.Enviadas())
            if (sql.starts_with(prefix)) out.push_back(sql);
        return out;
    }
    bool Sent(const std::string& sql) const {
        for (const std::string& s : conn_.Enviadas())
            if (s == sql) return true;
        return false;
    }

    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    ScriptedConnection conn_{"Empresa_0001"};
};

}  // namespace accounting_test
