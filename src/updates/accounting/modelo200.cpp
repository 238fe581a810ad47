#include "updates/accounting/modelo200.h"

#include "run/progress.h"
#include "run/update_log.h"
#include "schema/column_creation.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::accounting {
namespace {

using Accion = PasoPagina::Accion;
using schema::Unir;

constexpr PasoPagina M(std::string_view casilla) {
    return {Accion::Importe, casilla};
}
constexpr PasoPagina V(std::string_view casilla) {
    return {Accion::Texto, casilla};
}
constexpr PasoPagina A(std::string_view casilla) {
    return {Accion::ConversionAnio, casilla};
}
constexpr PasoPagina T(std::string_view casilla) {
    return {Accion::CambioTipo, casilla};
}

constexpr PasoPagina kPagina2[] = {M("PORPARTICIPACIONES"), M("PORPARTICIPACIONESESP")};

constexpr PasoPagina kPagina6[] = {M("Casilla699"), M("Casilla700")};

constexpr PasoPagina kPagina8[] = {
    M("Casilla275"), M("Casilla276"), M("Casilla277"), V("Casilla274"), A("Casilla725"),
    A("Casilla726"), A("Casilla727"), A("Casilla728"), A("Casilla729"), A("Casilla730"),
    A("Casilla731"), A("Casilla732"), A("Casilla733"), M("Casilla279"), M("Casilla280"),
    M("Casilla281"), V("Casilla278"), A("Casilla735"), A("Casilla736"), A("Casilla737"),
    A("Casilla738"), A("Casilla739"), A("Casilla740"), A("Casilla741"), M("Casilla282"),
    M("Casilla283"), M("Casilla284"), M("Casilla285"), M("Casilla286"), M("Casilla287"),
    M("Casilla607"), M("Casilla608"), M("Casilla609"), M("Casilla610"), M("Casilla184"),
    M("Casilla587"), M("Casilla515"), M("Casilla900"), M("Casilla825"), M("Casilla826"),
    M("Casilla827"), M("Casilla057"), M("Casilla058"), M("Casilla059"), M("Casilla099"),
    M("Casilla100"), M("Casilla071"), M("Casilla187"), M("Casilla001"), M("Casilla002"),
    M("Casilla003"), M("Casilla012"), M("Casilla013"), M("Casilla014"), M("Casilla015"),
    M("Casilla016"), M("Casilla017"), M("Casilla018"), M("Casilla019"), M("Casilla020"),
    M("Casilla021"), M("Casilla025"), M("Casilla026"), M("Casilla027"), M("Casilla028"),
    M("Casilla029"), M("Casilla030"), T("casilla734"),
};

constexpr PasoPagina kPagina9[] = {
    M("Casilla288"), M("Casilla289"), M("Casilla290"), M("Casilla291"), M("Casilla292"),
    M("Casilla293"), M("Casilla990"), M("Casilla991"), M("Casilla992"), M("Casilla993"),
    M("Casilla994"), M("Casilla995"), M("Casilla996"), M("Casilla997"), M("Casilla998"),
    M("Casilla294"), M("Casilla295"), M("Casilla296"), M("Casilla974"), M("Casilla297"),
    M("Casilla298"), M("Casilla299"), M("Casilla466"), M("Casilla469"), M("Casilla472"),
    M("Casilla479"), M("Casilla063"), M("Casilla066"), M("Casilla467"), M("Casilla470"),
    M("Casilla473"), M("Casilla480"), M("Casilla064"), M("Casilla074"), M("Casilla468"),
    M("Casilla471"), M("Casilla478"), M("Casilla481"), M("Casilla065"), M("Casilla084"),
    M("Casilla090"), M("Casilla091"), M("Casilla092"), M("Casilla004"), M("Casilla005"),
    M("Casilla006"), M("Casilla061"), M("Casilla498"), M("Casilla586"), M("Casilla007"),
    M("Casilla633"), M("Casilla067"), M("Casilla068"), M("Casilla069"), M("Casilla070"),
    M("Casilla093"), M("Casilla008"), M("Casilla009"), M("Casilla010"), M("Casilla030"),
    M("Casilla031"), M("Casilla032"), M("Casilla033"), M("Casilla034"), M("Casilla035"),
    M("Casilla036"), M("Casilla040"), M("Casilla041"), M("Casilla042"),
};

constexpr PasoPagina kPagina10[] = {
    M("Casilla191"), M("Casilla192"), M("Casilla193"), M("Casilla613"),
    M("Casilla614"), M("Casilla701"), M("Casilla200"), M("Casilla257"),
    M("Casilla011"), M("Casilla037"), M("Casilla038"), M("Casilla039"),
};

constexpr PasoPagina kPagina11[] = {M("Casilla056")};

constexpr PaginaModelo200 kPaginas[] = {
    {2, kPagina2}, {6, kPagina6}, {8, kPagina8}, {9, kPagina9}, {10, kPagina10}, {11, kPagina11},
};

// Pages the bar advances after, and the page whose absence raises the bar.
constexpr int kUltimaPagina = 11;
constexpr int kPaginaConAvanceSiVacia = 6;
constexpr int kAvancePaginaVacia = 20;
// Each page advances the bar by this share of the company phase's progress step.
constexpr int kAvancesPorPaso = 6;

void AplicarPaso(run::RunContext& ctx, db::Connection& Conexion, const std::string& t,
                 const PasoPagina& paso) {
    switch (paso.accion) {
        case Accion::Importe:
            schema::CrearCampo(ctx, Conexion, t,
                               schema::DefinicionCampo{paso.casilla, "money", {}, false, "0"});
            break;
        case Accion::Texto:
            schema::CrearCampo(ctx, Conexion, t,
                               schema::DefinicionCampo{paso.casilla, "varchar", 4, true, "''"});
            break;
        case Accion::ConversionAnio:
            for (const std::string& sql : SentenciasConversionAnio(t, paso.casilla))
                schema::SentenciaSimple(Conexion, sql);
            break;
        case Accion::CambioTipo:
            schema::SentenciaSimple(Conexion, SentenciasConversionAnio(t, paso.casilla).front());
            break;
    }
}

void Avanzar(run::RunContext& ctx, int cuanto) {
    ctx.progress.SetValue(ctx.progress.Value() + cuanto);
}

}  // namespace

std::span<const PaginaModelo200> PaginasModelo200() {
    return kPaginas;
}

std::vector<std::string> SentenciasConversionAnio(std::string_view t, std::string_view c) {
    return {
        Unir({"ALTER TABLE ", t, " ALTER COLUMN ", c, " varchar(4)"}),
        Unir({"update ", t, " set ", c, "='20' + ", c, " where cast(", c,
              " as int) in(0,1,2,3,4) and len(", c, ")=2"}),
        Unir({"update ", t, " set ", c, "='19' + ", c, " where cast(", c,
              " as int) not in(0,1,2,3,4) and len(", c, ")=2"}),
    };
}

void ActualizaPaginasModelo200(run::RunContext& ctx, db::Connection& Conexion) {
    Conexion.clearError();
    schema::SentenciaSimple(Conexion, "ALTER TABLE MODELO200 ALTER COLUMN CNAE varchar(4)");

    const std::string empresa = ctx.CodigoEmpresaActual();
    const int avancePagina = static_cast<int>(run::DivideRoundingHalfToEven(
        run::PasoProgresoEmpresa(ctx.progress.Maximum()), kAvancesPorPaso));

    for (const PaginaModelo200& pagina : kPaginas) {
        const std::string numero = std::to_string(pagina.numero);
        schema::LineaDeComienzo(
            ctx, Unir({"Comenzando actualizacion estructura página ", numero, " modelo 201"}),
            empresa);
        const schema::RecorridoFamilia recorrido = schema::RecorrerFamilia(
            ctx, Conexion, schema::ConsultaFamilia(Unir({"PAGINA", numero})),
            [&](const std::string& t) {
                for (const PasoPagina& paso : pagina.pasos)
                    AplicarPaso(ctx, Conexion, t, paso);
            },
            schema::BombeoEventos::TrasCadaTabla);
        if (recorrido.abierto) {
            if (pagina.numero == kPaginaConAvanceSiVacia && recorrido.tablas == 0)
                Avanzar(ctx, kAvancePaginaVacia);
        } else {
            ctx.EscribirLog(schema::kProcedimientoFormActivate,
                            schema::Mensaje(ctx,
                                            Unir({"Consultando estructura pagina ", numero,
                                                  " modelo 201 en la empresa "}),
                                            empresa),
                            recorrido.error.description, run::kNivelError);
        }
        if (pagina.numero != kUltimaPagina) Avanzar(ctx, avancePagina);
    }
}

}  // namespace updates::accounting
