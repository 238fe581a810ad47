// The frame of the purchase and commission routines against a scripted server: the start line,
// the family walk, the order of the steps over several tables, the exact widening and column
// texts, and which outcomes are logged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/purchases/albaranes_compra.h"
#include "updates/purchases/comisiones.h"
#include "updates/purchases/compras_test.h"
#include "updates/purchases/pedidos_compra.h"

namespace compras_test {
namespace {

using test_support::ErrorServidor;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FamiliasTest : public ScriptedTest {};

TEST_F(FamiliasTest, ACompanyWithoutTheFamilyGetsOnlyTheStartLine) {
    // No rule for the listing: it opens and returns no table.
    updates::purchases::ActualizaPedidosCompra(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(Listado("ComprasPedidosTabla")));
    EXPECT_THAT(
        Entries(),
        ElementsAre(Inicio("Comenzando actualizacion estructura pedidos compra en la empresa")));
}

TEST_F(FamiliasTest, AListingThatCannotBeOpenedEndsTheRoutineSilently) {
    conn_.FallaCon(Listado("ComisionesTab"), ErrorServidor(208, "Invalid object name."));
    updates::purchases::ActualizaComisiones(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(Listado("ComisionesTab")));
    EXPECT_THAT(
        Entries(),
        ElementsAre(Inicio("Comenzando actualizacion estructura comisiones en la empresa")));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FamiliasTest, CommissionWideningsAreSentPerTableAndNeverLogged) {
    ConFamilia(conn_, "ComisionesTab", {"E2012ComisionesTab", "E2013ComisionesTab"});
    conn_.FallaSiEmpiezaPor("if COL_LENGTH", ErrorServidor(4902, "Cannot find the object."));
    updates::purchases::ActualizaComisiones(ctx_, conn_);
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre(Listado("ComisionesTab"),
                    "if COL_LENGTH ('E2012ComisionesTab','ComiNomCliente') < 50 alter table "
                    "E2012ComisionesTab alter column ComiNomCliente varchar(50)",
                    "if COL_LENGTH ('E2012ComisionesTab','ComiArticulo') <= 10 alter table "
                    "E2012ComisionesTab alter column ComiArticulo varchar(20)",
                    "if COL_LENGTH ('E2013ComisionesTab','ComiNomCliente') < 50 alter table "
                    "E2013ComisionesTab alter column ComiNomCliente varchar(50)",
                    "if COL_LENGTH ('E2013ComisionesTab','ComiArticulo') <= 10 alter table "
                    "E2013ComisionesTab alter column ComiArticulo varchar(20)"));
    EXPECT_EQ(Entries().size(), 1u);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

// The statements sent for one table, from the first that names it to the last.
std::vector<std::string> DeLaTabla(const std::vector<std::string>& enviadas,
                                   const std::string& tabla) {
    std::vector<std::string> out;
    for (const std::string& sql : enviadas)
        if (sql.find(tabla) != std::string::npos) out.push_back(sql);
    return out;
}

TEST_F(FamiliasTest, EachOrderTableReceivesEveryStepBeforeTheNextTableStarts) {
    ConFamilia(conn_, "ComprasPedidosTabla",
               {"E2012ComprasPedidosTabla", "E2013ComprasPedidosTabla"});
    updates::purchases::ActualizaPedidosCompra(ctx_, conn_);
    const std::vector<std::string>& enviadas = conn_.Enviadas();

    const std::vector<std::string> de2012 = DeLaTabla(enviadas, "E2012ComprasPedidosTabla");
    const std::vector<std::string> de2013 = DeLaTabla(enviadas, "E2013ComprasPedidosTabla");
    // 7 widenings, 9 additions of which 8 with a default (one UPDATE each).
    ASSERT_EQ(de2012.size(), 24u);
    ASSERT_EQ(de2013.size(), 24u);
    ASSERT_EQ(enviadas.size(), 1u + 24u + 24u);
    EXPECT_EQ(std::vector<std::string>(enviadas.begin() + 1, enviadas.begin() + 25), de2012);

    // The delivery address is widened to 50 first and to 100 afterwards.
    EXPECT_EQ(de2012[1],
              "if COL_LENGTH ('E2012ComprasPedidosTabla','ComprasPedidosDireccionEnvio') < 50 "
              "alter table E2012ComprasPedidosTabla alter column ComprasPedidosDireccionEnvio "
              "varchar(50)");
    EXPECT_EQ(de2012[5],
              "if COL_LENGTH ('E2012ComprasPedidosTabla','ComprasPedidosDireccionEnvio') < 100 "
              "alter table E2012ComprasPedidosTabla alter column ComprasPedidosDireccionEnvio "
              "varchar(100)");
    // No default: no DEFAULT clause and no UPDATE; a nullable column with default 0 is filled.
    EXPECT_THAT(std::vector<std::string>(de2012.begin() + 6, de2012.begin() + 9),
                ElementsAre("Alter Table E2012ComprasPedidosTabla ADD ComprasPedidosBancoPago "
                            "varchar (35) ",
                            "Alter Table E2012ComprasPedidosTabla ADD "
                            "ComprasPedidosCampoLibreDouble1 float DEFAULT(0) ",
                            "UPDATE E2012ComprasPedidosTabla SET "
                            "ComprasPedidosCampoLibreDouble1=0"));
    EXPECT_THAT(std::vector<std::string>(de2012.end() - 7, de2012.end()),
                ElementsAre("Alter Table E2012ComprasPedidosTabla ADD ComprasPedidosIDCONTACTO "
                            "BIGINT NOT NULL DEFAULT(0) ",
                            "UPDATE E2012ComprasPedidosTabla SET ComprasPedidosIDCONTACTO=0",
                            "Alter Table E2012ComprasPedidosTabla ADD "
                            "ComprasPedidosCONTACTONOMBRE VARCHAR (100) NOT NULL DEFAULT('') ",
                            "UPDATE E2012ComprasPedidosTabla SET ComprasPedidosCONTACTONOMBRE=''",
                            "if COL_LENGTH ('E2012ComprasPedidosTabla','ComprasPedidosCpostalcli') "
                            "< 10 alter table E2012ComprasPedidosTabla alter column "
                            "ComprasPedidosCpostalcli varchar(10)",
                            "Alter Table E2012ComprasPedidosTabla ADD COMPRASPEDIDOSCODIGOESTADO "
                            "VARCHAR (4) NOT NULL DEFAULT('') ",
                            "UPDATE E2012ComprasPedidosTabla SET COMPRASPEDIDOSCODIGOESTADO=''"));

    const std::vector<std::string> entradas = Entries();
    ASSERT_EQ(entradas.size(), 1u + 9u + 9u);
    EXPECT_EQ(entradas[1], Creada("ComprasPedidosBancoPago"));
    EXPECT_EQ(entradas[9], Creada("COMPRASPEDIDOSCODIGOESTADO"));
    EXPECT_EQ(entradas[10], Creada("ComprasPedidosBancoPago"));
}

TEST_F(FamiliasTest, AFailedColumnIsLoggedAndTheRoutineGoesOnWithTheNextStepAndTable) {
    ConFamilia(conn_, "ComprasAlbaranesLineas",
               {"E2013ComprasAlbaranesLineas", "E2014ComprasAlbaranesLineas"});
    const std::string talla =
        "Alter Table E2013ComprasAlbaranesLineas ADD ComprasAlbaran2Talla varchar (5) NOT NULL "
        "DEFAULT('00000') ";
    conn_.FallaCon(talla, ErrorServidor(1101, "Could not allocate a new page."));
    updates::purchases::ActualizaLineasAlbaranesCompra(ctx_, conn_);

    const std::vector<std::string> entradas = Entries();
    ASSERT_EQ(entradas.size(), 1u + 4u + 4u);
    EXPECT_EQ(
        entradas[1],
        "Error en el procesimiento Form_Activate:Error al crear el campo ComprasAlbaran2Talla "
        "en la empresa 0001 , servidor: SRV     Mensaje devuelto por el servidor :Could not "
        "allocate a new page.");
    EXPECT_EQ(entradas[2], Creada("ComprasAlbaran2Color"));
    EXPECT_EQ(entradas[4], Creada("ComprasAlbaran2Lote"));
    EXPECT_EQ(entradas[5], Creada("ComprasAlbaran2Talla"));
    EXPECT_TRUE(ctx_.HayIncidencias());
    // The failed addition sends no UPDATE for its default.
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_NE(sql, "UPDATE E2013ComprasAlbaranesLineas SET ComprasAlbaran2Talla='00000'");
}

TEST_F(FamiliasTest, ColumnsAlreadyThereAreSilent) {
    ConFamilia(conn_, "ComprasAlbaranesTabla", {"E2014ComprasAlbaranesTabla"});
    conn_.FallaSiEmpiezaPor("Alter Table", ErrorServidor(2705, "Column names must be unique."));
    updates::purchases::ActualizaAlbaranesCompra(ctx_, conn_);
    EXPECT_THAT(Entries(), ElementsAre(Inicio("Comenzando actualizacion estructura albaranes "
                                              "compra en la empresa")));
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(sql.starts_with("UPDATE")) << sql;
    EXPECT_FALSE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace compras_test
