#include "updates/sales/sales_test.h"

namespace sales_test {

using test_support::EmbeddedServer;

const std::string kClientes =
    "CREATE TABLE CLIENTESTABLA (Clicodigo varchar(10) NOT NULL, TipoClienteCodigo varchar(4)); "
    "INSERT INTO CLIENTESTABLA VALUES ('000001','MAY'),('000002','MIN')";

std::string CabeceraDocumento(const std::string& tabla, const std::string& p, int cpostal,
                              int direccionEnvio) {
    return "CREATE TABLE " + tabla + " (" + p + "Numero int NOT NULL, " + p +
           "Numcli varchar(10), " + p + "Nombrecli varchar(60), " + p +
           "CampoLibreTexto1 varchar(30), " + p + "CampoLibreTexto2 varchar(50), " + p +
           "CampoLibreTexto3 varchar(30), " + p + "CampoLibreTexto4 varchar(30), " + p +
           "CampoLibreTexto5 varchar(30), " + p + "NifCliente varchar(12), " + p +
           "Numerosudocu varchar(20), " + p + "Domiciliocli varchar(60), " + p +
           "DireccionEnvio varchar(" + std::to_string(direccionEnvio) + "), " + p +
           "Cpostalcli varchar(" + std::to_string(cpostal) + "), " + p + "ENTIDAD varchar(4), " +
           p + "SUCURSAL varchar(4), " + p + "DIGITO varchar(2), " + p + "CC varchar(10)); " +
           "INSERT INTO " + tabla + " (" + p + "Numero, " + p + "Numcli, " + p + "ENTIDAD, " + p +
           "SUCURSAL, " + p + "DIGITO, " + p +
           "CC) VALUES "
           "(1,'000001','0049','1500','31','0123456789'),"
           "(2,'000002','21','38','5','123'),"
           "(3,'999999','3025','0001','10','0000012345'),"
           "(4,'000001','','1500','31','0123456789'),"
           "(5,'000002','0049',NULL,'31','0123456789')";
}

SalesTest::SalesTest() {
    fixture_.EmpresaActual("0001");
}

void SalesTest::Empresa(const std::vector<std::string>& lotes) {
    servidor_->CrearBaseDatos("Empresa_0001", lotes);
    conexion_ = servidor_->Conectar("Empresa_0001");
    ASSERT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
    traza_.Clear();
}

Filas SalesTest::Consulta(std::string_view sql) const {
    // What the test reads is no part of what the routine sent.
    test_support::ScopedEnv sinTraza("ACTUALIZA_TRACE", "");
    auto lectura = servidor_->Conectar("Empresa_0001");
    return EmbeddedServer::Filas(*lectura, sql);
}

std::string SalesTest::Valor(std::string_view sql) const {
    const Filas filas = Consulta(sql);
    if (filas.empty() || filas.front().empty()) return "";
    return filas.front().front();
}

std::string SalesTest::Columna(const std::string& tabla, const std::string& columna) const {
    const Filas filas = Consulta(
        "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT FROM "
        "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
        tabla + "' AND COLUMN_NAME='" + columna + "'");
    if (filas.empty()) return "";
    const std::vector<std::string>& f = filas.front();
    return f[0] + " " + f[1] + " " + f[2] + " " + f[3];
}

std::vector<std::string> SalesTest::Columnas(const std::string& tabla) const {
    std::vector<std::string> nombres;
    for (const auto& fila : Consulta("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                                     "TABLE_NAME='" +
                                     tabla + "' ORDER BY ORDINAL_POSITION"))
        nombres.push_back(fila.front());
    return nombres;
}

std::pair<std::string, std::string> SalesTest::Defecto(const std::string& tabla,
                                                       const std::string& columna) const {
    const Filas filas = Consulta(
        "SELECT o.name, m.text FROM syscolumns c INNER JOIN sysobjects o ON c.cdefault = o.id "
        "INNER JOIN syscomments m ON m.id = o.id WHERE c.id = OBJECT_ID('" +
        tabla + "') AND c.name = '" + columna + "'");
    if (filas.empty()) return {"", ""};
    return {filas.front()[0], filas.front()[1]};
}

bool SalesTest::ExisteVista(const std::string& vista) const {
    return !Consulta("SELECT name FROM sysobjects WHERE xtype='V' AND name='" + vista + "'")
                .empty();
}

bool SalesTest::ExisteTabla(const std::string& tabla) const {
    return !Consulta("SELECT name FROM sysobjects WHERE xtype='U' AND name='" + tabla + "'")
                .empty();
}

std::string SalesTest::ColumnasIndice(const std::string& tabla, const std::string& indice) const {
    const Filas filas = Consulta(
        "SELECT c.name FROM sysindexes i INNER JOIN sysindexkeys k ON k.id = i.id AND k.indid = "
        "i.indid INNER JOIN syscolumns c ON c.id = k.id AND c.colid = k.colid WHERE i.id = "
        "OBJECT_ID('" +
        tabla + "') AND i.name = '" + indice + "' ORDER BY k.keyno");
    std::string columnas;
    for (const auto& fila : filas) {
        if (!columnas.empty()) columnas += ",";
        columnas += fila.front();
    }
    return columnas;
}

std::vector<std::string> SalesTest::Enviadas() const {
    std::vector<std::string> textos;
    for (const db::trace::Record& registro : traza_.Records())
        if (registro.kind == "execute" || registro.kind == "open")
            textos.push_back(registro.statement);
    return textos;
}

}  // namespace sales_test
