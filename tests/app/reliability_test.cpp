// The built program over an old-release installation, where a run must finish what an earlier
// one left half done, and where the operator must hear of what the log cannot say.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/installation.h"
#include "run/test_files.h"
#include "support/database_dump.h"

namespace app_test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using Rows = std::vector<std::vector<std::string>>;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::vector<std::string> Starting(const std::vector<std::string>& entries, const std::string& prefix) {
    std::vector<std::string> out;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(out),
                 [&](const std::string& e) { return e.starts_with(prefix); });
    return out;
}

// The lines of two dumps of the same shape that differ, each as "database.table: old -> new".
std::vector<std::string> Differences(const std::string& before, const std::string& after) {
    std::vector<std::string> out;
    std::istringstream a(before), b(after);
    std::string la, lb, database, table;
    while (std::getline(a, la) && std::getline(b, lb)) {
        if (la.starts_with("database ")) database = la.substr(9);
        if (la.starts_with("table ")) table = la.substr(6);
        if (la != lb) out.push_back(database + "." + table + ": " + la + " -> " + lb);
    }
    if (std::getline(a, la) || std::getline(b, lb)) out.push_back("the dumps differ in length");
    return out;
}

// The VAT column that brings the suppliers' re-mapping, there but never filled (as a run stopped
// right after adding it leaves it, or a hand): the next run owes every company the re-mapping.
TEST(ResumedRunTest, AVatColumnAddedButNeverFilledStillRemapsEverySupplier) {
    Installation reference, resumed;
    ASSERT_TRUE(reference.Built()) << reference.BuildError();
    ASSERT_TRUE(resumed.Built()) << resumed.BuildError();
    ASSERT_TRUE(resumed.Connect("Vardex")->execute("ALTER TABLE IVATAB ADD TipoIVA2010 float NULL"));
    reference.Run();
    resumed.Run();
    const std::string vat = "SELECT codiiva, TipoIVA, TipoIVA2010 FROM IVATAB ORDER BY codiiva";
    EXPECT_EQ(resumed.Rows("Vardex", vat), reference.Rows("Vardex", vat));
    for (const char* empresa : {"Empresa_0001", "Empresa_0002", "Empresa_0003"}) {
        const std::string sql = "SELECT ProvIVA, COUNT(*) FROM PROVEEDORESTABLA GROUP BY ProvIVA";
        EXPECT_EQ(resumed.Rows(empresa, sql), reference.Rows(empresa, sql)) << empresa;
    }
    // Today's moments (stamps of the run) are masked: the two runs were not in the same second.
    // Only the hand's column differs: it was added without the default.
    EXPECT_THAT(Differences(test_support::WithoutToday(reference.Dump()),
                            test_support::WithoutToday(resumed.Dump())),
                ElementsAre("Vardex.IVATAB:   column TipoIVA2010\t62\t8\t53\t0\t1\t"
                            "DF__IVATAB__TipoI__<id>\t((0)) ->   column TipoIVA2010\t62\t8\t53\t0\t1\t\t"));
}

// A second whole run leaves every database as the first left it, but for the one case that the
// program's own statements make (README: a book's BIENINVERSION altered without NOT NULL while
// another book still had a bit column); a third run changes nothing at all.
TEST(SecondRunTest, ASecondWholeRunChangesOnlyWhatTheReadmeLists) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    inst.Run();
    const std::string first = inst.Dump();
    inst.Run();
    const std::string second = inst.Dump();
    EXPECT_THAT(Differences(first, second),
                ElementsAre("Empresa_0001.E2014TABLA:   column BIENINVERSION\t56\t4\t10\t0\t1\t"
                            "DF_E2014TABLA_BIENINVERSION\t((0)) ->   column BIENINVERSION\t56\t4\t"
                            "10\t0\t0\tDF_E2014TABLA_BIENINVERSION\t((0))"));
    inst.Run();
    EXPECT_THAT(Differences(second, inst.Dump()), IsEmpty());
}

TEST(OperatorTest, ASelectorThatMatchesNoCompanyIsAWarningAndAFailedRun) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    const std::string before = inst.Dump();
    for (const std::string selector : {"9999", "vardex", "'"}) {
        Outcome outcome = inst.Run(selector);
        const std::string text = "Ninguna empresa tiene el código " + selector + ": no se actualiza nada";
        EXPECT_EQ(outcome.exit_code, 1) << selector;
        EXPECT_EQ(Count(outcome.err, text), 1u) << outcome.err;
        EXPECT_EQ(Starting(inst.LogEntries(), "Advertencia"),
                  (std::vector<std::string>{"Advertencia en el procedimiento RealizarConexion:  " + text}));
    }
    EXPECT_EQ(inst.Dump(), before);
    // A selector that names a company says nothing of the kind.
    Outcome one = inst.Run("0005");
    EXPECT_THAT(one.err, Not(HasSubstr("Ninguna empresa")));
    EXPECT_TRUE(Starting(inst.LogEntries(), "Advertencia").empty());
}

TEST(OperatorTest, AnUnwritableLogIsToldOnceAndTheRunEndsAsEver) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    const fs::path log = inst.ProgramFolder() / "LogActualizacion.txt";
    Outcome writable = inst.Run("VARDEX");
    EXPECT_THAT(writable.err, Not(HasSubstr("no se puede escribir")));
    Installation other;
    ASSERT_TRUE(other.Built()) << other.BuildError();
    const fs::path blocked = other.ProgramFolder() / "LogActualizacion.txt";
    fs::create_directory(blocked);  // a directory where the file should be: no one can write it
    Outcome outcome = other.Run("VARDEX");
    EXPECT_EQ(outcome.exit_code, writable.exit_code);
    EXPECT_EQ(Count(outcome.err, "no se puede escribir el log " + blocked.string()), 1u) << outcome.err;
    EXPECT_THAT(Differences(test_support::WithoutToday(inst.Dump()),
                            test_support::WithoutToday(other.Dump())),
                IsEmpty());
}

// A base-data file that cannot be used leaves the log as ever, but the console and the trace say
// why; a damaged one is not read.
TEST(OperatorTest, AnUnusableBaseDataFileIsToldOnTheConsoleAndInTheTrace) {
    Installation good;
    ASSERT_TRUE(good.Built()) << good.BuildError();
    good.Run("VARDEX");
    struct Case {
        const char* name;
        void (*damage)(const fs::path& file);
        const char* reason;
    };
    const Case cases[] = {
        {"missing", [](const fs::path& f) { fs::remove(f); }, "Could not find file"},
        {"damaged page", [](const fs::path& f) {
             std::fstream io(f, std::ios::in | std::ios::out | std::ios::binary);
             io.seekp(6 * 4096 + 15);
             io.put('\x1F');  // the first row of a data page beyond the page's end
         }, "page 6"},
        {"cut short", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) - 100); },
         "not a whole number"},
    };
    for (const Case& c : cases) {
        Installation inst;
        ASSERT_TRUE(inst.Built()) << inst.BuildError();
        const fs::path file = inst.ProgramFolder() / "Include" / "Datos Base.MDB";
        c.damage(file);
        const fs::path trace = inst.ProgramFolder() / "trace.txt";
        Outcome outcome = inst.RunWith("NULL,," + inst.Server() + ",VARDEX",
                                       {{"ACTUALIZA_TRACE", trace.string()}});
        EXPECT_EQ(Count(outcome.err, "no se usa el archivo de datos base: "), 1u) << c.name << outcome.err;
        EXPECT_THAT(outcome.err, HasSubstr(c.reason)) << c.name;
        const std::string records = run_test::ReadBytes(trace);
        EXPECT_THAT(records, HasSubstr("\tconnect\tDatos Base.MDB\t")) << c.name;
        EXPECT_THAT(records, HasSubstr(c.reason)) << c.name;
        // Nothing of the file was copied: the base-data tables are as the old release left them.
        EXPECT_THAT(inst.LogEntries(), Not(::testing::Contains(HasSubstr("Datos Base"))));
        EXPECT_NE(inst.Dump(), good.Dump()) << c.name;
    }
}

}  // namespace
}  // namespace app_test
