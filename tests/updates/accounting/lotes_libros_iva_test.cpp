// The VAT books' type-conversion batches, held against the lines they have always sent.
#include <gtest/gtest.h>

#include <string>

#include "updates/accounting/libros_iva.h"

namespace accounting_test {
namespace {

TEST(LotesLibrosIvaTest, TheVatBookBatchesNameTheirTableAndTheBitBatchHasNoComment) {
    const std::string bit = updates::accounting::LoteBienInversionEntero("E2014TABLA");
    EXPECT_EQ(bit.find("--"), std::string::npos);
    EXPECT_TRUE(bit.starts_with(
        "IF EXISTS (Select systypes.name from syscolumns inner join systypes on "
        "syscolumns.xtype=systypes.xtype where UPPER(syscolumns.name)='BIENINVERSION' and "
        "systypes.name='bit')\rbegin\rdeclare @Def varchar(255)\rdeclare @consulta  "
        "NVARCHAR(500)\rset @Def = (SELECT"));
    EXPECT_NE(bit.find("\rALTER TABLE E2014TABLA ALTER COLUMN BIENINVERSION INT\r"),
              std::string::npos);
    EXPECT_NE(bit.find("\rset @consulta = 'ALTER TABLE E2014TABLA ADD CONSTRAINT ' + @def + ' "
                       "DEFAULT(0) FOR BIENINVERSION'\r"),
              std::string::npos);
    EXPECT_TRUE(bit.ends_with("\rEnd\rEnd\r"));

    const std::string sii = updates::accounting::LoteEstadoSii("E2013TABLA");
    EXPECT_NE(sii.find("systypes.name='INT')\rbegin\r"), std::string::npos);
    EXPECT_NE(sii.find("\r-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO\r"), std::string::npos);
    EXPECT_NE(sii.find("OBJECT_ID('E2013TABLA') AND UPPER(SYSCOLUMNS.NAME) ='SIIESTADO')\r"),
              std::string::npos);
    EXPECT_NE(sii.find("\rALTER TABLE E2013TABLA ALTER COLUMN SIIESTADO INTEGER\r"),
              std::string::npos);
    EXPECT_NE(sii.find("' DEFAULT(-1) FOR SIIESTADO'\r"), std::string::npos);
}

TEST(LotesLibrosIvaTest, TheNotNullBatchEndsItsLinesWithCrLfButNotTheLast) {
    EXPECT_EQ(updates::accounting::LoteBienInversionNoNulo("E2012TABLA"),
              "IF COLUMNPROPERTY(OBJECT_ID('E2012TABLA'),'BIENINVERSION','AllowsNull') =1 \r\n"
              "BEGIN\r\n"
              "UPDATE E2012TABLA SET BIENINVERSION=0 WHERE BIENINVERSION IS NULL\r\n"
              "ALTER TABLE E2012TABLA ALTER COLUMN BIENINVERSION INT NOT NULL\r\n"
              "ALTER TABLE E2012TABLA ADD CONSTRAINT DF_BIENINVERSION_A9046FFCDA2012 DEFAULT 0 "
              "FOR BIENINVERSION\r\n"
              "END");
}

}  // namespace
}  // namespace accounting_test
