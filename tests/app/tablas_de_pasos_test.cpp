// The program's own step tables walked over a scripted server: the guards asked in the run's
// order, the inline statements, the progress each phase reports and the release stamps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/secuencia/pasos_central.h"
#include "app/secuencia/pasos_empresa.h"
#include "updates/central/routine_test.h"

namespace app {
namespace {

using central_test::ConTabla;
using central_test::Filas;
using central_test::ScriptedConnection;
using run::PasoProgresoCentral;
using run::PasoProgresoEmpresa;
using ::testing::ElementsAre;

const std::string kSondaPrefijo = "Select name from sysobjects where xtype='U' and name='";

std::vector<std::string> Sondas(const std::vector<std::string>& enviadas) {
    std::vector<std::string> tablas;
    for (const std::string& sql : enviadas)
        if (sql.starts_with(kSondaPrefijo))
            tablas.push_back(
                sql.substr(kSondaPrefijo.size(), sql.size() - kSondaPrefijo.size() - 1));
    return tablas;
}

class TablasDePasosTest : public central_test::RoutineTest, public run::ProgressObserver {
  protected:
    TablasDePasosTest() {
        ctx_.progress.SetMaximum(1000);
        ctx_.progress.AddObserver(this);
    }
    ~TablasDePasosTest() override { ctx_.progress.RemoveObserver(this); }
    void OnProgressChanged(const run::ProgressModel& p) override {
        if (valores_.empty() || valores_.back() != p.Value()) valores_.push_back(p.Value());
    }

    std::vector<int> valores_;
    const std::string codigo_ = "0001";
    const std::string fecha_ = "01/02/2026 10:11:12";
};

TEST_F(TablasDePasosTest, TheCentralPhaseAsksItsGuardsInOrderAndEndsWithTheStamp) {
    const std::string stamp =
        "SELECT * FROM PROPIEDADES WHERE OBJETO='PLADIO_FECHA' AND NOMBRE='VERSION'";
    conn_.Devuelve(stamp, Filas({"OBJETO", "NOMBRE", "VALOR"}, {}));
    EjecutarPasos(PasosCentrales(), {ctx_, conn_, "", fecha_}, PasoProgresoCentral(1000));

    // JUZGADOS is asked twice: by the court columns' routine itself, then as the regions' guard.
    EXPECT_THAT(Sondas(conn_.Enviadas()),
                ElementsAre("JUZGADOS", "TRABAJOS_PREDEFINIDOS", "SOCIOS", "CAJASTABLA", "JUZGADOS",
                            "COLEGIOSABOGADOS", "ETIQUETAS", "CONSULTASASUNTOS", "ImpresorasTabla",
                            "ESCRITORIOACTIVO", "OPERACIONES_ORM", "MODULOS", "PROPIEDADES",
                            "actividades_orm"));
    std::vector<std::string> drops;
    for (const std::string& sql : conn_.Ejecutadas())
        if (sql.find("DROP TABLE") != std::string::npos) drops.push_back(sql);
    EXPECT_THAT(drops, ElementsAre(kBorraCpeniten, kBorraTiposDeVia, kBorraTiposIdentificativos));
    EXPECT_EQ(kBorraTiposDeVia,
              std::string("IF NOT EXISTS (SELECT SYSCOLUMNS.NAME FROM SYSCOLUMNS INNER JOIN "
                          "SYSOBJECTS ON SYSCOLUMNS.ID = SYSOBJECTS.ID WHERE "
                          "SYSOBJECTS.ID=OBJECT_ID('TIPOSDEVIA') AND SYSCOLUMNS.NAME='TIPOVIA') "
                          "DROP TABLE TIPOSDEVIA"));

    // 43 per step of the table, C12, C20, C22 and C24 reporting none: 23 × 43 = 989 at the end.
    EXPECT_THAT(valores_, ElementsAre(43, 86, 129, 172, 215, 258, 301, 344, 387, 430, 473, 516, 559,
                                      602, 645, 688, 731, 774, 817, 860, 903, 946, 989));
    EXPECT_EQ(conn_.Enviadas().back(), stamp);
    ASSERT_EQ(conn_.Guardadas().size(), 1u);
    const test_support::FilaGuardada& sello = conn_.Guardadas().front();
    EXPECT_TRUE(sello.nueva);
    EXPECT_EQ(sello.valores.at("OBJETO").toText(), "PLADIO_FECHA");
    EXPECT_EQ(sello.valores.at("NOMBRE").toText(), "VERSION");
    EXPECT_EQ(sello.valores.at("VALOR").toText(), fecha_);
    EXPECT_EQ(Entries().front(), "Información:  Comenzando actualizacion de Vardex");
}

TEST_F(TablasDePasosTest, ACentralDatabaseWithItsPropertyTableKeepsIt) {
    ConTabla(conn_, "PROPIEDADES");
    EjecutarPasos(PasosCentrales(), {ctx_, conn_, "", fecha_}, PasoProgresoCentral(1000));
    for (const std::string& sql : conn_.Ejecutadas())
        EXPECT_FALSE(sql.starts_with("CREATE TABLE PROPIEDADES")) << sql;
}

TEST_F(TablasDePasosTest, TheCompanyPhaseFillsTheBarAtK77AndEndsWithTheCompanyStamp) {
    ScriptedConnection empresa("Empresa_0001");
    const std::string stamp = "SELECT * FROM PROPIEDADES WHERE NOMBRE='PLADIO_FECHA'";
    empresa.Devuelve(stamp, Filas({"NOMBRE", "VALOR"}, {{"PLADIO_FECHA", "01/01/2010 00:00:00"}}));
    fixture_.EmpresaActual(codigo_);
    EjecutarPasos(PasosEmpresa(), {ctx_, empresa, codigo_, fecha_}, PasoProgresoEmpresa(1000));

    EXPECT_THAT(
        Sondas(empresa.Enviadas()),
        ElementsAre("PROPIEDADES", "PREDEFIVA", "MOD349DECLARADOS", "MOD349DECLARANTE", "FAMI",
                    "REPTABLA", "PermisosRep", "ESCANLINEAS", "PERSONAL", "TAREAS", "INSTANCIAS",
                    "LINEASINSTANCIAS", "ASUNTOS", "ABOGADOS", "RELACIONENVIOS", "Mod130", "MOD131",
                    "MODACT310", "Mod340Declarados", "BLOQUEOS", "OPERACIONES_347", "REGISTRO",
                    "INDCOR", "amortizaciones", "COBROSPAGOS_REL", "COBROSPAGOS_DATOSFACTURA",
                    "MODEL180", "MODEL115", "BIENESINVERSION"));
    // k × 14 after each step that reports progress (K3 → 14 ... K74 → 938), whether its guard
    // let it run or not; inside K66 the corporate-tax pages add 2 per page and 20 for an empty
    // page 6 (814 ... 842) before the step sets 59 × 14; K77 full then empty.
    EXPECT_THAT(
        valores_,
        ElementsAre(14, 28, 42, 56, 70, 84, 98, 112, 126, 140, 154, 168, 182, 196, 210, 224, 238,
                    252, 266, 280, 294, 308, 322, 336, 350, 364, 378, 392, 406, 420, 434, 448, 462,
                    476, 490, 504, 518, 532, 546, 560, 574, 588, 602, 616, 630, 644, 658, 672, 686,
                    700, 714, 728, 742, 756, 770, 784, 798, 812, 814, 834, 836, 838, 840, 842, 826,
                    840, 854, 868, 882, 896, 910, 924, 938, 1000, 0));
    EXPECT_THAT(Entries(), ::testing::Contains("Información:  Comenzando actualizacion estructura "
                                               "ctanuevopgc en la empresa0001 , servidor: SRV"));
    // The company's table had no PROPIEDADES: K1 created it.
    EXPECT_EQ(empresa.Ejecutadas().front(),
              "CREATE TABLE PROPIEDADES(NOMBRE VARCHAR(128) NOT NULL DEFAULT(''),VALOR "
              "VARCHAR(128) NOT NULL DEFAULT(''))");
    EXPECT_EQ(empresa.Enviadas().back(), stamp);
    ASSERT_FALSE(empresa.Guardadas().empty());
    const test_support::FilaGuardada& sello = empresa.Guardadas().back();
    EXPECT_FALSE(sello.nueva);
    EXPECT_EQ(sello.valores.at("VALOR").toText(), fecha_);
}

TEST_F(TablasDePasosTest, TheGuardedCompanyRoutinesRunInStepOrderWhenTheirTablesExist) {
    ScriptedConnection empresa("Empresa_0001");
    for (const char* tabla : {"REPTABLA", "PermisosRep", "PERSONAL", "TAREAS", "INSTANCIAS",
                              "LINEASINSTANCIAS", "ASUNTOS", "ABOGADOS", "RELACIONENVIOS"})
        ConTabla(empresa, tabla);
    fixture_.EmpresaActual(codigo_);
    EjecutarPasos(PasosEmpresa(), {ctx_, empresa, codigo_, fecha_}, PasoProgresoEmpresa(1000));

    const std::string comienzo = "Información:  Comenzando actualizacion estructura ";
    std::vector<std::string> que;
    for (const std::string& entrada : Entries()) {
        if (!entrada.starts_with(comienzo)) continue;
        // The corporate-tax pages name their page and form where the others name the company.
        size_t fin = entrada.find(" en la empresa");
        if (fin == std::string::npos) fin = entrada.find(" modelo 201");
        que.push_back(entrada.substr(comienzo.size(), fin - comienzo.size()));
    }
    EXPECT_THAT(
        que,
        ElementsAre("clientestabla", "CLIDIRENVIOS", "logotipo", "Proveedorestabla",
                    "ArticulosTabla", "CTA", "ACUCARTERATABLA", "entidad", "Provarticli",
                    "reptabla", "permisos representante", "personal", "Tareas", "INSTANCIAS",
                    "LINEASINSTANCIAS", "ASUNTOS", "Abogados", "RelacionEnvios", "presupuestos",
                    "pedidos", "lineas presupuestos", "pedidos", "lineas pedidos", "albaranes",
                    "lineas albaranes", "facturas", "lineas de facturas", "líneas de producción",
                    "producción", "historico de irpf", "contadores", "comisiones", "pedidos compra",
                    "lineas pedidos compra", "albaranes compra", "lineas albaranes compra",
                    "facturas decompra", "lineas facturas de compra", "apuntes", "libros de iva",
                    "caducidades", "movimientos de almacen", "página 2", "página 6", "página 8",
                    "página 9", "página 10", "página 11", "cartera contabilidad", "ctanuevopgc",
                    "apuntes orm", "descripcion conceptos"));
    // K80 comes after the temporary tables of K79.
    const auto& enviadas = empresa.Enviadas();
    const auto tipos = std::find(enviadas.begin(), enviadas.end(),
                                 "Alter Table TIPOCLI ADD TIPOPUBLICABLE INT DEFAULT(0) ");
    const auto temporales = std::find_if(enviadas.begin(), enviadas.end(), [](const auto& sql) {
        return sql.find("TEMP[0-9][0-9][0-9][0-9]%") != std::string::npos;
    });
    ASSERT_NE(tipos, enviadas.end());
    ASSERT_NE(temporales, enviadas.end());
    EXPECT_LT(temporales, tipos);
}

}  // namespace
}  // namespace app
