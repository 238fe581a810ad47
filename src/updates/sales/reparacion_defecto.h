// The default repair of a size or colour column: a column of an older release may carry a
// bound default other than ('00000'); the repair binds ('00000') under the constraint's own
// name. It is one batch, sent as a plain statement, that looks the constraint up in the
// catalogue, drops it and adds it again through SP_EXECUTESQL:
//
//   IF EXISTS (... the default of a column LIKE '%<patron>' whose text is not ('00000'))begin
//   declare @Def varchar(255)
//   declare @consulta  NVARCHAR(500)
//   -- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO
//   set @Def = (... the name of the default bound to <COLUMNA> ...)
//   IF @Def <> ''
//   begin
//   set @consulta = 'ALTER TABLE T DROP CONSTRAINT ' + @Def
//   exec SP_EXECUTESQL @consulta
//   set @consulta = 'ALTER TABLE T ADD CONSTRAINT ' + @def + ' DEFAULT(''00000'') FOR <COLUMNA>'
//   exec SP_EXECUTESQL @consulta
//   End
//   End
//
// every line ended by a carriage return alone (the comment line needs it to end). A column
// whose default already is ('00000'), or that has none, is left alone; the batch's outcome is
// neither examined nor logged. The invoice lines repair FACTURAS2Color and the warehouse
// movements COLOR; the purchase invoice lines repair their size column with the same batch.
//
// Thread-safe (pure functions).
#pragma once

#include <string>
#include <string_view>

namespace updates::sales {

struct ReparacionDefecto {
    // The end of the column name that the existence test matches (LIKE '%' + patron), as
    // the column is spelt in the release that added it ("FACTURAS2Color", "Color").
    std::string_view patronColumna;
    // The column in upper case: compared with UPPER(SYSCOLUMNS.NAME) and named in the FOR
    // clause of the new constraint ("FACTURAS2COLOR", "COLOR").
    std::string_view columna;
};

// The batch that gives the default of `reparacion`'s column in `tabla` the value '00000'.
std::string LoteReparacionDefecto(std::string_view tabla, const ReparacionDefecto& reparacion);

}  // namespace updates::sales
