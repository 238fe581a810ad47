// Purchase invoice lines: the release columns (colour before size), and the repair of the size
// column's default on the runs that find the column already there.
#include "updates/purchases/lineas_facturas_compra.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/statement_trace.h"
#include "updates/purchases/compras_test.h"

namespace compras_test {
namespace {

using test_support::ErrorServidor;
using ::testing::ElementsAre;

std::string TablaLineas(const std::string& tabla, const std::string& talla = "") {
    return "CREATE TABLE " + tabla +
           " (ComprasFacturas2Numero int NOT NULL, ComprasFacturas2Linea int NOT NULL, "
           "ComprasFacturas2CodArticulo varchar(10) NULL" +
           (talla.empty() ? "" : ", ComprasFacturas2Talla " + talla) + ")";
}

bool EsLoteTalla(const std::string& sql) {
    return sql.starts_with("IF EXISTS (Select syscomments");
}

class LineasFacturasCompraEngineTest : public EngineTest {
  protected:
    test_support::StatementTrace traza_;
};

TEST_F(LineasFacturasCompraEngineTest, AnOldSizeDefaultBecomesFiveZerosUnderItsOwnName) {
    Empresa({TablaLineas("E2013ComprasFacturasLineas",
                         "varchar(5) NOT NULL CONSTRAINT DF_E2013ComprasFacturasLineas_Talla "
                         "DEFAULT '0'"),
             "INSERT INTO E2013ComprasFacturasLineas (ComprasFacturas2Numero, "
             "ComprasFacturas2Linea, ComprasFacturas2CodArticulo, ComprasFacturas2Talla) VALUES "
             "(1, 1, 'HAR0000001', '0')"});
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, *conn_);

    EXPECT_EQ(Columna("E2013ComprasFacturasLineas", "ComprasFacturas2Talla"),
              "varchar(5) NOT NULL ('00000')");
    EXPECT_EQ(Restriccion("E2013ComprasFacturasLineas", "ComprasFacturas2Talla"),
              "DF_E2013ComprasFacturasLineas_Talla");
    // The repair binds the default; the rows keep what they hold.
    EXPECT_EQ(Consulta("SELECT ComprasFacturas2Talla, ComprasFacturas2Color FROM "
                       "E2013ComprasFacturasLineas"),
              (Filas{{"0", "00000"}}));
    ASSERT_TRUE(conn_
                    ->execute("INSERT INTO E2013ComprasFacturasLineas (ComprasFacturas2Numero, "
                              "ComprasFacturas2Linea) VALUES (1, 2)")
                    .ok());
    EXPECT_EQ(Consulta("SELECT ComprasFacturas2Talla FROM E2013ComprasFacturasLineas WHERE "
                       "ComprasFacturas2Linea = 2"),
              Filas{{"00000"}});
    // The repair is silent: the start line and the three columns added.
    EXPECT_EQ(Entries().size(), 1u + 3u);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(LineasFacturasCompraEngineTest, AServerNamedDefaultIsRepairedUnderTheServersName) {
    Empresa({TablaLineas("E2014ComprasFacturasLineas", "varchar(5) NOT NULL DEFAULT ''")});
    const std::string antes = Restriccion("E2014ComprasFacturasLineas", "ComprasFacturas2Talla");
    ASSERT_FALSE(antes.empty());
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, *conn_);
    EXPECT_EQ(Columna("E2014ComprasFacturasLineas", "ComprasFacturas2Talla"),
              "varchar(5) NOT NULL ('00000')");
    EXPECT_EQ(Restriccion("E2014ComprasFacturasLineas", "ComprasFacturas2Talla"), antes);
}

TEST_F(LineasFacturasCompraEngineTest, AFiveZeroDefaultAndASizeWithoutDefaultAreLeftAlone) {
    Empresa({TablaLineas("E2014ComprasFacturasLineas",
                         "varchar(5) NOT NULL CONSTRAINT DF_E2014ComprasFacturasLineas_Talla "
                         "DEFAULT '00000'"),
             TablaLineas("E2015ComprasFacturasLineas", "varchar(5) NULL")});
    const Filas objetoAntes =
        Consulta("SELECT id FROM sysobjects WHERE name = 'DF_E2014ComprasFacturasLineas_Talla'");
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, *conn_);

    // The batch ran on both tables (the column was there) and changed neither.
    const std::vector<db::trace::Record> registros = traza_.Records();
    EXPECT_EQ(std::count_if(registros.begin(), registros.end(),
                            [](const db::trace::Record& r) {
                                return EsLoteTalla(r.statement) && r.outcome == "ok";
                            }),
              2);
    EXPECT_EQ(Consulta("SELECT id FROM sysobjects WHERE name = "
                       "'DF_E2014ComprasFacturasLineas_Talla'"),
              objetoAntes);
    EXPECT_EQ(Columna("E2015ComprasFacturasLineas", "ComprasFacturas2Talla"), "varchar(5) NULL -");
}

TEST_F(LineasFacturasCompraEngineTest, ATableWithoutSizeGetsColourThenSizeAndNoRepair) {
    Empresa({TablaLineas("E2012ComprasFacturasLineas"),
             "INSERT INTO E2012ComprasFacturasLineas VALUES (1, 1, 'HAR0000001')"});
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, *conn_);

    EXPECT_EQ(Columna("E2012ComprasFacturasLineas", "ComprasFacturas2CodArticulo"),
              "varchar(20) NULL -");
    EXPECT_EQ(Columna("E2012ComprasFacturasLineas", "ComprasFacturas2Color"),
              "varchar(5) NOT NULL ('00000')");
    EXPECT_EQ(Columna("E2012ComprasFacturasLineas", "ComprasFacturas2Talla"),
              "varchar(5) NOT NULL ('00000')");
    EXPECT_EQ(Columna("E2012ComprasFacturasLineas", "ComprasFacturas2CodigoArticuloProveedor"),
              "varchar(50) NULL -");
    EXPECT_EQ(Columna("E2012ComprasFacturasLineas", "ComprasFacturas2Lote"),
              "varchar(50) NOT NULL ('0000000000')");
    EXPECT_EQ(Consulta("SELECT ComprasFacturas2Color, ComprasFacturas2Talla, "
                       "ComprasFacturas2CodigoArticuloProveedor, ComprasFacturas2Lote FROM "
                       "E2012ComprasFacturasLineas"),
              (Filas{{"00000", "00000", "NULL", "0000000000"}}));
    EXPECT_THAT(Entries(),
                ElementsAre(Inicio("Comenzando actualizacion estructura lineas facturas de compra "
                                   "en la empresa",
                                   Servidor()),
                            Creada("ComprasFacturas2Color", Servidor()),
                            Creada("ComprasFacturas2Talla", Servidor()),
                            Creada("ComprasFacturas2CodigoArticuloProveedor", Servidor()),
                            Creada("ComprasFacturas2Lote", Servidor())));
    for (const std::string& sql : traza_.Statements())
        EXPECT_FALSE(EsLoteTalla(sql));
}

// The batch as it is documented, line by line.
std::string LoteEsperado(const std::string& t) {
    const std::vector<std::string> lineas = {
        "IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
        "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND Sysobjects.PARENT_OBJ "
        "=OBJECT_ID('" +
            t +
            "') AND COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) LIKE "
            "'%FACTURAS2Talla' and syscomments.text<>'(''00000'')')begin",
        "declare @Def varchar(255)",
        "declare @consulta  NVARCHAR(500)",
        "-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO",
        "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
        "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('" +
            t + "') AND UPPER(SYSCOLUMNS.NAME) ='COMPRASFACTURAS2TALLA')",
        "IF @Def <> ''",
        "begin",
        "set @consulta = 'ALTER TABLE " + t + " DROP CONSTRAINT ' + @Def",
        "exec SP_EXECUTESQL @consulta",
        "set @consulta = 'ALTER TABLE " + t +
            " ADD CONSTRAINT ' + @def + ' DEFAULT(''00000'') FOR COMPRASFACTURAS2TALLA'",
        "exec SP_EXECUTESQL @consulta",
        "End",
        "End",
    };
    std::string lote;
    for (const std::string& l : lineas)
        lote += l + "\r";
    return lote;
}

TEST(LoteDefectoTallaTest, TheBatchIsSentLineByLineWithCarriageReturns) {
    EXPECT_EQ(schema::LoteReparacionDefecto("E2013ComprasFacturasLineas",
                                            updates::purchases::kReparacionTallaFacturasCompra),
              LoteEsperado("E2013ComprasFacturasLineas"));
}

TEST(LoteDefectoTallaTest, AQuoteInTheTableNameCannotEndTheLiterals) {
    const std::string lote = schema::LoteReparacionDefecto(
        "E20'3ComprasFacturasLineas", updates::purchases::kReparacionTallaFacturasCompra);
    EXPECT_NE(lote.find("OBJECT_ID('E20''3ComprasFacturasLineas')"), std::string::npos);
    EXPECT_NE(lote.find("'ALTER TABLE E20''3ComprasFacturasLineas DROP CONSTRAINT '"),
              std::string::npos);
    EXPECT_EQ(lote.find("E20'3"), std::string::npos);
}

class LineasFacturasCompraTest : public ScriptedTest {};

const char kTallaE2013[] =
    "Alter Table E2013ComprasFacturasLineas ADD ComprasFacturas2Talla varchar (5) NOT NULL "
    "DEFAULT('00000') ";

TEST_F(LineasFacturasCompraTest, TheRepairFollowsTheSizeColumnOnlyWhenItWasAlreadyThere) {
    ConFamilia(conn_, "ComprasFacturasLineas",
               {"E2012ComprasFacturasLineas", "E2013ComprasFacturasLineas"});
    conn_.FallaCon(kTallaE2013, ErrorServidor(2705, "Column names must be unique."));
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, conn_);

    std::vector<std::string> lotes;
    for (const std::string& sql : conn_.Enviadas())
        if (EsLoteTalla(sql)) lotes.push_back(sql);
    EXPECT_THAT(lotes, ElementsAre(LoteEsperado("E2013ComprasFacturasLineas")));
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    const auto lote = std::find(enviadas.begin(), enviadas.end(), lotes.front());
    EXPECT_EQ(*(lote - 1), kTallaE2013);
    EXPECT_EQ(*(lote + 1),
              "Alter Table E2013ComprasFacturasLineas ADD ComprasFacturas2CodigoArticuloProveedor "
              "varchar (50) ");
}

TEST_F(LineasFacturasCompraTest, ASizeColumnThatFailedForAnotherReasonIsNotRepaired) {
    ConFamilia(conn_, "ComprasFacturasLineas", {"E2013ComprasFacturasLineas"});
    conn_.FallaCon(kTallaE2013, ErrorServidor(4902, "Cannot find the object."));
    updates::purchases::ActualizaLineasFacturasCompra(ctx_, conn_);
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(EsLoteTalla(sql));
    EXPECT_TRUE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace compras_test
