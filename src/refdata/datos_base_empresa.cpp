#include "refdata/datos_base_empresa.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/catalogue_probes.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/sql_text.h"

namespace refdata {
namespace {

using schema::DefinicionCampo;

constexpr std::string_view kIndcor = "INDCOR";

// The first column is the year; its creation decides the conversion.
constexpr std::array<DefinicionCampo, 10> kCamposIndcor = {{
    {"Ejercicio", "int", 0, true, "0"},
    {"ICTIPO", "int", 0, true, "0"},
    {"ICTIPOPOBLACION", "int", 0, true, "0"},
    {"ICLOCAL", "bit", 0, true, "0"},
    {"ICVEHICULO", "bit", 0, true, "0"},
    {"ICPOBLACION", "int", 0, true, "0"},
    {"ICASALARIADOSINICIO", "int", 0, true, "0"},
    {"ICNOACTIVIDAD", "bit", 0, true, "0"},
    {"ICLOCALEXCLUSIVO", "bit", 0, true, "0"},
    {"ICDISCAPACIDAD", "bit", 0, true, "0"},
}};

constexpr std::string_view kRenombrarDBI8 =
    "IF EXISTS(select TOP 1 *  from syscolumns where name ='librdatosbase1' and "
    "id=object_id('INDCOR')) exec sp_rename 'INDCOR.librdatosbase1','DBI8','COLUMN'";

constexpr std::string_view kColumnasCopiaIndcor =
    "act,DBI1,DBI2,DBI3,DBI4,DBI5,DBI6,DBI7,ICI,DBE1,DBE2,DBE3,DBE4,DBE5,DBE6,DBE7,ICE,ICE2,"
    "ICE3,ICE4,DBI8";

constexpr int kModulos = 7;

// One fourth-quarter return's units of one activity and year.
struct ModulosDeclarados {
    db::Variant actividad;
    db::Variant ejercicio;
    std::array<db::Variant, kModulos> unidades;
};

// One pass of the module copy: into columns prefix + 1..7 (DBE1.. or DBI1..).
struct PasadaModulos {
    std::string_view prefijoColumna;
    std::string_view condicionPeriodo;  // the fourth-quarter condition, as each pass writes it
};

constexpr std::array<PasadaModulos, 2> kPasadas = {{
    {"DBE", " and  periodo='4T'"},
    {"DBI", " and periodo='4T'"},
}};

std::vector<ModulosDeclarados> LeerModulosDeclarados(db::Connection& Conexion, int anio,
                                                     std::string_view condicionPeriodo) {
    std::vector<ModulosDeclarados> lista;
    const std::string consulta =
        "Select actividad,ejercicio,unidadmodulo1,unidadmodulo2,unidadmodulo3,unidadmodulo4,"
        "unidadmodulo5,unidadmodulo6,unidadmodulo7 from modact131 where ejercicio>=" +
        std::to_string(anio - 4) + " and ejercicio<" + std::to_string(anio - 1) +
        std::string(condicionPeriodo);
    Conexion.clearError();
    std::unique_ptr<db::Recordset> set =
        Conexion.openRecordset(consulta, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (set == nullptr || Conexion.hasError()) return lista;
    while (!set->eof()) {
        ModulosDeclarados entrada;
        entrada.actividad = set->value(std::size_t{0});
        entrada.ejercicio = set->value(std::size_t{1});
        for (int i = 0; i < kModulos; ++i) {
            entrada.unidades[static_cast<std::size_t>(i)] =
                set->value(static_cast<std::size_t>(2 + i));
        }
        lista.push_back(std::move(entrada));
        if (!set->moveNext()) break;
    }
    set->close();
    return lista;
}

void GuardarModulos(db::Connection& Conexion, const ModulosDeclarados& entrada,
                    std::string_view prefijoColumna) {
    // The activity code goes between quotes with its own quotes doubled, so that a code
    // holding ' still names its row.
    const std::string consulta = "select * from indcor where act='" +
                                 schema::DuplicarComillas(entrada.actividad.toText()) +
                                 "' and ejercicio=" + entrada.ejercicio.toText();
    Conexion.clearError();
    std::unique_ptr<db::Recordset> set =
        Conexion.openRecordset(consulta, db::CursorType::Dynamic, db::LockType::Optimistic);
    if (set == nullptr || Conexion.hasError()) return;
    if (set->bof() && set->eof()) {
        set->addNew();
        set->setValue("act", entrada.actividad);
        set->setValue("Ejercicio", entrada.ejercicio);
    }
    for (int i = 0; i < kModulos; ++i) {
        set->setValue(std::string(prefijoColumna) + std::to_string(i + 1),
                      entrada.unidades[static_cast<std::size_t>(i)]);
    }
    Conexion.clearError();
    if (!set->update()) set->cancelUpdate();
    set->close();
}

}  // namespace

void TraspasarModulosIndcor(run::RunContext& ctx, db::Connection& Conexion) {
    const int anio = ctx.clock().year;
    for (const PasadaModulos& pasada : kPasadas) {
        const std::vector<ModulosDeclarados> lista =
            LeerModulosDeclarados(Conexion, anio, pasada.condicionPeriodo);
        for (const ModulosDeclarados& entrada : lista) {
            GuardarModulos(Conexion, entrada, pasada.prefijoColumna);
        }
    }
    Conexion.clearError();
}

void ActualizaDatosBaseEmpresa(run::RunContext& ctx, db::Connection& Conexion) {
    // Two one-off steps: the run that drops the old index moves the declared modules across, and
    // the run that creates the year rebuilds the key and copies last year's rows (and moves the
    // modules too). Each is owed until done, also to the run after an interrupted one.
    const bool conIndiceAntiguo = schema::ExisteIndice("indcor", "ACTINDICE", Conexion);
    schema::PasoPendiente traspaso(ctx, Conexion, schema::ClavePaso(kIndcor, "ACTINDICE"));
    if (conIndiceAntiguo) {
        traspaso.Marcar();
        Conexion.execute("DROP INDEX INDCOR.ACTINDICE");
    }
    Conexion.execute(kRenombrarDBI8);

    // The fiscal year heads the list: the run that creates it rebuilds the key.
    const std::string_view ejercicio = kCamposIndcor.front().campo;
    schema::PasoPendiente claveNueva(ctx, Conexion, schema::ClavePaso(kIndcor, ejercicio));
    if (schema::FaltaColumna(ctx, kIndcor, ejercicio)) claveNueva.Marcar();
    const schema::ResultadoCampo columna = schema::GuardaEnLista(
        ctx, schema::CrearCampos(ctx, Conexion, kIndcor, kCamposIndcor), kIndcor, {ejercicio});
    const bool ejercicioNuevo =
        columna == schema::ResultadoCampo::Creado ||
        (columna == schema::ResultadoCampo::YaExistia && claveNueva.Heredado());

    if (ejercicioNuevo) {
        const std::string anterior = std::to_string(ctx.clock().year - 1);
        Conexion.execute("drop index INDCOR.APUNTNUM");
        Conexion.execute("create unique index APUNTNUM on INDCOR (ACT,Ejercicio)");
        Conexion.execute("update indcor set Ejercicio=" + anterior + " where Ejercicio=0");
        Conexion.execute("insert into indcor (" + std::string(kColumnasCopiaIndcor) +
                         ",Ejercicio) select " + std::string(kColumnasCopiaIndcor) +
                         ",YEAR(GETDATE()) from indcor where Ejercicio=" + anterior);
    }
    if (conIndiceAntiguo || traspaso.Heredado() || ejercicioNuevo)
        TraspasarModulosIndcor(ctx, Conexion);
    Conexion.clearError();
    claveNueva.Quitar();
    traspaso.Quitar();
}

}  // namespace refdata
