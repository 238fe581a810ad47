#include "refdata/datos_base.h"

#include <memory>
#include <string_view>

#include "db/text_util.h"
#include "refdata/archivo_datos_base.h"
#include "schema/properties.h"

namespace refdata {
namespace {

// SQL Server's native error for dropping a table that does not exist.
constexpr int kErrorTablaInexistente = 3701;

constexpr std::string_view kAccionBorrar = "BORRAR";
constexpr std::string_view kAccionVaciar = "VACIAR";

// One row of the control table.
struct TablaControlada {
    std::string origen;   // table in the file
    std::string destino;  // table in SQL Server
    std::string accion;
    std::string filtro;
    double version = 0;
    std::string textoVersion;  // the version as stored in PROPIEDADES
};

TablaControlada LeerFilaControl(const db::Recordset& control) {
    TablaControlada tabla;
    tabla.origen = control.text("Tabla");
    tabla.accion = control.text("ActAccion");
    tabla.filtro = control.text("ActFiltro");
    tabla.version = control.number("valor");
    tabla.textoVersion = db::formatDouble(tabla.version);
    const std::string tablaSql = control.text("TablaSql");
    tabla.destino = tablaSql.empty() ? tabla.origen : tablaSql;
    return tabla;
}

std::string ConFiltro(std::string sentencia, const std::string& filtro) {
    if (!filtro.empty()) sentencia += " WHERE " + filtro;
    return sentencia;
}

// Adds each source row to the target set, column by column under the same names; a column the
// target lacks is skipped, and a row the server refuses is cancelled.
void CopiarFilas(run::RunContext& ctx, db::Connection& Conexion, db::Recordset& origen,
                 db::Recordset& destino) {
    while (!origen.eof()) {
        ctx.ProcessPendingEvents();
        destino.addNew();
        for (std::size_t columna = 0; columna < origen.fieldCount(); ++columna) {
            destino.setValue(origen.field(columna).name, origen.value(columna));
        }
        Conexion.clearError();
        if (!destino.update()) destino.cancelUpdate();
        if (!origen.moveNext()) break;
    }
    Conexion.clearError();
}

// BORRAR: true when the target's rows were replaced (some rows may have been refused).
bool ReemplazarFilas(run::RunContext& ctx, db::Connection& Conexion, db::Connection& archivo,
                     const TablaControlada& tabla) {
    // The file's rows are read before anything is deleted: a file that cannot give them leaves
    // the target untouched.
    archivo.clearError();
    std::unique_ptr<db::Recordset> origen =
        archivo.openRecordset(ConFiltro("SELECT * FROM " + tabla.origen, tabla.filtro),
                              db::CursorType::Static, db::LockType::ReadOnly);
    const bool origenLeido = origen != nullptr && !archivo.hasError();
    archivo.clearError();
    if (!origenLeido) return false;

    Conexion.clearError();
    const bool enTransaccion = Conexion.beginTransaction().ok();
    Conexion.clearError();

    bool hecho = Conexion.execute(ConFiltro("DELETE FROM " + tabla.destino, tabla.filtro)).ok();
    if (hecho) {
        Conexion.clearError();
        std::unique_ptr<db::Recordset> destino = Conexion.openRecordset(
            "SELECT * FROM " + tabla.destino, db::CursorType::Dynamic, db::LockType::Optimistic);
        hecho = destino != nullptr && !Conexion.hasError();
        if (hecho) {
            CopiarFilas(ctx, Conexion, *origen, *destino);
            destino->close();
        }
    }
    origen->close();

    if (enTransaccion) {
        if (hecho) {
            hecho = Conexion.commitTransaction().ok();
            if (!hecho) Conexion.rollbackTransaction();
        } else {
            Conexion.rollbackTransaction();
        }
    }
    Conexion.clearError();
    return hecho;
}

// VACIAR: true when the target table is gone.
bool EliminarTabla(db::Connection& Conexion, const TablaControlada& tabla) {
    Conexion.clearError();
    const db::Status estado = Conexion.execute("DROP TABLE " + tabla.destino);
    Conexion.clearError();
    return estado.ok() || estado.error().nativeError == kErrorTablaInexistente;
}

void SincronizarTabla(run::RunContext& ctx, db::Connection& Conexion, db::Connection& archivo,
                      const TablaControlada& tabla) {
    if (!schema::VersionPendiente(Conexion, tabla.destino, tabla.version)) return;
    bool hecho = true;  // any other action only records the version
    if (tabla.accion == kAccionVaciar) {
        hecho = EliminarTabla(Conexion, tabla);
    } else if (tabla.accion == kAccionBorrar) {
        hecho = ReemplazarFilas(ctx, Conexion, archivo, tabla);
    }
    if (hecho) schema::GuardarVersion(Conexion, tabla.destino, tabla.textoVersion);
}

}  // namespace

void SincronizarDatosBase(run::RunContext& ctx, db::Connection& Conexion, db::Connection& archivo) {
    const std::string tablaControl =
        db::equalsIgnoreCase(Conexion.currentDatabase(), "VARDEX") ? "Versiones" : "VersionesEmp";
    archivo.clearError();
    std::unique_ptr<db::Recordset> control =
        archivo.openRecordset("select * from " + tablaControl + " where nombre='VERSION'",
                              db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (control == nullptr || archivo.hasError()) return;

    while (!control->eof()) {
        SincronizarTabla(ctx, Conexion, archivo, LeerFilaControl(*control));
        if (!control->moveNext()) break;
    }
    control->close();
    archivo.clearError();
    Conexion.clearError();
}

void SincronizarDatosBase(run::RunContext& ctx, db::Connection& Conexion) {
    std::unique_ptr<db::Connection> archivo = AbrirDatosBase(ctx);
    if (archivo == nullptr) return;
    SincronizarDatosBase(ctx, Conexion, *archivo);
    archivo->close();
}

}  // namespace refdata
