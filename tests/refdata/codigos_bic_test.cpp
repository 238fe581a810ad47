#include "refdata/codigos_bic.h"

#include <gtest/gtest.h>

#include "refdata/base_data_fixture.h"
#include "refdata/fake_connection.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

TEST(CargarCodigosBIC, LoadsTheFixtureFileFirstRowWinningAndSkippingRowsWithoutBic) {
    test_support::RunFixture fixture;
    testing::InstallBaseDataFile(fixture.directory());
    fixture.ctx().ColeccionBIC.Add("9999", "DEUNARUNANTERIOR");

    CargarCodigosBIC(fixture.ctx());

    const run::ColeccionBIC& bics = fixture.ctx().ColeccionBIC;
    EXPECT_EQ(bics.Count(), 8u);  // ten rows, a repeated entity and one without BIC
    EXPECT_EQ(bics.Find("0049"), "BSCHESMMXXX");
    EXPECT_EQ(bics.Find("2100"), "CAIXESBBXXX");
    EXPECT_EQ(bics.Find("3058"), "CCRIES2AXXX");
    EXPECT_EQ(bics.Find("0238"), std::nullopt);
    EXPECT_EQ(bics.Find("9999"), std::nullopt);  // the catalogue is loaded afresh
}

TEST(CargarCodigosBIC, FindsTheFileWhateverTheLetterCaseOfItsName) {
    test_support::RunFixture fixture;
    testing::InstallBaseDataFile(fixture.directory(), "INCLUDE/datos base.mdb");
    CargarCodigosBIC(fixture.ctx());
    EXPECT_EQ(fixture.ctx().ColeccionBIC.Find("0182"), "BBVAESMMXXX");
}

TEST(CargarCodigosBIC, LeavesTheCatalogueEmptyWithoutAReadableFile) {
    test_support::RunFixture fixture;
    fixture.ctx().ColeccionBIC.Add("0049", "ANTERIORXXX");
    CargarCodigosBIC(fixture.ctx());  // no file at all
    EXPECT_TRUE(fixture.ctx().ColeccionBIC.Empty());

    testing::WriteFakeBaseDataFile(fixture.directory(), "esto no es una base de datos Jet");
    fixture.ctx().ColeccionBIC.Add("0049", "ANTERIORXXX");
    CargarCodigosBIC(fixture.ctx());
    EXPECT_TRUE(fixture.ctx().ColeccionBIC.Empty());
    EXPECT_TRUE(fixture.ctx().log.HayIncidencias() == false);
}

TEST(CargarCodigosBIC, AFileWithoutTheTableGivesAnEmptyCatalogue) {
    FakeConnection archivo("Datos Base.MDB");  // answers nothing: no CODIGOSBIC
    run::ColeccionBIC bics;
    bics.Add("0049", "ANTERIORXXX");
    CargarCodigosBIC(bics, archivo);
    EXPECT_TRUE(bics.Empty());
    EXPECT_EQ(archivo.sent, std::vector<std::string>{"open: Select * FROM CODIGOSBIC"});
    EXPECT_FALSE(archivo.hasError());
}

TEST(CargarCodigosBIC, ComparesEntityKeysWithoutRegardToCase) {
    FakeConnection archivo("Datos Base.MDB");
    FakeTable codigos = FakeTable::WithColumns({"Entidad", "Bic"});
    codigos.rows = {{Variant::text("ab01"), Variant::text("PRIMEROXXX")},
                    {Variant::text("AB01"), Variant::text("SEGUNDOXXX")},
                    {Variant::text(""), Variant::text("SINENTIDADXXX")}};
    archivo.Answer("Select * FROM CODIGOSBIC", codigos);
    run::ColeccionBIC bics;
    CargarCodigosBIC(bics, archivo);
    EXPECT_EQ(bics.Count(), 1u);
    EXPECT_EQ(bics.Find("Ab01"), "PRIMEROXXX");
}

}  // namespace
}  // namespace refdata
