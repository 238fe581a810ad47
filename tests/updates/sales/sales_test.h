// A fixture for the tests of the sales, article and stock routines on the embedded engine: a
// run context whose current company is 0001 on server "SRV", a server with one company
// database built by the test, the statement trace, and readers of what the routines left in
// the catalogue (column types, defaults and their constraint names, indexes, views) and in the
// update log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/statement_trace.h"

namespace sales_test {

using Filas = std::vector<std::vector<std::string>>;

// The customers of the customer-type fill: 000001 'MAY', 000002 'MIN' (no 999999).
extern const std::string kClientes;

// A document header table of the old release with prefix `p` ("FACTURA", "PRECOM", ...):
// number, customer, name, the five free texts, tax id, their document number, address,
// delivery address, postal code (`cpostal` long) and the four account parts; five rows:
//   1 customer 000001, account 0049 1500 31 0123456789   (IBAN ES25)
//   2 customer 000002, account 21 38 5 123               (00210038050000000123, IBAN ES13)
//   3 customer 999999, account 3025 0001 10 0000012345   (IBAN ES64)
//   4 customer 000001, empty entity
//   5 customer 000002, NULL branch
std::string CabeceraDocumento(const std::string& tabla, const std::string& p, int cpostal = 8,
                              int direccionEnvio = 60);

class SalesTest : public ::testing::Test {
  protected:
    SalesTest();

    // Creates Empresa_0001 with `lotes` and opens the routines' connection on it.
    void Empresa(const std::vector<std::string>& lotes);
    // Starts again on a new, empty server (for tests that build several databases in turn).
    void NuevoServidor() {
        conexion_.reset();
        servidor_ = std::make_unique<test_support::EmbeddedServer>();
    }

    Filas Consulta(std::string_view sql) const;
    // One value of a query (the first column of its first row).
    std::string Valor(std::string_view sql) const;

    // "type length nullable default" of a column as INFORMATION_SCHEMA.COLUMNS tells it, such
    // as "varchar 5 NO ('00000')" or "float NULL YES NULL"; "" when the column is missing.
    std::string Columna(const std::string& tabla, const std::string& columna) const;
    // The columns of a table in their order.
    std::vector<std::string> Columnas(const std::string& tabla) const;
    // The name and text of the default bound to a column; {"", ""} when there is none.
    std::pair<std::string, std::string> Defecto(const std::string& tabla,
                                                const std::string& columna) const;
    bool ExisteVista(const std::string& vista) const;
    bool ExisteTabla(const std::string& tabla) const;
    // The key columns of an index, in order, joined by ","; "" when the index is missing.
    std::string ColumnasIndice(const std::string& tabla, const std::string& indice) const;

    // Log entries, as composed by the routines.
    std::vector<std::string> Entradas() const { return fixture_.Entradas(); }
    static std::string Info(const std::string& mensaje) { return "Información:  " + mensaje; }
    // The information line of CrearCampo for a column added in company 0001.
    static std::string Creado(const std::string& columna) {
        return Info("Campo " + columna +
                    " actualizado correctamente en la empresa 0001 , "
                    "servidor: SRV");
    }
    // Statement texts sent since the trace was cleared (executes and opens).
    std::vector<std::string> Enviadas() const;

    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    std::unique_ptr<test_support::EmbeddedServer> servidor_ =
        std::make_unique<test_support::EmbeddedServer>();
    test_support::StatementTrace traza_;
    std::unique_ptr<db::Connection> conexion_;
};

}  // namespace sales_test
