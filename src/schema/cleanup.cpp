#include "schema/cleanup.h"

#include <string>

#include "run/update_log.h"
#include "schema/statements.h"

namespace schema {

namespace {

// Calls `accion` with the text of column `columna` of each row of `consulta` (forward-only,
// read-only); nothing when it does not open.
template <typename Accion>
void PorCadaFila(db::Connection& Conexion, std::string_view consulta, std::string_view columna,
                 Accion accion) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(consulta, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return;
    while (!rs->eof()) {
        accion(rs->text(columna));
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
}

}  // namespace

void EliminarTablasTemporales(run::RunContext& ctx, db::Connection& Conexion) {
    ctx.EscribirLog(kProcedimientoFormActivate, "Comenzando eliminación tablas temporales", "",
                    run::kNivelInformacion);
    Conexion.clearError();
    auto rs = Conexion.openRecordset(
        "SELECT '[' +user_name(uid)+'].[' +NAME + ']' AS NOMBRE FROM SYSOBJECTS WHERE XTYPE='U' "
        "AND NAME like 'TEMP[0-9][0-9][0-9][0-9]%'",
        db::CursorType::Static, db::LockType::ReadOnly);
    if (!rs) return;
    if (!(rs->bof() && rs->eof())) ctx.progress.SetMaximum(static_cast<int>(rs->recordCount()));
    int posicion = 0;
    while (!rs->eof()) {
        Conexion.clearError();
        Conexion.execute("DROP TABLE " + rs->text("NOMBRE"));
        ctx.progress.SetValue(++posicion);
        ctx.ProcessPendingEvents();
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
}

void EliminarVistasMovimientosStock(db::Connection& Conexion) {
    PorCadaFila(Conexion,
                "Select name from sysobjects where xtype='V' and name like "
                "'E____MOVIMIENTOSSTOCK'",
                "name",
                [&](const std::string& vista) { Conexion.execute("DROP VIEW [" + vista + "]"); });
}

void EliminarVistasSinCantidad(db::Connection& Conexion) {
    PorCadaFila(Conexion,
                "Select Name from Sysobjects where xtype='V' and name like "
                "'E[0-9][0-9][0-9][0-9]Movimientosstock%'",
                "Name", [&](const std::string& vista) {
                    Conexion.clearError();
                    Conexion.execute("if (SELECT COL_LENGTH('" + vista +
                                     "','cantidad')) is null drop view " + vista);
                });
}

}  // namespace schema
