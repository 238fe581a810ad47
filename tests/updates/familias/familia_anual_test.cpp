// The per-year family frame against a scripted server: which listing query it opens, the order
// of the steps on every table, and what a column's result sets off (the backfill, the
// customer-type fill, the default repair), with small step lists of the tests' own.
#include "updates/familias/familia_anual.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace updates::familias {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const std::string kListado =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____DocTabla' and "
    "table_type='BASE TABLE '";

constexpr refdata::BankAccountColumns kCuenta[] = {
    {"DOCENTIDAD", "DOCSUCURSAL", "DOCDIGITO", "DOCCC", "DOCIBAN", "DOCBIC",
     refdata::IbanRule::kEveryRow, refdata::BicRule::kEveryRow, refdata::BicKey::kEntityFourDigits},
};
constexpr refdata::BankAccountBackfill kRelleno = {
    "SELECT DOCENTIDAD, DOCSUCURSAL, DOCDIGITO, DOCCC, DOCIBAN, DOCBIC FROM ", " WHERE DOCCC <> ''",
    db::CursorType::Dynamic, kCuenta};

constexpr schema::DefinicionCampo kBic = {"DOCBIC", "VARCHAR", 15, true, "''"};
constexpr schema::DefinicionCampo kIban = {"DOCIBAN", "VARCHAR", 4, true, "''"};
constexpr schema::DefinicionCampo kOtra = {"DOCOTRA", "INT", {}, false, ""};

constexpr schema::ReparacionDefecto kReparacion = {"2Color", "DOC2COLOR"};

std::string Relleno(const std::string& tabla) {
    return "SELECT DOCENTIDAD, DOCSUCURSAL, DOCDIGITO, DOCCC, DOCIBAN, DOCBIC FROM " + tabla +
           " WHERE DOCCC <> ''";
}

std::string Alta(const std::string& tabla, const schema::DefinicionCampo& campo) {
    return schema::SentenciaCrearCampo(campo.campo, tabla, campo.tipo, campo.longitud,
                                       campo.notNull, campo.defecto);
}

class FamiliaAnualTest : public ::testing::Test {
  protected:
    FamiliaAnualTest() { fixture_.EmpresaActual("0001"); }

    void ConTablas(const std::vector<std::string>& tablas) {
        std::vector<std::vector<std::string>> filas;
        for (const std::string& t : tablas)
            filas.push_back({t});
        conn_.Devuelve(kListado, Filas({"Table_Name"}, filas));
    }
    bool Rellenada(const std::string& tabla) const {
        const std::vector<std::string>& enviadas = conn_.Enviadas();
        return std::find(enviadas.begin(), enviadas.end(), Relleno(tabla)) != enviadas.end();
    }
    // A family of table E____DocTabla with `pasos` and the backfill above.
    FamiliaAnual Familia(std::span<const PasoTabla> pasos) const {
        return {.nombre = "DocTabla", .pasos = pasos, .relleno = &kRelleno};
    }

    test_support::RunFixture fixture_;
    run::RunContext& ctx_ = fixture_.ctx();
    test_support::ScriptedConnection conn_{"Empresa_0001"};
};

TEST_F(FamiliaAnualTest, TheUsualListingUnlessTheFamilyGivesItsOwnText) {
    EXPECT_EQ(ConsultaDe({.nombre = "DocTabla"}), kListado);
    const std::string propia =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like'E____DocTabla' and "
        "table_type='BASE TABLE '";
    EXPECT_EQ(ConsultaDe({.nombre = "DocTabla", .consulta = propia}), propia);

    const schema::RecorridoFamilia recorrido =
        ActualizarFamilia(ctx_, conn_, {.consulta = propia}, schema::BombeoEventos::AlTerminar);
    EXPECT_TRUE(recorrido.abierto);
    EXPECT_EQ(recorrido.tablas, 0);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(propia));
    EXPECT_EQ(fixture_.Bombeos(), 1);
}

TEST_F(FamiliaAnualTest, EveryStepRunsOnATableBeforeTheNextTableStarts) {
    constexpr PasoTabla pasos[] = {
        Ampliacion("DOCNOMBRE", "< 100", "varchar (100)"),
        Columna(kOtra),
        Ampliacion("DOCOTRA", "<= 10", "varchar(20)"),
    };
    ConTablas({"E2012DocTabla", "E2013DocTabla"});
    const schema::RecorridoFamilia recorrido = ActualizarFamilia(ctx_, conn_, Familia(pasos));
    EXPECT_EQ(recorrido.tablas, 2);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kListado,
                            "if COL_LENGTH ('E2012DocTabla','DOCNOMBRE') < 100 alter table "
                            "E2012DocTabla alter column DOCNOMBRE varchar (100)",
                            "Alter Table E2012DocTabla ADD DOCOTRA INT ",
                            "if COL_LENGTH ('E2012DocTabla','DOCOTRA') <= 10 alter table "
                            "E2012DocTabla alter column DOCOTRA varchar(20)",
                            "if COL_LENGTH ('E2013DocTabla','DOCNOMBRE') < 100 alter table "
                            "E2013DocTabla alter column DOCNOMBRE varchar (100)",
                            "Alter Table E2013DocTabla ADD DOCOTRA INT ",
                            "if COL_LENGTH ('E2013DocTabla','DOCOTRA') <= 10 alter table "
                            "E2013DocTabla alter column DOCOTRA varchar(20)"));
}

TEST_F(FamiliaAnualTest, TheBackfillFollowsBothBankColumnsCreatedNowFrom2013On) {
    constexpr PasoTabla pasos[] = {
        Columna(kBic, Consecuencia::ResultadoBic),
        Columna(kIban, Consecuencia::ResultadoIban),
        Columna(kOtra),
        RellenoCuentas(),
    };
    ConTablas({"E2012DocTabla", "E2013DocTabla", "EXXXXDocTabla"});
    ActualizarFamilia(ctx_, conn_, Familia(pasos));
    EXPECT_FALSE(Rellenada("E2012DocTabla"));
    EXPECT_TRUE(Rellenada("E2013DocTabla"));
    EXPECT_FALSE(Rellenada("EXXXXDocTabla"));
    // Right where its step stands: after the other column's addition, before the next table.
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    const auto relleno = std::find(enviadas.begin(), enviadas.end(), Relleno("E2013DocTabla"));
    ASSERT_NE(relleno, enviadas.end());
    EXPECT_EQ(*(relleno - 1), Alta("E2013DocTabla", kOtra));
    EXPECT_EQ(*(relleno + 1), Alta("EXXXXDocTabla", kBic));
}

TEST_F(FamiliaAnualTest, ABankColumnThatWasAlreadyThereOrFailedMeansNoBackfill) {
    constexpr PasoTabla pasos[] = {
        Columna(kBic, Consecuencia::ResultadoBic),
        Columna(kIban, Consecuencia::ResultadoIban),
        RellenoCuentas(),
    };
    ConTablas({"E2013DocTabla", "E2014DocTabla", "E2015DocTabla"});
    conn_.FallaCon(Alta("E2013DocTabla", kBic),
                   ErrorServidor(2705, "Column names in each table must be unique."));
    conn_.FallaCon(Alta("E2014DocTabla", kIban), ErrorServidor(1105, "Could not allocate space."));
    ActualizarFamilia(ctx_, conn_, Familia(pasos));
    EXPECT_FALSE(Rellenada("E2013DocTabla"));
    EXPECT_FALSE(Rellenada("E2014DocTabla"));
    EXPECT_TRUE(Rellenada("E2015DocTabla"));
}

TEST_F(FamiliaAnualTest, TheBackfillSeesOnlyTheColumnsBeforeItAndTheLastResultOfEach) {
    // No BIC step at all: the BIC counts as failed.
    constexpr PasoTabla sinBic[] = {
        Columna(kIban, Consecuencia::ResultadoIban),
        RellenoCuentas(),
    };
    // The IBAN is created after the backfill's step: the step has not seen it.
    constexpr PasoTabla ibanDespues[] = {
        Columna(kBic, Consecuencia::ResultadoBic),
        RellenoCuentas(),
        Columna(kIban, Consecuencia::ResultadoIban),
    };
    // The BIC is created, then found already there by a second step: the second decides.
    constexpr schema::DefinicionCampo kBicOtraVez = {"DOCBIC", "VARCHAR", 11, true, "''"};
    constexpr PasoTabla bicDosVeces[] = {
        Columna(kBic, Consecuencia::ResultadoBic),
        Columna(kIban, Consecuencia::ResultadoIban),
        Columna(kBicOtraVez, Consecuencia::ResultadoBic),
        RellenoCuentas(),
    };
    ConTablas({"E2014DocTabla"});
    conn_.FallaCon(Alta("E2014DocTabla", kBicOtraVez),
                   ErrorServidor(2705, "Column names in each table must be unique."));
    for (std::span<const PasoTabla> pasos :
         {std::span<const PasoTabla>(sinBic), std::span<const PasoTabla>(ibanDespues),
          std::span<const PasoTabla>(bicDosVeces)}) {
        ActualizarFamilia(ctx_, conn_, Familia(pasos));
    }
    EXPECT_FALSE(Rellenada("E2014DocTabla"));
    // The three lists did run their columns.
    EXPECT_THAT(conn_.Enviadas(), Contains(Alta("E2014DocTabla", kBicOtraVez)));
}

TEST_F(FamiliaAnualTest, ACustomerTypeColumnCreatedNowTakesEachCustomersType) {
    constexpr schema::DefinicionCampo kTipo = {"DOCTIPOCLIENTE", "VARCHAR", 4, true, "''"};
    constexpr PasoTabla pasos[] = {Columna(kTipo, Consecuencia::TipoClienteSiNueva)};
    ConTablas({"E2013DocTabla", "E2014DocTabla"});
    conn_.FallaCon(Alta("E2014DocTabla", kTipo),
                   ErrorServidor(2705, "Column names in each table must be unique."));
    ActualizarFamilia(ctx_, conn_, {.nombre = "DocTabla", .pasos = pasos, .prefijoCliente = "DOC"});
    EXPECT_THAT(conn_.Enviadas(), Contains(SentenciaTipoCliente("E2013DocTabla", "DOC")));
    EXPECT_THAT(conn_.Enviadas(), Not(Contains(SentenciaTipoCliente("E2014DocTabla", "DOC"))));
    EXPECT_EQ(SentenciaTipoCliente("E2013DocTabla", "DOC"),
              "UPDATE E2013DocTabla SET DOCTIPOCLIENTE=TipoClienteCodigo FROM E2013DocTabla P "
              "INNER JOIN CLIENTESTABLA C ON P.DOCNumcli=C.Clicodigo");
}

TEST_F(FamiliaAnualTest, AColourColumnAlreadyThereHasItsDefaultRepairedRightAfterIt) {
    constexpr schema::DefinicionCampo kColor = {"DOC2Color", "varchar", 5, true, "'00000'"};
    constexpr PasoTabla pasos[] = {
        Columna(kColor, Consecuencia::ReparaDefectoSiExistia),
        Columna(kOtra),
    };
    ConTablas({"E2013DocTabla", "E2014DocTabla", "E2015DocTabla"});
    conn_.FallaCon(Alta("E2013DocTabla", kColor),
                   ErrorServidor(2705, "Column names in each table must be unique."));
    conn_.FallaCon(Alta("E2015DocTabla", kColor), ErrorServidor(1105, "Could not allocate."));
    ActualizarFamilia(ctx_, conn_,
                      {.nombre = "DocTabla", .pasos = pasos, .reparacion = &kReparacion});

    const std::vector<std::string>& enviadas = conn_.Enviadas();
    const std::string lote = schema::LoteReparacionDefecto("E2013DocTabla", kReparacion);
    const auto reparacion = std::find(enviadas.begin(), enviadas.end(), lote);
    ASSERT_NE(reparacion, enviadas.end());
    EXPECT_EQ(*(reparacion - 1), Alta("E2013DocTabla", kColor));
    EXPECT_EQ(*(reparacion + 1), Alta("E2013DocTabla", kOtra));
    // Created now, or failed for another reason: nothing to repair.
    EXPECT_THAT(enviadas,
                Not(Contains(schema::LoteReparacionDefecto("E2014DocTabla", kReparacion))));
    EXPECT_THAT(enviadas,
                Not(Contains(schema::LoteReparacionDefecto("E2015DocTabla", kReparacion))));
}

}  // namespace
}  // namespace updates::familias
