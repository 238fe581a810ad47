// Fixtures of the purchase-document tests: a run on company 0001 of server "SRV" (or of the
// embedded server's data directory), a company database on the embedded engine built from
// the tables a test names, and readers of what the routines left: a column's definition as
// the catalogue reports it, the rows of a query, the entries of the log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace compras_test {

using Filas = std::vector<std::vector<std::string>>;

// The information line CrearCampo writes for an added column of company 0001.
std::string Creada(const std::string& columna, const std::string& servidor = "SRV");

// The start line of a routine of company 0001.
std::string Inicio(const std::string& mensaje, const std::string& servidor = "SRV");

// The listing query of family E____<nombre>.
std::string Listado(const std::string& nombre);

// Makes the family listing of `nombre` on `conn` return `tablas`.
void ConFamilia(test_support::ScriptedConnection& conn, const std::string& nombre,
                const std::vector<std::string>& tablas);

// Against a scripted server.
class ScriptedTest : public ::testing::Test {
  protected:
    ScriptedTest() { fixture_.EmpresaActual("0001"); }
    std::vector<std::string> Entries() const { return fixture_.Entradas(); }

    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    test_support::ScriptedConnection conn_{"Empresa_0001"};
};

// Against a company database of the embedded engine; the run's server is the data directory.
class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : fixture_(servidor_.Servidor()) { fixture_.EmpresaActual("0001"); }

    // Creates Empresa_0001 from `lotes` and connects to it.
    void Empresa(const std::vector<std::string>& lotes);

    // "type(length) NULL|NOT NULL default" of a column as INFORMATION_SCHEMA.COLUMNS reports it
    // (no length for types without one; "-" when there is no default); "absent" when the table
    // has no such column.
    std::string Columna(const std::string& tabla, const std::string& columna);
    // The name of the DEFAULT constraint bound to a column, "" when none.
    std::string Restriccion(const std::string& tabla, const std::string& columna);
    Filas Consulta(const std::string& sql);

    std::vector<std::string> Entries() const { return fixture_.Entradas(); }
    const std::string& Servidor() const { return servidor_.Servidor(); }

    test_support::EmbeddedServer servidor_;
    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    std::unique_ptr<db::Connection> conn_;
};

}  // namespace compras_test
