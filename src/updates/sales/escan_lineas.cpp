#include "updates/sales/escan_lineas.h"

#include <memory>

#include "schema/cleanup.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::sales {
namespace {

using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kTabla = "ESCANLINEAS";

constexpr std::string_view kAmpliacionArticulo =
    "if COL_LENGTH ('ESCANLINEAS','ESCANLINEACODART') <= 10 alter table ESCANLINEAS  alter column "
    "ESCANLINEACODART varchar(20)";

constexpr DefinicionCampo kCamposMedidas[] = {
    {"ESCANLARGO", "FLOAT", {}, false, "0"},      {"ESCANANCHO", "FLOAT", {}, false, "0"},
    {"ESCANGRUESO", "FLOAT", {}, false, "0"},     {"ESCANUNIDADMEDIDA", "FLOAT", {}, false, "0"},
    {"ESCANUNIDADREAL", "FLOAT", {}, false, "0"}, {"ESCANVOLUMEN", "FLOAT", {}, false, "0"},
    {"ESCANACTIVO", "varchar", 35, false, "''"},  {"ESCANDETALLE", "TEXT", {}, false, ""},
};
constexpr DefinicionCampo kCampoUnidadFija = {"ESCANLINEAUNIDADFIJA", "FLOAT", {}, false, "0"};
constexpr DefinicionCampo kCampoNumeroLinea = {"ESCANNUMLINEA", "bigint", {}, false, "0"};

constexpr std::string_view kConsultaLineas =
    "Select * from escanlineas order by ESCANLINEACODIGO,ESCANLINEACODART";

}  // namespace

Renumeracion RenumeraEscanLineas(run::RunContext&, db::Connection& Conexion) {
    Renumeracion renumeracion;
    Conexion.clearError();
    std::unique_ptr<db::Recordset> lineas =
        Conexion.openRecordset(kConsultaLineas, db::CursorType::Static, db::LockType::Optimistic);
    if (lineas == nullptr || Conexion.hasError()) return renumeracion;
    renumeracion.abierta = true;

    // Only the counts read a save's outcome: the driver may send the lines in batches.
    lineas->deferUpdates([&renumeracion](const db::Status& guardada) {
        if (guardada) {
            ++renumeracion.numeradas;
        } else {
            ++renumeracion.rechazadas;
        }
    });
    while (!lineas->eof()) {
        // NULL equals NULL here: lines without a document form one group of their own.
        const db::Variant documento = lineas->value("ESCANLINEACODIGO");
        long numero = 0;
        while (!lineas->eof() && lineas->value("ESCANLINEACODIGO") == documento) {
            ++numero;
            Conexion.clearError();
            lineas->setValue("ESCANNUMLINEA", db::Variant::integer(numero));
            if (!lineas->update()) lineas->cancelUpdate();
            if (!lineas->moveNext()) break;
        }
    }
    lineas->close();
    return renumeracion;
}

void ActualizaEscanLineas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura ESCANLINEAS en la empresa");
    schema::SentenciaSimple(Conexion, kAmpliacionArticulo);
    schema::CrearCampos(ctx, Conexion, kTabla, kCamposMedidas);
    schema::CrearCampoConPaso(ctx, Conexion, kTabla, kCampoUnidadFija,
                              [&] { schema::EliminarVistasMovimientosStock(Conexion); });

    // The numbering and the new unique key are built once, in the run that adds the number,
    // and the numbers are in place before the index that relies on them is created.
    schema::CrearCampoConPaso(ctx, Conexion, kTabla, kCampoNumeroLinea, [&] {
        RenumeraEscanLineas(ctx, Conexion);
        schema::SentenciaSimple(Conexion, "drop index ESCANLINEAS.ESCANLINEAINDICENUM");
        schema::SentenciaSimple(Conexion,
                                "CREATE UNIQUE INDEX ESCANLINEAINDICENUM ON ESCANLINEAS "
                                "(ESCANLINEACODIGO,ESCANNUMLINEA)");
    });
}

}  // namespace updates::sales
