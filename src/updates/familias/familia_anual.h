// The frame of the routines that update per-year table families: the sales documents
// (invoices, quotations, orders, delivery notes, their lines and signature tables), the
// warehouse movements, the production lines, the purchase documents and the commissions.
//
// A routine logs its start line (schema::LineaDeComienzo), then applies one list of steps to
// every table of its family, in the order the family's listing query returns them, the first
// table completely before the second:
//
//   widening   "if COL_LENGTH ('T','C') <test> alter table T alter column C <type>", sent as a
//              plain statement (a missing column makes COL_LENGTH NULL: nothing happens)
//   column     CrearCampo with the row's arguments; its result may set something off:
//              it is the BIC or IBAN result of the bank-account backfill, it triggers the
//              customer-type fill when the column was created now (1), or the default repair
//              when the column was already there (2)
//   backfill   the family's bank-account backfill, run only for a table of a fiscal year from
//              2013 on (characters 2 to 5 of its name) and only when the BIC and the IBAN
//              columns were both created now by steps before it, so that it runs once per table
//
// The step lists are data, written next to each routine in the order a reader finds them in
// the documents that describe the tables. Every statement runs with its error ignored; only
// CrearCampo logs (its own outcomes). A listing query that fails skips its family silently.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"
#include "schema/column_creation.h"
#include "schema/default_batches.h"
#include "schema/table_family.h"

namespace updates::familias {

// What the result of a column addition sets off.
enum class Consecuencia {
    Ninguna,
    ResultadoBic,            // the result is the BIC result of the backfill
    ResultadoIban,           // the result is the IBAN result of the backfill
    TipoClienteSiNueva,      // created now: each document takes its customer's type
    ReparaDefectoSiExistia,  // already there: the default repair of the family
};

struct PasoTabla {
    enum class Clase { Ampliacion, Columna, RellenoCuentas };

    Clase clase = Clase::Columna;
    // Ampliacion: the column, the test on COL_LENGTH and the new type as written.
    std::string_view campo;
    std::string_view prueba;
    std::string_view nuevoTipo;
    // Columna: CrearCampo's arguments and what its result sets off.
    schema::DefinicionCampo columna;
    Consecuencia consecuencia = Consecuencia::Ninguna;
};

constexpr PasoTabla Ampliacion(std::string_view campo, std::string_view prueba,
                               std::string_view nuevoTipo) {
    return {PasoTabla::Clase::Ampliacion, campo, prueba, nuevoTipo, {}, Consecuencia::Ninguna};
}
constexpr PasoTabla Columna(schema::DefinicionCampo columna,
                            Consecuencia consecuencia = Consecuencia::Ninguna) {
    return {PasoTabla::Clase::Columna, {}, {}, {}, columna, consecuencia};
}
constexpr PasoTabla RellenoCuentas() {
    return {PasoTabla::Clase::RellenoCuentas, {}, {}, {}, {}, Consecuencia::Ninguna};
}

// One family and what is done to each of its tables.
struct FamiliaAnual {
    // The family's name after E____: its listing query is the usual one (schema::ConsultaFamilia).
    std::string_view nombre = {};
    // The listing query exactly as sent, for a family whose query is written otherwise (such as
    // without the blank after "like"); when given, `nombre` is not used.
    std::string_view consulta = {};
    std::span<const PasoTabla> pasos = {};
    // The family's bank-account backfill (SELECT text around the table name); needed when the
    // steps hold RellenoCuentas.
    const refdata::BankAccountBackfill* relleno = nullptr;
    // The column prefix of the customer-type fill ("FACTURA" for P.FACTURANumcli and
    // FACTURATIPOCLIENTE); needed when a step sets off TipoClienteSiNueva.
    std::string_view prefijoCliente = {};
    // Needed when a step sets off ReparaDefectoSiExistia.
    const schema::ReparacionDefecto* reparacion = nullptr;
};

// The first fiscal year whose documents get their IBAN and BIC filled in.
inline constexpr int kPrimerEjercicioConIban = 2013;

// The listing query of the family: `consulta` when given, else the usual query of `nombre`.
std::string ConsultaDe(const FamiliaAnual& familia);

// Clears the pending error and applies the family's steps to each of its tables.
schema::RecorridoFamilia ActualizarFamilia(
    run::RunContext& ctx, db::Connection& Conexion, const FamiliaAnual& familia,
    schema::BombeoEventos bombeo = schema::BombeoEventos::Ninguno);

// The family's steps on one table.
void ActualizarTabla(run::RunContext& ctx, db::Connection& Conexion, const FamiliaAnual& familia,
                     const std::string& tabla);

// "UPDATE T SET <P>TIPOCLIENTE=TipoClienteCodigo FROM T P INNER JOIN CLIENTESTABLA C ON
// P.<P>Numcli=C.Clicodigo" for table T and prefix P: documents whose customer is gone keep
// the column's empty default.
std::string SentenciaTipoCliente(std::string_view tabla, std::string_view prefijo);

// The same fill with customers without a type (NULL) giving the empty default; sent only when
// the statement above was refused.
std::string SentenciaTipoClienteSinTipoAVacio(std::string_view tabla, std::string_view prefijo);

}  // namespace updates::familias
