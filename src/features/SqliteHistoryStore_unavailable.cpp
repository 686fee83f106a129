// A build without SQLite for its system: the store never opens, so the
// history says once that it is not available and the program works on.

#include "features/SqliteHistoryStore.h"

namespace orvan::features {

namespace {

THistoryResult Unavailable() {
    return THistoryResult::Fail(THistoryFault::Unreadable,
                                "the board history is not available in this build");
}

}  // namespace

THistoryResult TSqliteHistoryStore::Open(const std::string&, std::unique_ptr<TSqliteHistoryStore>&,
                                         int) {
    return Unavailable();
}

TSqliteHistoryStore::~TSqliteHistoryStore() = default;

THistoryResult TSqliteHistoryStore::Add(THistoryRecord&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Boards(std::vector<THistoryBoard>&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Timeline(const std::string&, std::vector<THistoryRecord>&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Record(std::int64_t, THistoryRecord&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::LastConfiguration(const std::string&, THistoryRecord&, bool&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Import(const std::string&, const std::string&, std::int64_t&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::IntegrityCheck(std::string&) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Migrate() {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Exec(const char*) {
    return Unavailable();
}
THistoryResult TSqliteHistoryStore::Error(const std::string&) const {
    return Unavailable();
}

THistoryResult CreateHistorySchemaForTest(const std::string&, int) {
    return Unavailable();
}

}  // namespace orvan::features
