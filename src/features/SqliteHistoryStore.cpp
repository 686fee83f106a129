#include "features/SqliteHistoryStore.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace orvan::features {

namespace {

namespace fs = std::filesystem;

// Larger blobs or texts in a store to import are not ours.
constexpr int kMaxImportedBytes = 1 << 20;

THistoryFault FaultOf(int code) {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return THistoryFault::Busy;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_SCHEMA:
            return THistoryFault::Damaged;
        default:
            return THistoryFault::Unreadable;
    }
}

// One prepared statement, finalized when it goes.
class TStmt {
  public:
    TStmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~TStmt() { sqlite3_finalize(s_); }
    TStmt(const TStmt&) = delete;
    TStmt& operator=(const TStmt&) = delete;
    bool Ok() const { return rc_ == SQLITE_OK; }
    int Code() const { return rc_; }
    TStmt& Bind(int i, const std::string& t) {
        sqlite3_bind_text(s_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        return *this;
    }
    TStmt& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    TStmt& Blob(int i, const std::vector<std::uint8_t>& b) {
        sqlite3_bind_blob(s_, i, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while rows come; Code() says why it stopped.
    bool Row() {
        rc_ = sqlite3_step(s_);
        return rc_ == SQLITE_ROW;
    }
    bool Done() const { return rc_ == SQLITE_DONE; }
    bool Run() {
        rc_ = sqlite3_step(s_);
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
        return rc_ == SQLITE_DONE;
    }
    std::int64_t Int(int c) const { return sqlite3_column_int64(s_, c); }
    std::string Text(int c) const {
        const auto* p = sqlite3_column_text(s_, c);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(s_, c)))
                 : std::string();
    }
    std::vector<std::uint8_t> Bytes(int c) const {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s_, c));
        const int n = sqlite3_column_bytes(s_, c);
        return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
    }

  private:
    sqlite3_stmt* s_ = nullptr;
    int rc_ = SQLITE_OK;
};

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        if (!out.empty()) out += '\n';
        out += l;
    }
    return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (!text.empty() && at <= text.size()) {
        const std::size_t nl = text.find('\n', at);
        out.push_back(text.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    return out;
}

constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE boards(serial TEXT PRIMARY KEY, board_type INTEGER NOT NULL DEFAULT 0,
  firmware TEXT NOT NULL DEFAULT '', protocol TEXT NOT NULL DEFAULT '',
  first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL);
CREATE TABLE records(id INTEGER PRIMARY KEY, serial TEXT NOT NULL, time INTEGER NOT NULL,
  operation TEXT NOT NULL, outcome TEXT NOT NULL, why TEXT NOT NULL DEFAULT '',
  message TEXT NOT NULL DEFAULT '', user TEXT NOT NULL DEFAULT '', host TEXT NOT NULL DEFAULT '');
CREATE TABLE snapshots(id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL REFERENCES records(id),
  role TEXT NOT NULL, image BLOB NOT NULL);
PRAGMA user_version = 1;
)sql";

// Version 2: a record keeps the board's identity as it was, its result
// lines and a uid that survives export and import; the files it kept or
// wrote are indexed; boards count their records (listing stays quick).
constexpr const char* kMigrateV2 = R"sql(
ALTER TABLE records ADD COLUMN uid TEXT;
UPDATE records SET uid = 'v1-' || id || '-' || lower(hex(randomblob(8)));
CREATE UNIQUE INDEX records_uid ON records(uid);
ALTER TABLE records ADD COLUMN board_type INTEGER NOT NULL DEFAULT 0;
ALTER TABLE records ADD COLUMN firmware TEXT NOT NULL DEFAULT '';
ALTER TABLE records ADD COLUMN protocol TEXT NOT NULL DEFAULT '';
ALTER TABLE records ADD COLUMN details TEXT NOT NULL DEFAULT '';
CREATE INDEX records_by_board ON records(serial, time);
CREATE INDEX snapshots_by_record ON snapshots(record_id);
CREATE TABLE files(id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL REFERENCES records(id),
  role TEXT NOT NULL, path TEXT NOT NULL, size INTEGER NOT NULL, sha256 TEXT NOT NULL);
CREATE INDEX files_by_record ON files(record_id);
ALTER TABLE boards ADD COLUMN record_count INTEGER NOT NULL DEFAULT 0;
UPDATE boards SET record_count = (SELECT count(*) FROM records r WHERE r.serial = boards.serial);
PRAGMA user_version = 2;
)sql";

// Tells a store (an SQLite file) from a file of another kind before it is
// attached: SQLite would otherwise say only "file is not a database".
bool LooksLikeStore(const std::string& path, std::string& why) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        why = "\"" + path + "\" is not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    in.read(head, sizeof head);
    if (in.gcount() != 16 || std::memcmp(head, "SQLite format 3", 16) != 0) {
        why = "\"" + path + "\" is not a board history file";
        return false;
    }
    return true;
}

}  // namespace

THistoryResult TSqliteHistoryStore::Error(const std::string& doing) const {
    const int code = sqlite3_extended_errcode(db_);
    return THistoryResult::Fail(
        FaultOf(code), "board history \"" + path_ + "\": " + doing + ": " + sqlite3_errmsg(db_));
}

THistoryResult TSqliteHistoryStore::Exec(const char* sql) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) return THistoryResult::Ok();
    const std::string why = msg ? msg : sqlite3_errstr(rc);
    sqlite3_free(msg);
    return THistoryResult::Fail(FaultOf(sqlite3_extended_errcode(db_)),
                                "board history \"" + path_ + "\": " + why);
}

THistoryResult TSqliteHistoryStore::Open(const std::string& path,
                                         std::unique_ptr<TSqliteHistoryStore>& out, int busyMs) {
    out.reset();
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return THistoryResult::Fail(THistoryFault::Unreadable,
                                    "board history \"" + path + "\" is a folder");
    if (const fs::path parent = fs::path(path).parent_path(); !parent.empty())
        fs::create_directories(parent, ec);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
        nullptr);
    std::unique_ptr<TSqliteHistoryStore> s(new TSqliteHistoryStore(db, path));
    if (rc != SQLITE_OK)
        return THistoryResult::Fail(
            FaultOf(rc), "board history \"" + path + "\" cannot be opened: " + sqlite3_errstr(rc));
    sqlite3_busy_timeout(db, busyMs);
    sqlite3_extended_result_codes(db, 1);
    // WAL: readers never wait for the writer, and a kill loses at most the
    // record being written. NORMAL sync is safe in WAL (a power cut may drop
    // the last commits, never corrupt the file).
    if (THistoryResult r = s->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                                   "PRAGMA foreign_keys=ON;");
        !r)
        return r;
    if (THistoryResult r = s->Migrate(); !r) return r;
    out = std::move(s);
    return THistoryResult::Ok();
}

TSqliteHistoryStore::~TSqliteHistoryStore() {
    sqlite3_close_v2(db_);
}

THistoryResult TSqliteHistoryStore::Migrate() {
    // One program migrates; another one opening meanwhile waits, then finds
    // the new version.
    if (THistoryResult r = Exec("BEGIN IMMEDIATE"); !r) return r;
    int version = 0;
    {
        TStmt q(db_, "PRAGMA user_version");
        if (!q.Ok() || !q.Row()) {
            const THistoryResult e = Error("reading its version");
            (void)Exec("ROLLBACK");
            return e;
        }
        version = static_cast<int>(q.Int(0));
    }
    if (version > kHistorySchemaVersion) {
        (void)Exec("ROLLBACK");
        return THistoryResult::Fail(THistoryFault::Unreadable,
                                    "board history \"" + path_ +
                                        "\" was written by a newer version of this program "
                                        "(its version " +
                                        std::to_string(version) + ", this program knows up to " +
                                        std::to_string(kHistorySchemaVersion) + ")");
    }
    THistoryResult r = THistoryResult::Ok();
    if (version < 1) r = Exec(kSchemaV1);
    if (r && version < 2) r = Exec(kMigrateV2);
    if (!r) {
        (void)Exec("ROLLBACK");
        return r;
    }
    return Exec("COMMIT");
}

THistoryResult TSqliteHistoryStore::Add(THistoryRecord& r) {
    if (THistoryResult b = Exec("BEGIN IMMEDIATE"); !b) return b;
    auto fail = [&](const std::string& doing) {
        const THistoryResult e = Error(doing);
        (void)Exec("ROLLBACK");
        return e;
    };
    {
        TStmt ins(db_,
                  "INSERT INTO records(uid, serial, time, operation, outcome, why, message, user, "
                  "host, board_type, firmware, protocol, details) "
                  "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
        if (!ins.Ok()) return fail("adding a record");
        ins.Bind(1, r.uid).Bind(2, r.serial).Bind(3, r.timeMs).Bind(4, r.operation);
        ins.Bind(5, r.outcome).Bind(6, r.why).Bind(7, r.message).Bind(8, r.user).Bind(9, r.host);
        ins.Bind(10, static_cast<std::int64_t>(r.boardType)).Bind(11, r.firmware);
        ins.Bind(12, r.protocol).Bind(13, JoinLines(r.details));
        if (!ins.Run()) return fail("adding a record");
    }
    r.id = sqlite3_last_insert_rowid(db_);
    {
        TStmt snap(db_, "INSERT INTO snapshots(record_id, role, image) VALUES(?,?,?)");
        if (!snap.Ok()) return fail("adding a snapshot");
        for (const THistorySnapshot& s : r.snapshots) {
            snap.Bind(1, r.id).Bind(2, s.role).Blob(3, s.image);
            if (!snap.Run()) return fail("adding a snapshot");
        }
    }
    {
        TStmt file(db_, "INSERT INTO files(record_id, role, path, size, sha256) VALUES(?,?,?,?,?)");
        if (!file.Ok()) return fail("adding a file");
        for (const THistoryFile& f : r.files) {
            file.Bind(1, r.id).Bind(2, f.role).Bind(3, f.path);
            file.Bind(4, static_cast<std::int64_t>(f.size)).Bind(5, f.sha256);
            if (!file.Run()) return fail("adding a file");
        }
    }
    if (!r.serial.empty()) {
        // A refused operation says nothing new of the board's identity.
        TStmt board(db_,
                    "INSERT INTO boards(serial, board_type, firmware, protocol, first_seen, "
                    "last_seen, record_count) VALUES(?1,?2,?3,?4,?5,?5,1) "
                    "ON CONFLICT(serial) DO UPDATE SET "
                    "board_type = CASE WHEN ?2 <> 0 THEN ?2 ELSE board_type END, "
                    "firmware = CASE WHEN ?3 <> '' THEN ?3 ELSE firmware END, "
                    "protocol = CASE WHEN ?4 <> '' THEN ?4 ELSE protocol END, "
                    "first_seen = min(first_seen, ?5), last_seen = max(last_seen, ?5), "
                    "record_count = record_count + 1");
        if (!board.Ok()) return fail("updating the board");
        board.Bind(1, r.serial).Bind(2, static_cast<std::int64_t>(r.boardType));
        board.Bind(3, r.firmware).Bind(4, r.protocol).Bind(5, r.timeMs);
        if (!board.Run()) return fail("updating the board");
    }
    if (THistoryResult c = Exec("COMMIT"); !c) {
        (void)Exec("ROLLBACK");
        return c;
    }
    return THistoryResult::Ok();
}

THistoryResult TSqliteHistoryStore::Boards(std::vector<THistoryBoard>& out) {
    out.clear();
    TStmt q(db_,
            "SELECT serial, board_type, firmware, protocol, first_seen, last_seen, record_count "
            "FROM boards ORDER BY last_seen DESC, serial");
    if (!q.Ok()) return Error("listing the boards");
    while (q.Row()) {
        THistoryBoard b;
        b.serial = q.Text(0);
        b.boardType = static_cast<std::uint16_t>(q.Int(1));
        b.firmware = q.Text(2);
        b.protocol = q.Text(3);
        b.firstSeenMs = q.Int(4);
        b.lastSeenMs = q.Int(5);
        b.records = q.Int(6);
        out.push_back(std::move(b));
    }
    if (!q.Done()) return Error("listing the boards");
    return THistoryResult::Ok();
}

namespace {

constexpr const char* kRecordColumns =
    "SELECT id, uid, serial, time, operation, outcome, why, message, user, host, board_type, "
    "firmware, protocol, details FROM records ";

THistoryRecord RecordFrom(const TStmt& q) {
    THistoryRecord r;
    r.id = q.Int(0);
    r.uid = q.Text(1);
    r.serial = q.Text(2);
    r.timeMs = q.Int(3);
    r.operation = q.Text(4);
    r.outcome = q.Text(5);
    r.why = q.Text(6);
    r.message = q.Text(7);
    r.user = q.Text(8);
    r.host = q.Text(9);
    r.boardType = static_cast<std::uint16_t>(q.Int(10));
    r.firmware = q.Text(11);
    r.protocol = q.Text(12);
    r.details = SplitLines(q.Text(13));
    return r;
}

}  // namespace

THistoryResult TSqliteHistoryStore::Timeline(const std::string& serial,
                                             std::vector<THistoryRecord>& out) {
    out.clear();
    std::map<std::int64_t, std::size_t> at;
    {
        TStmt q(
            db_,
            (std::string(kRecordColumns) + "WHERE serial = ? ORDER BY time DESC, id DESC").c_str());
        if (!q.Ok()) return Error("reading the timeline");
        q.Bind(1, serial);
        while (q.Row()) {
            at[q.Int(0)] = out.size();
            out.push_back(RecordFrom(q));
        }
        if (!q.Done()) return Error("reading the timeline");
    }
    if (out.empty()) return THistoryResult::Ok();
    {
        TStmt q(db_,
                "SELECT s.record_id, s.role FROM snapshots s JOIN records r ON r.id = s.record_id "
                "WHERE r.serial = ? ORDER BY s.id");
        if (!q.Ok()) return Error("reading the timeline");
        q.Bind(1, serial);
        while (q.Row())
            if (auto i = at.find(q.Int(0)); i != at.end())
                out[i->second].snapshots.push_back({q.Text(1), {}});
        if (!q.Done()) return Error("reading the timeline");
    }
    {
        TStmt q(db_,
                "SELECT f.record_id, f.role, f.path, f.size, f.sha256 FROM files f "
                "JOIN records r ON r.id = f.record_id WHERE r.serial = ? ORDER BY f.id");
        if (!q.Ok()) return Error("reading the timeline");
        q.Bind(1, serial);
        while (q.Row())
            if (auto i = at.find(q.Int(0)); i != at.end())
                out[i->second].files.push_back(
                    {q.Text(1), q.Text(2), static_cast<std::uint64_t>(q.Int(3)), q.Text(4)});
        if (!q.Done()) return Error("reading the timeline");
    }
    return THistoryResult::Ok();
}

THistoryResult TSqliteHistoryStore::Record(std::int64_t id, THistoryRecord& out) {
    {
        TStmt q(db_, (std::string(kRecordColumns) + "WHERE id = ?").c_str());
        if (!q.Ok()) return Error("reading a record");
        q.Bind(1, id);
        if (!q.Row()) {
            if (q.Done())
                return THistoryResult::Fail(
                    THistoryFault::Refused,
                    "no record " + std::to_string(id) + " in the board history");
            return Error("reading a record");
        }
        out = RecordFrom(q);
    }
    {
        TStmt q(db_, "SELECT role, image FROM snapshots WHERE record_id = ? ORDER BY id");
        if (!q.Ok()) return Error("reading a record");
        q.Bind(1, id);
        while (q.Row()) out.snapshots.push_back({q.Text(0), q.Bytes(1)});
        if (!q.Done()) return Error("reading a record");
    }
    {
        TStmt q(db_, "SELECT role, path, size, sha256 FROM files WHERE record_id = ? ORDER BY id");
        if (!q.Ok()) return Error("reading a record");
        q.Bind(1, id);
        while (q.Row())
            out.files.push_back(
                {q.Text(0), q.Text(1), static_cast<std::uint64_t>(q.Int(2)), q.Text(3)});
        if (!q.Done()) return Error("reading a record");
    }
    return THistoryResult::Ok();
}

THistoryResult TSqliteHistoryStore::LastConfiguration(const std::string& serial,
                                                      THistoryRecord& out, bool& found) {
    found = false;
    std::int64_t id = 0;
    {
        TStmt q(db_,
                "SELECT r.id FROM records r JOIN snapshots s ON s.record_id = r.id "
                "WHERE r.serial = ? AND r.outcome = 'completed' AND s.role IN ('read', 'written') "
                "ORDER BY r.time DESC, r.id DESC LIMIT 1");
        if (!q.Ok()) return Error("finding the last configuration");
        q.Bind(1, serial);
        if (!q.Row()) {
            if (q.Done()) return THistoryResult::Ok();
            return Error("finding the last configuration");
        }
        id = q.Int(0);
    }
    if (THistoryResult r = Record(id, out); !r) return r;
    found = true;
    return THistoryResult::Ok();
}

THistoryResult TSqliteHistoryStore::Import(const std::string& path, const std::string& serial,
                                           std::int64_t& added) {
    added = 0;
    std::string why;
    if (!LooksLikeStore(path, why)) return THistoryResult::Fail(THistoryFault::Refused, why);
    // Read-only: a file given to import is never changed (nor its journal made).
    {
        TStmt a(db_, "ATTACH DATABASE ? AS src");
        if (!a.Ok()) return Error("opening \"" + path + "\"");
        a.Bind(1, "file:" + path + "?mode=ro");
        if (!a.Run()) return Error("opening \"" + path + "\"");
    }
    struct TDetach {
        TSqliteHistoryStore* s;
        ~TDetach() { (void)s->Exec("DETACH DATABASE src"); }
    } detach{this};
    auto refused = [&](const std::string& what) {
        return THistoryResult::Fail(THistoryFault::Refused, "\"" + path + "\": " + what);
    };
    {
        TStmt v(db_, "PRAGMA src.user_version");
        if (!v.Ok() || !v.Row())
            return refused(std::string("cannot be read: ") + sqlite3_errmsg(db_));
        if (v.Int(0) != kHistorySchemaVersion)
            return refused("is a board history of version " + std::to_string(v.Int(0)) + ", " +
                           std::to_string(kHistorySchemaVersion) + " expected");
    }
    {
        TStmt c(db_, "PRAGMA src.quick_check");
        if (!c.Ok() || !c.Row() || c.Text(0) != "ok") return refused("is damaged");
    }
    {
        // Sizes are checked before anything is taken.
        TStmt big(db_,
                  "SELECT (SELECT count(*) FROM src.snapshots WHERE length(image) > ?1) + "
                  "(SELECT count(*) FROM src.records WHERE length(message) > ?1 OR "
                  "length(details) > ?1 OR uid IS NULL OR uid = '')");
        if (big.Ok()) big.Bind(1, static_cast<std::int64_t>(kMaxImportedBytes));
        if (!big.Ok() || !big.Row())
            return refused(std::string("cannot be read: ") + sqlite3_errmsg(db_));
        if (big.Int(0) != 0) return refused("holds records that are too large or have no uid");
    }
    if (THistoryResult b = Exec("BEGIN IMMEDIATE"); !b) return b;
    auto fail = [&](const std::string& doing) {
        const THistoryResult e = Error(doing);
        (void)Exec("ROLLBACK");
        return e;
    };
    std::int64_t before = 0;
    {
        TStmt m(db_, "SELECT coalesce(max(id), 0) FROM main.records");
        if (!m.Ok() || !m.Row()) return fail("importing");
        before = m.Int(0);
    }
    {
        TStmt ins(db_,
                  "INSERT INTO main.records(uid, serial, time, operation, outcome, why, message, "
                  "user, host, board_type, firmware, protocol, details) "
                  "SELECT uid, serial, time, operation, outcome, why, message, user, host, "
                  "board_type, firmware, protocol, details FROM src.records s "
                  "WHERE (?1 = '' OR s.serial = ?1) "
                  "AND NOT EXISTS (SELECT 1 FROM main.records m WHERE m.uid = s.uid) ORDER BY id");
        if (!ins.Ok()) return fail("importing");
        ins.Bind(1, serial);
        if (!ins.Run()) return fail("importing the records");
        added = sqlite3_changes(db_);
    }
    const char* children[] = {
        "INSERT INTO main.snapshots(record_id, role, image) SELECT m.id, s.role, s.image "
        "FROM src.snapshots s JOIN src.records sr ON sr.id = s.record_id "
        "JOIN main.records m ON m.uid = sr.uid WHERE m.id > ?1 ORDER BY s.id",
        "INSERT INTO main.files(record_id, role, path, size, sha256) "
        "SELECT m.id, f.role, f.path, f.size, f.sha256 "
        "FROM src.files f JOIN src.records sr ON sr.id = f.record_id "
        "JOIN main.records m ON m.uid = sr.uid WHERE m.id > ?1 ORDER BY f.id",
        // Boards: identity from the newest record, seen times and counts anew.
        "INSERT INTO main.boards(serial, board_type, firmware, protocol, first_seen, last_seen, "
        "record_count) SELECT serial, 0, '', '', min(time), max(time), 0 FROM main.records "
        "WHERE id > ?1 AND serial <> '' GROUP BY serial "
        "ON CONFLICT(serial) DO UPDATE SET first_seen = min(first_seen, excluded.first_seen), "
        "last_seen = max(last_seen, excluded.last_seen)",
        "UPDATE main.boards SET record_count = (SELECT count(*) FROM main.records r WHERE "
        "r.serial = boards.serial), "
        "board_type = coalesce((SELECT r.board_type FROM main.records r WHERE r.serial = "
        "boards.serial AND r.board_type <> 0 ORDER BY time DESC LIMIT 1), 0), "
        "firmware = coalesce((SELECT r.firmware FROM main.records r WHERE r.serial = "
        "boards.serial AND r.firmware <> '' ORDER BY time DESC LIMIT 1), ''), "
        "protocol = coalesce((SELECT r.protocol FROM main.records r WHERE r.serial = "
        "boards.serial AND r.protocol <> '' ORDER BY time DESC LIMIT 1), '') "
        "WHERE serial IN (SELECT serial FROM main.records WHERE id > ?1)",
    };
    for (const char* sql : children) {
        TStmt s(db_, sql);
        if (!s.Ok()) return fail("importing");
        s.Bind(1, before);
        if (!s.Run()) return fail("importing");
    }
    if (THistoryResult c = Exec("COMMIT"); !c) {
        (void)Exec("ROLLBACK");
        return c;
    }
    return THistoryResult::Ok();
}

THistoryResult TSqliteHistoryStore::IntegrityCheck(std::string& verdict) {
    verdict.clear();
    TStmt q(db_, "PRAGMA integrity_check");
    if (!q.Ok()) return Error("checking");
    while (q.Row()) {
        if (!verdict.empty()) verdict += "\n";
        verdict += q.Text(0);
    }
    if (!q.Done()) return Error("checking");
    return THistoryResult::Ok();
}

THistoryResult CreateHistorySchemaForTest(const std::string& path, int version) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return THistoryResult::Fail(THistoryFault::Unreadable, "cannot create " + path);
    }
    std::string sql = kSchemaV1;
    if (version >= 2) sql += kMigrateV2;
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    const std::string why = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK) return THistoryResult::Fail(THistoryFault::Unreadable, why);
    return THistoryResult::Ok();
}

}  // namespace orvan::features
