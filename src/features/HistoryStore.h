#pragma once
// The board history: every board the program met and every operation it ran
// on one, kept by a store behind this interface. The embedded store is one
// SQLite file per user (features/SqliteHistoryStore.h); a workshop server
// database would be another implementation of the same interface
// (docs/HISTORY.md).
//
// The backup files stay the first copy of what a board held: the store
// indexes them (path, size, SHA-256), so a missing or changed one is found.

#include <cstdint>
#include <string>
#include <vector>

#include "link/Result.h"

namespace orvan::features {

// A memory image kept with a record: the configuration read from the board,
// written to it, or what the board held before a write; or a log as read.
struct THistorySnapshot {
    // Configurations: "read", "written", "before"; logs: "tuning log" (the
    // 320 bytes of both copies), "event log" (the 231 bytes of its records).
    std::string role;
    std::vector<std::uint8_t> image;
};

// A file an operation kept or wrote, as it was when the record was made.
struct THistoryFile {
    std::string role;  // "kept", "written"
    std::string path;
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hex
};

// One operation on one board.
struct THistoryRecord {
    std::int64_t id = 0;  // given by the store
    // Stays the same across stores (export, import): "host-time-random".
    std::string uid;
    std::string serial;  // "" when the board was never identified
    std::uint16_t boardType = 0;
    std::string firmware, protocol;  // "1.4.2"; "" when unknown
    std::int64_t timeMs = 0;         // milliseconds since 1970 (UTC)
    std::string operation;           // "Configuration write"
    std::string outcome;             // "completed", "failed", "refused", "interrupted"
    std::string why, message;
    std::string user, host;  // who ran it, on which PC
    std::vector<std::string> details;
    std::vector<THistorySnapshot> snapshots;
    std::vector<THistoryFile> files;
};

// A board as last seen.
struct THistoryBoard {
    std::string serial;
    std::uint16_t boardType = 0;
    std::string firmware, protocol;
    std::int64_t firstSeenMs = 0, lastSeenMs = 0;
    std::int64_t records = 0;
};

// Why a store call failed, for the one who decides what to do next.
enum class THistoryFault : std::uint8_t {
    None,
    Busy,        // another program held it longer than the busy time-out
    Damaged,     // not a store, or its pages are corrupt
    Unreadable,  // cannot be opened or written (permissions, disk full, a folder)
    Refused,     // the caller's input is wrong (an unknown id, a file of another kind)
};

struct [[nodiscard]] THistoryResult : TResult {
    THistoryFault fault = THistoryFault::None;
    static THistoryResult Ok() { return {{true, {}}, THistoryFault::None}; }
    static THistoryResult Fail(THistoryFault f, std::string why) {
        return {{false, std::move(why)}, f};
    }
};

class IHistoryStore {
  public:
    virtual ~IHistoryStore() = default;
    // Adds the record (its snapshots and files with it, all or nothing) and
    // updates its board; sets r.id.
    virtual THistoryResult Add(THistoryRecord& r) = 0;
    // Every board, the one seen last first.
    virtual THistoryResult Boards(std::vector<THistoryBoard>& out) = 0;
    // A board's records, newest first, with the roles of their snapshots
    // (images left empty) and their files.
    virtual THistoryResult Timeline(const std::string& serial,
                                    std::vector<THistoryRecord>& out) = 0;
    // One record, whole; Refused when there is no such id.
    virtual THistoryResult Record(std::int64_t id, THistoryRecord& out) = 0;
    // The newest configuration snapshot of the board ("read" or "written",
    // of a completed operation); found false when there is none.
    virtual THistoryResult LastConfiguration(const std::string& serial, THistoryRecord& out,
                                             bool& found) = 0;
    // Copies the records of `path` (another store, an export) that this one
    // lacks; only `serial`'s when not empty. `added` counts them.
    virtual THistoryResult Import(const std::string& path, const std::string& serial,
                                  std::int64_t& added) = 0;
};

}  // namespace orvan::features
