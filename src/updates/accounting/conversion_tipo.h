// The type-conversion batch: one T-SQL batch that changes the type of a column which carries a
// default constraint, keeping the constraint's name. SQL Server refuses to alter a column with
// a bound default, so the batch looks the constraint's name up in the catalogue, drops it,
// alters the column and binds a constraint of the same name again with the new default:
//
//   IF EXISTS (Select systypes.name from syscolumns inner join systypes on
//              syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='<COL>' and
//              systypes.name='<source type>')
//   begin
//   declare @Def varchar(255)
//   declare @consulta  NVARCHAR(500)
//   -- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO          (only with the comment line)
//   set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON
//               SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('<T>') AND
//               UPPER(SYSCOLUMNS.NAME) ='<COL>')
//   IF @Def <> ''  begin  set @consulta = 'ALTER TABLE <T> DROP CONSTRAINT ' + @Def
//                         exec SP_EXECUTESQL @consulta  End
//   ALTER TABLE <T> ALTER COLUMN <COL> <target type>
//   if @def <> ''  begin  set @consulta = 'ALTER TABLE <T> ADD CONSTRAINT ' + @def +
//                         ' DEFAULT(<default>) FOR <COL>'  exec SP_EXECUTESQL @consulta  End
//   End
//
// (one statement per line as written above), every line ended by a carriage return alone
// (character 13), the last one included. The comment line must keep its carriage return: it is
// what ends the comment. The existence test looks at every column of that name in the
// database, not only the one of <T>; the batch is sent as it always has been.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <string_view>

namespace updates::accounting {

struct ConversionTipo {
    std::string_view tabla;        // <T>, as written in the statements
    std::string_view campo;        // <COL>, written in upper case by every caller
    std::string_view tipoOrigen;   // the type name the existence test looks for
    std::string_view tipoDestino;  // the type after ALTER COLUMN
    std::string_view defecto;      // the expression inside DEFAULT(...)
    bool conComentario = true;     // with the "-- LOCALIZAMOS ..." line
};

std::string LoteConversionTipo(const ConversionTipo& conversion);

}  // namespace updates::accounting
