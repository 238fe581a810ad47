#include "updates/accounting/modelos.h"

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

using schema::CampoDeTabla;
using schema::DefinicionCampo;
using schema::ResultadoCampo;

// --- Form 347 ---------------------------------------------------------------------------

constexpr DefinicionCampo kImportes347[] = {
    {"ImporteMetalico", "float", {}, true, "'0'"},
    {"ImporteTransmision", "float", {}, true, "'0'"},
    {"ImporteOperacion1T", "float", {}, true, "'0'"},
    {"ImporteOperacion2T", "float", {}, true, "'0'"},
    {"ImporteOperacion3T", "float", {}, true, "'0'"},
    {"ImporteOperacion4T", "float", {}, true, "'0'"},
    {"ImporteTransmision1T", "float", {}, true, "'0'"},
    {"ImporteTransmision2T", "float", {}, true, "'0'"},
    {"ImporteTransmision3T", "float", {}, true, "'0'"},
    {"ImporteTransmision4T", "float", {}, true, "'0'"},
};

constexpr CampoDeTabla kArrendamientosYOperaciones347[] = {
    {"ARRENDA_347", {"Tipo", "int", {}, true, "'0'"}},
    {"ARRENDA_347", {"TNumeracion", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"NCasa", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"CNumeracion", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"Bloque", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"Portal", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"CodMun", "varchar", 5, false, ""}},
    {"ARRENDA_347", {"Localidad", "varchar", 50, false, ""}},
    {"OPERACIONES_347", {"OperadorIntracomunitario", "varchar", 17, true, "''"}},
    {"OPERACIONES_347", {"OperacionesCriterioCaja", "bit", {}, true, "0"}},
    {"OPERACIONES_347", {"OperacionInversionSujetoPasivo", "bit", {}, true, "0"}},
    {"OPERACIONES_347", {"OperacionDepositosNoAduanero", "bit", {}, true, "0"}},
    {"OPERACIONES_347", {"ImportesDevengadosRegimenCaja", "float", {}, true, "0"}},
};

// --- Forms 180 and 115 --------------------------------------------------------------------

constexpr DefinicionCampo kCampos180[] = {
    {"M180CODPROVINCIA", "varchar", 2, true, "''"},
    {"M180SITUINMUEBLE", "int", {}, true, "0"},
    {"M180REFERENCIA", "varchar", 20, true, "''"},
    {"M180TIPOVIAINMUEBLE", "varchar", 5, true, "''"},
    {"M180NOMBREVIAINMUEBLE", "varchar", 50, true, "''"},
    {"M180TIPONUMERACIONINMUEBLE", "varchar", 3, true, "''"},
    {"M180TIPONUMEROCASAINMUEBLE", "varchar", 3, true, "''"},
    {"M180CALIFICADORNUMEROINMUEBLE", "varchar", 3, true, "''"},
    {"M180BLOQUEINMUEBLE", "varchar", 3, true, "''"},
    {"M180PORTALINMUEBLE", "varchar", 5, true, "''"},
    {"M180ESCALERAINMUEBLE", "varchar", 3, true, "''"},
    {"M180PISOINMUEBLE", "varchar", 3, true, "''"},
    {"M180PUERTAINMUEBLE", "varchar", 5, true, "''"},
    {"M180COMPLEMENTOINMUEBLE", "varchar", 40, true, "''"},
    {"M180LOCALIDADINMUEBLE", "varchar", 30, true, "''"},
    {"M180MUNICIPIOINMUEBLE", "varchar", 30, true, "''"},
    {"M180CODMUNICIPIOINMUEBLE", "varchar", 5, true, "''"},
    {"M180CODPROVINCIAINMUEBLE", "varchar", 2, true, "''"},
    {"M180CODPOSTALINMUEBLE", "varchar", 5, true, "''"},
};

constexpr DefinicionCampo kCampos115[] = {
    {"NUM115", "varchar", 5, true, "''"},  {"ESC115", "varchar", 5, true, "''"},
    {"PUER115", "varchar", 5, true, "''"}, {"BANC115", "varchar", 4, true, "''"},
    {"PER115", "varchar", 35, true, "''"}, {"FEC115", "varchar", 10, true, "''"},
};

// --- Forms 130 and 131 --------------------------------------------------------------------

constexpr DefinicionCampo kCampos130Antes[] = {
    {"MINORACIONRDL", "FLOAT", {}, true, "0"},
    {"RESULTADOSANTERIORES", "FLOAT", {}, true, "0"},
};
constexpr DefinicionCampo kFormaPago130 = {"FORMAPAGO", "INT", {}, true, "0"};
constexpr DefinicionCampo kCampos130Despues[] = {
    {"JUSTIFICANTECOMPLEMENTARIA", "VARCHAR", 20, true, "0"},
    {"DEDVIVIENDA", "FLOAT", {}, true, "0"},
    {"Iban", "varchar", 4, true, "''"},
    {"GASTOSREALES", "float", {}, true, "0"},
    {"GASTOSJUSTIFICACION", "float", {}, true, "0"},
};

constexpr DefinicionCampo kMinoracion131 = {"MINORACIONRDL", "FLOAT", {}, true, "0"};
constexpr DefinicionCampo kFormaPago131 = {"FORMAPAGO", "INT", {}, true, "0"};
constexpr DefinicionCampo kCampos131Despues[] = {
    {"Justificante", "VARCHAR", 13, false, ""},
    {"DEDUCCOMPLEMTARIA", "FLOAT", {}, false, ""},
    {"RESULTADO", "FLOAT", {}, false, ""},
    {"DEDVIVIENDA", "FLOAT", {}, true, "0"},
};

// --- Forms 310 and 340, register data ------------------------------------------------------

constexpr DefinicionCampo kCampos310[] = {
    {"REDUCCIONES", "FLOAT", {}, true, "0"},  {"PORINGCUENTA", "FLOAT", {}, true, "0"},
    {"IVAINVSUJPAS", "FLOAT", {}, true, "0"}, {"REGULBIENINV", "FLOAT", {}, true, "0"},
    {"ADICIONAL", "INT", {}, true, "0"},
};

constexpr DefinicionCampo kCampos340[] = {
    {"ImpCobPag", "FLOAT", {}, false, "0"},
    {"FechaCobPag", "VARCHAR", 10, false, ""},
    {"FormaPC", "VARCHAR", 1, false, ""},
    {"BancoOtros", "VARCHAR", 34, false, ""},
};

constexpr DefinicionCampo kCamposRegistro[] = {
    {"TIPOSOCIEDAD", "INT", {}, true, "0"},
    {"SOCIEDADOTROS", "VARCHAR", 5, true, "0"},
    {"TIPOBAL", "int", {}, true, "0"},
    {"DISCAPACITADOSANTERIOR", "float", {}, true, "0"},
    {"DISCAPACITADOSACTUAL", "float", {}, true, "0"},
    {"FIJOHOMBRESANTERIOR", "float", {}, true, "0"},
    {"FIJOMUJERESANTERIOR", "float", {}, true, "0"},
    {"NOFIJOHOMBRESANTERIOR", "float", {}, true, "0"},
    {"NOFIJOMUJERESANTERIOR", "float", {}, true, "0"},
    {"FIJOHOMBRESACTUAL", "float", {}, true, "0"},
    {"FIJOMUJERESACTUAL", "float", {}, true, "0"},
    {"NOFIJOHOMBRESACTUAL", "float", {}, true, "0"},
    {"NOFIJOMUJERESACTUAL", "float", {}, true, "0"},
};

}  // namespace

void ActualizaModelo347(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura OPERACIONES_347 en la empresa", Empresa);
    schema::CrearCampos(ctx, Conexion, "OPERACIONES_347", kImportes347);
    schema::SentenciaSimple(Conexion,
                            "IF COL_LENGTH ('OPERACIONES_347','Nombre') < 50 ALTER TABLE "
                            "OPERACIONES_347 ALTER COLUMN Nombre varchar(255)");
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura ARRENDA_347 en la empresa",
                            Empresa);
    schema::SentenciaSimple(Conexion,
                            "IF COL_LENGTH ('ARRENDA_347','SG') < 5 ALTER TABLE ARRENDA_347 "
                            "ALTER COLUMN SG varchar(5)");
    schema::CrearCampos(ctx, Conexion, kArrendamientosYOperaciones347);
}

void ActualizaModelo180(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualización estructura MODEL180 en la empresa",
                            Empresa);
    schema::CrearCampos(ctx, Conexion, "MODEL180", kCampos180);
}

void ActualizaModelo115(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualización estructura MODEL115 en la empresa",
                            Empresa);
    schema::CrearCampos(ctx, Conexion, "MODEL115", kCampos115);
}

void ActualizaModelo130(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "Mod130", kCampos130Antes);
    Conexion.clearError();
    schema::CrearCampoConPaso(ctx, Conexion, "Mod130", kFormaPago130, [&] {
        schema::SentenciaSimple(Conexion, "UPDATE MOD130 SET FORMAPAGO=1 WHERE EFECTIVO=1");
        schema::SentenciaSimple(Conexion,
                                "UPDATE MOD130 SET FORMAPAGO=2 WHERE (EFECTIVO=0 AND TOTAL>0)");
    });
    schema::CrearCampos(ctx, Conexion, "Mod130", kCampos130Despues);
}

void ActualizaModelo131(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "Mod131", kMinoracion131);
    schema::CrearCampoConPaso(ctx, Conexion, "Mod131", kFormaPago131, [&] {
        schema::SentenciaSimple(Conexion,
                                "UPDATE MOD131 SET FORMAPAGO=2 WHERE EFECTIVO=1 AND TOTAL > 0");
        schema::SentenciaSimple(Conexion,
                                "UPDATE MOD131 SET FORMAPAGO=1 WHERE EFECTIVO=0 AND TOTAL>0");
    });
    schema::CrearCampos(ctx, Conexion, "MOD131", kCampos131Despues);
}

void ActualizaModelo310(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "ModAct310", kCampos310);
}

void ActualizaModelo340(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "Mod340Declarados", kCampos340);
}

void ActualizaRegistro(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "REGISTRO", kCamposRegistro);
}

}  // namespace updates::accounting
