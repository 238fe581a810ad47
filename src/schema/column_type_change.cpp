#include "schema/column_type_change.h"

#include <optional>

#include "db/text_util.h"
#include "schema/sql_text.h"
#include "schema/transaction.h"

namespace schema {

namespace {

// Upper case letter by letter, accented letters and Ñ included, as the server's UPPER gives
// the column names it is compared with.
std::string Mayusculas(std::string_view texto) {
    return db::foldCase(texto);
}

// The first `letras` characters of a UTF-8 text (a multi-byte letter such as Ñ counts once).
std::string_view PrimerasLetras(std::string_view texto, size_t letras) {
    size_t fin = 0;
    for (size_t contadas = 0; fin < texto.size() && contadas < letras; ++contadas) {
        ++fin;
        while (fin < texto.size() && (static_cast<unsigned char>(texto[fin]) & 0xC0) == 0x80)
            ++fin;
    }
    return texto.substr(0, fin);
}

// False only when the catalogue says the column already has type `NuevoTipo`; a query that
// fails or finds no column leaves the change to be attempted.
bool CambioNecesario(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
                     std::string_view NuevoTipo) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(
        "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
            DuplicarComillas(Tabla) + "' AND COLUMN_NAME='" + DuplicarComillas(Campo) + "'",
        db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return true;
    bool necesario = true;
    if (!rs->bof() && !rs->eof()) {
        necesario = Mayusculas(rs->text("DATA_TYPE")) != Mayusculas(NuevoTipo);
    }
    rs->close();
    return necesario;
}

// The text of the first column of every row of `sql`, joined in order (a default's text
// may come in several syscomments rows); nullopt when it fails to open or has no rows.
std::optional<std::string> LeerTexto(db::Connection& Conexion, const std::string& sql) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(sql, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return std::nullopt;
    std::optional<std::string> texto;
    while (!rs->eof()) {
        texto = texto.value_or("") + rs->value(size_t{0}).toText();
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
    return texto;
}

std::string CondicionColumna(std::string_view Tabla, std::string_view Campo) {
    return " WHERE SYSCOLUMNS.ID = OBJECT_ID('" + DuplicarComillas(Tabla) +
           "') AND UPPER(SYSCOLUMNS.NAME) ='" + DuplicarComillas(Mayusculas(Campo)) + "'";
}

std::string SentenciaAnadirDefecto(std::string_view Tabla, std::string_view Campo,
                                   std::string_view nombre, std::string_view expresion) {
    return Unir({"ALTER TABLE ", Tabla, " ADD CONSTRAINT [", nombre, "] DEFAULT ", expresion,
                 " FOR ", Campo});
}

}  // namespace

std::string NombreDefectoNuevo(std::string_view Tabla, std::string_view Campo) {
    return Unir({"DF__", Tabla, "__", PrimerasLetras(Campo, 12), "__389C9811"});
}

namespace {

// The change itself: the default dropped, the type changed, a default put back.
bool CambiarTipoYDefecto(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
                         std::string_view NuevoTipo, std::string_view NuevoDefecto) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(
        "SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.CDEFAULT = "
        "SYSOBJECTS.ID" +
            CondicionColumna(Tabla, Campo),
        db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return false;
    std::string restriccion;
    if (!rs->bof() && !rs->eof()) restriccion = rs->value(size_t{0}).toText();
    rs->close();

    std::optional<std::string> definicionAnterior;
    if (!restriccion.empty()) {
        // Kept so that the default can be put back should the type change be refused.
        definicionAnterior =
            LeerTexto(Conexion,
                      "SELECT SYSCOMMENTS.TEXT FROM SYSCOLUMNS INNER JOIN SYSCOMMENTS ON "
                      "SYSCOLUMNS.CDEFAULT = SYSCOMMENTS.ID" +
                          CondicionColumna(Tabla, Campo));
        Conexion.clearError();
        if (!Conexion
                 .execute("ALTER TABLE " + std::string(Tabla) + " DROP CONSTRAINT [" + restriccion +
                          "]")
                 .ok()) {
            return false;
        }
    }

    const db::Status alterado =
        Conexion.execute("ALTER TABLE " + std::string(Tabla) + " ALTER COLUMN " +
                         std::string(Campo) + " " + std::string(NuevoTipo));
    if (!alterado.ok()) {
        if (definicionAnterior) {
            Conexion.execute(
                SentenciaAnadirDefecto(Tabla, Campo, restriccion, *definicionAnterior));
            // The caller sees the refusal of the type change, not the outcome of the repair.
            Conexion.setPendingError(alterado);
        }
        return false;
    }
    if (NuevoDefecto.empty()) return true;

    const std::string nombre = restriccion.empty() ? NombreDefectoNuevo(Tabla, Campo) : restriccion;
    Conexion.clearError();
    return Conexion.execute(SentenciaAnadirDefecto(Tabla, Campo, nombre, NuevoDefecto)).ok();
}

}  // namespace

bool CambiarTipoDatos(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
                      std::string_view NuevoTipo, std::string_view NuevoDefecto) {
    if (!CambioNecesario(Conexion, Tabla, Campo, NuevoTipo)) return false;

    // The three statements are one change: a run stopped between them would leave the column
    // retyped without its default, and the next run, finding the new type, would not come back
    // to it. The caller sees the change's own outcome, not the transaction's.
    bool cambiado = false;
    EnUnaTransaccion(Conexion, [&] {
        cambiado = CambiarTipoYDefecto(Conexion, Tabla, Campo, NuevoTipo, NuevoDefecto);
    });
    return cambiado;
}

}  // namespace schema
