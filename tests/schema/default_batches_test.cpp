// The batches that rebind a column's default under its own name, held against the lines they
// have always sent.
#include "schema/default_batches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace schema {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r";
    return out;
}

TEST(ConversionTipoTest, TheAmountBatchCarriesEveryLineWithItsCarriageReturn) {
    const std::string expected = Lines({
        "IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
        "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='ACUCARTERAIMPORTE' and "
        "systypes.name='numeric')",
        "begin",
        "declare @Def varchar(255)",
        "declare @consulta  NVARCHAR(500)",
        "-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO",
        "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
        "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('ACUCARTERATABLA') "
        "AND "
        "UPPER(SYSCOLUMNS.NAME) ='ACUCARTERAIMPORTE')",
        "IF @Def <> ''",
        "begin",
        "set @consulta = 'ALTER TABLE ACUCARTERATABLA DROP CONSTRAINT ' + @Def",
        "exec SP_EXECUTESQL @consulta",
        "End",
        "ALTER TABLE ACUCARTERATABLA ALTER COLUMN ACUCARTERAIMPORTE FLOAT",
        "if @def <> ''",
        "begin",
        "set @consulta = 'ALTER TABLE ACUCARTERATABLA ADD CONSTRAINT ' + @def + ' DEFAULT(0) FOR "
        "ACUCARTERAIMPORTE'",
        "exec SP_EXECUTESQL @consulta",
        "End",
        "End",
    });
    EXPECT_EQ(
        LoteConversionTipo({"ACUCARTERATABLA", "ACUCARTERAIMPORTE", "numeric", "FLOAT", "0", true}),
        expected);
}

TEST(ConversionTipoTest, WithoutTheCommentLineTheLookUpFollowsTheDeclarations) {
    EXPECT_EQ(LoteConversionTipo({"E2014TABLA", "BIENINVERSION", "bit", "INT", "0", false}),
              Lines({
                  "IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
                  "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='BIENINVERSION' "
                  "and systypes.name='bit')",
                  "begin",
                  "declare @Def varchar(255)",
                  "declare @consulta  NVARCHAR(500)",
                  "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
                  "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = "
                  "OBJECT_ID('E2014TABLA') AND UPPER(SYSCOLUMNS.NAME) ='BIENINVERSION')",
                  "IF @Def <> ''",
                  "begin",
                  "set @consulta = 'ALTER TABLE E2014TABLA DROP CONSTRAINT ' + @Def",
                  "exec SP_EXECUTESQL @consulta",
                  "End",
                  "ALTER TABLE E2014TABLA ALTER COLUMN BIENINVERSION INT",
                  "if @def <> ''",
                  "begin",
                  "set @consulta = 'ALTER TABLE E2014TABLA ADD CONSTRAINT ' + @def + ' "
                  "DEFAULT(0) FOR BIENINVERSION'",
                  "exec SP_EXECUTESQL @consulta",
                  "End",
                  "End",
              }));
}

TEST(ConversionTipoTest, AQuoteInTheTableNameCannotEndTheLiterals) {
    const std::string lote =
        LoteConversionTipo({"E20'3TABLA", "SIIESTADO", "INT", "INTEGER", "-1", true});
    EXPECT_NE(lote.find("OBJECT_ID('E20''3TABLA')"), std::string::npos);
    EXPECT_NE(lote.find("'ALTER TABLE E20''3TABLA DROP CONSTRAINT '"), std::string::npos);
    EXPECT_NE(lote.find("'ALTER TABLE E20''3TABLA ADD CONSTRAINT '"), std::string::npos);
}

TEST(ReparacionDefectoTest, TheColumnIsMatchedByItsEndingAndNamedInUpperCase) {
    EXPECT_EQ(LoteReparacionDefecto("E2014FACTURASLineas", {"FACTURAS2Color", "FACTURAS2COLOR"}),
              Lines({
                  "IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
                  "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND "
                  "Sysobjects.PARENT_OBJ =OBJECT_ID('E2014FACTURASLineas') AND "
                  "COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) LIKE '%FACTURAS2Color' and "
                  "syscomments.text<>'(''00000'')')begin",
                  "declare @Def varchar(255)",
                  "declare @consulta  NVARCHAR(500)",
                  "-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO",
                  "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
                  "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = "
                  "OBJECT_ID('E2014FACTURASLineas') AND UPPER(SYSCOLUMNS.NAME) ='FACTURAS2COLOR')",
                  "IF @Def <> ''",
                  "begin",
                  "set @consulta = 'ALTER TABLE E2014FACTURASLineas DROP CONSTRAINT ' + @Def",
                  "exec SP_EXECUTESQL @consulta",
                  "set @consulta = 'ALTER TABLE E2014FACTURASLineas ADD CONSTRAINT ' + @def + ' "
                  "DEFAULT(''00000'') FOR FACTURAS2COLOR'",
                  "exec SP_EXECUTESQL @consulta",
                  "End",
                  "End",
              }));
}

TEST(ReparacionDefectoTest, AQuoteInTheTableNameIsDoubledWhereverTheNameIsQuoted) {
    const std::string lote = LoteReparacionDefecto("E20'3MOVIALMACEN", {"Color", "COLOR"});
    EXPECT_NE(lote.find("=OBJECT_ID('E20''3MOVIALMACEN') AND COL_NAME"), std::string::npos);
    EXPECT_NE(lote.find("SYSCOLUMNS.ID = OBJECT_ID('E20''3MOVIALMACEN') AND UPPER"),
              std::string::npos);
    EXPECT_NE(lote.find("'ALTER TABLE E20''3MOVIALMACEN ADD CONSTRAINT '"), std::string::npos);
    EXPECT_EQ(lote.find("E20'3"), std::string::npos);
}

}  // namespace
}  // namespace schema
