#include "updates/purchases/lineas_facturas_compra.h"

#include "schema/column_creation.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

constexpr std::string_view kTalla = "ComprasFacturas2Talla";
constexpr std::string_view kPasoDefectoTalla = "defecto de la talla";

constexpr PasoTabla kPasosLineasFacturasCompra[] = {
    PasoAmpliar("ComprasFacturas2CodArticulo", "<= 10", 20),
    PasoCrear("ComprasFacturas2Color", "varchar", 5, true, "'00000'"),
    PasoCrear(kTalla, "varchar", 5, true, "'00000'"),
    PasoEspecial(kPasoDefectoTalla),
    PasoCrear("ComprasFacturas2CodigoArticuloProveedor", "varchar", 50, false, ""),
    PasoCrear("ComprasFacturas2Lote", "varchar", 50, true, "'0000000000'"),
};

constexpr RutinaFamilia kLineasFacturasCompra = {
    "Comenzando actualizacion estructura lineas facturas de compra en la empresa",
    "ComprasFacturasLineas",
    kPasosLineasFacturasCompra,
};

}  // namespace

std::string LoteDefectoTalla(std::string_view tabla) {
    // The table's name goes into string literals (OBJECT_ID and the dynamic statements), so
    // its quotes are doubled; a family name never holds one, and the text is then unchanged.
    const std::string t = schema::DuplicarComillas(tabla);
    const char cr = '\r';
    std::string lote;
    lote += schema::Unir(
        {"IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
         "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND Sysobjects.PARENT_OBJ "
         "=OBJECT_ID('",
         t,
         "') AND COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) LIKE '%FACTURAS2Talla' and "
         "syscomments.text<>'(''00000'')')"});
    lote += "begin";
    lote += cr;
    for (const std::string& linea : {
             std::string("declare @Def varchar(255)"),
             std::string("declare @consulta  NVARCHAR(500)"),
             std::string("-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO"),
             schema::Unir({"set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN "
                           "SYSOBJECTS ON SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID "
                           "= OBJECT_ID('",
                           t, "') AND UPPER(SYSCOLUMNS.NAME) ='COMPRASFACTURAS2TALLA')"}),
             std::string("IF @Def <> ''"),
             std::string("begin"),
             schema::Unir({"set @consulta = 'ALTER TABLE ", t, " DROP CONSTRAINT ' + @Def"}),
             std::string("exec SP_EXECUTESQL @consulta"),
             schema::Unir({"set @consulta = 'ALTER TABLE ", t,
                           " ADD CONSTRAINT ' + @def + ' DEFAULT(''00000'') FOR "
                           "COMPRASFACTURAS2TALLA'"}),
             std::string("exec SP_EXECUTESQL @consulta"),
             std::string("End"),
             std::string("End"),
         }) {
        lote += linea;
        lote += cr;
    }
    return lote;
}

void ActualizaLineasFacturasCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(
        ctx, Conexion, kLineasFacturasCompra,
        [&](std::string_view paso, const std::string& tabla, const ResultadosTabla& anteriores) {
            if (paso != kPasoDefectoTalla) return;
            if (anteriores.De(kTalla) != schema::ResultadoCampo::YaExistia) return;
            schema::SentenciaSimple(Conexion, LoteDefectoTalla(tabla));
        });
}

}  // namespace updates::purchases
