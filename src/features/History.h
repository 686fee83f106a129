#pragma once
// The core's board history: the operations runner hands it every outcome
// (features/Operations.cpp, one place for every operation and front end),
// with what the run knew of the board, and it keeps them in a store
// (features/HistoryStore.h). The history never stands in the way of the
// board: a store that is damaged, unreadable or held too long by another
// program is said once, in the message of the outcome that met it, the
// damaged file is kept under another name and a new store started beside
// it; the operation's own outcome stays what it was.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/ConfigTransfer.h"
#include "features/HistoryStore.h"
#include "features/Operation.h"

namespace orvan::features {

// "$XDG_DATA_HOME/orvan-supervisor/history.sqlite" (or under
// ~/.local/share), beside the backups folder; "" when neither is set.
std::string DefaultHistoryPath();
// The history beside a backups folder chosen by the front end (its parent
// folder's "history.sqlite"); DefaultHistoryPath() when none was chosen.
std::string HistoryPathBeside(const std::string& backupDir);

// The SHA-256 of a file's bytes in lower-case hex; false when it cannot be
// read (or is larger than `maxBytes`).
bool FileSha256(const std::string& path, std::string& hex, std::uint64_t& size,
                std::uint64_t maxBytes = 256ull << 20);

// What the run knew of the board, beside its outcome.
struct THistoryFacts {
    std::string serial;
    std::uint16_t boardType = 0;
    std::string firmware, protocol;
    std::vector<THistorySnapshot> snapshots;
};

// A file of a record as it is now.
enum class TFileState : std::uint8_t { Same, Missing, Changed };
struct TFileCheck {
    std::int64_t recordId = 0;
    THistoryFile file;
    TFileState state = TFileState::Same;
};
const char* FileStateText(TFileState s);

// The configuration a record stands for: what was written (a completed
// write), else what was read, else what the board held before; null when
// the record has no configuration.
const THistorySnapshot* ConfigurationOf(const THistoryRecord& r);
// Field by field, in record order: `pcRaw`/`pcValue` are the first
// configuration's, `boardRaw`/`boardValue` the second's.
std::vector<TFieldDifference> SnapshotDifferences(const std::vector<std::uint8_t>& first,
                                                  const std::vector<std::uint8_t>& second);
// "[POWER] MinPower: 1200 (12 W) -> 1100 (11 W)".
std::string HistoryDifferenceText(const TFieldDifference& d);
// "2026-03-04 10:15:00" in the PC's local time.
std::string HistoryTimeText(std::int64_t timeMs);

class THistory {
  public:
    THistory();
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    // Keeps the history in the SQLite file at `path` ("" turns it off). A
    // damaged file is moved aside and a new one started; what happened is
    // said with the next recorded outcome. False only when no store could
    // be opened (the program works on without one).
    bool Open(const std::string& path);
    // Another store (a workshop server's, a test's).
    void Use(std::unique_ptr<IHistoryStore> store);
    void Close();
    bool On() const { return store_ != nullptr; }
    const std::string& Path() const { return path_; }
    // Said once: a fault the next outcome's message should carry.
    std::string TakeNotice();

    // Records an outcome. Returns a sentence for the outcome's message when
    // the history failed (said once per kind of fault), else "".
    std::string RecordOutcome(const TOperationOutcome& o, const THistoryFacts& facts,
                              std::int64_t timeMs);
    // The id of the last record made (0 when none).
    std::int64_t LastId() const { return lastId_; }

    // Queries; a store that is off answers with a refusal saying so.
    THistoryResult Boards(std::vector<THistoryBoard>& out);
    THistoryResult Timeline(const std::string& serial, std::vector<THistoryRecord>& out);
    THistoryResult Record(std::int64_t id, THistoryRecord& out);
    THistoryResult LastConfiguration(const std::string& serial, THistoryRecord& out, bool& found);
    // The files a board's records kept or wrote, as they are now.
    THistoryResult CheckFiles(const std::string& serial, std::vector<TFileCheck>& out);
    // The configurations of two records, field by field.
    THistoryResult Diff(std::int64_t first, std::int64_t second,
                        std::vector<TFieldDifference>& out);
    // A board's records into a new history file (never over an existing
    // file); and records of such a file (or a whole store) into this one.
    THistoryResult Export(const std::string& serial, const std::string& path, std::int64_t& count);
    THistoryResult Import(const std::string& path, std::int64_t& added);

    // Who and where, as recorded ("user", "host"); tests set them.
    std::string user, host;

  private:
    THistoryResult Off() const;
    bool StartAnew(const std::string& why);
    std::string Noticed(THistoryFault fault, const std::string& text);

    std::unique_ptr<IHistoryStore> store_;
    std::string path_;
    std::string notice_;
    std::vector<THistoryFault> said_;
    std::int64_t lastId_ = 0;
};

}  // namespace orvan::features
