#include "app/secuencia/cuentemp7.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/central/routine_test.h"

namespace app {
namespace {

using central_test::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

db::Variant N(double v) { return db::Variant::real(v); }
db::Variant T(const char* s) { return db::Variant::text(s); }
const db::Variant kNull;

// One EMP row: code, name, the eight digit settings, CUENTEMP7 = 0.
std::vector<db::Variant> Empresa(const char* codigo, std::vector<db::Variant> digitos) {
    std::vector<db::Variant> row{T(codigo), T("Empresa")};
    digitos.resize(8);
    row.insert(row.end(), digitos.begin(), digitos.end());
    row.push_back(db::Variant::integer(0));
    return row;
}

db::RowSet Emp(std::vector<std::vector<db::Variant>> rows) {
    return ScriptedConnection::Rows({"MENUMEMPRESA", "MENOMBRE", "MENUMDIG", "MENUMDIG2",
                                     "MENUMDIG3", "MENUMDIG4", "MENUMDIG5", "MENUMDIG6",
                                     "MENUMDIG7", "MENUMDIG8", "CUENTEMP7"},
                                    std::move(rows));
}

class CuentEmp7Test : public central_test::RoutineTest {
  protected:
    // CUENTEMP7 as saved for each saved row, in order: (row, value).
    std::vector<std::pair<size_t, std::string>> SavedAccounts() const {
        std::vector<std::pair<size_t, std::string>> out;
        for (const ScriptedConnection::Saved& s : conn_.saved()) {
            EXPECT_EQ(s.sql, kConsultaCuentEmp7);
            EXPECT_FALSE(s.inserted);
            for (size_t i = 0; i + 1 < s.values.size(); ++i)
                EXPECT_FALSE(s.values[i].has_value()) << "only CUENTEMP7 is written";
            out.emplace_back(s.row, s.values.back() ? s.values.back()->toText() : "<unset>");
        }
        return out;
    }

    const std::string kStart = "Información:  Comenzando actualización de la tabla EMP";
};

TEST_F(CuentEmp7Test, EachCompanyGetsItsOwnAccountLengthWhateverTheOrder) {
    conn_.SetRows(kConsultaCuentEmp7, Emp({Empresa("0001", {N(8)}), Empresa("0002", {N(6)})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{0, "60000000"},
                                             std::pair<size_t, std::string>{1, "600000"}));
    EXPECT_THAT(conn_.SentTexts(), ElementsAre(kConsultaCuentEmp7));
    EXPECT_THAT(Entries(), ElementsAre(kStart));
}

TEST_F(CuentEmp7Test, SixThenEightDigitsGiveSixAndEight) {
    conn_.SetRows(kConsultaCuentEmp7, Emp({Empresa("0001", {N(6)}), Empresa("0002", {N(8)})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{0, "600000"},
                                             std::pair<size_t, std::string>{1, "60000000"}));
}

TEST_F(CuentEmp7Test, TheLargestOfTheEightSettingsCountsAndNullsAreSkipped) {
    conn_.SetRows(kConsultaCuentEmp7,
                  Emp({Empresa("0001", {kNull, N(4), T("7"), kNull, N(5), kNull, kNull, N(3)}),
                       Empresa("0002", {kNull, kNull, kNull, kNull, kNull, kNull, kNull, N(9)})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{0, "6000000"},
                                             std::pair<size_t, std::string>{1, "600000000"}));
}

TEST_F(CuentEmp7Test, FractionalSettingsAreRoundedHalfToEven) {
    EXPECT_EQ(CuentaResultados(3), "600");
    EXPECT_EQ(CuentaResultados(2), std::nullopt);
    conn_.SetRows(kConsultaCuentEmp7,
                  Emp({Empresa("0001", {N(6.5)}), Empresa("0002", {N(7.5)}),
                       Empresa("0003", {N(5.6)})}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{0, "600000"},
                                             std::pair<size_t, std::string>{1, "60000000"},
                                             std::pair<size_t, std::string>{2, "600000"}));
}

TEST_F(CuentEmp7Test, FewerThanThreeDigitsOrNoSettingLeavesTheCompanyUnchanged) {
    conn_.SetRows(kConsultaCuentEmp7, Emp({Empresa("0001", {N(2)}), Empresa("0002", {}),
                                           Empresa("0003", {N(40000)}), Empresa("0004", {N(5)})}));
    ActualizaCuentEmp7(ctx_, conn_);
    // 40000 does not fit a 16-bit count and is ignored like a NULL.
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{3, "60000"}));
}

TEST_F(CuentEmp7Test, ARefusedSaveIsCancelledAndTheNextCompanyIsStillFilled) {
    conn_.SetRows(kConsultaCuentEmp7, Emp({Empresa("0001", {N(6)}), Empresa("0002", {N(7)})}));
    conn_.FailSave(kConsultaCuentEmp7, 0,
                   ScriptedConnection::ServerError(8152, "String or binary data would be truncated."));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(SavedAccounts(), ElementsAre(std::pair<size_t, std::string>{1, "6000000"}));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CuentEmp7Test, ARegisterWithNothingToFillWarns) {
    conn_.SetRows(kConsultaCuentEmp7, Emp({}));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(Entries(), ElementsAre(kStart,
                                       "Advertencia en el procedimiento Form_Activate:  No hay "
                                       "registros para actualizar sobre EMP"));
    EXPECT_THAT(conn_.saved(), IsEmpty());
}

TEST_F(CuentEmp7Test, AnUnreadableRegisterIsAnIncidentAndNothingElseHappens) {
    conn_.FailOpen(kConsultaCuentEmp7,
                   ScriptedConnection::ServerError(207, "Invalid column name 'CUENTEMP7'."));
    ActualizaCuentEmp7(ctx_, conn_);
    EXPECT_THAT(Entries(),
                ElementsAre("Error en el procesimiento Form_Activate:Consulta de EMP     Mensaje "
                            "devuelto por el servidor :Invalid column name 'CUENTEMP7'."));
    EXPECT_TRUE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace app
