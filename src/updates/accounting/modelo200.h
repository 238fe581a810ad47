// The corporate income-tax return (forms 200 and 201) of a company database: the header
// MODELO200 and, per fiscal year, one table per page of the form (E____PAGINA2, 6, 8, 9, 10 and
// 11) whose columns are mostly the form's boxes.
//
// ActualizaPaginasModelo200 widens the header's activity code to 4, then walks the pages in the
// order 2, 6, 8, 9, 10, 11: it logs the page's start line, gives every year's table of the page
// its new boxes (money, nullable, default 0; two varchar(4) boxes on page 8), and on page 8
// turns the year boxes into varchar(4) holding four-digit years (00 to 04 become 2000 to 2004,
// any other two-digit year 19xx; other lengths are left alone) and casilla734 into varchar(4).
// A page whose listing query fails is logged as an error and the walk goes on with the next.
//
// Progress: after pages 2, 6, 8, 9 and 10 the bar advances by the company phase's progress step
// divided by 6 (rounded to the nearest, halves to even: 2 with the usual maximum of 1000); a
// company without page-6 tables advances 20 more.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaPaginasModelo200(run::RunContext& ctx, db::Connection& Conexion);

// What happens to one box of a page's table, in the page's order.
struct PasoPagina {
    enum class Accion {
        Importe,         // add as money, nullable, default 0
        Texto,           // add as varchar(4), not null, default ''
        ConversionAnio,  // varchar(4) and two-digit years to four digits
        CambioTipo,      // varchar(4) only
    };
    Accion accion;
    std::string_view casilla;
};

struct PaginaModelo200 {
    int numero;
    std::span<const PasoPagina> pasos;
};

// The pages in the order they are walked.
std::span<const PaginaModelo200> PaginasModelo200();

// The three statements that turn two-digit years of box `casilla` of `tabla` into four-digit
// years (the first alone is the type change).
std::vector<std::string> SentenciasConversionAnio(std::string_view tabla, std::string_view casilla);

}  // namespace updates::accounting
