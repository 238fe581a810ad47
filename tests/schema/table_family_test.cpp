#include "schema/table_family.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::RunFixture;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kFacturas =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____FacturaTabla' "
    "and table_type='BASE TABLE '";

TEST(ConsultaFamilia, IsTheUsualListingTextWithTheBlankInsideBaseTable) {
    EXPECT_EQ(ConsultaFamilia("FacturaTabla"), kFacturas);
}

TEST(EjercicioDeTablaTest, TheYearIsTheFourDigitsAfterTheLeadingE) {
    EXPECT_EQ(EjercicioDeTabla("E2013ComprasFacturaTabla"), 2013);
    EXPECT_EQ(EjercicioDeTabla("E0999ComprasFacturaTabla"), 999);
    EXPECT_EQ(EjercicioDeTabla("E2013"), 2013);
    EXPECT_EQ(EjercicioDeTabla("E201XComprasFacturaTabla"), std::nullopt);
    EXPECT_EQ(EjercicioDeTabla("E 201ComprasFacturaTabla"), std::nullopt);
    EXPECT_EQ(EjercicioDeTabla("E201"), std::nullopt);
}

class RecorrerFamiliaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        conn_.Devuelve(kFacturas,
                       Filas({"Table_Name"}, {{"E2013FacturaTabla"}, {"E2014FacturaTabla"}}));
    }
    AccionTabla Anotar() {
        return [this](const std::string& t) {
            tablas_.push_back(t + "@" + std::to_string(f_.Bombeos()));
        };
    }

    RunFixture f_;
    ScriptedConnection conn_;
    std::vector<std::string> tablas_;
};

TEST_F(RecorrerFamiliaTest, HandsEachTableToTheActionInServerOrder) {
    const RecorridoFamilia r = RecorrerFamilia(f_.ctx(), conn_, kFacturas, Anotar());
    EXPECT_TRUE(r.abierto);
    EXPECT_EQ(r.tablas, 2);
    EXPECT_THAT(tablas_, ElementsAre("E2013FacturaTabla@0", "E2014FacturaTabla@0"));
    EXPECT_EQ(f_.Bombeos(), 0);
}

TEST_F(RecorrerFamiliaTest, PumpsEventsAfterEachTable) {
    RecorrerFamilia(f_.ctx(), conn_, kFacturas, Anotar(), BombeoEventos::TrasCadaTabla);
    EXPECT_THAT(tablas_, ElementsAre("E2013FacturaTabla@0", "E2014FacturaTabla@1"));
    EXPECT_EQ(f_.Bombeos(), 2);
}

TEST_F(RecorrerFamiliaTest, PumpsOnceAfterTheLastTable) {
    RecorrerFamilia(f_.ctx(), conn_, kFacturas, Anotar(), BombeoEventos::AlTerminar);
    EXPECT_THAT(tablas_, ElementsAre("E2013FacturaTabla@0", "E2014FacturaTabla@0"));
    EXPECT_EQ(f_.Bombeos(), 1);
}

TEST_F(RecorrerFamiliaTest, ActionsMayUseTheConnectionWhileTheSetIsOpen) {
    RecorrerFamilia(f_.ctx(), conn_, kFacturas, [&](const std::string& t) {
        conn_.execute("ALTER TABLE " + t + " ADD X int");
    });
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kFacturas, "ALTER TABLE E2013FacturaTabla ADD X int",
                                              "ALTER TABLE E2014FacturaTabla ADD X int"));
}

TEST_F(RecorrerFamiliaTest, AFamilyWithoutTablesDoesNothing) {
    const std::string pedidos = ConsultaFamilia("PedidosTabla");
    const RecorridoFamilia r =
        RecorrerFamilia(f_.ctx(), conn_, pedidos, Anotar(), BombeoEventos::TrasCadaTabla);
    EXPECT_TRUE(r.abierto);
    EXPECT_EQ(r.tablas, 0);
    EXPECT_THAT(tablas_, IsEmpty());
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

TEST_F(RecorrerFamiliaTest, AFailingListingSkipsTheFamilyAndTellsWhy) {
    conn_.FallaCon(kFacturas, ErrorServidor(208, "Invalid object name 'X'."));
    const RecorridoFamilia r =
        RecorrerFamilia(f_.ctx(), conn_, kFacturas, Anotar(), BombeoEventos::AlTerminar);
    EXPECT_FALSE(r.abierto);
    EXPECT_EQ(r.error.nativeError, 208);
    EXPECT_EQ(r.error.description, "Invalid object name 'X'.");
    EXPECT_THAT(tablas_, IsEmpty());
    EXPECT_EQ(f_.Bombeos(), 0);
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

TEST_F(RecorrerFamiliaTest, AnAnnouncedWalkLogsItsStartOnceBeforeTheFirstTable) {
    const RecorridoFamilia r = RecorrerFamiliaAnunciada(
        f_.ctx(), conn_, kFacturas, "Comenzando actualización de calendario fiscal.",
        [&](const std::string& t) {
            tablas_.push_back(t + "@" + std::to_string(f_.Entradas().size()));
        },
        BombeoEventos::TrasCadaTabla);
    EXPECT_EQ(r.tablas, 2);
    EXPECT_THAT(tablas_, ElementsAre("E2013FacturaTabla@1", "E2014FacturaTabla@1"));
    EXPECT_THAT(f_.Entradas(), ElementsAre("Información:  Comenzando actualización de calendario "
                                           "fiscal."));
    EXPECT_EQ(f_.Bombeos(), 2);
}

TEST_F(RecorrerFamiliaTest, AnAnnouncedWalkWithNothingToDoLogsNothing) {
    RecorrerFamiliaAnunciada(f_.ctx(), conn_, ConsultaFamilia("HONCRITERIOS"), "Comenzando",
                             Anotar());
    conn_.FallaCon(kFacturas, ErrorServidor(208, "Invalid object name 'X'."));
    const RecorridoFamilia r =
        RecorrerFamiliaAnunciada(f_.ctx(), conn_, kFacturas, "Comenzando", Anotar());
    EXPECT_FALSE(r.abierto);
    EXPECT_THAT(tablas_, IsEmpty());
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

TEST_F(RecorrerFamiliaTest, TheQueryTextIsSentAsGiven) {
    const std::string variante =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where TABLE_NAME<>'ESCANTABLA' AND "
        "Table_name like 'E____TABLA' and table_type='BASE TABLE '";
    conn_.Devuelve(variante, Filas({"TABLE_NAME"}, {{"E2014TABLA"}}));
    RecorrerFamilia(f_.ctx(), conn_, variante, Anotar());
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(variante));
    EXPECT_THAT(tablas_, ElementsAre("E2014TABLA@0"));
}

}  // namespace
}  // namespace schema
