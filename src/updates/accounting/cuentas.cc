#include "updates/accounting/cuentas.h"

#include "schema/column_creation.h"
#include "schema/statements.h"
#include "updates/accounting/mensajes.h"

namespace updates::accounting {
namespace {

using schema::DefinicionCampo;

constexpr DefinicionCampo kCamposCta[] = {
    {"recargo", "VARCHAR", 1, true, "'0'"},
    {"analitica", "BIT", {}, true, "0"},
    {"ENVIADA", "VARCHAR", 1, false, "''"},
};

}  // namespace

void ActualizaCuentas(run::RunContext& ctx, db::Connection& Conexion) {
    Comenzando(ctx, "Comenzando actualizacion estructura CTA en la empresa",
               ctx.CodigoEmpresaActual());
    AmpliacionInformada(ctx, Conexion,
                        "if COL_LENGTH ('cta','titulodelacuenta') < 50 alter table cta  alter "
                        "column titulodelacuenta varchar(50)",
                        "titulodelacuenta");
    schema::SentenciaSimple(Conexion, "DELETE FROM CTA WHERE NUMCUENTA='0,5'");
    schema::CrearCampos(ctx, Conexion, "CTA", kCamposCta);
}

void ActualizaDescripcionConceptos(run::RunContext& ctx, db::Connection& Conexion) {
    Comenzando(ctx, "Comenzando actualizacion estructura descripcion conceptos en la empresa",
               ctx.CodigoEmpresaActual());
    AmpliacionInformada(ctx, Conexion,
                        "if COL_LENGTH ('DESCRIP','DESCCONCE') < 255 alter table DESCRIP  alter "
                        "column DESCCONCE varchar(255)",
                        "DESCCONCE");
}

void ActualizaLogotipo(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    Comenzando(ctx, "Comenzando actualizacion estructura logotipo en la empresa ", Empresa);
    schema::SentenciaInformada(
        ctx, Conexion,
        "IF COL_LENGTH ('logotipo','EmpDatosRegistro') = 200 ALTER TABLE logotipo ALTER COLUMN "
        "EmpDatosRegistro text",
        Mensaje(ctx, "Campo EmpDatosRegistro actualizado correctamente en la empresa ", Empresa),
        Mensaje(ctx, "Actualizando campo EmpDatosRegistro en la empresa ", Empresa,
                kSeparadorComaServidor));
}

}  // namespace updates::accounting
