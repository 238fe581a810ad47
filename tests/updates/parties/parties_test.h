// Fixtures for the tests of the customer, supplier, staff and law-practice routines.
//
//   EngineTest    a company database Empresa_0001 on the embedded engine, built by each test
//                 from its own old-release tables, with a run context (server "SRV", company
//                 0001 current) and readers of the catalogue and the rows
//   ScriptedTest  the same run context over a scripted connection, for the exact statement
//                 texts and the failures a real server does not produce on demand
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace parties_test {

using Filas = std::vector<std::vector<std::string>>;
using test_support::ErrorServidor;
using test_support::ScriptedConnection;

inline constexpr char kEmpresa[] = "0001";

// The log entries that the routines write, as the log shows them.
inline std::string Info(const std::string& mensaje) {
    return "Información:  " + mensaje;
}
inline std::string Error(const std::string& procedimiento, const std::string& mensaje,
                         const std::string& servidor) {
    return "Error en el procesimiento " + procedimiento + ":" + mensaje +
           "     Mensaje devuelto por el servidor :" + servidor;
}
// CrearCampo's line for a column it added in company 0001.
inline std::string Creado(const std::string& columna) {
    return Info("Campo " + columna +
                " actualizado correctamente en la empresa 0001 , servidor: SRV");
}
// The start line of a routine whose start text is `texto`, in company 0001.
inline std::string Comienzo(const std::string& texto) {
    return Info(texto + "0001 , servidor: SRV");
}

class EngineTest : public ::testing::Test {
  protected:
    EngineTest() { fixture_.EmpresaActual(kEmpresa); }

    // Creates Empresa_0001 with `lotes` run in it and connects to it.
    db::Connection& Empresa(const std::vector<std::string>& lotes);
    db::Connection& conexion() { return *conexion_; }
    run::RunContext& ctx() { return fixture_.ctx(); }

    Filas Consulta(const std::string& sql);
    // Runs `sql` on the company database, failing the test if it is refused.
    void Ejecutar(const std::string& sql);
    // The column as the catalogue describes it: "varchar(100) NOT NULL ('')", "int NULL",
    // "datetime NOT NULL (getdate())"; "" when the table has no such column.
    std::string Columna(const std::string& tabla, const std::string& columna);
    int NumeroColumnas(const std::string& tabla);
    // The entries written to the log since the test started.
    std::vector<std::string> Entradas() const { return fixture_.Entradas(); }

    test_support::RunFixture fixture_;
    test_support::EmbeddedServer servidor_;
    std::unique_ptr<db::Connection> conexion_;
};

class ScriptedTest : public ::testing::Test {
  protected:
    ScriptedTest() { fixture_.EmpresaActual(kEmpresa); }
    run::RunContext& ctx() { return fixture_.ctx(); }
    std::vector<std::string> Entradas() const { return fixture_.Entradas(); }
    // True when `sql` was sent (executed or opened) on the connection.
    bool Enviada(const std::string& sql) const;
    // The position of `sql` among the texts sent; -1 when it was not sent.
    int Posicion(const std::string& sql) const;

    test_support::RunFixture fixture_;
    ScriptedConnection conn_{"Empresa_0001"};
};

}  // namespace parties_test
