#include "updates/accounting/cuentas.h"

#include "schema/column_creation.h"
#include "schema/statements.h"

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
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura CTA en la empresa");
    schema::AmpliacionInformada(
        ctx, Conexion,
        "if COL_LENGTH ('cta','titulodelacuenta') < 50 alter table cta  alter "
        "column titulodelacuenta varchar(50)",
        "titulodelacuenta");
    schema::SentenciaSimple(Conexion, "DELETE FROM CTA WHERE NUMCUENTA='0,5'");
    schema::CrearCampos(ctx, Conexion, "CTA", kCamposCta);
}

void ActualizaDescripcionConceptos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura descripcion conceptos en la empresa");
    schema::AmpliacionInformada(
        ctx, Conexion,
        "if COL_LENGTH ('DESCRIP','DESCCONCE') < 255 alter table DESCRIP  alter "
        "column DESCCONCE varchar(255)",
        "DESCCONCE");
}

void ActualizaLogotipo(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura logotipo en la empresa ",
                            Empresa);
    schema::SentenciaInformada(
        ctx, Conexion,
        "IF COL_LENGTH ('logotipo','EmpDatosRegistro') = 200 ALTER TABLE logotipo ALTER COLUMN "
        "EmpDatosRegistro text",
        schema::Mensaje(ctx, "Campo EmpDatosRegistro actualizado correctamente en la empresa ",
                        Empresa),
        schema::Mensaje(ctx, "Actualizando campo EmpDatosRegistro en la empresa ", Empresa,
                        schema::kSeparadorComaServidor));
}

}  // namespace updates::accounting
