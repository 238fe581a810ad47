#include "updates/sales/reparacion_defecto.h"

#include "schema/sql_text.h"

namespace updates::sales {

std::string LoteReparacionDefecto(std::string_view tabla, const ReparacionDefecto& reparacion) {
    // A carriage return alone ends each line; the first line runs straight into "begin".
    constexpr std::string_view CR = "\r";
    using schema::Unir;
    std::string lote =
        Unir({"IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
              "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND Sysobjects.PARENT_OBJ "
              "=OBJECT_ID('",
              tabla, "') AND COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) LIKE '%",
              reparacion.patronColumna, "' and syscomments.text<>'(''00000'')')", "begin", CR});
    lote += Unir({"declare @Def varchar(255)", CR});
    lote += Unir({"declare @consulta  NVARCHAR(500)", CR});
    lote += Unir({"-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO", CR});
    lote +=
        Unir({"set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
              "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('",
              tabla, "') AND UPPER(SYSCOLUMNS.NAME) ='", reparacion.columna, "')", CR});
    lote += Unir({"IF @Def <> ''", CR});
    lote += Unir({"begin", CR});
    lote += Unir({"set @consulta = 'ALTER TABLE ", tabla, " DROP CONSTRAINT ' + @Def", CR});
    lote += Unir({"exec SP_EXECUTESQL @consulta", CR});
    lote +=
        Unir({"set @consulta = 'ALTER TABLE ", tabla,
              " ADD CONSTRAINT ' + @def + ' DEFAULT(''00000'') FOR ", reparacion.columna, "'", CR});
    lote += Unir({"exec SP_EXECUTESQL @consulta", CR});
    lote += Unir({"End", CR});
    lote += Unir({"End", CR});
    return lote;
}

}  // namespace updates::sales
