#include "updates/parties/despacho.h"

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::parties {
namespace {

using schema::CampoDeTabla;
using schema::DefinicionCampo;
using schema::ResultadoCampo;

// --- TAREAS -------------------------------------------------------------------------------

constexpr std::string_view kComienzoTareas =
    "Comenzando actualizacion estructura Tareas en la empresa";

constexpr CampoDeTabla kCamposTareas[] = {
    {"Tareas", {"IdOutLook", "VARCHAR", 255, true, "''"}},
    {"TAREAS", {"NFactura", "FLOAT", {}, true, "0"}},
    {"TAREAS", {"CanalFactura", "varchar", 2, true, "'00'"}},
    {"TAREAS", {"Resultado", "varchar", 20, true, "''"}},
    {"TAREAS", {"Contacto", "varchar", 50, true, "''"}},
    {"TAREAS", {"FechaGestion", "DATETIME", {}, false, ""}},
    {"TAREAS", {"Guardia", "INT", {}, true, "0"}},
};

// --- INSTANCIAS ---------------------------------------------------------------------------

constexpr std::string_view kComienzoInstancias =
    "Comenzando actualizacion estructura INSTANCIAS en la empresa";
constexpr std::string_view kTablaInstancias = "INSTANCIAS";

constexpr DefinicionCampo kCamposInstanciasAntesDeAdeber[] = {
    {"CodigoProcedimiento", "VARCHAR", 7, true, "''"},
    {"Procedimiento", "VARCHAR", 100, true, "''"},
    {"PosicionProcesal", "INT", {}, true, "0"},
};
constexpr DefinicionCampo kAdeber = {"Adeber", "FLOAT", {}, true, "0"};

constexpr std::string_view kImportesAdeber =
    "update instancias set adeber= ( select sum(valor) from lineasinstancias where "
    "codasuntointerno=instancias.codasuntointerno and numeroinstancia=instancias.numeroinstancia) "
    "where cerrada =0";
// An open filing without lines (or whose lines have no amount) sums to NULL, which the NOT NULL
// column refuses; the statement above then fills no filing at all, and is never tried again.
// When it fails, this form is sent instead: such a filing owes nothing.
constexpr std::string_view kImportesAdeberSinLineasACero =
    "update instancias set adeber= isnull(( select sum(valor) from lineasinstancias where "
    "codasuntointerno=instancias.codasuntointerno and numeroinstancia=instancias.numeroinstancia)"
    ",0) where cerrada =0";

constexpr DefinicionCampo kCamposInstanciasDespuesDeAdeber[] = {
    {"DesignacionInstancia", "VARCHAR", 15, false, "'0'"},
    {"InstanciaRel", "INT", {}, false, "0"},
    {"TurnoOficio", "VARCHAR", 3, true, "''"},
    {"contraida", "INT", {}, false, "0"},
};

// --- LINEASINSTANCIAS ---------------------------------------------------------------------

constexpr std::string_view kComienzoLineasInstancias =
    "Comenzando actualizacion estructura LINEASINSTANCIAS en la empresa";

constexpr DefinicionCampo kCamposLineasInstancias[] = {
    {"ImporteCondicion", "FLOAT", {}, false, "0"},
    {"PctoCondicion", "FLOAT", {}, false, "0"},
    {"TipoICAM", "INT", {}, true, "0"},
    {"Estado", "VARCHAR", 255, false, ""},
    {"IdEntrega", "BIGINT", {}, true, "0"},
    {"FechaActualizacion", "datetime", {}, false, ""},
    {"UsuarioActualizacion", "bigint", {}, false, "0"},
};

constexpr std::string_view kCorreccionesLineasInstancias[] = {
    "UPDATE LINEASINSTANCIAS SET ESTADO ='1' WHERE ESTADO='Descargado'",
    "UPDATE LINEASINSTANCIAS SET ESTADO ='2' WHERE ESTADO='Fallido'",
    "UPDATE LINEASINSTANCIAS SET NUMFACT = CERRADA,CANAL=CANALCERRADA FROM LINEASINSTANCIAS "
    "INNER JOIN INSTANCIAS ON LINEASINSTANCIAS.CodAsuntoInterno = INSTANCIAS.CodAsuntoInterno "
    "AND LINEASINSTANCIAS.NUMEROINSTANCIA =INSTANCIAS.NUMEROINSTANCIA WHERE INSTANCIAS.CERRADA "
    "<>0 AND INSTANCIAS.CANALCERRADA <> '' AND LINEASINSTANCIAS.TIPOLINEA <> 5 AND NUMFACT=0",
};

// --- ASUNTOS ------------------------------------------------------------------------------

constexpr std::string_view kComienzoAsuntos =
    "Comenzando actualizacion estructura ASUNTOS en la empresa";
constexpr std::string_view kTablaAsuntos = "ASUNTOS";

constexpr DefinicionCampo kClientePrincipal = {"ClientePrincipalAsunto", "VARCHAR", 255, false,
                                               "''"};
constexpr std::string_view kClientesPrincipales[] = {
    "Update ASUNTOS SET ClientePrincipalAsunto = (SELECT TOP 1 CodCliente ",
    "From ASUNTOCLIENTE ",
    "WHERE CodAsuntoInterno = ASUNTOS.CODIGOASUNTOINTERNO ORDER BY FechaIncorporacion)",
};

constexpr DefinicionCampo kCamposAsuntos[] = {
    {"Resultado", "INT", {}, true, "0"},
    {"TipoResultado", "INT", {}, true, "0"},
    {"Asistencia", "BIGINT", {}, true, "0"},
    {"Designacion", "BIGINT", {}, true, "0"},
    {"TurnoOficio", "VARCHAR", 3, true, "'0'"},
    {"AsistenciaFecha_Guardia", "DATETIME", {}, false, ""},
    {"Observaciones", "TEXT", {}, true, "''"},
};

// --- ABOGADOS -----------------------------------------------------------------------------

constexpr std::string_view kComienzoAbogados =
    "Comenzando actualizacion estructura Abogados en la empresa";

constexpr DefinicionCampo kCamposAbogados[] = {
    {"CodigoColegioAbogado", "INT", {}, false, "0"},
    {"NombreColegioAbogado", "VARCHAR", 128, false, "''"},
    {"CanalHabitualAbogado", "VARCHAR", 2, false, "'00'"},
    {"EmpresaPredeterminadaOrmCodigo", "VARCHAR", 5, false, "''"},
    {"EmpresaPredeterminadaOrmNombre", "VARCHAR", 35, false, "''"},
    {"ClienteTurnoOficio", "VARCHAR", 10, false, "'0000000001'"},
    {"ClienteSerieTurnoOficio", "VARCHAR", 2, false, "'00'"},
    {"IPF", "int", {}, true, "0"},
    {"TipoVia", "VARCHAR", 3, true, "''"},
    {"CertNombre", "VARCHAR", 255, true, "''"},
    {"ImportIdentificacion", "varchar", 255, true, "''"},
    {"Sexo", "CHAR", 1, true, "''"},
    {"Desc1", "INT", {}, false, "0"},
    {"Desc2", "INT", {}, false, "0"},
    {"Desc3", "INT", {}, false, "0"},
    {"Desc4", "INT", {}, false, "0"},
    {"Desc5", "INT", {}, false, "0"},
    {"Desc6", "INT", {}, false, "0"},
    {"Avis_Guardia", "INT", {}, false, "0"},
    {"Avis_Vista", "INT", {}, false, "0"},
    {"Tiempo_Avis", "INT", {}, false, "0"},
    {"Tiempo_Tipo", "INT", {}, false, "0"},
    {"MostrarInforme", "INT", {}, false, "1"},
    {"IdOutLook", "VARCHAR", 255, true, "''"},
};

// --- RELACIONENVIOS -----------------------------------------------------------------------

constexpr std::string_view kComienzoRelacionEnvios =
    "Comenzando actualizacion estructura RelacionEnvios en la empresa";

constexpr std::string_view kAmpliacionAsuntoEnvios =
    "if COL_LENGTH ('RELACIONENVIOS','ASUNTO') <= 10 alter table RELACIONENVIOS  alter column "
    "ASUNTO varchar(255)";

constexpr DefinicionCampo kCamposRelacionEnvios[] = {
    {"PAGINAS", "FLOAT", {}, false, "0"},        {"TIPOREGISTRO", "INT", {}, true, "0"},
    {"PROPIETARIOLLAMDA", "INT", {}, true, "0"}, {"PRIORIDAD", "INT", {}, true, "0"},
    {"FECHA1", "DATETIME", {}, false, ""},       {"RUTAFICHERO", "VARCHAR", 255, false, ""},
    {"tipollamada", "INT", {}, true, "0"},       {"COSTEINICIAL", "FLOAT", {}, true, "0"},
    {"COSTESEGUNDO", "FLOAT", {}, true, "0"},
};

}  // namespace

void ActualizaTareas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoTareas);
    schema::CrearCampos(ctx, Conexion, kCamposTareas);
}

void ActualizaInstancias(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoInstancias);
    schema::CrearCampos(ctx, Conexion, kTablaInstancias, kCamposInstanciasAntesDeAdeber);
    schema::CrearCampoConPaso(ctx, Conexion, kTablaInstancias, kAdeber, [&] {
        if (!schema::SentenciaSimple(Conexion, kImportesAdeber))
            schema::SentenciaSimple(Conexion, kImportesAdeberSinLineasACero);
    });
    schema::CrearCampos(ctx, Conexion, kTablaInstancias, kCamposInstanciasDespuesDeAdeber);
}

void ActualizaLineasInstancias(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoLineasInstancias);
    schema::CrearCampos(ctx, Conexion, "LINEASINSTANCIAS", kCamposLineasInstancias);
    schema::SentenciasSimples(Conexion, kCorreccionesLineasInstancias);
}

void ActualizaAsuntos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoAsuntos);
    schema::CrearCampoConPaso(ctx, Conexion, kTablaAsuntos, kClientePrincipal, [&] {
        std::string sentencia;
        for (std::string_view trozo : kClientesPrincipales)
            sentencia += trozo;
        schema::SentenciaSimple(Conexion, sentencia);
    });
    schema::CrearCampos(ctx, Conexion, kTablaAsuntos, kCamposAsuntos);
}

void ActualizaAbogados(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoAbogados);
    schema::CrearCampos(ctx, Conexion, "ABOGADOS", kCamposAbogados);
}

void ActualizaRelacionEnvios(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoRelacionEnvios);
    schema::SentenciaSimple(Conexion, kAmpliacionAsuntoEnvios);
    schema::CrearCampos(ctx, Conexion, "RELACIONENVIOS", kCamposRelacionEnvios);
}

}  // namespace updates::parties
