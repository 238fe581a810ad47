// Courts, their regions, bar associations and saved matter queries, against a scripted server.
#include "updates/central/juzgados.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "updates/central/routine_test.h"

namespace central_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const char kSondaJuzgados[] = "Select name from sysobjects where xtype='U' and name='JUZGADOS'";
const char kAltaProvincia[] =
    "Alter Table JUZGADOS ADD CodigoProvincia VARCHAR (2) NOT NULL DEFAULT('') ";

class JuzgadosTest : public RoutineTest {};

TEST_F(JuzgadosTest, WithoutTheCourtsTableOnlyTheProbeIsSent) {
    updates::central::ActualizaJuzgados(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kSondaJuzgados));
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(JuzgadosTest, TheCourtsGetTheirTenDescriptiveColumnsWithoutDefaults) {
    ConTabla(conn_, "JUZGADOS");
    updates::central::ActualizaJuzgados(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kSondaJuzgados, "Alter Table JUZGADOS ADD Tribunal VARCHAR (5) ",
                            "Alter Table JUZGADOS ADD RadPostal VARCHAR (1) ",
                            "Alter Table JUZGADOS ADD Tratamiento VARCHAR (50) ",
                            "Alter Table JUZGADOS ADD Zona VARCHAR (3) ",
                            "Alter Table JUZGADOS ADD Turnar VARCHAR (1) ",
                            "Alter Table JUZGADOS ADD Sala VARCHAR (50) ",
                            "Alter Table JUZGADOS ADD AbreTratamiento VARCHAR (10) ",
                            "Alter Table JUZGADOS ADD AbTratamien VARCHAR (25) ",
                            "Alter Table JUZGADOS ADD Zona_VD VARCHAR (3) ",
                            "Alter Table JUZGADOS ADD Competencia VARCHAR (1) "));
    EXPECT_EQ(Entries().size(), 10u);
}

TEST_F(JuzgadosTest, TheRunThatAddsTheProvinceFillsTheRegionsOfAllNineteenInOrder) {
    updates::central::ActualizaJuzgadosComunidades(ctx_, conn_);
    std::vector<std::string> sent = conn_.Enviadas();
    ASSERT_EQ(sent.size(), 6u + 19u + 2u);
    EXPECT_THAT(std::vector<std::string>(sent.begin(), sent.begin() + 6),
                ElementsAre(kAltaProvincia, "UPDATE JUZGADOS SET CodigoProvincia=''",
                            "Alter Table JUZGADOS ADD CodigoComunidad VARCHAR (2) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE JUZGADOS SET CodigoComunidad=''",
                            "Alter Table JUZGADOS ADD Comunidad VARCHAR (255) NOT NULL "
                            "DEFAULT('') ",
                            "UPDATE JUZGADOS SET Comunidad=''"));
    EXPECT_EQ(sent[6],
              "UPDATE JUZGADOS SET CodigoProvincia = LEFT(CodigoPostal,2),CodigoComunidad='01',"
              "Comunidad='ANDALUCIA' WHERE CodigoPostal <> '' and LEFT(CodigoPostal,2) in('04',"
              "'11','14','18','21','23','29','41')");
    EXPECT_EQ(sent[6 + 8],
              "UPDATE JUZGADOS SET CodigoProvincia = LEFT(CodigoPostal,2),CodigoComunidad='09',"
              "Comunidad='CATALUÑA' WHERE CodigoPostal <> '' and LEFT(CodigoPostal,2) in('08',"
              "'17','25','43')");
    EXPECT_EQ(sent[6 + 16],
              "UPDATE JUZGADOS SET CodigoProvincia = LEFT(CodigoPostal,2),CodigoComunidad='17',"
              "Comunidad='LA RIOJA' WHERE CodigoPostal <> '' and LEFT(CodigoPostal,2) in('26')");
    EXPECT_EQ(sent[6 + 18],
              "UPDATE JUZGADOS SET CodigoProvincia = LEFT(CodigoPostal,2),CodigoComunidad='19',"
              "Comunidad='MELILLA' WHERE CodigoPostal <> '' and LEFT(CodigoPostal,2) in('52')");
    EXPECT_THAT(std::vector<std::string>(sent.end() - 2, sent.end()),
                ElementsAre("Alter Table JUZGADOS ADD TipoVia VARCHAR (3) NOT NULL DEFAULT('') ",
                            "UPDATE JUZGADOS SET TipoVia=''"));
    EXPECT_THAT(Entries(), ElementsAre(Added("CodigoProvincia"), Added("CodigoComunidad"),
                                       Added("Comunidad"), Added("TipoVia")));
}

TEST_F(JuzgadosTest, EveryProvinceBelongsToExactlyOneRegion) {
    // Spain's 52 postal-code prefixes; a prefix claimed twice would move courts from one
    // region to another depending on the order of the statements.
    std::multiset<std::string> prefixes;
    std::vector<std::string> codes;
    for (const updates::central::Comunidad& c : updates::central::Comunidades()) {
        codes.emplace_back(c.codigo);
        std::string list(c.prefijos);
        for (size_t at = list.find('\''); at != std::string::npos; at = list.find('\'', at + 4)) {
            prefixes.insert(list.substr(at + 1, 2));
        }
    }
    EXPECT_EQ(prefixes.size(), 52u);
    for (int p = 1; p <= 52; ++p) {
        char two[3];
        std::snprintf(two, sizeof two, "%02d", p);
        EXPECT_EQ(prefixes.count(two), 1u) << "province " << two;
    }
    EXPECT_THAT(codes, ElementsAre("01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11",
                                   "12", "13", "14", "15", "16", "17", "18", "19"));
}

TEST_F(JuzgadosTest, EachRegionIsNamedAfterTheProvincesItSelects) {
    // Burgos (09) belongs to Castilla y León, Toledo (45) to Castilla-La Mancha, Girona (17)
    // to Catalonia and Logroño (26) to La Rioja.
    const std::pair<const char*, const char*> kProvinceRegion[] = {
        {"'09'", "CASTILLA LEON"},
        {"'45'", "CASTILLA LA MANCHA"},
        {"'17'", "CATALUÑA"},
        {"'26'", "LA RIOJA"},
    };
    for (const auto& [province, region] : kProvinceRegion) {
        int matches = 0;
        for (const updates::central::Comunidad& c : updates::central::Comunidades()) {
            if (std::string_view(c.prefijos).find(province) == std::string_view::npos) continue;
            ++matches;
            EXPECT_EQ(c.nombre, std::string_view(region)) << province;
        }
        EXPECT_EQ(matches, 1) << province;
    }
}

TEST_F(JuzgadosTest, ALaterRunFillsNoRegionButStillTriesTheRemainingColumns) {
    ColumnsAlreadyThere({kAltaProvincia});
    updates::central::ActualizaJuzgadosComunidades(ctx_, conn_);
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(sql.starts_with("UPDATE JUZGADOS SET CodigoProvincia = ")) << sql;
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE JUZGADOS SET TipoVia=''");
}

TEST_F(JuzgadosTest, AssociationsAndSavedQueriesGetOneColumnEach) {
    updates::central::ActualizaColegiosAbogados(ctx_, conn_);
    updates::central::ActualizaConsultasAsuntos(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("Alter Table COLEGIOSABOGADOS ADD TipoVia VARCHAR (3) ",
                            "Alter Table CONSULTASASUNTOS ADD filtroSQL TEXT NOT NULL DEFAULT('') ",
                            "UPDATE CONSULTASASUNTOS SET filtroSQL=''"));
}

}  // namespace
}  // namespace central_test
