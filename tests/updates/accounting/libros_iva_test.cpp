// The per-year VAT books against a scripted server: the operation date, the capital-goods
// batches and the SII state, per book, in order.
#include "updates/accounting/libros_iva.h"

#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;

const std::string kLibros =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where TABLE_NAME<>'ESCANTABLA' AND "
    "Table_name like 'E____TABLA' and table_type='BASE TABLE '";

class LibrosIvaTest : public RoutineTest {
  protected:
    void WithBooks(const std::vector<std::string>& books) {
        std::vector<std::vector<std::string>> filas;
        for (const std::string& t : books)
            filas.push_back({t});
        conn_.Devuelve(kLibros, Filas({"Table_name"}, filas));
    }
};

TEST_F(LibrosIvaTest, ANewBookTakesItsInvoiceDatesAndGetsNoCapitalGoodsBatch) {
    WithBooks({"E2012TABLA"});
    updates::accounting::ActualizaLibrosIVA(ctx_, conn_);
    const std::vector<std::string>& sent = conn_.Enviadas();
    ASSERT_EQ(sent.size(), 1u + 2u + 2u + 10u * 2u - 1u + 2u);
    EXPECT_THAT(std::vector<std::string>(sent.begin(), sent.begin() + 5),
                ElementsAre(kLibros, "Alter Table E2012TABLA ADD FECHAOPERACION DATETIME",
                            "UPDATE E2012TABLA SET FECHAOPERACION = FECHA WHERE FECHAOPERACION IS "
                            "NULL",
                            "Alter Table E2012TABLA ADD BIENINVERSION INT NOT NULL DEFAULT(0) ",
                            "UPDATE E2012TABLA SET BIENINVERSION=0"));
    EXPECT_EQ(sent[5], "Alter Table E2012TABLA ADD PLAZOOPERA int DEFAULT(0) ");
    EXPECT_TRUE(Sent("Alter Table E2012TABLA ADD TIPOINTRACOMUNITARIA varchar (1) DEFAULT('0') "));
    EXPECT_TRUE(Sent("Alter Table E2012TABLA ADD SIIESTADO INT DEFAULT(-1) "));
    EXPECT_TRUE(Sent("UPDATE E2012TABLA SET SIIESTADO=-1"));
    EXPECT_TRUE(Sent("Alter Table E2012TABLA ADD SIIFECHAESTADO DATETIME "));
    EXPECT_TRUE(Sent("Alter Table E2012TABLA ADD SIIDESREG VARCHAR (500) DEFAULT('') "));
    EXPECT_THAT(std::vector<std::string>(sent.end() - 2, sent.end()),
                ElementsAre("if COL_LENGTH ('E2012TABLA','DES') < 255 alter table E2012TABLA alter "
                            "column DES varchar(255)",
                            updates::accounting::LoteEstadoSii("E2012TABLA")));
    EXPECT_TRUE(SentStartingWith("IF COLUMNPROPERTY").empty());
    EXPECT_EQ(Entries().front(), Info("Comenzando actualizacion estructura libros de iva en la "
                                      "empresa0001 , servidor: SRV"));
    EXPECT_EQ(Entries().size(), 1u + 11u);
}

TEST_F(LibrosIvaTest, AnOlderBookRepairsEmptyDatesAndGetsBothCapitalGoodsBatches) {
    WithBooks({"E2013TABLA", "E2014TABLA"});
    for (const std::string t : {"E2013TABLA", "E2014TABLA"}) {
        conn_.FallaCon("Alter Table " + t + " ADD FECHAOPERACION DATETIME",
                       ErrorServidor(2705, "Column names in each table must be unique."));
        AllColumnsThere(t);
    }
    updates::accounting::ActualizaLibrosIVA(ctx_, conn_);
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre(kLibros, "Alter Table E2013TABLA ADD FECHAOPERACION DATETIME",
                    "UPDATE E2013TABLA SET FECHAOPERACION = FECHA WHERE FECHAOPERACION "
                    "='31/12/1899'",
                    "Alter Table E2013TABLA ADD BIENINVERSION INT NOT NULL DEFAULT(0) ",
                    updates::accounting::LoteBienInversionNoNulo("E2013TABLA"),
                    updates::accounting::LoteBienInversionEntero("E2013TABLA"),
                    "Alter Table E2013TABLA ADD PLAZOOPERA int DEFAULT(0) ",
                    "Alter Table E2013TABLA ADD TIPOINTRACOMUNITARIA varchar (1) DEFAULT('0') ",
                    "Alter Table E2013TABLA ADD INICIORANGO varchar (40) DEFAULT('') ",
                    "Alter Table E2013TABLA ADD FINRANGO varchar (40) DEFAULT('') ",
                    "Alter Table E2013TABLA ADD SIIESTADO INT DEFAULT(-1) ",
                    "Alter Table E2013TABLA ADD SIILIBRO VARCHAR (1) DEFAULT('') ",
                    "Alter Table E2013TABLA ADD SIIFECHAESTADO DATETIME ",
                    "Alter Table E2013TABLA ADD SIICSV VARCHAR (16) DEFAULT('') ",
                    "Alter Table E2013TABLA ADD SIICODREG VARCHAR (100) DEFAULT('') ",
                    "Alter Table E2013TABLA ADD SIIDESREG VARCHAR (500) DEFAULT('') ",
                    "if COL_LENGTH ('E2013TABLA','DES') < 255 alter table E2013TABLA alter column "
                    "DES varchar(255)",
                    updates::accounting::LoteEstadoSii("E2013TABLA"),
                    "Alter Table E2014TABLA ADD FECHAOPERACION DATETIME",
                    "UPDATE E2014TABLA SET FECHAOPERACION = FECHA WHERE FECHAOPERACION "
                    "='31/12/1899'",
                    "Alter Table E2014TABLA ADD BIENINVERSION INT NOT NULL DEFAULT(0) ",
                    updates::accounting::LoteBienInversionNoNulo("E2014TABLA"),
                    updates::accounting::LoteBienInversionEntero("E2014TABLA"),
                    "Alter Table E2014TABLA ADD PLAZOOPERA int DEFAULT(0) ",
                    "Alter Table E2014TABLA ADD TIPOINTRACOMUNITARIA varchar (1) DEFAULT('0') ",
                    "Alter Table E2014TABLA ADD INICIORANGO varchar (40) DEFAULT('') ",
                    "Alter Table E2014TABLA ADD FINRANGO varchar (40) DEFAULT('') ",
                    "Alter Table E2014TABLA ADD SIIESTADO INT DEFAULT(-1) ",
                    "Alter Table E2014TABLA ADD SIILIBRO VARCHAR (1) DEFAULT('') ",
                    "Alter Table E2014TABLA ADD SIIFECHAESTADO DATETIME ",
                    "Alter Table E2014TABLA ADD SIICSV VARCHAR (16) DEFAULT('') ",
                    "Alter Table E2014TABLA ADD SIICODREG VARCHAR (100) DEFAULT('') ",
                    "Alter Table E2014TABLA ADD SIIDESREG VARCHAR (500) DEFAULT('') ",
                    "if COL_LENGTH ('E2014TABLA','DES') < 255 alter table E2014TABLA alter column "
                    "DES varchar(255)",
                    updates::accounting::LoteEstadoSii("E2014TABLA")));
    // Every column was there: only the start line; the window was let work after each book.
    EXPECT_EQ(Entries().size(), 1u);
    EXPECT_EQ(fixture_.Bombeos(), 2);
    // The constraint name of the first batch carries the book's year.
    EXPECT_NE(updates::accounting::LoteBienInversionNoNulo("E2014TABLA")
                  .find("ADD CONSTRAINT DF_BIENINVERSION_A9046FFCDA2014 DEFAULT 0"),
              std::string::npos);
}

TEST_F(LibrosIvaTest, AFailingBookListingChangesNothing) {
    conn_.FallaCon(kLibros, ErrorServidor(208, "Invalid object name 'INFORMATION_SCHEMA.TABLES'."));
    updates::accounting::ActualizaLibrosIVA(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kLibros));
    EXPECT_EQ(Entries().size(), 1u);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace accounting_test
