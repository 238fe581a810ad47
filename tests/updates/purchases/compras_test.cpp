#include "updates/purchases/compras_test.h"

namespace compras_test {

std::string Creada(const std::string& columna, const std::string& servidor) {
    return "Información:  Campo " + columna +
           " actualizado correctamente en la empresa 0001 , "
           "servidor: " +
           servidor;
}

std::string Inicio(const std::string& mensaje, const std::string& servidor) {
    return "Información:  " + mensaje + "0001 , servidor: " + servidor;
}

std::string Listado(const std::string& nombre) {
    return "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____" +
           nombre + "' and table_type='BASE TABLE '";
}

void ConFamilia(test_support::ScriptedConnection& conn, const std::string& nombre,
                const std::vector<std::string>& tablas) {
    std::vector<std::vector<std::string>> filas;
    for (const std::string& t : tablas)
        filas.push_back({t});
    conn.Devuelve(Listado(nombre), test_support::Filas({"Table_Name"}, filas));
}

void EngineTest::Empresa(const std::vector<std::string>& lotes) {
    servidor_.CrearBaseDatos("Empresa_0001", lotes);
    conn_ = servidor_.Conectar("Empresa_0001");
    ASSERT_TRUE(conn_->isOpen()) << conn_->lastError().description;
}

std::string EngineTest::Columna(const std::string& tabla, const std::string& columna) {
    const Filas filas = Consulta(
        "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT FROM "
        "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
        tabla + "' AND COLUMN_NAME='" + columna + "'");
    if (filas.empty()) return "absent";
    const std::vector<std::string>& f = filas.front();
    std::string texto = f[0];
    if (f[0] == "varchar" || f[0] == "char" || f[0] == "nvarchar") texto += "(" + f[1] + ")";
    texto += f[2] == "YES" ? " NULL " : " NOT NULL ";
    texto += f[3] == "NULL" ? "-" : f[3];
    return texto;
}

std::string EngineTest::Restriccion(const std::string& tabla, const std::string& columna) {
    const Filas filas = Consulta(
        "SELECT o.name FROM syscolumns c INNER JOIN sysobjects o ON c.cdefault = o.id WHERE "
        "c.id = OBJECT_ID('" +
        tabla + "') AND c.name = '" + columna + "'");
    return filas.empty() ? "" : filas.front().front();
}

Filas EngineTest::Consulta(const std::string& sql) {
    return test_support::EmbeddedServer::Filas(*conn_, sql);
}

}  // namespace compras_test
