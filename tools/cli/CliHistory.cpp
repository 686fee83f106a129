// `history`: the boards met, a board's timeline, the differences of two
// configurations of it, a restore of one (through the configuration write,
// backup first), and export and import of a board's records. The store is
// the one the core records into (features/History.h).
//
// Exit status: 0 done; 1 the history or the board failed (or a file is
// missing or changed, for a timeline); 2 bad words or refused input.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "config/SystemPaths.h"
#include "features/ConfigOperations.h"
#include "features/History.h"

namespace orvan::cli {

namespace {

using features::THistory;
using features::THistoryResult;

constexpr const char* kCommand = "history";

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20) {
                    char u[8];
                    std::snprintf(u, sizeof u, "\\u%04x", c);
                    out += u;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

std::string BoardTypeText(std::uint16_t t) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", t);
    return t ? text : "";
}

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

int Failed(const THistoryResult& r) {
    std::fprintf(stderr, "orvan-cli: history: %s\n", r.why.c_str());
    return r.fault == features::THistoryFault::Refused ? 2 : 1;
}

// The store the core records into; a fault opening it is said.
bool OpenHistory(THistory& h) {
    const std::string path = features::DefaultHistoryPath();
    const bool on = h.Open(path);
    if (const std::string n = h.TakeNotice(); !n.empty())
        std::fprintf(stderr, "orvan-cli: %s\n", n.c_str());
    if (!on && path.empty())
        std::fprintf(stderr, "orvan-cli: history: no data folder (%s)\n",
                     config::UserDataDirectoryNeeds().c_str());
    return on;
}

std::optional<std::int64_t> RecordId(const std::string& text) {
    const auto n = ParseWhole(text, 1, INT64_MAX);
    if (!n) return std::nullopt;
    return static_cast<std::int64_t>(*n);
}

int ListBoards(bool json) {
    THistory h;
    if (!OpenHistory(h)) return 1;
    std::vector<features::THistoryBoard> boards;
    if (const THistoryResult r = h.Boards(boards); !r) return Failed(r);
    if (json) {
        std::string out = "[";
        for (std::size_t i = 0; i < boards.size(); ++i) {
            const auto& b = boards[i];
            out += std::string(i ? "," : "") + "\n {\"serial\": " + Json(b.serial) +
                   ", \"boardType\": " + Json(BoardTypeText(b.boardType)) +
                   ", \"firmware\": " + Json(b.firmware) + ", \"protocol\": " + Json(b.protocol) +
                   ", \"firstSeen\": " + Json(features::HistoryTimeText(b.firstSeenMs)) +
                   ", \"lastSeen\": " + Json(features::HistoryTimeText(b.lastSeenMs)) +
                   ", \"records\": " + std::to_string(b.records) + "}";
        }
        Print(out + (boards.empty() ? "]" : "\n]"));
        return 0;
    }
    if (boards.empty()) {
        Print("No board in the history yet.");
        return 0;
    }
    Print("SERIAL           TYPE  FIRMWARE  LAST SEEN            FIRST SEEN           RECORDS");
    for (const auto& b : boards) {
        char line[256];
        std::snprintf(line, sizeof line, "%-16s %-5s %-9s %-20s %-20s %lld", b.serial.c_str(),
                      BoardTypeText(b.boardType).c_str(), b.firmware.c_str(),
                      features::HistoryTimeText(b.lastSeenMs).c_str(),
                      features::HistoryTimeText(b.firstSeenMs).c_str(),
                      static_cast<long long>(b.records));
        Print(line);
    }
    return 0;
}

int Timeline(const std::string& serial, bool json) {
    THistory h;
    if (!OpenHistory(h)) return 1;
    std::vector<features::THistoryRecord> records;
    if (const THistoryResult r = h.Timeline(serial, records); !r) return Failed(r);
    if (records.empty()) {
        std::fprintf(stderr, "orvan-cli: history: no record of board \"%s\"\n", serial.c_str());
        return 2;
    }
    std::vector<features::TFileCheck> checks;
    if (const THistoryResult r = h.CheckFiles(serial, checks); !r) return Failed(r);
    int troubled = 0;
    auto stateOf = [&](std::int64_t id, const std::string& path) {
        for (const auto& c : checks)
            if (c.recordId == id && c.file.path == path) return c.state;
        return features::TFileState::Same;
    };
    if (json) {
        std::string out = "{\"serial\": " + Json(serial) + ", \"records\": [";
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& r = records[i];
            out += std::string(i ? "," : "") + "\n {\"id\": " + std::to_string(r.id) +
                   ", \"time\": " + Json(features::HistoryTimeText(r.timeMs)) +
                   ", \"operation\": " + Json(r.operation) + ", \"outcome\": " + Json(r.outcome) +
                   ", \"why\": " + Json(r.why) + ", \"user\": " + Json(r.user) +
                   ", \"host\": " + Json(r.host) + ", \"firmware\": " + Json(r.firmware) +
                   ", \"configurations\": [";
            for (std::size_t s = 0; s < r.snapshots.size(); ++s)
                out += std::string(s ? ", " : "") + Json(r.snapshots[s].role);
            out += "], \"files\": [";
            for (std::size_t f = 0; f < r.files.size(); ++f) {
                const auto state = stateOf(r.id, r.files[f].path);
                troubled += state != features::TFileState::Same;
                out += std::string(f ? ", " : "") + "{\"role\": " + Json(r.files[f].role) +
                       ", \"path\": " + Json(r.files[f].path) +
                       ", \"size\": " + std::to_string(r.files[f].size) +
                       ", \"sha256\": " + Json(r.files[f].sha256) +
                       ", \"state\": " + Json(features::FileStateText(state)) + "}";
            }
            out += "]}";
        }
        Print(out + "\n]}");
        return troubled ? 1 : 0;
    }
    Print("ID      TIME                 OPERATION                 OUTCOME      BY");
    for (const auto& r : records) {
        char line[512];
        std::snprintf(line, sizeof line, "%-7lld %-20s %-25s %-12s %s@%s",
                      static_cast<long long>(r.id), features::HistoryTimeText(r.timeMs).c_str(),
                      r.operation.c_str(), r.outcome.c_str(), r.user.c_str(), r.host.c_str());
        Print(line);
        if (!r.why.empty()) Print("        why: " + r.why);
        for (const auto& s : r.snapshots)
            Print(s.role.ends_with(" log") ? "        " + s.role + " snapshot"
                                           : "        configuration " + s.role);
        for (const auto& f : r.files) {
            const auto state = stateOf(r.id, f.path);
            troubled += state != features::TFileState::Same;
            Print("        " + f.role + " " + f.path +
                  (state == features::TFileState::Same
                       ? std::string()
                       : std::string(" (") + features::FileStateText(state) + ")"));
        }
    }
    if (troubled)
        std::fprintf(stderr, "orvan-cli: history: %d file(s) missing or changed since recorded\n",
                     troubled);
    return troubled ? 1 : 0;
}

int Diff(std::int64_t first, std::int64_t second, bool json) {
    THistory h;
    if (!OpenHistory(h)) return 1;
    std::vector<features::TFieldDifference> d;
    if (const THistoryResult r = h.Diff(first, second, d); !r) return Failed(r);
    if (json) {
        std::string out = "[";
        for (std::size_t i = 0; i < d.size(); ++i) {
            auto value = [](std::int32_t raw, double v, bool eng) {
                return eng ? std::to_string(v) : std::to_string(raw);
            };
            out += std::string(i ? "," : "") + "\n {\"section\": " + Json(d[i].section) +
                   ", \"field\": " + Json(d[i].key) + ", \"unit\": " + Json(d[i].unit) +
                   ", \"firstRaw\": " + std::to_string(d[i].pcRaw) +
                   ", \"secondRaw\": " + std::to_string(d[i].boardRaw) +
                   ", \"first\": " + value(d[i].pcRaw, d[i].pcValue, d[i].engineering) +
                   ", \"second\": " + value(d[i].boardRaw, d[i].boardValue, d[i].engineering) + "}";
        }
        Print(out + (d.empty() ? "]" : "\n]"));
        return 0;
    }
    if (d.empty()) Print("The two configurations are identical.");
    for (const auto& x : d) Print(features::HistoryDifferenceText(x));
    return 0;
}

int Export(const std::string& serial, const std::string& file, bool json) {
    THistory h;
    if (!OpenHistory(h)) return 1;
    std::int64_t n = 0;
    if (const THistoryResult r = h.Export(serial, file, n); !r) return Failed(r);
    Print(json ? "{\"exported\": " + std::to_string(n) + ", \"file\": " + Json(file) + "}"
               : std::to_string(n) + " record(s) of board " + serial + " exported to " + file);
    return 0;
}

int Import(const std::string& file, bool json) {
    THistory h;
    if (!OpenHistory(h)) return 1;
    std::int64_t n = 0;
    if (const THistoryResult r = h.Import(file, n); !r) return Failed(r);
    Print(json ? "{\"imported\": " + std::to_string(n) + ", \"file\": " + Json(file) + "}"
               : std::to_string(n) + " record(s) imported from " + file);
    return 0;
}

TPlan Restore(const Options& opt, std::int64_t id, bool force) {
    if (opt.device.empty() && !opt.simulate)
        return Usage(kCommand, "a restore needs the board: give --device or --simulate");
    features::THistoryRecord record;
    {
        THistory h;
        if (!OpenHistory(h)) return Done(1);
        if (const THistoryResult r = h.Record(id, record); !r) return Done(Failed(r));
    }
    const features::THistorySnapshot* s = features::ConfigurationOf(record);
    if (s == nullptr || s->image.size() != config::kImageSize)
        return Usage(kCommand, "record " + std::to_string(id) + " holds no configuration");
    features::TConfigWriteRequest w;
    w.exactImage.emplace();
    std::copy(s->image.begin(), s->image.end(), w.exactImage->begin());
    w.restore = true;
    w.fromBoard = record.serial;
    w.acceptDamaged = force;
    w.acceptOtherLayout = force;
    return OnBoard([w](TBoard& b) {
        return features::ExitCode(b.Run(features::ConfigWriteOperation(b.Core(), w)));
    });
}

}  // namespace

TPlan History(const Options& opt) {
    // Words kept apart from the other commands' parsing: flags anywhere.
    std::vector<std::string> names;
    bool json = false, force = false;
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        const std::string& a = opt.args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--force") {
            force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(kCommand, "unknown option " + a);
        } else {
            names.push_back(a);
        }
    }
    if (force && (names.empty() || names[0] != "restore"))
        return Usage(kCommand, "--force is for a restore only");
    if (names.empty()) return Done(ListBoards(json));
    const std::string& what = names[0];
    auto count = [&](std::size_t n) { return names.size() == n; };
    if (what == "diff") {
        if (!count(3)) return Usage(kCommand, "diff takes two record ids");
        const auto a = RecordId(names[1]), b = RecordId(names[2]);
        if (!a || !b) return Usage(kCommand, "record ids are whole numbers from 1");
        return Done(Diff(*a, *b, json));
    }
    if (what == "restore") {
        if (!count(2)) return Usage(kCommand, "restore takes one record id");
        const auto id = RecordId(names[1]);
        if (!id) return Usage(kCommand, "record ids are whole numbers from 1");
        return Restore(opt, *id, force);
    }
    if (what == "export") {
        if (!count(3)) return Usage(kCommand, "export takes a serial number and a file");
        return Done(Export(names[1], names[2], json));
    }
    if (what == "import") {
        if (!count(2)) return Usage(kCommand, "import takes a file");
        return Done(Import(names[1], json));
    }
    if (!count(1)) return Usage(kCommand, "one serial number");
    return Done(Timeline(what, json));
}

}  // namespace orvan::cli
