#include "features/History.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "config/AtomicFile.h"
#include "config/Cfgwelder.h"
#include "config/SystemPaths.h"
#include "features/ConfigBackups.h"
#include "features/Operations.h"
#include "features/Sha256.h"
#include "features/SqliteHistoryStore.h"

namespace orvan::features {

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string NewUid(const std::string& host, std::int64_t timeMs) {
    static std::mt19937_64 gen{std::random_device{}()};
    const std::uint64_t n = gen();
    std::uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(n >> (8 * i));
    return host + "-" + std::to_string(timeMs) + "-" + Hex(b, 8);
}

std::string StampNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
    return text;
}

std::string ValueText(std::int32_t raw, double value, const std::string& unit, bool eng) {
    std::string t = std::to_string(raw);
    if (eng) {
        char v[48];
        std::snprintf(v, sizeof v, "%.6g", value);
        t += std::string(" (") + v + (unit.empty() ? "" : " " + unit) + ")";
    }
    return t;
}

}  // namespace

std::string DefaultHistoryPath() {
    const std::string backups = DefaultBackupDir();
    if (backups.empty()) return {};
    return (fs::path(backups).parent_path() / "history.sqlite").string();
}

std::string HistoryPathBeside(const std::string& backupDir) {
    if (backupDir.empty()) return DefaultHistoryPath();
    fs::path dir(backupDir);
    if (!dir.has_filename()) dir = dir.parent_path();
    return (dir.parent_path() / "history.sqlite").string();
}

bool FileSha256(const std::string& path, std::string& hex, std::uint64_t& size,
                std::uint64_t maxBytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const std::uintmax_t n = fs::file_size(path, ec);
    if (ec || n > maxBytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    TSha256 hash;
    char buf[65536];
    std::uint64_t total = 0;
    while (in) {
        in.read(buf, sizeof buf);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        hash.Update(reinterpret_cast<const std::uint8_t*>(buf), static_cast<std::size_t>(got));
        total += static_cast<std::uint64_t>(got);
    }
    if (in.bad()) return false;
    const TSha256::TDigest digest = hash.Final();
    hex = Hex(digest.data(), digest.size());
    size = total;
    return true;
}

const char* FileStateText(TFileState s) {
    switch (s) {
        case TFileState::Same:
            return "unchanged";
        case TFileState::Missing:
            return "missing";
        case TFileState::Changed:
            return "changed";
    }
    return "";
}

const THistorySnapshot* ConfigurationOf(const THistoryRecord& r) {
    auto find = [&](const char* role) -> const THistorySnapshot* {
        for (const THistorySnapshot& s : r.snapshots)
            if (s.role == role) return &s;
        return nullptr;
    };
    if (r.outcome == "completed")
        if (const THistorySnapshot* w = find("written")) return w;
    if (const THistorySnapshot* s = find("read")) return s;
    return find("before");
}

std::vector<TFieldDifference> SnapshotDifferences(const std::vector<std::uint8_t>& first,
                                                  const std::vector<std::uint8_t>& second) {
    std::array<std::uint8_t, config::kImageSize> a{}, b{};
    std::fill(a.begin(), a.end(), 0xFF);
    std::fill(b.begin(), b.end(), 0xFF);
    std::copy_n(first.begin(), std::min(first.size(), a.size()), a.begin());
    std::copy_n(second.begin(), std::min(second.size(), b.size()), b.begin());
    config::TWelderCfgBlank ca, cb;
    ca.LoadFromImage(a.data());
    cb.LoadFromImage(b.data());
    return CompareConfigurations(ca, cb);
}

std::string HistoryDifferenceText(const TFieldDifference& d) {
    return "[" + d.section + "] " + d.key + ": " +
           ValueText(d.pcRaw, d.pcValue, d.unit, d.engineering) + " -> " +
           ValueText(d.boardRaw, d.boardValue, d.unit, d.engineering);
}

std::string HistoryTimeText(std::int64_t timeMs) {
    const std::time_t t = static_cast<std::time_t>(timeMs / 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// --- the core's history --------------------------------------------------------

THistory::THistory() : user(config::LoginName()), host(config::HostName()) {}
THistory::~THistory() = default;

void THistory::Use(std::unique_ptr<IHistoryStore> store) {
    store_ = std::move(store);
    path_.clear();
}

void THistory::Close() {
    store_.reset();
}

std::string THistory::TakeNotice() {
    std::string n = std::move(notice_);
    notice_.clear();
    return n;
}

std::string THistory::Noticed(THistoryFault fault, const std::string& text) {
    if (std::find(said_.begin(), said_.end(), fault) != said_.end()) return {};
    said_.push_back(fault);
    return text;
}

bool THistory::StartAnew(const std::string& why) {
    store_.reset();
    // The damaged file is kept for whoever wants to look into it; its
    // journal goes with it, the shared-memory index is rebuilt anyway.
    const std::string kept = path_ + ".damaged-" + StampNow();
    std::error_code ec;
    fs::rename(path_, kept, ec);
    if (ec) {
        notice_ +=
            Noticed(THistoryFault::Damaged, "The board history is damaged (" + why +
                                                ") and could not be moved aside (" + ec.message() +
                                                "): the program works on without it.");
        return false;
    }
    fs::rename(path_ + "-wal", kept + "-wal", ec);
    fs::remove(path_ + "-shm", ec);
    std::unique_ptr<TSqliteHistoryStore> s;
    const THistoryResult r = TSqliteHistoryStore::Open(path_, s);
    if (!r) {
        notice_ += Noticed(THistoryFault::Damaged,
                           "The board history is damaged (" + why + "); it was kept as " + kept +
                               ", and a new one could not be started (" + r.why +
                               "): the program works on without it.");
        return false;
    }
    store_ = std::move(s);
    notice_ += Noticed(THistoryFault::Damaged, "The board history was damaged (" + why +
                                                   "); it was kept as " + kept +
                                                   " and a new one started.");
    return true;
}

bool THistory::Open(const std::string& path) {
    store_.reset();
    path_ = path;
    if (path.empty()) return false;
    std::unique_ptr<TSqliteHistoryStore> s;
    const THistoryResult r = TSqliteHistoryStore::Open(path, s);
    if (r) {
        store_ = std::move(s);
        return true;
    }
    if (r.fault == THistoryFault::Damaged) return StartAnew(r.why);
    notice_ += Noticed(r.fault, "The board history cannot be used (" + r.why +
                                    "): the program works on without it.");
    return false;
}

std::string THistory::RecordOutcome(const TOperationOutcome& o, const THistoryFacts& facts,
                                    std::int64_t timeMs) {
    if (!store_) return TakeNotice();
    THistoryRecord r;
    r.uid = NewUid(host, timeMs);
    r.serial = facts.serial;
    r.boardType = facts.boardType;
    r.firmware = facts.firmware;
    r.protocol = facts.protocol;
    r.timeMs = timeMs;
    r.operation = o.operation;
    r.outcome = OutcomeKindText(o.kind);
    r.why = o.why;
    r.message = o.message;
    r.user = user;
    r.host = host;
    r.details = o.details;
    if (!o.warning.empty()) r.details.insert(r.details.begin(), "warning: " + o.warning);
    r.snapshots = facts.snapshots;
    auto index = [&](const std::vector<std::string>& paths, const char* role) {
        for (const std::string& p : paths) {
            // A dump is both the copy kept and the file asked for: once.
            if (&paths == &o.kept && std::find(o.files.begin(), o.files.end(), p) != o.files.end())
                continue;
            THistoryFile f{role, p, 0, {}};
            if (!FileSha256(p, f.sha256, f.size)) f.sha256.clear();
            r.files.push_back(std::move(f));
        }
    };
    index(o.kept, "kept");
    index(o.files, "written");
    THistoryResult added = store_->Add(r);
    if (!added && added.fault == THistoryFault::Damaged && !path_.empty() && StartAnew(added.why))
        added = store_->Add(r);
    if (added) {
        lastId_ = r.id;
    } else if (added.fault == THistoryFault::Busy) {
        notice_ += Noticed(THistoryFault::Busy,
                           "The board history is held by another program: this operation was "
                           "not recorded (" +
                               added.why + ").");
    } else if (added.fault != THistoryFault::Damaged || store_) {
        notice_ += Noticed(
            added.fault, "The board history could not record this operation (" + added.why + ").");
    }
    return TakeNotice();
}

THistoryResult THistory::Off() const {
    return THistoryResult::Fail(THistoryFault::Refused,
                                path_.empty()
                                    ? "no board history is kept (no data folder)"
                                    : "the board history \"" + path_ + "\" cannot be used");
}

THistoryResult THistory::Boards(std::vector<THistoryBoard>& out) {
    return store_ ? store_->Boards(out) : Off();
}
THistoryResult THistory::Timeline(const std::string& serial, std::vector<THistoryRecord>& out) {
    return store_ ? store_->Timeline(serial, out) : Off();
}
THistoryResult THistory::Record(std::int64_t id, THistoryRecord& out) {
    return store_ ? store_->Record(id, out) : Off();
}
THistoryResult THistory::LastConfiguration(const std::string& serial, THistoryRecord& out,
                                           bool& found) {
    found = false;
    return store_ ? store_->LastConfiguration(serial, out, found) : Off();
}

THistoryResult THistory::CheckFiles(const std::string& serial, std::vector<TFileCheck>& out) {
    out.clear();
    std::vector<THistoryRecord> records;
    if (THistoryResult r = Timeline(serial, records); !r) return r;
    for (const THistoryRecord& rec : records)
        for (const THistoryFile& f : rec.files) {
            TFileCheck c{rec.id, f, TFileState::Same};
            std::string now;
            std::uint64_t size = 0;
            if (!FileSha256(f.path, now, size))
                c.state = TFileState::Missing;
            else if (now != f.sha256 || size != f.size)
                c.state = TFileState::Changed;
            out.push_back(std::move(c));
        }
    return THistoryResult::Ok();
}

THistoryResult THistory::Diff(std::int64_t first, std::int64_t second,
                              std::vector<TFieldDifference>& out) {
    out.clear();
    THistoryRecord a, b;
    if (THistoryResult r = Record(first, a); !r) return r;
    if (THistoryResult r = Record(second, b); !r) return r;
    const THistorySnapshot* sa = ConfigurationOf(a);
    const THistorySnapshot* sb = ConfigurationOf(b);
    for (auto [s, id] : {std::pair{sa, first}, std::pair{sb, second}})
        if (s == nullptr)
            return THistoryResult::Fail(THistoryFault::Refused,
                                        "record " + std::to_string(id) + " holds no configuration");
    out = SnapshotDifferences(sa->image, sb->image);
    return THistoryResult::Ok();
}

THistoryResult THistory::Export(const std::string& serial, const std::string& path,
                                std::int64_t& count) {
    count = 0;
    if (!store_) return Off();
    auto* own = dynamic_cast<TSqliteHistoryStore*>(store_.get());
    if (own == nullptr)
        return THistoryResult::Fail(THistoryFault::Refused,
                                    "this board history cannot be exported to a file");
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)))
        return THistoryResult::Fail(THistoryFault::Refused,
                                    "\"" + path + "\" exists already; give a new name");
    // Made beside the target under a name of its own, renamed when whole:
    // a reader never sees half an export.
    const std::string temp = path + ".part-" + std::to_string(std::random_device{}());
    fs::remove(temp, ec);
    THistoryResult r = THistoryResult::Ok();
    {
        std::unique_ptr<TSqliteHistoryStore> out;
        r = TSqliteHistoryStore::Open(temp, out);
        if (r) r = out->Import(own->Path(), serial, count);
    }
    if (r && count == 0)
        r = THistoryResult::Fail(THistoryFault::Refused,
                                 "no record of board \"" + serial + "\" in the board history");
    // One file, no journal beside it.
    fs::remove(temp + "-wal", ec);
    fs::remove(temp + "-shm", ec);
    if (r) {
        // Never over a file that appeared meanwhile.
        if (std::string why; !config::PlaceNewFile(temp, path, why))
            r = THistoryResult::Fail(THistoryFault::Refused,
                                     "\"" + path + "\" cannot be written: " + why);
    }
    fs::remove(temp, ec);
    return r;
}

THistoryResult THistory::Import(const std::string& path, std::int64_t& added) {
    added = 0;
    return store_ ? store_->Import(path, "", added) : Off();
}

}  // namespace orvan::features
