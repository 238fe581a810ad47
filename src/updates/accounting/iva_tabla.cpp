#include "updates/accounting/iva_tabla.h"

#include "schema/column_creation.h"
#include "schema/column_type_change.h"
#include "schema/statements.h"
#include "updates/accounting/grupo_campos.h"

namespace updates::accounting {
namespace {

using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kIvaTabla = "IVATABLA";

// Always added, in this order; IVAEXONERADO, the last of them, is added on its own below.
constexpr DefinicionCampo kCamposSiempre[] = {
    {"IVASOPORCUOTA6", "FLOAT", {}, true, "(0)"},
    {"IVASOPORCUOTA7", "FLOAT", {}, true, "(0)"},
    {"IVASOPORCUOTA8", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE1", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE2", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE3", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE4", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE5", "FLOAT", {}, true, "(0)"},
    {"IVASOPORBASE6", "FLOAT", {}, true, "(0)"},
    {"IVAREGPRORRATA", "FLOAT", {}, true, "(0)"},
    {"IVAEXPORTACIONES", "FLOAT", {}, true, "(0)"},
    {"IVAOTRASOPERACIONES", "FLOAT", {}, true, "(0)"},
    {"IVADEDUCIRCOMPLEMENTARIA", "FLOAT", {}, true, "(0)"},
    {"IVAJUSTIFICANTE", "varchar", 20, false, ""},
    {"IVAFPAGO", "int", {}, false, "(0)"},
    {"IVACODIGOBANCO", "varchar", 4, true, "''"},
    {"IVAREGMENSUAL", "bit", {}, false, "(0)"},
    {"IVACASILLA12", "FLOAT", {}, false, ""},
    {"IVACASILLA13", "FLOAT", {}, false, ""},
    {"IVACASILLA14", "FLOAT", {}, false, ""},
    {"IVACASILLA15", "FLOAT", {}, false, ""},
    {"IVACASILLA25", "FLOAT", {}, false, ""},
    {"IVACASILLA26", "FLOAT", {}, false, ""},
    {"IVACASILLA40", "FLOAT", {}, false, ""},
    {"IVACASILLA41", "FLOAT", {}, false, ""},
    {"IVACASILLA62", "FLOAT", {}, false, ""},
    {"IVACASILLA63", "FLOAT", {}, false, ""},
    {"IVACASILLA74", "FLOAT", {}, false, ""},
    {"IVACASILLA75", "FLOAT", {}, false, ""},
    {"IVAREGEXCSIMP", "bit", {}, false, "(0)"},
    {"IVAAUTOCONJ", "bit", {}, false, "(0)"},
    {"IVACONCACREE", "bit", {}, false, "(0)"},
    {"IVAACREEFECHA", "varchar", 10, false, ""},
    {"IVACONCACREEPRE", "bit", {}, false, "(0)"},
    {"IVACONCACREEPOST", "bit", {}, false, "(0)"},
    {"IVAREGRECC", "bit", {}, false, "(0)"},
    {"IVAREGRECCRECIB", "bit", {}, false, "(0)"},
    {"IVAREGACTPRORRATA", "bit", {}, false, "(0)"},
    {"IVAREGREVPRORRATA", "bit", {}, false, "(0)"},
};
constexpr DefinicionCampo kCampoExonerado = {"IVAEXONERADO", "int", {}, false, "(0)"};

// Added only on the run that creates IVAEXONERADO: the six activities (name, key, heading),
// then the third-party flag and the operation volumes.
constexpr DefinicionCampo kGrupoActividades[] = {
    {"EXONOMBREACTIVIDAD1", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD1", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD1", "VARCHAR", 7, true, "''"},
    {"EXONOMBREACTIVIDAD2", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD2", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD2", "VARCHAR", 7, true, "''"},
    {"EXONOMBREACTIVIDAD3", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD3", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD3", "VARCHAR", 7, true, "''"},
    {"EXONOMBREACTIVIDAD4", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD4", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD4", "VARCHAR", 7, true, "''"},
    {"EXONOMBREACTIVIDAD5", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD5", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD5", "VARCHAR", 7, true, "''"},
    {"EXONOMBREACTIVIDAD6", "VARCHAR", 35, true, "''"},
    {"EXOCLAVEACTIVIDAD6", "INT", {}, false, ""},
    {"EXOEPIGRAFEACTIVIDAD6", "VARCHAR", 7, true, "''"},
    {"EXOTERCERASPERSONAS", "BIT", {}, true, "0"},
    {"EXOVOLUMENREGIMENGENERAL", "FLOAT", {}, true, "0"},
    {"EXOVOLUMENCRITERIOCAJA", "FLOAT", {}, true, "0"},
    {"EXOVOLUMENEXPORTACIONES", "FLOAT", {}, true, "0"},
    {"EXOVOLUMENEXENTAS", "FLOAT", {}, true, "0"},
    {"EXOVOLUMSUJETOPASIVO", "FLOAT", {}, true, "0"},
    {"EXOVOLUMSINSTALACION", "FLOAT", {}, true, "0"},
    {"EXOVOLUMSIMPLIFICADO", "FLOAT", {}, true, "0"},
    {"EXOVOLUMENTREGAS", "FLOAT", {}, true, "0"},
    {"EXOVOLUMTOTAL", "FLOAT", {}, true, "0"},
    {"EXOVOLUMREGULARIZACION", "FLOAT", {}, true, "0"},
    {"EXOVOLUMADUANA", "FLOAT", {}, true, "0"},
};

constexpr DefinicionCampo kCampoExportacionesExentas = {
    "EXOVOLUMENEXPORTACIONESEXENTAS", "FLOAT", {}, true, "0"};
constexpr DefinicionCampo kGrupoVolumenes[] = {
    {"EXOVOLUMAGRICULTURA", "FLOAT", {}, true, "0"},
    {"EXOVOLUMRECARGO", "FLOAT", {}, true, "0"},
    {"EXOVOLUMBIENESUSADOS", "FLOAT", {}, true, "0"},
    {"EXOVOLUMAGENCIAS", "FLOAT", {}, true, "0"},
    {"EXOVOLUMENTREGASINVERSION", "FLOAT", {}, true, "0"},
};

}  // namespace

void ActualizaIvaTabla(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualización estructura IVATABLA en la empresa",
                            Empresa);
    schema::CrearCampos(ctx, Conexion, kIvaTabla, kCamposSiempre);
    if (CrearGrupoCampos(ctx, Conexion, kIvaTabla, kCampoExonerado, kGrupoActividades) !=
        ResultadoCampo::Creado) {
        // Old releases kept the exemption as a bit: it becomes int with default 0; a column
        // that is int already is left alone.
        schema::CambiarTipoDatos(Conexion, kIvaTabla, "IVAEXONERADO", "int", "0");
    }
    CrearGrupoCampos(ctx, Conexion, kIvaTabla, kCampoExportacionesExentas, kGrupoVolumenes);
}

}  // namespace updates::accounting
