#pragma once
// The board history in one SQLite file: write-ahead log (two programs, the
// window and orvan-cli, write at once; a kill leaves the last committed
// record), a busy time-out, one transaction per record, and the schema's
// version in PRAGMA user_version, migrated forward when an older one is
// opened.

#include <memory>
#include <string>

#include "features/HistoryStore.h"

struct sqlite3;

namespace orvan::features {

inline constexpr int kHistorySchemaVersion = 2;

class TSqliteHistoryStore final : public IHistoryStore {
  public:
    // Opens (or creates) the store at `path` and brings its schema up to
    // date. How long a call waits for another program's transaction.
    static THistoryResult Open(const std::string& path, std::unique_ptr<TSqliteHistoryStore>& out,
                               int busyMs = 1000);
    ~TSqliteHistoryStore() override;
    TSqliteHistoryStore(const TSqliteHistoryStore&) = delete;
    TSqliteHistoryStore& operator=(const TSqliteHistoryStore&) = delete;

    THistoryResult Add(THistoryRecord& r) override;
    THistoryResult Boards(std::vector<THistoryBoard>& out) override;
    THistoryResult Timeline(const std::string& serial, std::vector<THistoryRecord>& out) override;
    THistoryResult Record(std::int64_t id, THistoryRecord& out) override;
    THistoryResult LastConfiguration(const std::string& serial, THistoryRecord& out,
                                     bool& found) override;
    THistoryResult Import(const std::string& path, const std::string& serial,
                          std::int64_t& added) override;

    // SQLite's own check of every page and index: "ok" or what is wrong.
    THistoryResult IntegrityCheck(std::string& verdict);
    const std::string& Path() const { return path_; }

  private:
    TSqliteHistoryStore(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    THistoryResult Migrate();
    THistoryResult Exec(const char* sql);
    THistoryResult Error(const std::string& doing) const;

    sqlite3* db_ = nullptr;
    std::string path_;
};

// The schema of an older version, for tests of the migration: `version`
// 1 is the first released store.
THistoryResult CreateHistorySchemaForTest(const std::string& path, int version);

}  // namespace orvan::features
