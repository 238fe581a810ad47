// Damaged store files: every mismatch refuses the database with its file and offset and
// changes no file; only a journal's last record cut short by a crash is dropped (and said
// so). A damaged database leaves the others usable; DBCC CHECKDB, sqlshell --check and
// --salvage find and rescue what is readable.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/session.h"
#include "engine/store/binary.h"
#include "engine/store/crc32.h"
#include "engine/store/database_store.h"
#include "engine/types/value_codec.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;

fs::path freshDirectory(const std::string& name) {
    auto dir =
        fs::temp_directory_path() / ("engine-damage-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

Change property(const std::string& name) {
    Change c;
    c.kind = Change::Kind::PutProperty;
    c.property = ExtendedProperty{name, Value::integer(1)};
    return c;
}

// Database "Db" (files db.*): a table of 50 rows and property S in its snapshot, then
// properties J1, J2, J3 in three journal records.
void makeDatabase(const fs::path& dir) {
    ASSERT_FALSE(store::DatabaseStore::create(dir, "db", "Db", 5));
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    Change put;
    put.kind = Change::Kind::PutTable;
    put.table.id = 100;
    put.table.name = "T";
    put.table.columns.push_back(ColumnSchema{1, "n", DataType::of(TypeId::Int), true});
    Change rows;
    rows.kind = Change::Kind::InsertRows;
    rows.objectId = 100;
    rows.values.emplace_back(DataType::of(TypeId::Int));
    for (int i = 1; i <= 50; ++i) {
        rows.rowIds.push_back(i);
        rows.values[0].push(Value::integer(i));
    }
    const ChangeList first = {put, rows, property("S")};
    ASSERT_FALSE(st->append(first));
    db->apply(first);
    ASSERT_FALSE(st->fold(*db));
    for (int k = 1; k <= 3; ++k)
        ASSERT_FALSE(st->append({property("J" + std::to_string(k))}));
}

// Where the records of a file start, walked from its framing: a snapshot's records (the
// last one the end record) after a header of headerSize bytes; a journal's after its header.
std::vector<uint64_t> snapshotRecords(const std::string& bytes, size_t headerSize) {
    std::vector<uint64_t> starts;
    for (uint64_t at = headerSize; at + 8 <= bytes.size();) {
        starts.push_back(at);
        std::string_view in(bytes.data() + at + 0, 4);
        uint32_t length = 0;
        store::getFixed32(in, length);
        if (length == 0) break;
        at += 8 + length;
    }
    return starts;
}
std::vector<uint64_t> journalRecords(const std::string& bytes, size_t headerSize, size_t frame) {
    std::vector<uint64_t> starts;
    for (uint64_t at = headerSize; at + frame <= bytes.size();) {
        starts.push_back(at);
        std::string_view in(bytes.data() + at + 4, 4);
        uint32_t length = 0;
        store::getFixed32(in, length);
        at += frame + length;
    }
    return starts;
}

// The same database as files of format 2, as the previous release wrote them: no header
// checksums, journal records framed in 20 bytes.
void downgrade(const fs::path& dir, size_t headerSize) {
    std::string snapshot = readFile(dir / "db.sdb");
    std::string legacy("SQLEMBDB");
    store::putFixed32(legacy, 2);
    legacy += snapshot.substr(12, headerSize - 12 - 4);  // all but the header's checksum
    writeFile(dir / "db.sdb", legacy + snapshot.substr(headerSize));
    std::string journal = readFile(dir / "db.sjl");
    std::string old("SQLEMBJL");
    store::putFixed32(old, 2);
    for (uint64_t at : journalRecords(journal, 16, 24)) {
        std::string_view in(journal.data() + at + 4, 4);
        uint32_t length = 0;
        store::getFixed32(in, length);
        old += journal.substr(at, 20) + journal.substr(at + 24, length);
    }
    writeFile(dir / "db.sjl", old);
}

struct Layout {
    size_t header = 0;               // snapshot header bytes
    std::vector<uint64_t> snapshot;  // record starts; the last is the end record
    std::vector<uint64_t> journal;   // record starts
};

struct DamageCase {
    const char* what;
    bool legacy;  // the files of format 2
    char file;    // 's' snapshot, 'j' journal
    std::function<void(std::string&, const Layout&)> damage;
    // Refused: where. Opened: how many of J1..J3 remain (a torn last record dropped).
    std::optional<uint64_t> refusedAt;
    std::function<uint64_t(const Layout&)> offset;
    int journalKept = 3;
    bool torn = false;
    bool unfinished = false;  // the last records, of a batch that never ended, dropped
};

void flip(std::string& bytes, uint64_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
}

// Makes the journal record at `at` one that a later record of its batch must end, as a
// statement inside a batch writes it: its marker "CERK", its framing's checksum again.
void markContinued(std::string& bytes, uint64_t at) {
    bytes[at + 3] = 'K';
    std::string check;
    store::putFixed32(check, store::crc32(std::string_view(bytes).substr(at, 20)));
    bytes.replace(at + 20, 4, check);
}

TEST(DamageTest, EveryMismatchRefusesTheDatabaseAtItsOffsetAndOnlyACrashTornTailIsDropped) {
    using L = const Layout&;
    auto at = [](uint64_t n) { return [n](L) { return n; }; };
    const std::vector<DamageCase> cases = {
        // Snapshot, current format.
        {"snapshot emptied", false, 's', [](std::string& b, L) { b.clear(); }, 0, at(0)},
        {"snapshot magic", false, 's', [](std::string& b, L) { flip(b, 0); }, 0, at(0)},
        {"snapshot format", false, 's', [](std::string& b, L) { flip(b, 8); }, 0, at(8)},
        {"snapshot sequence (byte 20)", false, 's', [](std::string& b, L) { flip(b, 20); }, 0,
         [](L l) { return l.header - 4; }},
        {"snapshot name", false, 's', [](std::string& b, L) { flip(b, 25); }, 0,
         [](L l) { return l.header - 4; }},
        {"snapshot header checksum", false, 's', [](std::string& b, L l) { flip(b, l.header - 2); },
         0, [](L l) { return l.header - 4; }},
        {"snapshot record payload", false, 's',
         [](std::string& b, L l) { flip(b, l.snapshot[1] + 12); }, 0,
         [](L l) { return l.snapshot[1]; }},
        {"snapshot record length", false, 's',
         [](std::string& b, L l) { flip(b, l.snapshot[0] + 3); }, 0,
         [](L l) { return l.snapshot[0]; }},
        {"snapshot end record count", false, 's',
         [](std::string& b, L l) { flip(b, l.snapshot.back() + 4); }, 0,
         [](L l) { return l.snapshot.back(); }},
        {"snapshot cut short", false, 's', [](std::string& b, L) { b.pop_back(); }, 0,
         [](L l) { return l.snapshot.back(); }},
        {"snapshot with bytes after its end", false, 's', [](std::string& b, L) { b += "x"; }, 0,
         [](L l) { return l.snapshot.back() + 8; }},
        // Journal, current format.
        {"journal missing", false, 'j', nullptr, 0, at(0)},
        {"journal emptied", false, 'j', [](std::string& b, L) { b.clear(); }, 0, at(0)},
        {"journal magic", false, 'j', [](std::string& b, L) { flip(b, 3); }, 0, at(0)},
        {"journal format", false, 'j', [](std::string& b, L) { flip(b, 8); }, 0, at(8)},
        {"journal header checksum", false, 'j', [](std::string& b, L) { flip(b, 13); }, 0, at(12)},
        {"middle record payload", false, 'j',
         [](std::string& b, L l) { flip(b, l.journal[1] + 26); }, 0,
         [](L l) { return l.journal[1]; }},
        {"middle record length", false, 'j', [](std::string& b, L l) { flip(b, l.journal[1] + 7); },
         0, [](L l) { return l.journal[1]; }},
        {"middle record sequence", false, 'j',
         [](std::string& b, L l) { flip(b, l.journal[1] + 12); }, 0,
         [](L l) { return l.journal[1]; }},
        {"last record payload, whole", false, 'j',
         [](std::string& b, L l) { flip(b, l.journal[2] + 26); }, 0,
         [](L l) { return l.journal[2]; }},
        {"last record cut short", false, 'j', [](std::string& b, L) { b.resize(b.size() - 3); },
         std::nullopt, nullptr, 2, true},
        {"last record cut in its framing", false, 'j',
         [](std::string& b, L l) { b.resize(l.journal[2] + 10); }, std::nullopt, nullptr, 2, true},
        {"last record never reached the disk (zeros)", false, 'j',
         [](std::string& b, L l) {
             std::fill(b.begin() + static_cast<std::ptrdiff_t>(l.journal[2]), b.end(), '\0');
         },
         std::nullopt, nullptr, 2, true},
        // Records of a batch: replayed when a record ends the batch, dropped when none does.
        {"a batch's records ended by the last", false, 'j',
         [](std::string& b, L l) {
             markContinued(b, l.journal[0]);
             markContinued(b, l.journal[1]);
         },
         std::nullopt, nullptr, 3},
        {"a batch that never ended", false, 'j',
         [](std::string& b, L l) {
             markContinued(b, l.journal[1]);
             markContinued(b, l.journal[2]);
         },
         std::nullopt, nullptr, 1, false, true},
        {"a batch that never ended, its last record cut short", false, 'j',
         [](std::string& b, L l) {
             markContinued(b, l.journal[1]);
             b.resize(l.journal[2] + 10);
         },
         std::nullopt, nullptr, 1, true, true},
        // The previous release's files, which lack the header and framing checksums.
        {"format 2: snapshot sequence (byte 20)", true, 's', [](std::string& b, L) { flip(b, 20); },
         0, at(16)},
        {"format 2: middle record length", true, 'j',
         [](std::string& b, L l) { flip(b, l.journal[1] + 7); }, 0,
         [](L l) { return l.journal[1]; }},
        {"format 2: middle record payload", true, 'j',
         [](std::string& b, L l) { flip(b, l.journal[1] + 22); }, 0,
         [](L l) { return l.journal[1]; }},
        {"format 2: last record cut short", true, 'j',
         [](std::string& b, L) { b.resize(b.size() - 3); }, std::nullopt, nullptr, 2, true},
        {"format 2: journal emptied (a crash could leave it so)", true, 'j',
         [](std::string& b, L) { b.clear(); }, std::nullopt, nullptr, 0},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto dir = freshDirectory("matrix");
        makeDatabase(dir);
        const size_t headerSize = 8 + 4 + 4 + 8 + 1 + 2 + 1 + 4;  // name "Db", id 5
        Layout layout;
        layout.header = headerSize;
        if (c.legacy) {
            downgrade(dir, headerSize);
            layout.header = headerSize - 4;
        }
        layout.snapshot = snapshotRecords(readFile(dir / "db.sdb"), layout.header);
        layout.journal =
            journalRecords(readFile(dir / "db.sjl"), c.legacy ? 12 : 16, c.legacy ? 20 : 24);
        ASSERT_EQ(layout.journal.size(), 3u);
        const fs::path damaged = dir / (c.file == 's' ? "db.sdb" : "db.sjl");
        if (c.damage) {
            std::string bytes = readFile(damaged);
            c.damage(bytes, layout);
            writeFile(damaged, bytes);
        } else {
            fs::remove(damaged);
        }
        const std::string snapshotBefore = readFile(dir / "db.sdb");
        const std::string journalBefore = readFile(dir / "db.sjl");

        std::unique_ptr<store::DatabaseStore> st;
        std::unique_ptr<Database> db;
        testing::internal::CaptureStderr();
        store::LoadResult failure = store::DatabaseStore::open(dir, "db", st, db);
        const std::string log = testing::internal::GetCapturedStderr();
        if (c.refusedAt) {
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind, store::LoadFailure::Kind::Damaged) << failure->text();
            EXPECT_EQ(failure->file, c.legacy && c.offset(layout) == 16 ? dir / "db.sdb" : damaged);
            EXPECT_EQ(failure->offset, c.offset(layout)) << failure->text();
            EXPECT_NE(failure->text().find("damaged at offset"), std::string::npos);
            // Nothing rewritten, nothing cut.
            EXPECT_EQ(readFile(dir / "db.sdb"), snapshotBefore);
            EXPECT_EQ(readFile(dir / "db.sjl"), journalBefore);
            EXPECT_EQ(fs::exists(dir / "db.sjl"), c.damage != nullptr);
        } else {
            ASSERT_FALSE(failure) << failure->text();
            ASSERT_TRUE(db->findTable("T"));
            EXPECT_EQ(db->findTable("T")->data().rowCount(), 50u);
            ASSERT_EQ(db->properties().size(), 1u + c.journalKept);
            EXPECT_EQ(db->properties().back().name,
                      c.journalKept ? "J" + std::to_string(c.journalKept) : "S");
            EXPECT_EQ(log.find("cut short") != std::string::npos, c.torn) << log;
            EXPECT_EQ(log.find("of a batch or transaction that had not completed") !=
                          std::string::npos,
                      c.unfinished)
                << log;
            // Work goes on and survives a reopen.
            ASSERT_FALSE(st->append({property("After")}));
            st.reset();
            ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
            EXPECT_EQ(db->properties().size(), 2u + c.journalKept);
        }
        st.reset();
        fs::remove_all(dir);
    }
}

// The outcome of a sqlshell run: exit status and standard output.
struct ShellRun {
    int status = -1;
    std::string output;
};

ShellRun sqlshell(const std::vector<std::string>& args) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::close(fds[0]);
        std::vector<char*> argv = {const_cast<char*>("sqlshell")};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(SQLSHELL_PATH, argv.data());
        _exit(127);
    }
    ::close(fds[1]);
    ShellRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A data directory with master and two companies, each a table of 1,000 rows in its
// snapshot and 10 more in its journal, one statement each.
fs::path makeInstallation(const std::string& name) {
    auto dir = freshDirectory(name);
    SessionOptions options;
    options.createDataDirectory = true;
    auto s = Session::open(dir, "", options).session;
    EXPECT_FALSE(s->execute("CREATE TABLE D (n int) INSERT D VALUES (0),(1),(2),(3),(4),(5),"
                            "(6),(7),(8),(9)")
                     .hasErrors());
    for (const std::string c : {"Empresa_0001", "Empresa_0002"}) {
        EXPECT_FALSE(s->execute("CREATE DATABASE " + c).hasErrors());
        EXPECT_FALSE(s->execute("USE " + c +
                                " CREATE TABLE Clientes (id int PRIMARY KEY, nombre varchar(20)) "
                                "INSERT Clientes SELECT a.n * 100 + b.n * 10 + d.n + 1, "
                                "'cliente' FROM master.dbo.D a CROSS JOIN master.dbo.D b "
                                "CROSS JOIN master.dbo.D d USE master")
                         .hasErrors());
    }
    s.reset();  // folds everything so far
    s = Session::open(dir, "").session;
    for (const std::string c : {"Empresa_0001", "Empresa_0002"}) {
        for (int i = 1001; i <= 1010; ++i)
            EXPECT_FALSE(s->execute("INSERT INTO " + c + ".dbo.Clientes VALUES (" +
                                    std::to_string(i) + ", 'cliente')")
                             .hasErrors());
    }
    return dir;
}

std::string offsetText(uint64_t offset) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%014llx", static_cast<unsigned long long>(offset));
    return buffer;
}

// The journal records that hold changes: a batch's ends with an empty record of its own.
std::vector<uint64_t> statementRecords(const fs::path& journal) {
    const std::string bytes = readFile(journal);
    std::vector<uint64_t> starts;
    for (uint64_t at : journalRecords(bytes, 16, 24)) {
        std::string_view in(bytes.data() + at + 4, 4);
        uint32_t length = 0;
        store::getFixed32(in, length);
        if (length > 1) starts.push_back(at);
    }
    return starts;
}
// Offset of the journal record of the n-th statement (from 0) after the header.
uint64_t journalRecord(const fs::path& journal, size_t n) {
    return statementRecords(journal).at(n);
}

TEST(DamageTest, ADamagedDatabaseIsUnavailableAloneAndSaysWhereTheDamageIs) {
    auto dir = makeInstallation("alone");
    const fs::path journal = dir / "Empresa_0002.sjl";
    const fs::path snapshot = dir / "Empresa_0002.sdb";
    struct Case {
        const char* what;
        std::function<void()> damage;
        fs::path file;
        std::string offset;  // as the message prints it
    };
    const uint64_t third = journalRecord(journal, 3);
    ASSERT_EQ(statementRecords(journal).size(), 10u);
    const std::string pristineJournal = readFile(journal);
    const std::string pristineSnapshot = readFile(snapshot);
    const uint64_t headerChecksum = 8 + 4 + 4 + 8 + 1 + 12 + 1;  // name Empresa_0002, id 6
    const std::vector<Case> cases = {
        {"empty snapshot", [&] { writeFile(snapshot, ""); }, snapshot, offsetText(0)},
        {"header byte 20",
         [&] {
             std::string b = pristineSnapshot;
             flip(b, 20);
             writeFile(snapshot, b);
         },
         snapshot, offsetText(headerChecksum)},
        {"journal record",
         [&] {
             std::string b = pristineJournal;
             flip(b, third + 30);
             writeFile(journal, b);
         },
         journal, offsetText(third)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(journal, pristineJournal);
        writeFile(snapshot, pristineSnapshot);
        c.damage();
        // The damaged company, connected to directly: 824 naming file and offset, then 926.
        ShellRun direct = sqlshell({"-S", dir.string(), "-d", "Empresa_0002", "-Q", "SELECT 1"});
        EXPECT_EQ(direct.status, 1);
        EXPECT_NE(direct.output.find("Msg 824, Level 16, State 2"), std::string::npos)
            << direct.output;
        EXPECT_NE(direct.output.find("in file '" + c.file.string() + "'"), std::string::npos)
            << direct.output;
        EXPECT_NE(direct.output.find("at offset " + c.offset), std::string::npos) << direct.output;
        EXPECT_NE(direct.output.find("Msg 926, Level 14"), std::string::npos) << direct.output;
        // Everything else works: master, the other company, the list of databases.
        ShellRun others =
            sqlshell({"-S", dir.string(), "-b", "-Q",
                      "SELECT COUNT(*) FROM Empresa_0001.dbo.Clientes; USE Empresa_0002; "
                      "SELECT name + ' ' + state_desc FROM sys.databases ORDER BY name"});
        EXPECT_EQ(others.status, 1);
        EXPECT_NE(others.output.find("1010\n"), std::string::npos) << others.output;
        EXPECT_NE(others.output.find("Empresa_0001 ONLINE"), std::string::npos) << others.output;
        EXPECT_NE(others.output.find("Empresa_0002 SUSPECT"), std::string::npos) << others.output;
        EXPECT_NE(others.output.find("Msg 926"), std::string::npos) << others.output;
        // The files are left for the operator as they were found.
        EXPECT_EQ(readFile(journal) == pristineJournal, c.file != journal);
        EXPECT_EQ(readFile(snapshot) == pristineSnapshot, c.file != snapshot);
    }
    fs::remove_all(dir);
}

TEST(DamageTest, CheckFindsTheDamageAndSalvageCopiesWhatIsReadableIntoANewDatabase) {
    auto dir = makeInstallation("salvage");
    const fs::path journal = dir / "Empresa_0002.sjl";
    {
        ShellRun clean = sqlshell({"-S", dir.string(), "--check"});
        EXPECT_EQ(clean.status, 0) << clean.output;
        EXPECT_NE(clean.output.find("CHECKDB found 0 allocation errors and 0 consistency errors "
                                    "in database 'Empresa_0002'."),
                  std::string::npos)
            << clean.output;
    }
    // The fourth of the ten journalled inserts damaged: rows 1001..1003 come before it.
    std::string bytes = readFile(journal);
    const uint64_t fourth = journalRecord(journal, 3);
    flip(bytes, fourth + 30);
    writeFile(journal, bytes);

    ShellRun check = sqlshell({"-S", dir.string(), "--check"});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.output.find("at offset " + offsetText(fourth) + " in file '" +
                                journal.string() + "'"),
              std::string::npos)
        << check.output;
    EXPECT_NE(check.output.find("1 consistency errors in database 'Empresa_0002'"),
              std::string::npos)
        << check.output;
    EXPECT_NE(check.output.find("0 consistency errors in database 'Empresa_0001'"),
              std::string::npos)
        << check.output;

    ShellRun salvage = sqlshell({"-S", dir.string(), "--salvage", "Empresa_0002", "Rescate"});
    EXPECT_EQ(salvage.status, 0) << salvage.output;
    EXPECT_NE(salvage.output.find("salvaged into 'Rescate'"), std::string::npos) << salvage.output;
    EXPECT_EQ(readFile(journal), bytes);  // the damaged one stays as it was
    ShellRun rescued = sqlshell({"-S", dir.string(), "-d", "Rescate", "-b", "-Q",
                                 "SELECT COUNT(*), MAX(id) FROM Clientes"});
    EXPECT_EQ(rescued.status, 0) << rescued.output;
    EXPECT_NE(rescued.output.find("1003"), std::string::npos) << rescued.output;
    // A rescued database is whole: it checks clean and takes work.
    ShellRun again = sqlshell({"-S", dir.string(), "-b", "-Q",
                               "INSERT INTO Rescate.dbo.Clientes VALUES (9999, 'x'); "
                               "DBCC CHECKDB ('Rescate') WITH NO_INFOMSGS; "
                               "DROP DATABASE Empresa_0002"});
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_FALSE(fs::exists(journal));
    // No salvage over an existing database, and none of one that does not exist.
    EXPECT_EQ(sqlshell({"-S", dir.string(), "--salvage", "Empresa_0001", "Rescate"}).status, 1);
    EXPECT_EQ(sqlshell({"-S", dir.string(), "--salvage", "Nada", "Otra"}).status, 1);
    fs::remove_all(dir);
}

}  // namespace
