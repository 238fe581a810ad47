#include "schema/properties.h"

#include "schema/catalogue_probes.h"
#include "schema/pasos_pendientes.h"
#include "schema/sql_text.h"

namespace schema {

namespace {

std::string ConsultaCentral(std::string_view Objeto, std::string_view Propiedad) {
    return "SELECT * FROM PROPIEDADES WHERE OBJETO='" + DuplicarComillas(Objeto) +
           "' AND NOMBRE='" + DuplicarComillas(Propiedad) + "'";
}

std::string ConsultaEmpresa(std::string_view Propiedad) {
    return "SELECT * FROM PROPIEDADES WHERE NOMBRE='" + DuplicarComillas(Propiedad) + "'";
}

db::Variant Texto(std::string_view texto) {
    return db::Variant::text(std::string(texto));
}

// Opens `consulta` as an updatable set; on an empty set adds a row whose key columns are
// `claves`; sets VALOR and saves. A failed save is cancelled and answers false.
bool Guardar(db::Connection& Conexion, const std::string& consulta,
             std::initializer_list<std::pair<std::string_view, std::string_view>> claves,
             std::string_view Valor) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(consulta, db::CursorType::Dynamic, db::LockType::Optimistic);
    if (!rs) return false;
    bool preparado = true;
    if (rs->bof() && rs->eof()) {
        preparado = rs->addNew().ok();
        for (const auto& [columna, valor] : claves) {
            if (preparado) preparado = rs->setValue(columna, Texto(valor)).ok();
        }
    }
    if (preparado) preparado = rs->setValue("VALOR", Texto(Valor)).ok();
    Conexion.clearError();
    const bool guardado = preparado && rs->update().ok();
    if (!guardado) rs->cancelUpdate();
    rs->close();
    return guardado;
}

std::string Leer(db::Connection& Conexion, const std::string& consulta) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(consulta, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return "";
    std::string valor;
    if (!rs->bof() && !rs->eof()) valor = rs->value("VALOR").toText();
    rs->close();
    return valor;
}

}  // namespace

bool GuardarPropiedad(db::Connection& Conexion, std::string_view Objeto, std::string_view Propiedad,
                      std::string_view Valor) {
    return Guardar(Conexion, ConsultaCentral(Objeto, Propiedad),
                   {{"OBJETO", Objeto}, {"NOMBRE", Propiedad}}, Valor);
}

std::string LeerPropiedad(db::Connection& Conexion, std::string_view Objeto,
                          std::string_view Propiedad) {
    return Leer(Conexion, ConsultaCentral(Objeto, Propiedad));
}

bool GuardarPropiedadEmpresa(db::Connection& Conexion, std::string_view Propiedad,
                             std::string_view Valor) {
    return Guardar(Conexion, ConsultaEmpresa(Propiedad), {{"NOMBRE", Propiedad}}, Valor);
}

std::string LeerPropiedadEmpresa(db::Connection& Conexion, std::string_view Propiedad) {
    return Leer(Conexion, ConsultaEmpresa(Propiedad));
}

void CrearPropiedades(db::Connection& Conexion) {
    Conexion.execute(
        "CREATE TABLE PROPIEDADES("
        "OBJETO VARCHAR(128) NOT NULL DEFAULT(''), NOMBRE VARCHAR(128) NOT NULL "
        "DEFAULT(''),VALOR VARCHAR(128) NOT NULL DEFAULT(''))");
    Conexion.execute("CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (OBJETO,NOMBRE)");
}

void CrearPropiedadesEmpresa(db::Connection& Conexion) {
    Conexion.execute(
        "CREATE TABLE PROPIEDADES("
        "NOMBRE VARCHAR(128) NOT NULL DEFAULT(''),VALOR VARCHAR(128) NOT NULL DEFAULT(''))");
    Conexion.execute("CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (NOMBRE)");
}

void MigrarPropiedadesExtendidas(run::RunContext& ctx, db::Connection& Conexion) {
    Conexion.clearError();
    auto tablas = Conexion.openRecordset(
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'PROPIEDADES' "
        "and table_type='BASE TABLE '",
        db::CursorType::Static, db::LockType::ReadOnly);
    if (!tablas) return;
    bool crear = false;
    if (tablas->bof() && tablas->eof()) {
        crear = true;
    } else {
        // An empty table (one that CrearPropiedadesEmpresa made) still gets the copy, once.
        auto cuenta = Conexion.openRecordset("Select count(Nombre) from propiedades",
                                             db::CursorType::ForwardOnly, db::LockType::ReadOnly);
        if (cuenta) {
            if (!cuenta->eof()) {
                const db::Variant filas = cuenta->value(size_t{0});
                crear = filas.isNull() || filas.toNumber() == 0;
            }
            cuenta->close();
        }
    }
    const bool tablaNueva = tablas->bof() && tablas->eof();
    tablas->close();
    PasoPendiente copia(ctx, Conexion, ClavePaso("PROPIEDADES", "PROPIDX"));
    if (!crear && !copia.Heredado()) return;

    if (crear) {
        if (ctx.pasos.activos && (tablaNueva || !ExisteIndice("PROPIEDADES", "PROPIDX", Conexion)))
            copia.Marcar();
        Conexion.clearError();
        Conexion.execute("CREATE TABLE PROPIEDADES (NOMBRE varchar(128), VALOR varchar(128))");
        Conexion.clearError();
        // PROPIDX marks the migration as done: where it already exists the copy is not repeated
        // (unless an interrupted run created it and did not get as far as the copy).
        if (!Conexion.execute("CREATE UNIQUE INDEX PROPIDX ON PROPIEDADES (NOMBRE)").ok() &&
            !copia.Heredado()) {
            copia.Quitar();
            return;
        }
    }
    Conexion.execute("Grant all on propiedades to public");
    Conexion.execute(
        "insert into propiedades select name, cast(value as varchar(128)) FROM "
        "::fn_listextendedproperty(NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    Conexion.execute("EXEC sp_dropextendedproperty 'VERSION', NULL, NULL, NULL, NULL, NULL, NULL");
    copia.Quitar();
}

double VersionGuardada(db::Connection& Conexion, std::string_view Objeto) {
    return NumeroDeTexto(LeerPropiedad(Conexion, Objeto, kPropiedadVersion));
}

bool VersionPendiente(db::Connection& Conexion, std::string_view Objeto, double version) {
    return VersionGuardada(Conexion, Objeto) < version;
}

bool GuardarVersion(db::Connection& Conexion, std::string_view Objeto, std::string_view version) {
    return GuardarPropiedad(Conexion, Objeto, kPropiedadVersion, version);
}

}  // namespace schema
