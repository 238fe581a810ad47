// The article routines on the embedded engine: the article master, the supplier-article
// table, families and the article-code widenings of the tables that refer to articles.
#include "updates/sales/articulos.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::Filas;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kArticulos =
    "CREATE TABLE ARTICULOSTABLA (ArtCodigo varchar(10) NOT NULL, Descripcion varchar(40), "
    "ProveedorNombre varchar(40)); INSERT INTO ARTICULOSTABLA VALUES "
    "('HAR0000001','Harina','Harinas del Ebro'),('ACE0000002','Aceite','Almazara')";
const std::string kTiposGts = "CREATE TABLE TIPOSGTS (TIPOSCODIGO varchar(4))";
const std::string kProvarticli =
    "CREATE TABLE Provarticli (provarticodigo varchar(10), provartidescri varchar(40), "
    "provartilinea varchar(10))";

std::string CampoBien(const std::string& campo) {
    return "Información:  Campo " + campo +
           " actualizado correctamente en la empresa 0001 , servidor: SRV";
}

class ArticulosTest : public sales_test::SalesTest {};

TEST_F(ArticulosTest, TheArticleMasterGainsItsColumnsAndExistingArticlesTheirDefaults) {
    Empresa({kArticulos, kTiposGts, kProvarticli});
    ActualizaArticulos(ctx_, *conexion_);

    // ALTER COLUMN without NOT NULL leaves the column nullable, as on SQL Server.
    EXPECT_EQ(Columna("ARTICULOSTABLA", "ArtCodigo"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("ARTICULOSTABLA", "ProveedorNombre"), "varchar 50 YES NULL");
    EXPECT_EQ(Columna("ARTICULOSTABLA", "Descripcion"), "varchar 50 YES NULL");
    EXPECT_EQ(Consulta("SELECT DISTINCT ARTICULOESTALLACOLOR, ARTICULOMULTIIVA, "
                       "ARTICULONOFACTURABLE, ARTICULOBASE16, ARTICULOBASEVENTAS4, TPVPrecio2, "
                       "TPVPrecio6, ARTICULOESTALLACOLORGRUPO, ARTICULOESTALLACOLORGRUPODESCRIP "
                       "FROM ARTICULOSTABLA"),
              (Filas{{"False", "False", "False", "0", "0", "0", "0", "NULL", "NULL"}}));
    EXPECT_EQ(Columna("ARTICULOSTABLA", "ARTICULOESTALLACOLOR"), "bit NULL NO ((0))");
    EXPECT_EQ(Columna("ARTICULOSTABLA", "ARTICULOESTALLACOLORGRUPODESCRIP"), "varchar 35 YES NULL");
    EXPECT_EQ(Columna("TIPOSGTS", "TIPOSCODIGOARTICULO"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("Provarticli", "provartidescripcionarticulo"), "varchar 100 YES NULL");

    // The start line, both logged widenings, then one line per added column in the order of
    // the release's column list.
    std::vector<std::string> esperadas = {
        Info("Comenzando actualizacion estructura ArticulosTabla en la empresa0001 , "
             "servidor: SRV"),
        CampoBien("ProveedorNombre"), CampoBien("Descripcion")};
    for (const schema::CampoDeTabla& campo : CamposArticulos())
        esperadas.push_back(Creado(std::string(campo.definicion.campo)));
    EXPECT_THAT(Entradas(), ElementsAreArray(esperadas));
    EXPECT_EQ(CamposArticulos().size(), 18u);

    // The statements are sent with their two blanks before "alter column".
    const std::vector<std::string> enviadas = Enviadas();
    ASSERT_GE(enviadas.size(), 3u);
    EXPECT_EQ(enviadas[0],
              "if COL_LENGTH ('articulostabla','ProveedorNombre') < 50 alter table "
              "articulostabla  alter column ProveedorNombre varchar(50)");
    EXPECT_EQ(enviadas[1],
              "if COL_LENGTH ('articulostabla','Descripcion') < 50 alter table articulostabla  "
              "alter column Descripcion varchar(50)");
    EXPECT_EQ(enviadas[2],
              "if COL_LENGTH ('ArticulosTabla','ArtCodigo') <= 10 alter table ArticulosTabla  "
              "alter column ArtCodigo varchar(20)");
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(ArticulosTest, LoggedWideningsReportEveryRunAndTheirFailures) {
    // A supplier name in the primary key cannot be altered: the failure is logged with the
    // server's message and counts as an incident.
    Empresa(
        {"CREATE TABLE ARTICULOSTABLA (ArtCodigo varchar(20) NOT NULL, Descripcion "
         "varchar(50), ProveedorNombre varchar(40) NOT NULL CONSTRAINT PK_ARTPROV PRIMARY "
         "KEY)",
         kTiposGts, kProvarticli});
    ActualizaArticulos(ctx_, *conexion_);
    const std::vector<std::string> entradas = Entradas();
    ASSERT_GE(entradas.size(), 3u);
    EXPECT_TRUE(entradas[1].starts_with(
        "Error en el procesimiento Form_Activate:Actualizando campo ProveedorNombre en la "
        "empresa0001 en el servidor SRV     Mensaje devuelto por el servidor :"))
        << entradas[1];
    EXPECT_NE(entradas[1].find("PK_ARTPROV"), std::string::npos) << entradas[1];
    // Descripcion is long enough: the statement does nothing and still reports success.
    EXPECT_EQ(entradas[2], CampoBien("Descripcion"));
    EXPECT_TRUE(ctx_.HayIncidencias());

    // The supplier-article widenings report success on every run.
    for (int vez = 0; vez < 2; ++vez) {
        fixture_.ctx().log.IniciarLog();
        ActualizaProvarticli(ctx_, *conexion_);
        EXPECT_THAT(Entradas(),
                    ElementsAre(Info("Comenzando actualizacion estructura "
                                     "Provarticli en la empresa0001 , servidor: SRV"),
                                CampoBien("provartidescri"), CampoBien("provartilinea")));
    }
    EXPECT_EQ(Columna("Provarticli", "provartidescri"), "varchar 50 YES NULL");
    EXPECT_EQ(Columna("Provarticli", "provartilinea"), "varchar 20 YES NULL");
}

TEST_F(ArticulosTest, FamiliesGainTheObsoleteMark) {
    Empresa({"CREATE TABLE FAMI (FAMICODIGO varchar(4)); INSERT INTO FAMI VALUES ('HARI')"});
    ActualizaFamilias(ctx_, *conexion_);
    EXPECT_EQ(Columna("FAMI", "FAMIOBSOLETA"), "varchar 1 NO ((0))");
    EXPECT_EQ(Consulta("SELECT FAMIOBSOLETA FROM FAMI"), Filas{{"0"}});
    EXPECT_THAT(Entradas(), ElementsAre(Info("Comenzando actualizacion estructura familias en la "
                                             "empresa0001 , servidor: SRV"),
                                        Creado("FAMIOBSOLETA")));
}

struct CodigoArticulo {
    void (*rutina)(run::RunContext&, db::Connection&);
    std::string tabla;
    std::string columna;
};

TEST_F(ArticulosTest, ArticleCodesOfTenOrFewerGrowToTwentyAndLongerOnesStay) {
    const std::vector<CodigoArticulo> casos = {
        {AmpliaArticuloReprenArticli, "REPRENARTICLI", "REPRENARTIARTI"},
        {AmpliaArticuloColores, "ARTICULOCOLORES", "CODIGOARTICULO"},
        {AmpliaArticuloCyC, "ArticulosCyCTabla", "CodArticulo"},
        {AmpliaArticuloClientesCyC, "clientescyctabla", "clientescycarticulo"},
        {AmpliaArticuloOfertas, "ArticulosPorOferta", "OfCodArticulo"},
        {AmpliaArticuloPreciosIniciales, "PRECIOSINIALESARTICULOS", "Articulo"},
        {ActualizaEscanTabla, "ESCANTABLA", "ESCANCODARTI"},
    };
    for (int longitud : {8, 10, 11, 15}) {
        SCOPED_TRACE(longitud);
        NuevoServidor();
        std::vector<std::string> lotes;
        for (const CodigoArticulo& caso : casos)
            lotes.push_back("CREATE TABLE " + caso.tabla + " (" + caso.columna + " varchar(" +
                            std::to_string(longitud) + ") NOT NULL); INSERT INTO " + caso.tabla +
                            " VALUES ('A')");
        Empresa(lotes);
        for (const CodigoArticulo& caso : casos)
            caso.rutina(ctx_, *conexion_);
        // A widened column comes out nullable (ALTER COLUMN without NOT NULL); one left
        // alone keeps its NOT NULL.
        const std::string esperada = longitud <= 10
                                         ? "varchar 20 YES NULL"
                                         : "varchar " + std::to_string(longitud) + " NO NULL";
        for (const CodigoArticulo& caso : casos)
            EXPECT_EQ(Columna(caso.tabla, caso.columna), esperada) << caso.tabla;
    }
    EXPECT_THAT(Entradas(), ElementsAre());
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(ArticulosTest, TheArticleCodeOfTipoArticliIsWidenedUnderEitherName) {
    Empresa({"CREATE TABLE TIPOARTICLI (TIPOARTICODIGO varchar(4), TIPOARTIARTI varchar(10))"});
    AmpliaArticuloTipoArticli(ctx_, *conexion_);
    EXPECT_EQ(Columna("TIPOARTICLI", "TIPOARTIARTI"), "varchar 20 YES NULL");
    EXPECT_THAT(Enviadas(),
                ElementsAre("if COL_LENGTH ('TIPOARTICLI','TIPOARTIARTI') <= 10 alter table "
                            "TIPOARTICLI  alter column TIPOARTIARTI varchar(20)",
                            "if COL_LENGTH ('TIPOARTICLI','TCARTIARTI') <= 10 alter table "
                            "TIPOARTICLI  alter column TCARTIARTI varchar(20)"));

    NuevoServidor();
    Empresa({"CREATE TABLE TIPOARTICLI (TIPOARTICODIGO varchar(4), TCARTIARTI varchar(10))"});
    AmpliaArticuloTipoArticli(ctx_, *conexion_);
    EXPECT_EQ(Columna("TIPOARTICLI", "TCARTIARTI"), "varchar 20 YES NULL");
}

TEST_F(ArticulosTest, TheScanningTableLosesTheSixVatBookColumns) {
    Empresa(
        {"CREATE TABLE ESCANTABLA (ESCANCODIGO int, ESCANCODARTI varchar(10), "
         "FECHAOPERACION datetime, BIENINVERSION bit, PLAZOOPERA int, TIPOINTRACOMUNITARIA "
         "varchar(1), INICIORANGO varchar(20), FINRANGO varchar(20))"});
    ActualizaEscanTabla(ctx_, *conexion_);
    EXPECT_THAT(Columnas("ESCANTABLA"), ElementsAre("ESCANCODIGO", "ESCANCODARTI"));
    EXPECT_EQ(Columna("ESCANTABLA", "ESCANCODARTI"), "varchar 20 YES NULL");

    // Without them (and on the next run) nothing changes and nothing is logged.
    ActualizaEscanTabla(ctx_, *conexion_);
    EXPECT_THAT(Columnas("ESCANTABLA"), ElementsAre("ESCANCODIGO", "ESCANCODARTI"));
    EXPECT_THAT(Entradas(), ElementsAre());
    EXPECT_FALSE(ctx_.HayIncidencias());
    EXPECT_THAT(Enviadas(), Contains("ALTER TABLE ESCANTABLA DROP COLUMN TIPOINTRACOMUNITARIA"));
}

}  // namespace
}  // namespace updates::sales
