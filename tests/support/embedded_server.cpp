#include "support/embedded_server.h"

#include <gtest/gtest.h>

#include "db/connect.h"

namespace test_support {

EmbeddedServer::EmbeddedServer() : servidor_((dir_.path() / "datos").string()) {
    std::filesystem::create_directories(servidor_);
}

void EmbeddedServer::CrearBaseDatos(const std::string& nombre,
                                    const std::vector<std::string>& lotes) {
    {
        auto master = Conectar("");
        ASSERT_TRUE(master->isOpen()) << master->lastError().description;
        Preparar(*master, "CREATE DATABASE " + nombre);
        master->close();
    }
    auto conexion = Conectar(nombre);
    ASSERT_TRUE(conexion->isOpen()) << conexion->lastError().description;
    for (const auto& lote : lotes)
        Preparar(*conexion, lote);
    conexion->close();
}

std::unique_ptr<db::Connection> EmbeddedServer::Conectar(const std::string& baseDatos) const {
    db::ConnectionSettings ajustes;
    ajustes.server = servidor_;
    ajustes.database = baseDatos;
    ajustes.integratedSecurity = true;
    return db::connect(ajustes);
}

void EmbeddedServer::Preparar(db::Connection& conexion, std::string_view lote) {
    conexion.clearError();
    const db::Status resultado = conexion.execute(lote);
    ASSERT_TRUE(resultado.ok()) << lote << "\n -> " << resultado.error().nativeError << " "
                                << resultado.error().description;
}

std::vector<std::vector<std::string>> EmbeddedServer::Filas(db::Connection& conexion,
                                                            std::string_view consulta) {
    std::vector<std::vector<std::string>> filas;
    conexion.clearError();
    auto rs = conexion.openRecordset(consulta, db::CursorType::Static, db::LockType::ReadOnly);
    EXPECT_TRUE(rs) << consulta << "\n -> " << conexion.lastError().description;
    if (!rs) return filas;
    while (!rs->eof()) {
        std::vector<std::string> fila;
        for (size_t i = 0; i < rs->fieldCount(); ++i) {
            const db::Variant v = rs->value(i);
            fila.push_back(v.isNull() ? "NULL" : v.toText());
        }
        filas.push_back(std::move(fila));
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
    return filas;
}

}  // namespace test_support
