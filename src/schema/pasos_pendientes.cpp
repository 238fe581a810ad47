#include "schema/pasos_pendientes.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "schema/sql_text.h"
#include "schema/transaction.h"

namespace schema {

namespace {

std::string Mayusculas(std::string_view texto) {
    std::string out(texto);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// Every column of every user table, as "TABLA.COLUMNA".
constexpr std::string_view kConsultaColumnas =
    "SELECT o.name, c.name FROM sysobjects o INNER JOIN syscolumns c ON c.id = o.id "
    "WHERE o.xtype = 'U'";
constexpr std::string_view kConsultaPasos = "SELECT PASO FROM PASOSPENDIENTES";
constexpr std::string_view kBorrarTablaPasos = "DROP TABLE PASOSPENDIENTES";

// The rows of a one- or two-column query, joined with '.'; false when it could not be read.
bool Leer(db::Connection& Conexion, std::string_view consulta, run::PasosPendientes::Conjunto& out) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(consulta, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (rs == nullptr || Conexion.hasError()) {
        Conexion.clearError();
        return false;
    }
    while (!rs->eof()) {
        std::string valor = rs->value(size_t{0}).toText();
        if (rs->fieldCount() > 1) valor = Mayusculas(valor + "." + rs->value(size_t{1}).toText());
        out.insert(std::move(valor));
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
    Conexion.clearError();
    return true;
}

}  // namespace

std::string ClaveColumna(std::string_view Tabla, std::string_view Campo) {
    return Mayusculas(Unir({Tabla, ".", Campo}));
}

std::string ClavePaso(std::string_view Tabla, std::string_view Guarda) {
    return "paso " + (Guarda.empty() ? Mayusculas(Tabla) : ClaveColumna(Tabla, Guarda));
}

std::string SentenciaCrearTablaPasos() {
    return "CREATE TABLE PASOSPENDIENTES (PASO VARCHAR(255) NOT NULL)";
}

std::string SentenciaMarcarPaso(std::string_view clave) {
    return Unir({"INSERT INTO PASOSPENDIENTES (PASO) VALUES ('", DuplicarComillas(clave), "')"});
}

std::vector<std::string> SentenciasMarcarPasoSiFalta(std::string_view clave) {
    const std::string c = DuplicarComillas(clave);
    return {"IF OBJECT_ID('PASOSPENDIENTES') IS NULL " + SentenciaCrearTablaPasos(),
            Unir({"IF NOT EXISTS (SELECT * FROM PASOSPENDIENTES WHERE PASO='", c, "') ",
                  SentenciaMarcarPaso(clave)})};
}

std::string SentenciaQuitarPaso(std::string_view clave) {
    return Unir({"DELETE FROM PASOSPENDIENTES WHERE PASO='", DuplicarComillas(clave), "'"});
}

void ComenzarFase(run::RunContext& ctx, db::Connection& Conexion) {
    run::PasosPendientes pasos;
    if (!Leer(Conexion, kConsultaColumnas, pasos.columnas)) {
        ctx.pasos = {};
        return;
    }
    pasos.activos = true;
    for (const std::string& columna : pasos.columnas)
        pasos.tablas.insert(columna.substr(0, columna.find('.')));
    pasos.tablaExiste =
        pasos.columnas.contains(ClaveColumna(kTablaPasosPendientes, "PASO"));
    if (pasos.tablaExiste && Leer(Conexion, kConsultaPasos, pasos.heredados)) {
        pasos.enTabla = pasos.heredados;
        // A run killed between its last marker's removal and the table's drop left it empty.
        if (pasos.enTabla.empty() && Conexion.execute(kBorrarTablaPasos).ok())
            pasos.tablaExiste = false;
        Conexion.clearError();
    }
    ctx.pasos = std::move(pasos);
}

void TerminarFase(run::RunContext& ctx, db::Connection& Conexion) {
    if (ctx.pasos.activos && ctx.pasos.tablaExiste && ctx.pasos.enTabla.empty()) {
        Conexion.clearError();
        Conexion.execute(kBorrarTablaPasos);
        Conexion.clearError();
    }
    ctx.pasos = {};
}

bool TieneColumna(const run::RunContext& ctx, std::string_view Tabla, std::string_view Campo) {
    return ctx.pasos.columnas.contains(ClaveColumna(Tabla, Campo));
}

bool FaltaColumna(const run::RunContext& ctx, std::string_view Tabla, std::string_view Campo) {
    return ctx.pasos.tablas.contains(Mayusculas(Tabla)) && !TieneColumna(ctx, Tabla, Campo);
}

void AnotarColumna(run::RunContext& ctx, std::string_view Tabla, std::string_view Campo) {
    if (!ctx.pasos.activos) return;
    ctx.pasos.columnas.insert(ClaveColumna(Tabla, Campo));
    ctx.pasos.tablas.insert(Mayusculas(Tabla));
}

PasoPendiente::PasoPendiente(run::RunContext& ctx, db::Connection& Conexion, std::string clave)
    : ctx_(ctx), conexion_(Conexion), clave_(std::move(clave)) {}

bool PasoPendiente::Heredado() const {
    return ctx_.pasos.heredados.contains(clave_);
}

bool PasoPendiente::Marcado() const {
    return ctx_.pasos.enTabla.contains(clave_);
}

void PasoPendiente::Marcar() {
    run::PasosPendientes& pasos = ctx_.pasos;
    if (!pasos.activos || Marcado()) return;
    // The routines' own error state is theirs: the marker's statements leave it as they found it.
    const std::vector<db::Error> pendiente = conexion_.errors();
    conexion_.clearError();
    if (!pasos.tablaExiste) pasos.tablaExiste = conexion_.execute(SentenciaCrearTablaPasos()).ok();
    if (pasos.tablaExiste && conexion_.execute(SentenciaMarcarPaso(clave_)).ok())
        pasos.enTabla.insert(clave_);
    conexion_.clearError();
    if (!pendiente.empty()) conexion_.setPendingError(db::Status(pendiente));
}

void PasoPendiente::Quitar() {
    if (!Marcado()) return;
    const std::vector<db::Error> pendiente = conexion_.errors();
    conexion_.clearError();
    if (conexion_.execute(SentenciaQuitarPaso(clave_)).ok()) {
        ctx_.pasos.enTabla.erase(clave_);
        ctx_.pasos.heredados.erase(clave_);
    }
    conexion_.clearError();
    if (!pendiente.empty()) conexion_.setPendingError(db::Status(pendiente));
}

void PasoPendiente::HacerYQuitar(const std::function<void()>& trabajo) {
    bool marcado = false, heredado = false;
    const bool confirmado = EnUnaTransaccion(conexion_, [&] {
        trabajo();
        marcado = Marcado();
        heredado = Heredado();
        Quitar();
    });
    if (!confirmado) {
        // Rolled back: the marker is still there.
        if (marcado) ctx_.pasos.enTabla.insert(clave_);
        if (heredado) ctx_.pasos.heredados.insert(clave_);
    }
    conexion_.clearError();
}

bool PasoTrasGuarda(run::RunContext& ctx, db::Connection& Conexion, std::string clave,
                    bool faltaGuarda, const std::function<ResultadoCampo()>& crearGuarda,
                    const std::function<void()>& paso) {
    PasoPendiente marca(ctx, Conexion, std::move(clave));
    if (faltaGuarda) marca.Marcar();
    const ResultadoCampo guarda = crearGuarda();
    const bool debido = guarda == ResultadoCampo::Creado ||
                        (guarda == ResultadoCampo::YaExistia && marca.Heredado());
    if (debido) paso();
    marca.Quitar();
    return debido;
}

ResultadoCampo GuardaEnLista(const run::RunContext& ctx, const CamposCreados& creados,
                             std::string_view Tabla, std::initializer_list<std::string_view> guardas) {
    bool todas = true;
    for (std::string_view g : guardas) {
        if (creados.contains(g)) continue;
        todas = false;
        if (!TieneColumna(ctx, Tabla, g)) return ResultadoCampo::Fallido;
    }
    return todas ? ResultadoCampo::Creado : ResultadoCampo::YaExistia;
}

ResultadoCampo Ambas(ResultadoCampo una, ResultadoCampo otra) {
    if (una == ResultadoCampo::Fallido || otra == ResultadoCampo::Fallido) return ResultadoCampo::Fallido;
    if (una == ResultadoCampo::Creado && otra == ResultadoCampo::Creado) return ResultadoCampo::Creado;
    return ResultadoCampo::YaExistia;
}

bool FaltanTodas(const run::RunContext& ctx, std::string_view Tabla,
                 std::initializer_list<std::string_view> guardas) {
    if (!ctx.pasos.tablas.contains(Mayusculas(Tabla))) return false;
    for (std::string_view g : guardas)
        if (TieneColumna(ctx, Tabla, g)) return false;
    return true;
}

ResultadoCampo CrearCampoConPaso(run::RunContext& ctx, db::Connection& Conexion,
                                 std::string_view Tabla, const DefinicionCampo& definicion,
                                 const std::function<void()>& paso) {
    ResultadoCampo resultado = ResultadoCampo::Fallido;
    const bool hecho = PasoTrasGuarda(
        ctx, Conexion, ClavePaso(Tabla, definicion.campo), FaltaColumna(ctx, Tabla, definicion.campo),
        [&] { return resultado = CrearCampo(ctx, Conexion, Tabla, definicion); }, paso);
    return hecho ? ResultadoCampo::Creado : resultado;
}

}  // namespace schema
