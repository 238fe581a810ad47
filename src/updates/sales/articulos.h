// The article master data of a company database and the article codes of the tables that
// refer to articles. Article codes grew from 10 to 20 characters: every table that stores one
// has a routine here that widens that column to varchar(20) when it is 10 characters or
// shorter (the per-year document and stock tables do it in their own routines).
//
//   ActualizaArticulos              ArticulosTabla: supplier name and description widened
//                                   (logged), article code widened, sizes-and-colours,
//                                   multi-VAT, per-rate base and point-of-sale price columns;
//                                   TIPOSGTS' article code; Provarticli's article description
//   ActualizaProvarticli            Provarticli: description and article code widened (logged)
//   ActualizaFamilias               FAMI: the obsolete mark
//   AmpliaArticuloTipoArticli       TIPOARTICLI
//   AmpliaArticuloReprenArticli     REPRENARTICLI
//   ActualizaEscanTabla             ESCANTABLA: article code widened; the six VAT-book columns
//                                   it took from the per-year VAT books (whose name pattern it
//                                   matches) are dropped
//   AmpliaArticuloColores           ARTICULOCOLORES
//   AmpliaArticuloCyC               ArticulosCyCTabla
//   AmpliaArticuloClientesCyC       clientescyctabla
//   AmpliaArticuloOfertas           ArticulosPorOferta
//   AmpliaArticuloPreciosIniciales  PRECIOSINIALESARTICULOS
//
// A logged widening writes "Campo C actualizado correctamente en la empresa ..." whenever its
// statement raised no error (also when the column was long enough already) and a level-1
// line "Actualizando campo C en la empresa..." with the server's message otherwise. Every
// other statement runs with its error ignored; CrearCampo logs the additions.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/column_creation.h"

namespace updates::sales {

void ActualizaArticulos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaProvarticli(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaFamilias(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloTipoArticli(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloReprenArticli(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaEscanTabla(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloColores(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloCyC(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloClientesCyC(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloOfertas(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaArticuloPreciosIniciales(run::RunContext& ctx, db::Connection& Conexion);

// The columns ActualizaArticulos adds, in order.
std::span<const schema::CampoDeTabla> CamposArticulos();

}  // namespace updates::sales
