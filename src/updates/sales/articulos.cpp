#include "updates/sales/articulos.h"

#include <string>

#include "schema/sql_text.h"
#include "schema/statements.h"

namespace updates::sales {
namespace {

using schema::CampoDeTabla;

constexpr CampoDeTabla kCamposArticulos[] = {
    {"ARTICULOSTABLA", {"ARTICULOESTALLACOLOR", "BIT", {}, true, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOESTALLACOLORGRUPO", "VARCHAR", 5, false, ""}},
    {"ARTICULOSTABLA", {"ARTICULOESTALLACOLORGRUPODESCRIP", "VARCHAR", 35, false, ""}},
    {"ARTICULOSTABLA", {"ARTICULOMULTIIVA", "BIT", {}, true, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASE16", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASE7", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASE4", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASEVENTAS16", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASEVENTAS7", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"ARTICULOBASEVENTAS4", "FLOAT", {}, false, "0"}},
    {"TIPOSGTS", {"TIPOSCODIGOARTICULO", "VARCHAR", 20, false, ""}},
    {"ARTICULOSTABLA", {"ARTICULONOFACTURABLE", "BIT", {}, true, "0"}},
    {"ARTICULOSTABLA", {"TPVPrecio2", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"TPVPrecio3", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"TPVPrecio4", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"TPVPrecio5", "FLOAT", {}, false, "0"}},
    {"ARTICULOSTABLA", {"TPVPrecio6", "FLOAT", {}, false, "0"}},
    {"Provarticli", {"provartidescripcionarticulo", "VARCHAR", 100, false, ""}},
};

constexpr CampoDeTabla kCampoFamilias = {"FAMI", {"FAMIOBSOLETA", "VARCHAR", 1, true, "0"}};

// A widening whose outcome is logged, with the column it names in its messages.
struct AmpliacionInformada {
    std::string_view campo;
    std::string_view sentencia;
};

constexpr AmpliacionInformada kProveedorNombre = {
    "ProveedorNombre",
    "if COL_LENGTH ('articulostabla','ProveedorNombre') < 50 alter table articulostabla  alter "
    "column ProveedorNombre varchar(50)"};
constexpr AmpliacionInformada kDescripcion = {
    "Descripcion",
    "if COL_LENGTH ('articulostabla','Descripcion') < 50 alter table articulostabla  alter column "
    "Descripcion varchar(50)"};
constexpr AmpliacionInformada kProvartidescri = {
    "provartidescri",
    "if COL_LENGTH ('Provarticli','provartidescri') < 50 alter table Provarticli  alter column "
    "provartidescri varchar(50)"};
constexpr AmpliacionInformada kProvartilinea = {
    "provartilinea",
    "if COL_LENGTH ('Provarticli','provartilinea') <= 10 alter table Provarticli  alter column "
    "provartilinea varchar(20)"};

void AmpliarInformando(run::RunContext& ctx, db::Connection& Conexion,
                       const AmpliacionInformada& ampliacion) {
    schema::AmpliacionInformada(ctx, Conexion, ampliacion.sentencia, ampliacion.campo);
}

constexpr std::string_view kArtCodigo =
    "if COL_LENGTH ('ArticulosTabla','ArtCodigo') <= 10 alter table ArticulosTabla  alter column "
    "ArtCodigo varchar(20)";

// The article code of TIPOARTICLI is known under two names, and a statement that tests one of
// them and alters the other widens nothing. Each name gets its own statement, testing and
// altering that same column: the one the table has is widened, the other statement finds no
// column (COL_LENGTH is NULL) and does nothing.
constexpr std::string_view kTipoArticli[] = {
    "if COL_LENGTH ('TIPOARTICLI','TIPOARTIARTI') <= 10 alter table TIPOARTICLI  alter column "
    "TIPOARTIARTI varchar(20)",
    "if COL_LENGTH ('TIPOARTICLI','TCARTIARTI') <= 10 alter table TIPOARTICLI  alter column "
    "TCARTIARTI varchar(20)",
};

constexpr std::string_view kReprenArticli[] = {
    "if COL_LENGTH ('REPRENARTICLI','REPRENARTIARTI') <= 10 alter table REPRENARTICLI  alter "
    "column REPRENARTIARTI varchar(20)",
};

constexpr std::string_view kEscanTabla[] = {
    "if COL_LENGTH ('ESCANTABLA','ESCANCODARTI') <= 10 alter table ESCANTABLA  alter column "
    "ESCANCODARTI varchar(20)",
    "ALTER TABLE ESCANTABLA DROP COLUMN FECHAOPERACION",
    "ALTER TABLE ESCANTABLA DROP COLUMN BIENINVERSION",
    "ALTER TABLE ESCANTABLA DROP COLUMN PLAZOOPERA",
    "ALTER TABLE ESCANTABLA DROP COLUMN TIPOINTRACOMUNITARIA",
    "ALTER TABLE ESCANTABLA DROP COLUMN INICIORANGO",
    "ALTER TABLE ESCANTABLA DROP COLUMN FINRANGO",
};

constexpr std::string_view kArticuloColores[] = {
    "if COL_LENGTH ('ARTICULOCOLORES','CODIGOARTICULO') <= 10 alter table ARTICULOCOLORES  alter "
    "column CODIGOARTICULO varchar(20)",
};

constexpr std::string_view kArticuloCyC[] = {
    "if COL_LENGTH ('ArticulosCyCTabla','CodArticulo') <= 10 alter table ArticulosCyCTabla  alter "
    "column CodArticulo varchar(20)",
};

constexpr std::string_view kArticuloClientesCyC[] = {
    "if COL_LENGTH ('clientescyctabla','clientescycarticulo') <= 10 alter table clientescyctabla  "
    "alter column clientescycarticulo varchar(20)",
};

constexpr std::string_view kArticuloOfertas[] = {
    "if COL_LENGTH ('ArticulosPorOferta','OfCodArticulo') <= 10 alter table ArticulosPorOferta  "
    "alter column OfCodArticulo varchar(20)",
};

constexpr std::string_view kArticuloPreciosIniciales[] = {
    "if COL_LENGTH ('PRECIOSINIALESARTICULOS','Articulo') <= 10 alter table "
    "PRECIOSINIALESARTICULOS  alter column Articulo varchar(20)",
};

}  // namespace

std::span<const CampoDeTabla> CamposArticulos() {
    return kCamposArticulos;
}

void ActualizaArticulos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura ArticulosTabla en la empresa");
    AmpliarInformando(ctx, Conexion, kProveedorNombre);
    AmpliarInformando(ctx, Conexion, kDescripcion);
    schema::SentenciaSimple(Conexion, kArtCodigo);
    schema::CrearCampos(ctx, Conexion, kCamposArticulos);
}

void ActualizaProvarticli(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura Provarticli en la empresa");
    AmpliarInformando(ctx, Conexion, kProvartidescri);
    AmpliarInformando(ctx, Conexion, kProvartilinea);
}

void ActualizaFamilias(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura familias en la empresa");
    schema::CrearCampo(ctx, Conexion, kCampoFamilias.tabla, kCampoFamilias.definicion);
}

void AmpliaArticuloTipoArticli(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kTipoArticli);
}

void AmpliaArticuloReprenArticli(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kReprenArticli);
}

void ActualizaEscanTabla(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kEscanTabla);
}

void AmpliaArticuloColores(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kArticuloColores);
}

void AmpliaArticuloCyC(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kArticuloCyC);
}

void AmpliaArticuloClientesCyC(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kArticuloClientesCyC);
}

void AmpliaArticuloOfertas(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kArticuloOfertas);
}

void AmpliaArticuloPreciosIniciales(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciasSimples(Conexion, kArticuloPreciosIniciales);
}

}  // namespace updates::sales
