// The probes, the family walk and the clean-up routines against the embedded engine's
// catalogue: which names the server's LIKE and collation actually match.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <algorithm>

#include "schema/catalogue_probes.h"
#include "schema/cleanup.h"
#include "schema/table_family.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"

namespace schema {
namespace {

using test_support::EmbeddedServer;
using test_support::RunFixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Filas = std::vector<std::vector<std::string>>;

class EngineCatalogueTest : public ::testing::Test {
  protected:
    void Preparar(const std::vector<std::string>& lotes) {
        servidor_.CrearBaseDatos("Empresa_0001", lotes);
        conexion_ = servidor_.Conectar("Empresa_0001");
        ASSERT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
        f_.EmpresaActual("0001");
    }
    std::vector<std::string> Nombres(std::string_view sql) {
        std::vector<std::string> nombres;
        for (const auto& fila : EmbeddedServer::Filas(*conexion_, sql))
            nombres.push_back(fila[0]);
        return nombres;
    }

    EmbeddedServer servidor_;
    RunFixture f_{servidor_.Servidor()};
    std::unique_ptr<db::Connection> conexion_;
};

TEST_F(EngineCatalogueTest, ProbesAskForTheTypeAndCompareNamesWithoutCase) {
    Preparar({"CREATE TABLE INDCOR (act varchar(10), Ejercicio int)",
              "CREATE INDEX ACTINDICE ON INDCOR (act)",
              "CREATE VIEW PROPIEDADES AS SELECT act FROM INDCOR"});
    EXPECT_TRUE(ExisteObjeto("indcor", *conexion_));
    EXPECT_FALSE(ExisteObjeto("PROPIEDADES", *conexion_, "U"));
    EXPECT_TRUE(ExisteObjeto("PROPIEDADES", *conexion_, "V"));
    EXPECT_TRUE(ExisteIndice("indcor", "actindice", *conexion_));
    EXPECT_FALSE(ExisteIndice("indcor", "OTRO", *conexion_));
    EXPECT_FALSE(ExisteIndice("NOEXISTE", "ACTINDICE", *conexion_));
}

TEST_F(EngineCatalogueTest, FamilyPatternMatchesAnyFourCharactersAndNothingAfter) {
    Preparar({"CREATE TABLE E2013FacturaTabla (a int)", "CREATE TABLE E2014FACTURATABLA (a int)",
              "CREATE TABLE EXXXXFacturaTabla (a int)", "CREATE TABLE E2014FacturaTabla2 (a int)",
              "CREATE TABLE E201FacturaTabla (a int)",
              "CREATE VIEW E2015FacturaTabla AS SELECT a FROM E2013FacturaTabla"});
    std::vector<std::string> tablas;
    const RecorridoFamilia r = RecorrerFamilia(
        f_.ctx(), *conexion_, ConsultaFamilia("FacturaTabla"),
        [&](const std::string& t) { tablas.push_back(t); }, BombeoEventos::TrasCadaTabla);
    EXPECT_TRUE(r.abierto);
    std::sort(tablas.begin(), tablas.end());
    EXPECT_THAT(tablas, ElementsAre("E2013FacturaTabla", "E2014FACTURATABLA", "EXXXXFacturaTabla"));
    EXPECT_EQ(f_.Bombeos(), 3);
}

TEST_F(EngineCatalogueTest, TemporaryTablesAreDroppedByOwnerQualifiedName) {
    // Tables of another owner too, one of them named as one of dbo's.
    Preparar({"CREATE TABLE TEMP2010 (a int)", "CREATE TABLE TEMP2010_X (a int)",
              "CREATE TABLE TEMP123 (a int)", "CREATE TABLE TEMPORAL (a int)",
              "CREATE TABLE dbo.TEMP0001 (a int)", "CREATE SCHEMA ana",
              "CREATE TABLE ana.TEMP2010_X (a int)", "CREATE TABLE [ana].[TEMP4321abc] (a int)",
              "CREATE TABLE ana.TEMP12 (a int)"});
    f_.ctx().progress.SetMaximum(1000);
    EliminarTablasTemporales(f_.ctx(), *conexion_);
    EXPECT_THAT(Nombres("SELECT user_name(uid) + '.' + name FROM sysobjects WHERE xtype='U' "
                        "ORDER BY name"),
                ElementsAre("ana.TEMP12", "dbo.TEMP123", "dbo.TEMPORAL"));
    EXPECT_EQ(f_.ctx().progress.Maximum(), 5);
    EXPECT_EQ(f_.ctx().progress.Value(), 5);
    EXPECT_EQ(f_.Bombeos(), 5);
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Información:  Comenzando eliminación tablas temporales"));
}

TEST_F(EngineCatalogueTest, StockViewsAreDroppedByTheirExactPattern) {
    Preparar({"CREATE TABLE E2009MOVIALMACEN (articulo varchar(20), cantidad float)",
              "CREATE VIEW E2009MOVIMIENTOSSTOCK AS SELECT articulo FROM E2009MOVIALMACEN",
              "CREATE VIEW E2009MOVIMIENTOSSTOCK2 AS SELECT articulo FROM E2009MOVIALMACEN",
              "CREATE VIEW E2009MovimientosstockAnual AS SELECT articulo, cantidad FROM "
              "E2009MOVIALMACEN",
              "CREATE VIEW E2010MovimientosstockAnual AS SELECT articulo FROM E2009MOVIALMACEN"});
    EliminarVistasMovimientosStock(*conexion_);
    EXPECT_THAT(Nombres("SELECT name FROM sysobjects WHERE xtype='V' ORDER BY name"),
                ElementsAre("E2009MOVIMIENTOSSTOCK2", "E2009MovimientosstockAnual",
                            "E2010MovimientosstockAnual"));
    EliminarVistasSinCantidad(*conexion_);
    EXPECT_THAT(Nombres("SELECT name FROM sysobjects WHERE xtype='V' ORDER BY name"),
                ElementsAre("E2009MovimientosstockAnual"));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

}  // namespace
}  // namespace schema
