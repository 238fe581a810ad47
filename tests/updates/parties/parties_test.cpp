#include "updates/parties/parties_test.h"

#include <algorithm>

namespace parties_test {

db::Connection& EngineTest::Empresa(const std::vector<std::string>& lotes) {
    servidor_.CrearBaseDatos("Empresa_0001", lotes);
    conexion_ = servidor_.Conectar("Empresa_0001");
    EXPECT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
    return *conexion_;
}

Filas EngineTest::Consulta(const std::string& sql) {
    return test_support::EmbeddedServer::Filas(*conexion_, sql);
}

void EngineTest::Ejecutar(const std::string& sql) {
    test_support::EmbeddedServer::Preparar(*conexion_, sql);
}

std::string EngineTest::Columna(const std::string& tabla, const std::string& columna) {
    const Filas filas = Consulta(
        "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT FROM "
        "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
        tabla + "' AND COLUMN_NAME='" + columna + "'");
    if (filas.size() != 1) return "";
    const std::vector<std::string>& f = filas.front();
    std::string texto = f[0];
    if (f[1] != "NULL" && f[0] != "text") texto += "(" + f[1] + ")";
    texto += f[2] == "YES" ? " NULL" : " NOT NULL";
    if (f[3] != "NULL") texto += " " + f[3];
    return texto;
}

int EngineTest::NumeroColumnas(const std::string& tabla) {
    const Filas filas = Consulta(
        "SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" + tabla + "'");
    return filas.empty() ? -1 : std::stoi(filas.front().front());
}

bool ScriptedTest::Enviada(const std::string& sql) const {
    return Posicion(sql) >= 0;
}

int ScriptedTest::Posicion(const std::string& sql) const {
    const auto& enviadas = conn_.Enviadas();
    const auto it = std::find(enviadas.begin(), enviadas.end(), sql);
    return it == enviadas.end() ? -1 : static_cast<int>(it - enviadas.begin());
}

}  // namespace parties_test
