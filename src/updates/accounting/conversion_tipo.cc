#include "updates/accounting/conversion_tipo.h"

#include <initializer_list>

#include "schema/sql_text.h"

namespace updates::accounting {

std::string LoteConversionTipo(const ConversionTipo& c) {
    std::string lote;
    auto linea = [&lote](std::initializer_list<std::string_view> partes) {
        lote += schema::Unir(partes);
        lote += '\r';
    };
    linea(
        {"IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
         "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='",
         c.campo, "' and systypes.name='", c.tipoOrigen, "')"});
    linea({"begin"});
    linea({"declare @Def varchar(255)"});
    linea({"declare @consulta  NVARCHAR(500)"});
    if (c.conComentario) linea({"-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO"});
    linea(
        {"set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
         "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('",
         c.tabla, "') AND UPPER(SYSCOLUMNS.NAME) ='", c.campo, "')"});
    linea({"IF @Def <> ''"});
    linea({"begin"});
    linea({"set @consulta = 'ALTER TABLE ", c.tabla, " DROP CONSTRAINT ' + @Def"});
    linea({"exec SP_EXECUTESQL @consulta"});
    linea({"End"});
    linea({"ALTER TABLE ", c.tabla, " ALTER COLUMN ", c.campo, " ", c.tipoDestino});
    linea({"if @def <> ''"});
    linea({"begin"});
    linea({"set @consulta = 'ALTER TABLE ", c.tabla, " ADD CONSTRAINT ' + @def + ' DEFAULT(",
           c.defecto, ") FOR ", c.campo, "'"});
    linea({"exec SP_EXECUTESQL @consulta"});
    linea({"End"});
    linea({"End"});
    return lote;
}

}  // namespace updates::accounting
