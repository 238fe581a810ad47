// The catalogues of the objective-estimation program: operations, modules and activities.
#include <array>
#include <string>
#include <string_view>

#include "refdata/catalogos_fiscales.h"
#include "refdata/statement_list.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace refdata {
namespace {

// Tax configuration of each operation when CONFIGURACIONIMPUESTOS is new.
constexpr std::array<std::string_view, 4> kConfiguracionOperaciones = {
    "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=4 WHERE CODOPERACION ='12'",
    "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=8 WHERE CODOPERACION ='14'",
    "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=12 WHERE CODOPERACION IN "
    "('01','09','10','11','16','18','19','20')",
    "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=12 WHERE CODOPERACION >'20'",
};

constexpr std::string_view kModulos = "MODULOS";
constexpr std::array<schema::DefinicionCampo, 5> kCamposModulos = {{
    {"IVAIMP8", "FLOAT", 0, false, "0"},
    {"IVADES8", "VARCHAR", 50, false, "0"},
    {"CLAVE", "VARCHAR", 1, true, "''"},
    {"EPIGRAFE", "VARCHAR", 7, true, "''"},
    {"PERIODO", "INT", 0, true, "0"},
}};
constexpr std::string_view kCampoPeriodo = "PERIODO";

// The module key becomes (CODIGO, PERIODO), existing modules belonging to period 1.
constexpr std::array<std::string_view, 3> kClavePorPeriodo = {
    "DROP INDEX MODULOS.INDNUM",
    "UPDATE MODULOS SET PERIODO=1",
    "CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO,PERIODO)",
};

}  // namespace

void ActualizaOperacionesOrm(run::RunContext& ctx, db::Connection& Conexion) {
    // A table of the central database: the start line names no company.
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura Operaciones_orm", "");
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso("OPERACIONES_ORM", "CONFIGURACIONIMPUESTOS"),
        schema::FaltaColumna(ctx, "OPERACIONES_ORM", "CONFIGURACIONIMPUESTOS"),
        [&] {
            return schema::CrearCampo(ctx, "CONFIGURACIONIMPUESTOS", "OPERACIONES_ORM", "int",
                                      Conexion, 0, true, "0");
        },
        [&] { EjecutarEnOrden(Conexion, kConfiguracionOperaciones); });
}

void ActualizaModulos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(kModulos, kCampoPeriodo),
        schema::FaltaColumna(ctx, kModulos, kCampoPeriodo),
        [&] {
            return schema::GuardaEnLista(
                ctx, schema::CrearCampos(ctx, Conexion, kModulos, kCamposModulos), kModulos,
                {kCampoPeriodo});
        },
        [&] { EjecutarEnOrden(Conexion, kClavePorPeriodo); });
}

void ActualizaActividadesOrm(run::RunContext&, db::Connection& Conexion) {
    for (char letra = 'A'; letra <= 'J'; ++letra) {
        const std::string columna = std::string(1, letra) + "11";
        const std::string sentencia = "IF COL_LENGTH ('ACTIVIDADES_ORM','" + columna +
                                      "') < 2 ALTER TABLE ACTIVIDADES_ORM ALTER COLUMN " + columna +
                                      " varchar(2)";
        Conexion.clearError();
        Conexion.execute(sentencia);
    }
    Conexion.clearError();
}

}  // namespace refdata
