#include "schema/default_batches.h"

#include <initializer_list>
#include <utility>

#include "schema/sql_text.h"

namespace schema {
namespace {

// A batch written line by line, each line ended by a carriage return alone.
class Lote {
  public:
    void Linea(std::initializer_list<std::string_view> partes) {
        texto_ += Unir(partes);
        texto_ += '\r';
    }
    std::string Texto() && { return std::move(texto_); }

  private:
    std::string texto_;
};

// The declarations, the look-up of the default's name and the dropping of the constraint, which
// both batches share. `t` is the table's name as it goes into literals.
void QuitarDefecto(Lote& lote, std::string_view t, std::string_view columna, bool conComentario) {
    lote.Linea({"declare @Def varchar(255)"});
    lote.Linea({"declare @consulta  NVARCHAR(500)"});
    if (conComentario) lote.Linea({"-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO"});
    lote.Linea(
        {"set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
         "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('",
         t, "') AND UPPER(SYSCOLUMNS.NAME) ='", columna, "')"});
    lote.Linea({"IF @Def <> ''"});
    lote.Linea({"begin"});
    lote.Linea({"set @consulta = 'ALTER TABLE ", t, " DROP CONSTRAINT ' + @Def"});
    lote.Linea({"exec SP_EXECUTESQL @consulta"});
}

// Binds the constraint again under the name found, and closes the block that tested the name.
void PonerDefecto(Lote& lote, std::string_view t, std::string_view columna,
                  std::string_view defecto) {
    lote.Linea({"set @consulta = 'ALTER TABLE ", t, " ADD CONSTRAINT ' + @def + ' DEFAULT(",
                defecto, ") FOR ", columna, "'"});
    lote.Linea({"exec SP_EXECUTESQL @consulta"});
    lote.Linea({"End"});
}

}  // namespace

std::string LoteReparacionDefecto(std::string_view tabla, const ReparacionDefecto& reparacion) {
    const std::string t = DuplicarComillas(tabla);
    Lote lote;
    // The existence test runs straight into "begin", on the same line.
    lote.Linea(
        {"IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
         "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND Sysobjects.PARENT_OBJ "
         "=OBJECT_ID('",
         t, "') AND COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) LIKE '%",
         reparacion.patronColumna, "' and syscomments.text<>'(''00000'')')begin"});
    QuitarDefecto(lote, t, reparacion.columna, true);
    PonerDefecto(lote, t, reparacion.columna, "''00000''");
    lote.Linea({"End"});
    return std::move(lote).Texto();
}

std::string LoteConversionTipo(const ConversionTipo& c) {
    const std::string t = DuplicarComillas(c.tabla);
    Lote lote;
    lote.Linea(
        {"IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
         "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='",
         c.campo, "' and systypes.name='", c.tipoOrigen, "')"});
    lote.Linea({"begin"});
    QuitarDefecto(lote, t, c.campo, c.conComentario);
    lote.Linea({"End"});
    lote.Linea({"ALTER TABLE ", c.tabla, " ALTER COLUMN ", c.campo, " ", c.tipoDestino});
    lote.Linea({"if @def <> ''"});
    lote.Linea({"begin"});
    PonerDefecto(lote, t, c.campo, c.defecto);
    lote.Linea({"End"});
    return std::move(lote).Texto();
}

}  // namespace schema
