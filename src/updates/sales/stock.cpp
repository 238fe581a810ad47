#include "updates/sales/stock.h"

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::sales {

using familias::Ampliacion;
using familias::Columna;
using familias::FamiliaAnual;
using familias::PasoTabla;

namespace {

using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kConsultaStock =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____CSTOCK' and "
    "table_type='BASE TABLE '";

constexpr std::string_view kConsultaMovimientos =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____MOVIALMACEN' "
    "and table_type='BASE TABLE '";

// The stock key's new columns; a table that gains any of them has its key rebuilt.
constexpr DefinicionCampo kCamposClaveStock[] = {
    {"CSTOCKTALLA", "VARCHAR", 5, false, "'00000'"},
    {"CSTOCKCOLOR", "VARCHAR", 5, false, "'00000'"},
    {"CSTOCKLOTE", "VARCHAR", 50, false, "'0000000000'"},
};

constexpr PasoTabla kPasosMovimientos[] = {
    Ampliacion("ARTICULO", "<= 10", "varchar(20)"),
    Columna({"TALLA", "varchar", 5, true, "'00000'"}),
    Columna({"COLOR", "varchar", 5, true, "'00000'"},
            familias::Consecuencia::ReparaDefectoSiExistia),
};

constexpr DefinicionCampo kCampoLote = {"LOTE", "VARCHAR", 50, false, "'0000000000'"};

void ActualizarTablaStock(run::RunContext& ctx, db::Connection& Conexion,
                          const std::string& tabla) {
    schema::Ampliar(Conexion, tabla, "CSTOCKARTICULO", "<= 10", "varchar(20)");
    // The key is rebuilt by the run that adds any of its new columns.
    bool falta = false;
    for (const DefinicionCampo& d : kCamposClaveStock)
        falta = falta || schema::FaltaColumna(ctx, tabla, d.campo);
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(tabla, "CSTOCKINDICENUM"), falta,
        [&] {
            return schema::CrearCampos(ctx, Conexion, tabla, kCamposClaveStock).empty()
                       ? ResultadoCampo::YaExistia
                       : ResultadoCampo::Creado;
        },
        [&] {
            const std::string prefijo = PrefijoVistasStock(tabla);
            schema::SentenciaSimple(Conexion,
                                    schema::Unir({"drop index ", tabla, ".CSTOCKINDICENUM"}));
            schema::SentenciaSimple(
                Conexion, schema::Unir({"Create unique index CSTOCKINDICENUM on ", tabla,
                                        " (CSTOCKARTICULO, CSTOCKALMACEN, CSTOCKTALLA, "
                                        "CSTOCKCOLOR, CSTOCKLOTE)"}));
            schema::SentenciaSimple(Conexion,
                                    schema::Unir({"DROP VIEW ", prefijo, "MOVIMIENTOSSTOCK"}));
            schema::SentenciaSimple(Conexion, schema::Unir({"DROP VIEW ", prefijo, "AGRUPASTOCK"}));
        });
}

}  // namespace

const schema::ReparacionDefecto kReparacionColorMovimientos = {"Color", "COLOR"};

const FamiliaAnual kMovimientosAlmacen = {
    .consulta = kConsultaMovimientos,
    .pasos = kPasosMovimientos,
    .reparacion = &kReparacionColorMovimientos,
};

std::string PrefijoVistasStock(std::string_view tabla) {
    std::string_view prefijo = tabla.substr(0, 5);
    while (!prefijo.empty() && prefijo.front() == ' ')
        prefijo.remove_prefix(1);
    while (!prefijo.empty() && prefijo.back() == ' ')
        prefijo.remove_suffix(1);
    return std::string(prefijo);
}

void ActualizaCStock(run::RunContext& ctx, db::Connection& Conexion) {
    schema::RecorrerFamilia(ctx, Conexion, kConsultaStock, [&](const std::string& tabla) {
        ActualizarTablaStock(ctx, Conexion, tabla);
    });
}

void ActualizaMovimientosAlmacen(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura movimientos de almacen en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kMovimientosAlmacen,
                                schema::BombeoEventos::TrasCadaTabla);
}

void ActualizaCaducidades(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura caducidades en la empresa");
    schema::RecorrerFamilia(
        ctx, Conexion, kConsultaMovimientos,
        [&](const std::string& tabla) {
            schema::Ampliar(Conexion, tabla, "articuloex", "<= 10", "varchar(20)");
            schema::CrearCampoConPaso(ctx, Conexion, tabla, kCampoLote, [&] {
                schema::SentenciaSimple(Conexion, schema::Unir({"DROP VIEW ", tabla, "TRI"}));
            });
        },
        schema::BombeoEventos::AlTerminar);
}

void AmpliaCodPostalAlmacen(run::RunContext&, db::Connection& Conexion) {
    schema::Ampliar(Conexion, "ALMACEN", "ALMCODPOSTAL", "<10", "varchar(10)");
}

}  // namespace updates::sales
