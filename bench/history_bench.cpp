// The board history at a workshop's scale: 10,000 boards with 100 records
// each (every fifth with a configuration image, every one with an indexed
// file). Figures, each as a ratio to its target:
//   listing the boards                    target <= 50 ms
//   one board's timeline (100 records)    target <= 10 ms
//   the time an operation's record adds   target <= 2 ms (a configuration
//     write's: two images, two kept files hashed, into the full store)
// The store is filled once per run through SQL in one transaction, and its
// journal folded into the file (the figures are about reading and adding,
// not about the filling).

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "Summary.h"
#include "features/History.h"
#include "features/SqliteHistoryStore.h"

using namespace orvan;

namespace {

namespace fs = std::filesystem;

constexpr int kBoards = 10000;
constexpr int kRecordsEach = 100;

std::string SerialOf(int b) {
    char s[16];
    std::snprintf(s, sizeof s, "BN-%06d", b);
    return s;
}

struct Fixture {
    fs::path dir;
    std::string store;
    features::THistory history;
    bool ok = false;

    Fixture() {
        dir = fs::temp_directory_path() / ("orvan-bench-history-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        store = (dir / "history.sqlite").string();
        {
            std::unique_ptr<features::TSqliteHistoryStore> s;
            if (!features::TSqliteHistoryStore::Open(store, s)) return;
        }
        if (!Fill()) return;
        history.user = "bench";
        history.host = "bench";
        ok = history.Open(store);
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    bool Fill() {
        sqlite3* db = nullptr;
        if (sqlite3_open(store.c_str(), &db) != SQLITE_OK) return false;
        sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *rec = nullptr, *snap = nullptr, *file = nullptr, *board = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO records(uid, serial, time, operation, outcome, why, "
                           "message, user, host, board_type, firmware, protocol, details) "
                           "VALUES(?1, ?2, ?3, 'Configuration write', 'completed', '', "
                           "'Configuration written to the board: 24 of 24 blocks.', 'tecnico', "
                           "'banco-1', 2560, '1.2.7', '2.2.9', '')",
                           -1, &rec, nullptr);
        sqlite3_prepare_v2(
            db, "INSERT INTO snapshots(record_id, role, image) VALUES(?1, 'written', ?2)", -1,
            &snap, nullptr);
        sqlite3_prepare_v2(db,
                           "INSERT INTO files(record_id, role, path, size, sha256) VALUES(?1, "
                           "'kept', ?2, 384, "
                           "'73ae184115ad0c79aa45e188e51d64892ec1ebfed5a3553829f5ca590a652565')",
                           -1, &file, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO boards VALUES(?1, 2560, '1.2.7', '2.2.9', ?2, ?3, ?4)",
                           -1, &board, nullptr);
        const std::vector<std::uint8_t> image(384, 0x5A);
        const std::int64_t t0 = 1700000000000;
        bool good = rec && snap && file && board;
        // Records interleaved in time across boards, as a workshop makes them.
        for (int n = 0; good && n < kRecordsEach; ++n)
            for (int b = 0; good && b < kBoards; ++b) {
                const std::string serial = SerialOf(b);
                const std::int64_t t = t0 + (static_cast<std::int64_t>(n) * kBoards + b) * 1000;
                const std::string uid = "bench-" + std::to_string(t);
                sqlite3_bind_text(rec, 1, uid.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(rec, 2, serial.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(rec, 3, t);
                good = sqlite3_step(rec) == SQLITE_DONE;
                sqlite3_reset(rec);
                const std::int64_t id = sqlite3_last_insert_rowid(db);
                if (n % 5 == 0) {
                    sqlite3_bind_int64(snap, 1, id);
                    sqlite3_bind_blob(snap, 2, image.data(), 384, SQLITE_STATIC);
                    good = good && sqlite3_step(snap) == SQLITE_DONE;
                    sqlite3_reset(snap);
                }
                const std::string path = "/home/tecnico/.local/share/orvan-supervisor/backups/" +
                                         serial + "_" + std::to_string(t) + ".bin";
                sqlite3_bind_int64(file, 1, id);
                sqlite3_bind_text(file, 2, path.c_str(), -1, SQLITE_TRANSIENT);
                good = good && sqlite3_step(file) == SQLITE_DONE;
                sqlite3_reset(file);
            }
        for (int b = 0; good && b < kBoards; ++b) {
            const std::string serial = SerialOf(b);
            sqlite3_bind_text(board, 1, serial.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(board, 2, t0 + b * 1000);
            sqlite3_bind_int64(
                board, 3, t0 + (static_cast<std::int64_t>(kRecordsEach - 1) * kBoards + b) * 1000);
            sqlite3_bind_int64(board, 4, kRecordsEach);
            good = sqlite3_step(board) == SQLITE_DONE;
            sqlite3_reset(board);
        }
        sqlite3_finalize(rec);
        sqlite3_finalize(snap);
        sqlite3_finalize(file);
        sqlite3_finalize(board);
        good = good && sqlite3_exec(db, "COMMIT; ANALYZE; PRAGMA wal_checkpoint(TRUNCATE)", nullptr,
                                    nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return good;
    }
};

Fixture& Shared() {
    static Fixture f;
    return f;
}

void Report(benchmark::State& state, const char* figure, double ms, double targetMs) {
    state.counters["ms"] = ms;
    state.counters["ratio"] = ms / targetMs;
    bench::BenchSummary(figure, bench::Fmt("%.3f ms", ms), bench::Fmt("%.0f ms", targetMs),
                        ms / targetMs, ms <= targetMs);
}

void BM_ListBoards(benchmark::State& state) {
    Fixture& f = Shared();
    if (!f.ok) {
        state.SkipWithError("the store could not be filled");
        return;
    }
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        std::vector<features::THistoryBoard> boards;
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = static_cast<bool>(f.history.Boards(boards));
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count();
        ++n;
        if (!ok || boards.size() != kBoards) state.SkipWithError("wrong listing");
    }
    Report(state, "history: list 10,000 boards", total / n, 50.0);
}
BENCHMARK(BM_ListBoards)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_Timeline(benchmark::State& state) {
    Fixture& f = Shared();
    if (!f.ok) {
        state.SkipWithError("the store could not be filled");
        return;
    }
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        std::vector<features::THistoryRecord> records;
        const std::string serial = SerialOf((n * 7919) % kBoards);
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = static_cast<bool>(f.history.Timeline(serial, records));
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count();
        ++n;
        if (!ok || records.size() < kRecordsEach) state.SkipWithError("wrong timeline");
    }
    Report(state, "history: one board's timeline (100 records)", total / n, 10.0);
}
BENCHMARK(BM_Timeline)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_RecordAdded(benchmark::State& state) {
    Fixture& f = Shared();
    if (!f.ok) {
        state.SkipWithError("the store could not be filled");
        return;
    }
    // A configuration write's outcome: the backup and its exact image kept.
    const std::string wcf = (f.dir / "BN-000001_20261209-101500.wcf").string();
    const std::string bin = (f.dir / "BN-000001_20261209-101500.bin").string();
    std::ofstream(wcf) << std::string(2000, 'k');
    std::ofstream(bin, std::ios::binary) << std::string(384, '\x5a');
    features::TOperationOutcome o;
    o.operation = "Configuration write";
    o.kind = features::TOutcomeKind::Completed;
    o.message = "Configuration written to the board: 24 of 24 blocks.";
    o.kept = {wcf, bin};
    features::THistoryFacts facts;
    facts.serial = "BN-000001";
    facts.boardType = 0x0A00;
    facts.firmware = "1.2.7";
    facts.snapshots = {{"before", std::vector<std::uint8_t>(384, 1)},
                       {"written", std::vector<std::uint8_t>(384, 2)}};
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::string notice = f.history.RecordOutcome(o, facts, 1800000000000 + n);
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count();
        ++n;
        if (!notice.empty()) state.SkipWithError(notice.c_str());
    }
    Report(state, "history: time added per operation", total / n, 2.0);
}
BENCHMARK(BM_RecordAdded)->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
