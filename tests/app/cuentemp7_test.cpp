#include "app/secuencia/cuentemp7.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/central/routine_test.h"

namespace app {
namespace {

using central_test::ErrorServidor;
using central_test::Filas;
using test_support::kNulo;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

// One EMP row: code, name, the eight digit settings (missing ones NULL), CUENTEMP7 = 0.
std::vector<std::string> Empresa(std::string codigo, std::vector<std::string> digitos) {
    std::vector<std::string> row{std::move(codigo), "Empresa"};
    digitos.resize(8, std::string(kNulo));
    row.insert(row.end(), digitos.begin(), digitos.end());
    row.push_back("0");
    return row;
}

db::RowSet Emp(std::vector<std::vector<std::string>> rows) {
    return Filas({"MENUMEMPRESA", "MENOMBRE", "MENUMDIG", "MENUMDIG2", "MENUMDIG3", "MENUMDIG4",
                  "MENUMDIG5", "MENUMDIG6", "MENUMDIG7", "MENUMDIG8", "CUENTEMP7"},
                 std::move(rows));
}

class CuentEmp7Test : public central_test::RoutineTest {
  protected:
    // (row, CUENTEMP7) of every saved row, in order; nothing but CUENTEMP7 may be written.
    std::vector<std::pair<size_t, std::string>> SavedAccounts() const {
        std::vector<std::pair<size_t, std::string>> out;
        for (const test_support::FilaGuardada& s : conn_.Guardadas()) {
            EXPECT_FALSE(s.nueva);
            EXPECT_EQ(s.valores.size(), 1u);
            auto it = s.valores.find("CUENTEMP7");
            out.emplace_back(s.fila, it == s.valores.end() ? "<unset>" : it->second.toText());
        }
        return out;
    }

    const std::string kStart = "Información:  Comenzando actualización de la tabla EMP";
};

TEST_F(CuentEmp7Test, EachCompanyGetsItsOwnAccountLengthWhateverTheOrder) {
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {"8"}), Empresa("0002", {"6"})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(Pair(0, "60000000"), Pair(1, "600000")));
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kConsultaCuentEmp7));
    EXPECT_THAT(Entries(), ElementsAre(kStart));
}

TEST_F(CuentEmp7Test, SixThenEightDigitsGiveSixAndEight) {
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {"6"}), Empresa("0002", {"8"})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(Pair(0, "600000"), Pair(1, "60000000")));
}

TEST_F(CuentEmp7Test, TheLargestOfTheEightSettingsCountsAndNullsAreSkipped) {
    const std::string n(kNulo);
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {n, "4", "7", n, "5", n, n, "3"}),
                                            Empresa("0002", {n, n, n, n, n, n, n, "9"})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(Pair(0, "6000000"), Pair(1, "600000000")));
}

TEST_F(CuentEmp7Test, FractionalSettingsAreRoundedHalfToEven) {
    EXPECT_EQ(CuentaResultados(3), "600");
    EXPECT_EQ(CuentaResultados(2), std::nullopt);
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {"6.5"}), Empresa("0002", {"7.5"}),
                                            Empresa("0003", {"5.6"})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(),
                ElementsAre(Pair(0, "600000"), Pair(1, "60000000"), Pair(2, "600000")));
}

TEST_F(CuentEmp7Test, FewerThanThreeDigitsOrNoSettingLeavesTheCompanyUnchanged) {
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {"2"}), Empresa("0002", {}),
                                            Empresa("0003", {"40000"}), Empresa("0004", {"5"})}));
    ActualizaCuentEmp7(ctx_, conn_);
    // 40000 does not fit a 16-bit count and is ignored like a NULL.
    EXPECT_THAT(SavedAccounts(), ElementsAre(Pair(3, "60000")));
}

TEST_F(CuentEmp7Test, RefusedSavesAreCancelledSilentlyAndEveryCompanyIsTried) {
    conn_.Devuelve(kConsultaCuentEmp7, Emp({Empresa("0001", {"6"}), Empresa("0002", {"7"})}));
    conn_.RechazarGuardado(ErrorServidor(8152, "String or binary data would be truncated."));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), IsEmpty());
    EXPECT_THAT(Entries(), ElementsAre(kStart));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CuentEmp7Test, ARegisterWithNothingToFillWarns) {
    conn_.Devuelve(kConsultaCuentEmp7, Emp({}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(Entries(), ElementsAre(kStart,
                                       "Advertencia en el procedimiento Form_Activate:  No hay "
                                       "registros para actualizar sobre EMP"));
    EXPECT_THAT(conn_.Guardadas(), IsEmpty());
}

TEST_F(CuentEmp7Test, AnUnreadableRegisterIsAnIncidentAndNothingElseHappens) {
    conn_.FallaCon(kConsultaCuentEmp7, ErrorServidor(207, "Invalid column name 'CUENTEMP7'."));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(Entries(),
                ElementsAre("Error en el procesimiento Form_Activate:Consulta de EMP     Mensaje "
                            "devuelto por el servidor :Invalid column name 'CUENTEMP7'."));
    EXPECT_TRUE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace app
