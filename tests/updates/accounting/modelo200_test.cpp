// The corporate-tax return pages against a scripted server: the walk over the six pages, the
// year conversions of page 8, the failures that are reported and the progress it reports.
#include "updates/accounting/modelo200.h"

#include <set>

#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;
using updates::accounting::PasoPagina;

class Modelo200Test : public RoutineTest, public run::ProgressObserver {
  protected:
    Modelo200Test() {
        ctx_.progress.SetMaximum(1000);
        ctx_.progress.SetValue(812);
        ctx_.progress.AddObserver(this);
    }
    ~Modelo200Test() override { ctx_.progress.RemoveObserver(this); }
    void OnProgressChanged(const run::ProgressModel& p) override { valores_.push_back(p.Value()); }

    static std::string Start(int page) {
        return Info("Comenzando actualizacion estructura página " + std::to_string(page) +
                    " modelo 2010001 , servidor: SRV");
    }

    std::vector<int> valores_;
};

TEST_F(Modelo200Test, ACompanyWithoutPagesLogsSixStartsAndAdvancesTheBar) {
    updates::accounting::ActualizaPaginasModelo200(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("ALTER TABLE MODELO200 ALTER COLUMN CNAE varchar(4)",
                            Familia("PAGINA2"), Familia("PAGINA6"), Familia("PAGINA8"),
                            Familia("PAGINA9"), Familia("PAGINA10"), Familia("PAGINA11")));
    EXPECT_THAT(Entries(),
                ElementsAre(Start(2), Start(6), Start(8), Start(9), Start(10), Start(11)));
    // 14 / 6 rounds to 2 after pages 2, 6, 8, 9 and 10; the empty page 6 adds 20.
    EXPECT_THAT(valores_, ElementsAre(814, 834, 836, 838, 840, 842));
}

TEST_F(Modelo200Test, AFailingPageQueryIsAnIncidentAndTheOtherPagesFollow) {
    conn_.FallaCon(Familia("PAGINA2"), ErrorServidor(208, "Invalid object name 'X'."));
    conn_.FallaCon(Familia("PAGINA6"), ErrorServidor(208, "Invalid object name 'Y'."));
    WithFamily("PAGINA11", {"E2014PAGINA11"});
    updates::accounting::ActualizaPaginasModelo200(ctx_, conn_);
    EXPECT_THAT(Entries(),
                ElementsAre(Start(2),
                            Error("Form_Activate",
                                  "Consultando estructura pagina 2 modelo 201 en la empresa 0001 "
                                  ", servidor: SRV",
                                  "Invalid object name 'X'."),
                            Start(6),
                            Error("Form_Activate",
                                  "Consultando estructura pagina 6 modelo 201 en la empresa 0001 "
                                  ", servidor: SRV",
                                  "Invalid object name 'Y'."),
                            Start(8), Start(9), Start(10), Start(11), Added("Casilla056")));
    // A page 6 that could not be listed is not an empty one: no extra 20.
    EXPECT_THAT(valores_, ElementsAre(814, 816, 818, 820, 822));
    EXPECT_EQ(fixture_.Bombeos(), 1);
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE E2014PAGINA11 SET Casilla056=0");
}

TEST_F(Modelo200Test, PageEightConvertsItsYearBoxesBetweenItsAdditions) {
    WithFamily("PAGINA8", {"E2013PAGINA8"});
    AllColumnsThere("E2013PAGINA8");
    updates::accounting::ActualizaPaginasModelo200(ctx_, conn_);
    std::vector<std::string> page;
    for (const std::string& sql : conn_.Enviadas())
        if (sql.find("E2013PAGINA8") != std::string::npos) page.push_back(sql);
    // 51 additions, 16 year boxes of three statements each, and the type change of 734.
    ASSERT_EQ(page.size(), 51u + 16u * 3u + 1u);
    EXPECT_EQ(page[0], "Alter Table E2013PAGINA8 ADD Casilla275 money DEFAULT(0) ");
    EXPECT_EQ(page[3], "Alter Table E2013PAGINA8 ADD Casilla274 varchar (4) NOT NULL DEFAULT('') ");
    EXPECT_THAT(std::vector<std::string>(page.begin() + 4, page.begin() + 7),
                ElementsAre("ALTER TABLE E2013PAGINA8 ALTER COLUMN Casilla725 varchar(4)",
                            "update E2013PAGINA8 set Casilla725='20' + Casilla725 where "
                            "cast(Casilla725 as int) in(0,1,2,3,4) and len(Casilla725)=2",
                            "update E2013PAGINA8 set Casilla725='19' + Casilla725 where "
                            "cast(Casilla725 as int) not in(0,1,2,3,4) and len(Casilla725)=2"));
    EXPECT_EQ(page[4 + 9 * 3], "Alter Table E2013PAGINA8 ADD Casilla279 money DEFAULT(0) ");
    EXPECT_EQ(page[4 + 9 * 3 + 4], "ALTER TABLE E2013PAGINA8 ALTER COLUMN Casilla735 varchar(4)");
    EXPECT_EQ(page.back(), "ALTER TABLE E2013PAGINA8 ALTER COLUMN casilla734 varchar(4)");
}

TEST(Modelo200PagesTest, EveryPageCarriesItsBoxesOnce) {
    std::vector<size_t> sizes;
    for (const updates::accounting::PaginaModelo200& page :
         updates::accounting::PaginasModelo200()) {
        size_t additions = 0;
        std::set<std::string_view> seen;
        for (const PasoPagina& paso : page.pasos) {
            EXPECT_TRUE(seen.insert(paso.casilla).second)
                << "page " << page.numero << " repeats " << paso.casilla;
            if (paso.accion == PasoPagina::Accion::Importe ||
                paso.accion == PasoPagina::Accion::Texto)
                ++additions;
        }
        sizes.push_back(additions);
    }
    EXPECT_THAT(sizes, ElementsAre(2u, 2u, 51u, 69u, 12u, 1u));
}

}  // namespace
}  // namespace accounting_test
