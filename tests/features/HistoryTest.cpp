// The board history: every operation's outcome recorded by the core with what
// the run knew of the board; configuration differences against hand-made
// images; two programs writing at once; kills in the middle of a record;
// damaged files; the migration from the first schema; export and import.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "OperationRig.h"
#include "boardsim/BoardTuningLog.h"
#include "config/Cfgwelder.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/EepromOperations.h"
#include "features/EventLog.h"
#include "features/History.h"
#include "features/SqliteHistoryStore.h"

using namespace orvan;
using namespace orvan::features;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<TSqliteHistoryStore> OpenStore(const std::string& path) {
    std::unique_ptr<TSqliteHistoryStore> s;
    const THistoryResult r = TSqliteHistoryStore::Open(path, s);
    EXPECT_TRUE(r) << r.why;
    return s;
}

THistoryRecord MakeRecord(const std::string& serial, std::int64_t t, const Bytes& image = {}) {
    THistoryRecord r;
    r.uid = serial + "-" + std::to_string(t) + "-" + std::to_string(::getpid());
    r.serial = serial;
    r.boardType = 0x0A00;
    r.firmware = "1.2.3";
    r.timeMs = t;
    r.operation = "Configuration read";
    r.outcome = "completed";
    if (!image.empty()) r.snapshots.push_back({"read", image});
    r.files.push_back({"kept", "/nowhere/" + std::to_string(t), 384, std::string(64, 'a')});
    return r;
}

Bytes ImageOf(config::TWelderCfgBlank cfg) {
    Bytes image(config::kImageSize);
    config::BuildDeviceImage(cfg, image.data());
    return image;
}

std::string Integrity(const std::string& path) {
    auto s = OpenStore(path);
    std::string verdict;
    if (!s || !s->IntegrityCheck(verdict)) return "cannot check";
    return verdict;
}

std::int64_t Count(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

struct HistoryRig : test::OperationRig {
    std::string store = dir.File("history.sqlite");
    HistoryRig() {
        core.History().user = "tecnico";
        core.History().host = "banco-3";
        EXPECT_TRUE(core.History().Open(store));
    }
};

}  // namespace

// --- recorded by the core ------------------------------------------------------

TEST(History, EveryOperationLeavesItsRecordWithTheBoardsFacts) {
    HistoryRig rig;
    const std::string dump = rig.dir.File("dump.bin");
    const std::string report = rig.dir.File("report.html");
    const auto held = rig.BoardImage();
    const Bytes before(held.begin(), held.end());

    std::vector<std::function<std::unique_ptr<TOperation>()>> ops = {
        [&] { return InfoOperation(rig.core); },
        // Refused at the start: no configuration is shown yet.
        [&] { return ConfigVerifyOperation(rig.core); },
        [&] {
            return ConfigReadOperation(rig.core, {false, {}});
        },
        [&] {
            // One field changed, written.
            config::TWelderCfgBlank& cfg = rig.Record();
            const config::TFieldInfo* f = config::FindField("MinPower");
            f->setRaw(cfg, f->index, f->Raw(cfg) + 7);
            return ConfigWriteOperation(rig.core, {});
        },
        [&] { return ConfigVerifyOperation(rig.core); },
        [&] { return EepromDumpOperation(rig.core, {dump}); },
        [&] { return ClockRunOperation(rig.core, true); },
        [&] { return EventLogReadOperation(rig.core); },
        [&] { return ServiceReportOperation(rig.core, {report}); },
    };
    for (auto& make : ops) (void)rig.Run(make());
    rig.Drain();

    ASSERT_EQ(rig.rec.outcomes.size(), ops.size());
    std::vector<THistoryRecord> timeline;
    const std::string serial = rig.core.Session().serialNumber;
    ASSERT_FALSE(serial.empty());
    ASSERT_TRUE(rig.core.History().Timeline(serial, timeline));
    // The refused verify came before the board was identified by any
    // operation of its own, but the session knew it from Info.
    ASSERT_EQ(timeline.size(), ops.size());
    std::reverse(timeline.begin(), timeline.end());
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const TOperationOutcome& o = rig.rec.outcomes[i];
        EXPECT_EQ(timeline[i].operation, o.operation) << i;
        EXPECT_EQ(timeline[i].outcome, OutcomeKindText(o.kind)) << i;
        EXPECT_EQ(timeline[i].user, "tecnico");
        EXPECT_EQ(timeline[i].host, "banco-3");
        EXPECT_FALSE(timeline[i].firmware.empty()) << i;
        // Nothing of the history was said: it worked.
        EXPECT_EQ(o.message.find("board history"), std::string::npos) << o.message;
    }
    EXPECT_EQ(timeline[1].outcome, "refused");

    // The read keeps the board's exact image; the write what it held before
    // and what it wrote; the verify what it found.
    THistoryRecord read, write, verify, dumped;
    ASSERT_TRUE(rig.core.History().Record(timeline[2].id, read));
    ASSERT_TRUE(rig.core.History().Record(timeline[3].id, write));
    ASSERT_TRUE(rig.core.History().Record(timeline[4].id, verify));
    ASSERT_TRUE(rig.core.History().Record(timeline[5].id, dumped));
    ASSERT_EQ(read.snapshots.size(), 1u);
    EXPECT_EQ(read.snapshots[0].image, before);
    ASSERT_EQ(write.snapshots.size(), 2u);
    EXPECT_EQ(write.snapshots[0].role, "before");
    EXPECT_EQ(write.snapshots[0].image, before);
    EXPECT_EQ(write.snapshots[1].role, "written");
    const auto now = rig.BoardImage();
    const Bytes after(now.begin(), now.end());
    EXPECT_EQ(write.snapshots[1].image, after);
    EXPECT_EQ(verify.snapshots.at(0).image, after);
    // The write's backups are indexed with their checksums.
    ASSERT_EQ(write.files.size(), 2u);
    for (const THistoryFile& f : write.files) {
        std::string sha;
        std::uint64_t size = 0;
        ASSERT_TRUE(FileSha256(f.path, sha, size)) << f.path;
        EXPECT_EQ(f.sha256, sha);
        EXPECT_EQ(f.role, "kept");
    }
    const auto written = std::find_if(dumped.files.begin(), dumped.files.end(),
                                      [](const THistoryFile& f) { return f.role == "written"; });
    ASSERT_NE(written, dumped.files.end());
    EXPECT_EQ(written->path, dump);
    EXPECT_EQ(written->size, 1024u);

    // Read and write differ in the one field changed.
    std::vector<TFieldDifference> d;
    ASSERT_TRUE(rig.core.History().Diff(read.id, write.id, d));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].key, "MinPower");
    EXPECT_EQ(d[0].boardRaw - d[0].pcRaw, 7);

    std::vector<THistoryBoard> boards;
    ASSERT_TRUE(rig.core.History().Boards(boards));
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].serial, serial);
    EXPECT_EQ(boards[0].records, static_cast<std::int64_t>(ops.size()));
    EXPECT_EQ(boards[0].boardType, rig.core.Session().boardType);

    // A kept file removed and another changed are found.
    fs::remove(write.files[0].path);
    std::ofstream(dump, std::ios::binary | std::ios::app) << 'x';
    std::vector<TFileCheck> checks;
    ASSERT_TRUE(rig.core.History().CheckFiles(serial, checks));
    int missing = 0, changed = 0;
    for (const TFileCheck& c : checks) {
        missing += c.state == TFileState::Missing;
        changed += c.state == TFileState::Changed;
    }
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(changed, 1);
}

// Each operation run alone on a board the program has not identified yet:
// the record is still filed under the board, with the logs as read.
TEST(History, ARunAloneIsFiledUnderItsBoardWithTheLogsAsRead) {
    struct Row {
        const char* operation;
        std::function<std::unique_ptr<TOperation>(HistoryRig&)> make;
        const char* log;  // the log snapshot it keeps, "" for none
        std::size_t first = 0, size = 0;
    };
    const std::vector<Row> rows = {
        {"Configuration read",
         [](HistoryRig& r) {
             return ConfigReadOperation(r.core, {true, {}});
         },
         "tuning log", link::kTuningLogAddress, link::kTuningLogSize},
        {"Event log read", [](HistoryRig& r) { return EventLogReadOperation(r.core); }, "event log",
         link::kEventLogAddress, link::kEventLogSize},
        {"EEPROM format",
         [](HistoryRig& r) { return EepromFormatOperation(r.core, {r.dir.File("before.bin")}); },
         ""},
        {"Board clock halt", [](HistoryRig& r) { return ClockRunOperation(r.core, false); }, ""},
    };
    for (const Row& row : rows) {
        HistoryRig rig;
        // An event in the log, so its snapshot holds more than erased bytes.
        const TEventRecord ev{};
        const auto bytes = EventRecordBytes(ev);
        std::copy(bytes.begin(), bytes.end(), rig.model.Eeprom().begin() + link::kEventLogAddress);
        const sim::TSimTuning tuning{1796000000, 3600, 40000, 1500};
        sim::WriteFactoryTuningLog(rig.model.Eeprom(), 1790000000, {1000, 2000, 3000, 4000, 5000},
                                   &tuning, 1);
        const Bytes memory(rig.model.Eeprom().begin(), rig.model.Eeprom().end());
        ASSERT_TRUE(rig.core.Session().serialNumber.empty());
        const TOperationOutcome o = rig.Run(row.make(rig));
        rig.Drain();
        ASSERT_TRUE(o.Completed()) << row.operation << ": " << o.message;
        std::vector<THistoryBoard> boards;
        ASSERT_TRUE(rig.core.History().Boards(boards));
        ASSERT_EQ(boards.size(), 1u) << row.operation;
        EXPECT_EQ(boards[0].serial, "SIM-000001") << row.operation;
        std::vector<THistoryRecord> timeline;
        ASSERT_TRUE(rig.core.History().Timeline(boards[0].serial, timeline));
        ASSERT_EQ(timeline.size(), 1u);
        THistoryRecord rec;
        ASSERT_TRUE(rig.core.History().Record(timeline[0].id, rec));
        EXPECT_EQ(rec.operation, row.operation);
        EXPECT_EQ(rec.outcome, "completed");
        EXPECT_EQ(rec.user, "tecnico");
        EXPECT_EQ(rec.host, "banco-3");
        EXPECT_EQ(rec.timeMs, 1796703540000);
        const auto log =
            std::find_if(rec.snapshots.begin(), rec.snapshots.end(),
                         [](const THistorySnapshot& s) { return s.role.ends_with(" log"); });
        if (*row.log == '\0') {
            EXPECT_EQ(log, rec.snapshots.end()) << row.operation;
            continue;
        }
        ASSERT_NE(log, rec.snapshots.end()) << row.operation;
        EXPECT_EQ(log->role, row.log);
        EXPECT_EQ(log->image,
                  Bytes(memory.begin() + static_cast<std::ptrdiff_t>(row.first),
                        memory.begin() + static_cast<std::ptrdiff_t>(row.first + row.size)))
            << row.operation;
        // A log is never taken for a configuration.
        bool found = true;
        THistoryRecord last;
        ASSERT_TRUE(rig.core.History().LastConfiguration(rec.serial, last, found));
        if (found) {
            EXPECT_NE(last.snapshots.at(0).role, row.log);
        }
    }
}

// The service report names the board's timeline and how the board differs
// from the last configuration the history saw of it; with no history kept,
// it says so.
TEST(History, TheServiceReportShowsTheChangesSinceTheLastConfigurationSeen) {
    for (const bool kept : {true, false}) {
        HistoryRig rig;
        std::int64_t seen = 0;
        if (kept) {
            config::TWelderCfgBlank cfg;
            const auto board = rig.BoardImage();
            cfg.LoadFromImage(board.data());
            const config::TFieldInfo* f = config::FindField("MinPower");
            const std::int32_t boardRaw = f->Raw(cfg);
            f->setRaw(cfg, f->index, boardRaw - 25);
            TOperationOutcome o;
            o.operation = "Configuration read";
            o.kind = TOutcomeKind::Completed;
            THistoryFacts facts;
            facts.serial = "SIM-000001";
            facts.snapshots = {{"read", ImageOf(cfg)}};
            ASSERT_EQ(rig.core.History().RecordOutcome(o, facts, 1000), "");
            seen = rig.core.History().LastId();
        } else {
            rig.core.History().Close();
        }
        const std::string path = rig.dir.File("report.html");
        const TOperationOutcome o = rig.Run(ServiceReportOperation(rig.core, {path}));
        ASSERT_TRUE(o.Completed()) << o.message;
        std::ifstream in(path);
        const std::string html((std::istreambuf_iterator<char>(in)), {});
        const std::size_t at = html.find("<h2>Board history</h2>");
        ASSERT_NE(at, std::string::npos);
        const std::string part = html.substr(at, html.find("<h2>", at + 4) - at);
        EXPECT_NE(part.find("orvan-cli history SIM-000001"), std::string::npos) << part;
        EXPECT_NE(part.find("Board history..."), std::string::npos) << part;
        if (!kept) {
            EXPECT_NE(part.find("No board history is kept"), std::string::npos) << part;
            continue;
        }
        EXPECT_NE(part.find("record " + std::to_string(seen) + ", Configuration read"),
                  std::string::npos)
            << part;
        EXPECT_NE(part.find("tecnico on banco-3"), std::string::npos) << part;
        // Exactly the one field changed since, with its unit.
        EXPECT_NE(part.find("<td>MinPower</td>"), std::string::npos) << part;
        std::size_t rows = 0;
        for (std::size_t p = part.find("<tr><td>"); p != std::string::npos;
             p = part.find("<tr><td>", p + 1))
            ++rows;
        EXPECT_EQ(rows, 1u) << part;
        // The report itself is recorded after it was made.
        THistoryRecord last;
        bool found = false;
        ASSERT_TRUE(rig.core.History().LastConfiguration("SIM-000001", last, found));
        EXPECT_EQ(last.id, seen);
        EXPECT_GT(rig.core.History().LastId(), seen);
    }
}

// --- differences ---------------------------------------------------------------

TEST(History, DifferencesOfHandMadeSnapshotsFieldByFieldWithUnits) {
    struct Change {
        const char* key;
        std::int32_t delta;
    };
    const std::vector<std::vector<Change>> cases = {
        {},
        {{"MinPower", 100}},
        {{"MinPower", -3}, {"ADCOffset_3", 12}},
    };
    for (const auto& changes : cases) {
        config::TWelderCfgBlank a = config::DefaultConfiguration();
        config::TWelderCfgBlank b = a;
        for (const Change& c : changes) {
            const config::TFieldInfo* f = config::FindField(c.key);
            ASSERT_NE(f, nullptr) << c.key;
            f->setRaw(b, f->index, f->Raw(a) + c.delta);
        }
        const auto d = SnapshotDifferences(ImageOf(a), ImageOf(b));
        ASSERT_EQ(d.size(), changes.size());
        for (const Change& c : changes) {
            const auto it = std::find_if(d.begin(), d.end(),
                                         [&](const TFieldDifference& x) { return x.key == c.key; });
            ASSERT_NE(it, d.end()) << c.key;
            const config::TFieldInfo* f = config::FindField(c.key);
            EXPECT_EQ(it->boardRaw - it->pcRaw, c.delta);
            EXPECT_EQ(it->section, f->section);
            EXPECT_EQ(it->unit, f->unit);
            const std::string text = HistoryDifferenceText(*it);
            EXPECT_NE(text.find(std::string("[") + f->section + "] " + c.key), std::string::npos);
            EXPECT_NE(text.find(std::to_string(it->pcRaw) + (it->engineering ? " (" : " ->")),
                      std::string::npos)
                << text;
            if (it->engineering && f->unit[0] != '\0') {
                EXPECT_NE(text.find(f->unit), std::string::npos) << text;
            }
        }
    }
}

// --- two programs, kills, damage ----------------------------------------------

TEST(History, TwoProgramsWritingAtOnceBothSucceed) {
    test::TempDir dir;
    const std::string path = dir.File("history.sqlite");
    OpenStore(path).reset();  // made once, as the first program does
    constexpr int kEach = 300;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::unique_ptr<TSqliteHistoryStore> s;
            if (!TSqliteHistoryStore::Open(path, s, 5000)) ::_exit(3);
            for (int i = 0; i < kEach; ++i) {
                THistoryRecord r = MakeRecord(p == 0 ? "WINDOW" : "CLI", i, Bytes(384, 0x11));
                r.uid += "-" + std::to_string(p);
                if (!s->Add(r)) ::_exit(4);
            }
            s.reset();
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(Count(path, "SELECT count(*) FROM records"), 2 * kEach);
    EXPECT_EQ(Count(path, "SELECT sum(record_count) FROM boards"), 2 * kEach);
    EXPECT_EQ(Integrity(path), "ok");
}

TEST(History, AKillDuringARecordLeavesTheStoreConsistent) {
    test::TempDir dir;
    const std::string path = dir.File("history.sqlite");
    OpenStore(path).reset();
    std::mt19937 gen(26);
    std::uniform_int_distribution<int> wait(0, 20000);
    for (int round = 0; round < 100; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(ready[0]);
            std::unique_ptr<TSqliteHistoryStore> s;
            if (!TSqliteHistoryStore::Open(path, s)) ::_exit(3);
            (void)!::write(ready[1], "r", 1);
            for (std::int64_t i = 0;; ++i) {
                THistoryRecord r = MakeRecord("KILLED", round * 1000000 + i, Bytes(384, 0x5A));
                r.details.assign(20, std::string(100, 'd'));
                (void)s->Add(r);
            }
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(wait(gen)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    EXPECT_EQ(Integrity(path), "ok");
    // Every record whole: its snapshot and its file with it, and the board's
    // count agreeing.
    const std::int64_t records = Count(path, "SELECT count(*) FROM records");
    EXPECT_GT(records, 0);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM snapshots"), records);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM files"), records);
    EXPECT_EQ(Count(path, "SELECT coalesce(sum(record_count), 0) FROM boards"), records);
}

TEST(History, ADamagedStoreIsSaidOnceKeptAsideAndANewOneStarted) {
    struct Damage {
        const char* name;
        std::function<void(const std::string&)> make;
    };
    const std::vector<Damage> damages = {
        {"text", [](const std::string& p) { std::ofstream(p) << "not a history\n"; }},
        {"pages overwritten",
         [](const std::string& p) {
             {
                 auto s = OpenStore(p);
                 for (int i = 0; i < 200; ++i) {
                     THistoryRecord r = MakeRecord("OLD", i, Bytes(384, 1));
                     ASSERT_TRUE(s->Add(r));
                 }
             }
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096);
             const std::string junk(4096 * 8, '\x55');
             f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        HistoryRig rig;
        rig.core.History().Close();
        d.make(rig.store);
        (void)rig.core.History().Open(rig.store);
        const TOperationOutcome first = rig.Run(InfoOperation(rig.core));
        const TOperationOutcome second = rig.Run(InfoOperation(rig.core));
        // The board operation is untouched; the fault is told once.
        EXPECT_TRUE(first.Completed());
        EXPECT_TRUE(second.Completed());
        EXPECT_NE(first.message.find("board history was damaged"), std::string::npos)
            << first.message;
        EXPECT_EQ(second.message.find("board history"), std::string::npos) << second.message;
        EXPECT_EQ(ExitCode(first), 0);
        // The damaged file is kept; the new store holds both records.
        int kept = 0;
        for (const auto& e : fs::directory_iterator(rig.dir.Path()))
            kept += e.path().filename().string().starts_with("history.sqlite.damaged-");
        EXPECT_EQ(kept, 1);
        std::vector<THistoryBoard> boards;
        ASSERT_TRUE(rig.core.History().Boards(boards));
        ASSERT_EQ(boards.size(), 1u);
        EXPECT_EQ(boards[0].records, 2);
        EXPECT_EQ(Integrity(rig.store), "ok");
    }
}

TEST(History, AStoreThatCannotBeOpenedNeverStopsTheBoard) {
    HistoryRig rig;
    rig.core.History().Close();
    const std::string folder = rig.dir.File("a-folder");
    fs::create_directories(folder);
    EXPECT_FALSE(rig.core.History().Open(folder));
    const TOperationOutcome first = rig.Run(InfoOperation(rig.core));
    const TOperationOutcome second = rig.Run(InfoOperation(rig.core));
    EXPECT_TRUE(first.Completed());
    EXPECT_NE(first.message.find("board history cannot be used"), std::string::npos)
        << first.message;
    EXPECT_EQ(second.message.find("board history"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(folder));
}

// --- schema ----------------------------------------------------------------------

TEST(History, TheFirstSchemaIsMigratedKeepingItsRecords) {
    test::TempDir dir;
    const std::string path = dir.File("history.sqlite");
    ASSERT_TRUE(CreateHistorySchemaForTest(path, 1));
    config::TWelderCfgBlank cfg = config::DefaultConfiguration();
    const Bytes image = ImageOf(cfg);
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "INSERT INTO boards VALUES('OLD-1', 2560, '1.0.0', '2.0.0', 1000, "
                               "2000);"
                               "INSERT INTO records(serial, time, operation, outcome) VALUES"
                               "('OLD-1', 1000, 'Configuration read', 'completed'),"
                               "('OLD-1', 2000, 'Information', 'completed');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO snapshots(record_id, role, image) VALUES(1, 'read', ?)",
                           -1, &st, nullptr);
        sqlite3_bind_blob(st, 1, image.data(), static_cast<int>(image.size()), SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    auto s = OpenStore(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(Count(path, "PRAGMA user_version"), kHistorySchemaVersion);
    std::vector<THistoryBoard> boards;
    ASSERT_TRUE(s->Boards(boards));
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].records, 2);
    EXPECT_EQ(boards[0].firmware, "1.0.0");
    THistoryRecord last;
    bool found = false;
    ASSERT_TRUE(s->LastConfiguration("OLD-1", last, found));
    ASSERT_TRUE(found);
    EXPECT_EQ(last.snapshots.at(0).image, image);
    EXPECT_FALSE(last.uid.empty());
    // New records go in beside the old ones.
    THistoryRecord r = MakeRecord("OLD-1", 3000, image);
    ASSERT_TRUE(s->Add(r));
    ASSERT_TRUE(s->Boards(boards));
    EXPECT_EQ(boards[0].records, 3);
    std::string verdict;
    ASSERT_TRUE(s->IntegrityCheck(verdict));
    EXPECT_EQ(verdict, "ok");
    s.reset();
    // A store of a newer program is left alone.
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::unique_ptr<TSqliteHistoryStore> newer;
    const THistoryResult opened = TSqliteHistoryStore::Open(path, newer);
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.why.find("newer version"), std::string::npos) << opened.why;
}

// --- export and import -------------------------------------------------------------

TEST(History, ExportAndImportCarryABoardsRecordsOnce) {
    test::TempDir dir;
    THistory a, b;
    ASSERT_TRUE(a.Open(dir.File("a.sqlite")));
    ASSERT_TRUE(b.Open(dir.File("b.sqlite")));
    const Bytes image = ImageOf(config::DefaultConfiguration());
    for (int i = 0; i < 5; ++i) {
        TOperationOutcome o;
        o.operation = "Configuration read";
        o.kind = TOutcomeKind::Completed;
        o.details = {"line " + std::to_string(i)};
        THistoryFacts f;
        f.serial = i < 3 ? "EXPORTED" : "OTHER";
        f.snapshots = {{"read", image}};
        EXPECT_EQ(a.RecordOutcome(o, f, 1000 + i), "");
    }
    const std::string file = dir.File("board.history");
    std::int64_t n = 0;
    ASSERT_TRUE(a.Export("EXPORTED", file, n));
    EXPECT_EQ(n, 3);
    // Never over an existing file.
    const THistoryResult again = a.Export("EXPORTED", file, n);
    EXPECT_FALSE(again);
    EXPECT_NE(again.why.find("exists already"), std::string::npos);

    std::int64_t added = 0;
    ASSERT_TRUE(b.Import(file, added));
    EXPECT_EQ(added, 3);
    ASSERT_TRUE(b.Import(file, added));
    EXPECT_EQ(added, 0);
    std::vector<THistoryRecord> ta, tb;
    ASSERT_TRUE(a.Timeline("EXPORTED", ta));
    ASSERT_TRUE(b.Timeline("EXPORTED", tb));
    ASSERT_EQ(tb.size(), ta.size());
    for (std::size_t i = 0; i < ta.size(); ++i) {
        EXPECT_EQ(tb[i].uid, ta[i].uid);
        EXPECT_EQ(tb[i].details, ta[i].details);
        THistoryRecord whole;
        ASSERT_TRUE(b.Record(tb[i].id, whole));
        EXPECT_EQ(whole.snapshots.at(0).image, image);
    }
    std::vector<THistoryBoard> boards;
    ASSERT_TRUE(b.Boards(boards));
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].records, 3);
    EXPECT_EQ(boards[0].firstSeenMs, 1000);
    EXPECT_EQ(boards[0].lastSeenMs, 1002);

    // Files of another kind are refused by name, nothing imported.
    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "SQLite format 2 - not really\n";
    const THistoryResult refused = b.Import(text, added);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.fault, THistoryFault::Refused);
    EXPECT_NE(refused.why.find(text), std::string::npos);
    EXPECT_FALSE(b.Import(dir.File("missing.history"), added));
}
