// CrearCampo: the one operation through which the update routines add a column.
//
// It never asks beforehand whether the column exists: it sends
//     "Alter Table " T " ADD " C " " Tipo " " ["(" Longitud ") "] ["NOT NULL "] ["DEFAULT(" D ") "]
// (note the blank before the length parenthesis and the trailing blank), and with a default
// then fills the existing rows with "UPDATE " T " SET " C "=" D. The server's answer is
// classified into a ResultadoCampo:
//   Creado (1)     the column was added; logged at level 2 as
//                  "Campo C actualizado correctamente en la empresa <code> , servidor: <server>"
//   YaExistia (2)  native error 2705 (the column is already there): silent, the usual case
//                  on every run after the first
//   Fallido (0)    any other refusal; logged at level 1, procedure "Form_Activate",
//                  "Error al crear el campo C en la empresa <code> , servidor: <server>", with
//                  the server's message as server text
// <code> is the current company code of the run context (empty in the central phase) and
// <server> the run's `parametros.Servidor`. A failure of the follow-up UPDATE is ignored.
// Callers that hold the column lists of a Part as data use DefinicionCampo tables and
// CrearCampos.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace schema {

// The length argument, which callers give as a number, a text or a Boolean. A length
// clause is written only when its numeric value is above zero: a number counts as itself,
// a text as the number it spells ("255"; a non-numeric text counts as 0), a Boolean as
// True = -1 / False = 0, so a Boolean never writes a length. Literal type: it fits in
// constexpr column tables.
class Longitud {
  public:
    enum class Clase { Numero, Texto, Booleano };

    constexpr Longitud() = default;  // no length
    constexpr Longitud(int numero) : clase_(Clase::Numero), numero_(numero) {}
    constexpr Longitud(long numero) : clase_(Clase::Numero), numero_(numero) {}
    constexpr Longitud(bool booleano) : clase_(Clase::Booleano), numero_(booleano ? -1 : 0) {}
    constexpr Longitud(const char* texto) : clase_(Clase::Texto), texto_(texto) {}
    constexpr Longitud(std::string_view texto) : clase_(Clase::Texto), texto_(texto) {}

    constexpr Clase clase() const { return clase_; }
    // The value compared with zero.
    double Valor() const;
    // The text written between the parentheses: the number in decimal, or the text as given.
    std::string Texto() const;

  private:
    Clase clase_ = Clase::Numero;
    long numero_ = 0;
    std::string_view texto_;
};

enum class ResultadoCampo : int {
    Fallido = 0,
    Creado = 1,
    YaExistia = 2,
};

// Native error of SQL Server for "Column names in each table must be unique".
inline constexpr int kErrorColumnaDuplicada = 2705;

// The ALTER TABLE text that CrearCampo sends.
std::string SentenciaCrearCampo(std::string_view Campo, std::string_view Tabla,
                                std::string_view Tipo, const Longitud& longitud, bool NotNull,
                                std::string_view Defecto);
// The follow-up UPDATE that fills existing rows with the default (only sent when Defecto is
// not empty).
std::string SentenciaRellenarCampo(std::string_view Campo, std::string_view Tabla,
                                   std::string_view Defecto);

// Adds column `Campo` to `Tabla` on `Conexion`, fills existing rows with a non-empty
// `Defecto`, logs and returns the outcome (see the top of this header). Never throws.
ResultadoCampo CrearCampo(run::RunContext& ctx, std::string_view Campo, std::string_view Tabla,
                          std::string_view Tipo, db::Connection& Conexion, const Longitud& longitud,
                          bool NotNull, std::string_view Defecto);

// One row of a Part's column table: column, type as written, length (none = Longitud{}),
// not null, default (empty = none).
struct DefinicionCampo {
    std::string_view campo;
    std::string_view tipo;
    Longitud longitud;
    bool notNull = false;
    std::string_view defecto;
};

// The same with its table, for column lists that span several tables.
struct CampoDeTabla {
    std::string_view tabla;
    DefinicionCampo definicion;
};

ResultadoCampo CrearCampo(run::RunContext& ctx, db::Connection& Conexion, std::string_view Tabla,
                          const DefinicionCampo& definicion);
// The names, as written in a column list, of the columns that one call of CrearCampos created;
// for the routines whose follow-up steps depend on columns of the list.
using CamposCreados = std::set<std::string, std::less<>>;

// Adds every column of `campos` to `Tabla`, in order; each outcome is logged by CrearCampo.
CamposCreados CrearCampos(run::RunContext& ctx, db::Connection& Conexion, std::string_view Tabla,
                          std::span<const DefinicionCampo> campos);
CamposCreados CrearCampos(run::RunContext& ctx, db::Connection& Conexion,
                          std::span<const CampoDeTabla> campos);

}  // namespace schema
