#include "updates/accounting/libros_iva.h"

#include <deque>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/default_batches.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::accounting {
namespace {

using schema::DefinicionCampo;
using schema::ResultadoCampo;
using schema::Unir;

constexpr std::string_view kConsultaLibros =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where TABLE_NAME<>'ESCANTABLA' AND "
    "Table_name like 'E____TABLA' and table_type='BASE TABLE '";

constexpr DefinicionCampo kCampoBienInversion = {"BIENINVERSION", "INT", {}, true, "0"};

constexpr DefinicionCampo kCamposLibro[] = {
    {"PLAZOOPERA", "int", {}, false, "0"},
    {"TIPOINTRACOMUNITARIA", "varchar", 1, false, "'0'"},
    {"INICIORANGO", "varchar", 40, false, "''"},
    {"FINRANGO", "varchar", 40, false, "''"},
    {"SIIESTADO", "INT", {}, false, "-1"},
    {"SIILIBRO", "VARCHAR", 1, false, "''"},
    {"SIIFECHAESTADO", "DATETIME", {}, false, ""},
    {"SIICSV", "VARCHAR", 16, false, "''"},
    {"SIICODREG", "VARCHAR", 100, false, "''"},
    {"SIIDESREG", "VARCHAR", 500, false, "''"},
};

// The four characters after the initial letter of a book's name: its year code.
std::string_view Ejercicio(std::string_view tabla) {
    return tabla.size() > 1 ? tabla.substr(1, 4) : std::string_view{};
}

void ActualizaLibro(run::RunContext& ctx, db::Connection& Conexion, const std::string& t,
                    std::deque<schema::PasoPendiente>& creadas) {
    // The operation date of the existing rows is filled by the run that adds the column.
    schema::PasoPendiente fecha(ctx, Conexion, schema::ClavePaso(t, "FECHAOPERACION"));
    if (schema::FaltaColumna(ctx, t, "FECHAOPERACION")) fecha.Marcar();
    Conexion.clearError();
    const db::Status alta = Conexion.execute(Unir({"Alter Table ", t, " ADD FECHAOPERACION DATETIME"}));
    if (alta.ok()) schema::AnotarColumna(ctx, t, "FECHAOPERACION");
    const bool nueva = alta.ok() || (alta.error().nativeError == schema::kErrorColumnaDuplicada &&
                                     fecha.Heredado());
    if (nueva) {
        schema::SentenciaSimple(
            Conexion,
            Unir({"UPDATE ", t, " SET FECHAOPERACION = FECHA WHERE FECHAOPERACION IS NULL"}));
    } else {
        schema::SentenciaSimple(Conexion, Unir({"UPDATE ", t,
                                                " SET FECHAOPERACION = FECHA WHERE "
                                                "FECHAOPERACION ='31/12/1899'"}));
    }
    fecha.Quitar();

    // A book that gets BIENINVERSION now receives neither batch; had an interrupted run created
    // it, this run must not send them either: the second looks for a bit column of that name
    // anywhere in the database and, while another book still has one, would make this one's
    // nullable. Its marker stays until every book has been through (then no bit is left).
    schema::PasoPendiente& bienInversion =
        creadas.emplace_back(ctx, Conexion, schema::ClavePaso(t, kCampoBienInversion.campo));
    if (schema::FaltaColumna(ctx, t, kCampoBienInversion.campo)) bienInversion.Marcar();
    if (schema::CrearCampo(ctx, Conexion, t, kCampoBienInversion) == ResultadoCampo::YaExistia &&
        !bienInversion.Heredado()) {
        Conexion.clearError();
        schema::SentenciaSimple(Conexion, LoteBienInversionNoNulo(t));
        Conexion.clearError();
        schema::SentenciaSimple(Conexion, LoteBienInversionEntero(t));
    }

    schema::CrearCampos(ctx, Conexion, t, kCamposLibro);

    Conexion.clearError();
    schema::Ampliar(Conexion, t, "DES", "< 255", "varchar(255)");

    Conexion.clearError();
    schema::SentenciaSimple(Conexion, LoteEstadoSii(t));
}

}  // namespace

std::string LoteBienInversionNoNulo(std::string_view t) {
    return Unir({"IF COLUMNPROPERTY(OBJECT_ID('", t, "'),'BIENINVERSION','AllowsNull') =1 \r\n",
                 "BEGIN\r\n", "UPDATE ", t, " SET BIENINVERSION=0 WHERE BIENINVERSION IS NULL\r\n",
                 "ALTER TABLE ", t, " ALTER COLUMN BIENINVERSION INT NOT NULL\r\n", "ALTER TABLE ",
                 t, " ADD CONSTRAINT DF_BIENINVERSION_A9046FFCDA", Ejercicio(t),
                 " DEFAULT 0 FOR BIENINVERSION\r\n", "END"});
}

std::string LoteBienInversionEntero(std::string_view t) {
    return schema::LoteConversionTipo({t, "BIENINVERSION", "bit", "INT", "0", false});
}

std::string LoteEstadoSii(std::string_view t) {
    return schema::LoteConversionTipo({t, "SIIESTADO", "INT", "INTEGER", "-1", true});
}

void ActualizaLibrosIVA(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura libros de iva en la empresa");
    std::deque<schema::PasoPendiente> creadas;
    schema::RecorrerFamilia(
        ctx, Conexion, kConsultaLibros,
        [&](const std::string& t) { ActualizaLibro(ctx, Conexion, t, creadas); },
        schema::BombeoEventos::TrasCadaTabla);
    for (schema::PasoPendiente& paso : creadas)
        paso.Quitar();
}

}  // namespace updates::accounting
