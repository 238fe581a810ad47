// A server of the embedded engine for one test: a temporary data directory in which tests
// create databases (CREATE DATABASE through master) and open connections on them through the
// client layer's connect function, as the program does with a server path holding '/'.
//
// Setup statements go through Preparar, which fails the test (with the server's message)
// when a statement is refused, so that a broken fixture is never mistaken for a fault of the
// routine under test.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "support/run_fixture.h"

namespace test_support {

class EmbeddedServer {
  public:
    EmbeddedServer();

    // The server name as written on the command line: the data directory's path.
    const std::string& Servidor() const { return servidor_; }

    // Creates database `nombre` and runs each batch of `lotes` in it.
    void CrearBaseDatos(const std::string& nombre, const std::vector<std::string>& lotes = {});

    // A connection on `baseDatos` ("" = master); closed, with its error pending, when it
    // cannot be opened.
    std::unique_ptr<db::Connection> Conectar(const std::string& baseDatos) const;

    // Runs `lote` on `conexion`, failing the test if it is refused.
    static void Preparar(db::Connection& conexion, std::string_view lote);

    // The rows of `consulta` as text (NULL as "NULL"), failing the test when it is refused.
    static std::vector<std::vector<std::string>> Filas(db::Connection& conexion,
                                                       std::string_view consulta);

  private:
    TempDir dir_;
    std::string servidor_;
};

}  // namespace test_support
