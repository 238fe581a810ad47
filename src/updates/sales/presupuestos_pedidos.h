// The per-year quotation and customer order tables of a company database:
//
//   ActualizaPresupuestos        quotation headers E____PresupuestoTabla (widenings, status,
//                                outlays, internal matter, IBAN/BIC filled once for the years
//                                from 2013, contact, status code, customer type), then the
//                                signature tables of quotations and of orders
//   ActualizaLineasPresupuestos  quotation lines E____PresupuestoLineas
//   ActualizaPedidos             order headers E____PedidosTabla (the order signatures are
//                                ActualizaPresupuestos' work)
//   ActualizaLineasPedidos       order lines E____PedidosLineas
//
// The lines gain size, colour and lot columns without any default repair.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"
#include "updates/familias/familia_anual.h"

namespace updates::sales {

void ActualizaPresupuestos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasPresupuestos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaPedidos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasPedidos(run::RunContext& ctx, db::Connection& Conexion);

extern const familias::FamiliaAnual kPresupuestos;
extern const familias::FamiliaAnual kPresupuestosFirmas;
extern const familias::FamiliaAnual kPedidosFirmas;
extern const familias::FamiliaAnual kLineasPresupuestos;
extern const familias::FamiliaAnual kPedidos;
extern const familias::FamiliaAnual kLineasPedidos;

}  // namespace updates::sales
