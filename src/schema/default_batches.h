// The batches that rebind a column's default constraint under the constraint's own name.
//
// SQL Server refuses to alter a column that has a default bound to it, and a default cannot be
// changed in place. So a routine that must change such a column's type, or its default, sends
// one T-SQL batch (as a plain statement: its outcome is neither examined nor logged) that looks
// the constraint's name up in the catalogue, drops the constraint and binds a new one with the
// same name. Two batches of this kind exist:
//
//   Default repair (LoteReparacionDefecto): a size or colour column of an older release may
//   carry a default other than ('00000'); the batch binds ('00000') in its place.
//
//     IF EXISTS (... the default of a column LIKE '%<patron>' whose text is not ('00000'))begin
//     declare @Def varchar(255)
//     declare @consulta  NVARCHAR(500)
//     -- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO
//     set @Def = (... the name of the default bound to <COL> of <T> ...)
//     IF @Def <> ''
//     begin
//     set @consulta = 'ALTER TABLE <T> DROP CONSTRAINT ' + @Def
//     exec SP_EXECUTESQL @consulta
//     set @consulta = 'ALTER TABLE <T> ADD CONSTRAINT ' + @def + ' DEFAULT(''00000'') FOR <COL>'
//     exec SP_EXECUTESQL @consulta
//     End
//     End
//
//   Type conversion (LoteConversionTipo): the column gets another type, and its default (if it
//   had one) is bound again with a default of the caller's choosing.
//
//     IF EXISTS (... a column named <COL> whose type is <source type> ...)
//     begin
//     declare @Def varchar(255)
//     declare @consulta  NVARCHAR(500)
//     -- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO       (only with the comment line)
//     set @Def = (... the name of the default bound to <COL> of <T> ...)
//     IF @Def <> ''
//     begin
//     set @consulta = 'ALTER TABLE <T> DROP CONSTRAINT ' + @Def
//     exec SP_EXECUTESQL @consulta
//     End
//     ALTER TABLE <T> ALTER COLUMN <COL> <target type>
//     if @def <> ''
//     begin
//     set @consulta = 'ALTER TABLE <T> ADD CONSTRAINT ' + @def + ' DEFAULT(<default>) FOR <COL>'
//     exec SP_EXECUTESQL @consulta
//     End
//     End
//
// Every line ends in a carriage return alone, the last one included; the comment line needs it
// to end. The existence test of the conversion looks at every column of that name in the
// database, not only the one of <T>; the batch is sent as it always has been. The table's name
// reaches string literals (OBJECT_ID and the dynamic statements), so its quotes are doubled
// there; a family table never holds one, and the text is then the name as it is.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace schema {

struct ReparacionDefecto {
    // The end of the column name that the existence test matches (LIKE '%' + patron), as the
    // column is spelt in the release that added it ("FACTURAS2Color", "Color").
    std::string_view patronColumna;
    // The column in upper case: compared with UPPER(SYSCOLUMNS.NAME) and named in the FOR
    // clause of the new constraint ("FACTURAS2COLOR", "COLOR").
    std::string_view columna;
};

// The batch that gives the default of `reparacion`'s column in `tabla` the value '00000'.
std::string LoteReparacionDefecto(std::string_view tabla, const ReparacionDefecto& reparacion);

struct ConversionTipo {
    std::string_view tabla;        // <T>, as written in the statements
    std::string_view campo;        // <COL>, written in upper case by every caller
    std::string_view tipoOrigen;   // the type name the existence test looks for
    std::string_view tipoDestino;  // the type after ALTER COLUMN
    std::string_view defecto;      // the expression inside DEFAULT(...), as the literal holds it
    bool conComentario = true;     // with the "-- LOCALIZAMOS ..." line
};

std::string LoteConversionTipo(const ConversionTipo& conversion);

}  // namespace schema
