#include "FaultMatrix.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "boardsim/SimPort.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/EepromOperations.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/MemoryMap.h"
#include "support/TempDir.h"

namespace orvan::test {

namespace fs = std::filesystem;
using Eeprom = std::array<std::uint8_t, link::kEepromSize>;

namespace {

// A sequence ends within this many ticks or it is said to hang (it covers a
// whole configuration write with a time-out, many times over).
constexpr int kEndLimitTicks = 20000;
// Five seconds: longer than the late answer is late.
constexpr int kReadingTicks = 5000 / link::kExchangeTickMs;

}  // namespace

std::string TFault::Label() const {
    switch (kind) {
        case TFaultKind::None:
            return "none";
        case TFaultKind::NoAnswer:
            return "no answer";
        case TFaultKind::Late:
            return "late";
        case TFaultKind::Babble:
            return "babble";
        case TFaultKind::Garbage:
            return "garbage";
        case TFaultKind::Truncated:
            return "truncated";
        case TFaultKind::Refusal:
            return "E" + std::to_string(code);
        case TFaultKind::Vanish:
            return "vanish";
    }
    return "?";
}

std::vector<TFault> StandardFaults() {
    std::vector<TFault> f = {{TFaultKind::NoAnswer},
                             {TFaultKind::Late},
                             {TFaultKind::Babble},
                             {TFaultKind::Garbage},
                             {TFaultKind::Truncated}};
    for (std::uint8_t code = 1; code <= 12; ++code) f.push_back({TFaultKind::Refusal, code});
    f.push_back({TFaultKind::Refusal, 200});
    f.push_back({TFaultKind::Vanish});
    return f;
}

namespace {

std::string ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + " cannot be read";
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return {};
}

std::string SameAsBoard(TMatrixRig& r, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (std::string e = ReadFileBytes(path, bytes); !e.empty()) return e;
    const Eeprom& board = r.model.Eeprom();
    if (!std::equal(bytes.begin(), bytes.end(), board.begin(), board.end()))
        return fs::path(path).filename().string() + " differs from the board";
    return {};
}

}  // namespace

std::vector<TSequenceRow> StandardSequences() {
    using R = TMatrixRig;
    using namespace features;
    constexpr auto kImageFrom = link::kConfigImageAddress;
    constexpr auto kImageTo = static_cast<std::uint16_t>(kImageFrom + link::kConfigImageSize);
    constexpr auto kAll = static_cast<std::uint16_t>(link::kEepromSize);
    constexpr auto kLogFrom = static_cast<std::uint16_t>(link::kTuningLogAddress);
    constexpr auto kLogTo = static_cast<std::uint16_t>(kLogFrom + commands::kTuningLogSize);
    const auto write = [](R& r) {
        // The pages hold the default configuration with one value changed.
        config::TCfgWelderRW pages(config::DefaultConfiguration());
        const config::TFieldInfo& f = config::Fields()[3];
        const std::int32_t v = f.Raw(pages);
        f.setRaw(pages, f.index, v < f.Max() ? v + 1 : v - 1);
        r.core.Document().Take(pages);
        return r.Start(ConfigWriteOperation(r.core, {}));
    };
    return {
        {"configuration write", kImageFrom, kImageTo, write,
         [](R& r) -> std::string {
             config::TWelderCfgBlank board;
             board.LoadFromImage(r.model.Eeprom().data() + link::kConfigImageAddress);
             return features::CompareConfigurations(r.core.Record(), board).empty()
                        ? ""
                        : "the board does not hold what was written";
         },
         0,
         // A write cut short leaves a mixed image whose checksum fails: the
         // next write asks before it keeps that as the backup.
         [write](R& r) {
             r.answerYes = true;
             return write(r);
         }},
        {"configuration read", 0, 0,
         [](R& r) {
             return r.Start(ConfigReadOperation(r.core, {true, {}, false, false}));
         },
         [](R& r) -> std::string {
             config::TWelderCfgBlank board;
             board.LoadFromImage(r.model.Eeprom().data() + link::kConfigImageAddress);
             return features::CompareConfigurations(r.core.Record(), board).empty()
                        ? ""
                        : "the pages do not hold what the board holds";
         },
         0, nullptr},
        {"configuration verify", 0, 0,
         [](R& r) {
             config::TCfgWelderRW board;
             board.LoadFromImage(r.model.Eeprom().data() + link::kConfigImageAddress);
             r.core.Document().New();
             r.core.Document().Take(board);
             return r.Start(ConfigVerifyOperation(r.core));
         },
         nullptr, 0, nullptr},
        {"EEPROM dump", 0, 0,
         [](R& r) {
             return r.Start(EepromDumpOperation(r.core, {r.NewDumpPath(), false, false}));
         },
         [](R& r) { return SameAsBoard(r, r.lastDump); }, 0, nullptr},
        {"EEPROM format", 0, kAll,
         [](R& r) {
             r.answerYes = true;  // the format's own question
             return r.Start(EepromFormatOperation(r.core, {r.NewDumpPath()}));
         },
         [](R& r) -> std::string {
             const Eeprom& b = r.model.Eeprom();
             if (!std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0xFF; }))
                 return "the board is not blank";
             std::vector<std::uint8_t> dump;
             if (std::string e = ReadFileBytes(r.lastDump, dump); !e.empty()) return e;
             return dump.size() == link::kEepromSize ? ""
                                                     : "the dump before the format is not whole";
         },
         0, nullptr},
        {"EEPROM restore", 0, kAll,
         [](R& r) {
             return r.Start(EepromRestoreOperation(r.core, {r.restoreSource, false}));
         },
         [](R& r) { return SameAsBoard(r, r.restoreSource); }, 0,
         [](R& r) {
             r.answerYes = true;
             return r.Start(EepromRestoreOperation(r.core, {r.restoreSource, false}));
         }},
        {"serial number", 0, 16,
         [](R& r) { return r.Start(SerialNumberOperation(r.core, "MATRIX-1")); },
         [](R& r) -> std::string {
             return std::string(reinterpret_cast<const char*>(r.model.Eeprom().data()), 8) ==
                            "MATRIX-1"
                        ? ""
                        : "the board does not hold the serial number";
         },
         0, nullptr},
        {"status polling", 0, 0,
         [](R& r) {
             r.core.Polling().flags = {true, true, true, true, true};
             return r.Start(PollingOperation(r.core, {}));
         },
         nullptr, 600, nullptr},
        {"tuning-log read", 0, 0,
         [](R& r) {
             r.core.Document().New();
             return r.Start(TuningLogReadOperation(r.core, {}));
         },
         [](R& r) -> std::string {
             const auto& img = r.core.Logs().tuningLogImage;
             const auto* b = r.model.Eeprom().data() + link::kTuningLogAddress;
             return std::equal(img.begin(), img.end(), b) ? "" : "the tuning log read differs";
         },
         0, nullptr},
        {"event-log read", 0, 0, [](R& r) { return r.Start(EventLogReadOperation(r.core)); },
         nullptr, 0, nullptr},
        {"power diagnosis", 0, 0,
         [](R& r) {
             return r.Start(ProcedureOperation(r.core, {TProcedure::MeterDiagnosis, false}));
         },
         [](R& r) -> std::string {
             return r.core.Procedures().points.size() == 4 ? "" : "not every step was measured";
         },
         0, nullptr},
        // The board writes the new tuning into its own log: that is what the
        // user asked for.
        {"factory tuning", kLogFrom, kLogTo,
         [](R& r) {
             return r.Start(ProcedureOperation(r.core, {TProcedure::FactoryTuning, true}));
         },
         nullptr, 0, nullptr},
    };
}

namespace {

std::string RunOnce(TMatrixRig& r, const TSequenceRow& row,
                    const std::function<std::string(TMatrixRig&)>& start) {
    if (std::string why = start(r); !why.empty()) return why;
    if (row.runTicks > 0) {
        for (int t = 0; t < row.runTicks && !r.ended; ++t) r.Tick();
        if (!r.ended) {
            // Still polling: as long as it ran, it did what it should.
            const std::uint64_t cycles = r.core.Polling().CyclesCompleted();
            r.core.Operations().CancelBackground("the matrix has seen enough");
            for (int t = 0; t < kEndLimitTicks && !r.ended; ++t) r.Tick();
            if (!r.ended) return "polling never stopped";
            r.completed = r.completed && cycles > 0;
            if (cycles == 0) r.told = "no poll cycle completed";
        }
    } else {
        for (int t = 0; t < kEndLimitTicks && !r.ended; ++t) r.Tick();
        if (!r.ended) return "never ended";
    }
    for (int t = 0; t < kEndLimitTicks && !r.core.Idle(); ++t) r.Tick();
    if (!r.core.Idle()) return "the exchange never went idle";
    return {};
}

// Runs the row's sequence to its end, the user saying yes to its question
// when `answerYes`; "" when it ended, else what went wrong.
std::string RunSequence(TMatrixRig& r, const TSequenceRow& row, bool answerYes = false) {
    if (std::string e = RunOnce(r, row, row.start); !e.empty()) return e;
    if (answerYes && r.asked && row.confirm) return RunOnce(r, row, row.confirm);
    return {};
}

// The user reads the message of the sequence that stopped before starting
// another: the line is left alone for a few seconds.
void UserReadsTheMessage(TMatrixRig& r) {
    for (int t = 0; t < kReadingTicks; ++t) r.Tick();
}

// The size a kept copy has, by the area its name tells ("SERIAL_serial_...",
// or a configuration backup's image without a tag).
std::uintmax_t KeptSize(const std::string& name) {
    const struct {
        const char* tag;
        std::uintmax_t size;
    } areas[] = {{"_serial_", 16},
                 {"_eeprom_", link::kEepromSize},
                 {"_tuninglog_", link::kTuningLogSize},
                 {"_config_", link::kConfigImageSize}};
    for (const auto& a : areas)
        if (name.find(a.tag) != std::string::npos) return a.size;
    return link::kConfigImageSize;
}

std::string LeftoverFiles(const TMatrixRig& r) {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(r.dir.Path(), ec)) {
        if (!e.is_regular_file()) continue;
        const std::string name = e.path().filename().string();
        if (name.find(".orvantmp") != std::string::npos) return "temporary file left: " + name;
        const auto size = e.file_size();
        const std::string folder = e.path().parent_path().filename().string();
        if (folder == "dumps" && size != link::kEepromSize)
            return "half-written dump " + name + " (" + std::to_string(size) + " bytes)";
        if (folder == "backups" && e.path().extension() == ".bin" && size != KeptSize(name))
            return "half-written backup " + name + " (" + std::to_string(size) + " bytes)";
        if (folder == "backups" && e.path().extension() == ".wcf" && size == 0)
            return "empty backup " + name;
    }
    return {};
}

std::string UnrequestedWrites(const TMatrixRig& r, const TSequenceRow& row, const Eeprom& before) {
    const Eeprom& now = r.model.Eeprom();
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i >= row.writeFrom && i < row.writeTo) continue;
        if (now[i] != before[i]) return "board byte " + std::to_string(i) + " written unasked";
    }
    return {};
}

}  // namespace

namespace {

// The requests of a clean run; nullopt with `why` when even that fails.
std::optional<std::size_t> CleanRequests(const TSequenceRow& row, std::string& why) {
    TMatrixRig clean;
    if (std::string e = RunSequence(clean, row); !e.empty()) {
        why = "clean run: " + e;
        return std::nullopt;
    }
    if (!clean.completed) {
        why = "clean run did not complete: " + clean.told;
        return std::nullopt;
    }
    return clean.port.requests;
}

TCellResult RunCellAt(const TSequenceRow& row, const TFault& fault, std::size_t requests) {
    TMatrixRig r;
    r.port.Arm(fault, std::max<std::size_t>(1, requests / 2));
    const Eeprom before = r.model.Eeprom();
    if (std::string e = RunSequence(r, row); !e.empty()) return {false, e};
    if (!r.completed && r.told.empty()) return {false, "stopped without telling the user"};
    if (r.completed && row.checkCompleted) {
        if (std::string e = row.checkCompleted(r); !e.empty())
            return {false, "completed, but " + e};
    }
    if (std::string e = LeftoverFiles(r); !e.empty()) return {false, e};
    if (std::string e = UnrequestedWrites(r, row, before); !e.empty()) return {false, e};
    const std::string first = r.completed ? "completed" : "stopped: " + r.told;

    // The line is sound again: the same sequence, once the user has read
    // what stopped the first (and said yes to what the next one asks).
    r.port.Heal();
    UserReadsTheMessage(r);
    if (std::string e = RunSequence(r, row, true); !e.empty()) return {false, "next run: " + e};
    if (!r.completed) return {false, "next run stopped: " + r.told};
    if (row.checkCompleted) {
        if (std::string e = row.checkCompleted(r); !e.empty()) return {false, "next run: " + e};
    }
    if (std::string e = LeftoverFiles(r); !e.empty()) return {false, "next run: " + e};
    return {true, first};
}

}  // namespace

TCellResult RunCell(const TSequenceRow& row, const TFault& fault) {
    std::string why;
    const std::optional<std::size_t> requests = CleanRequests(row, why);
    if (!requests) return {false, why};
    return RunCellAt(row, fault, *requests);
}

int TMatrix::Failures() const {
    int n = 0;
    for (const auto& row : cells)
        for (const TCellResult& c : row) n += c.pass ? 0 : 1;
    return n;
}

std::string TMatrix::Table() const {
    std::ostringstream out;
    out << "| sequence |";
    for (const std::string& c : columns) out << ' ' << c << " |";
    out << "\n|---|";
    for (std::size_t i = 0; i < columns.size(); ++i) out << "---|";
    out << '\n';
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out << "| " << rows[r] << " |";
        for (const TCellResult& c : cells[r]) out << ' ' << (c.pass ? "pass" : "FAIL") << " |";
        out << '\n';
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (!cells[r][c].pass)
                out << "FAIL " << rows[r] << " x " << columns[c] << ": " << cells[r][c].detail
                    << '\n';
    return out.str();
}

TMatrix RunMatrix(const std::vector<TSequenceRow>& rows, const std::vector<TFault>& faults) {
    TMatrix m;
    for (const TFault& f : faults) m.columns.push_back(f.Label());
    for (const TSequenceRow& row : rows) {
        m.rows.push_back(row.name);
        std::vector<TCellResult>& line = m.cells.emplace_back();
        std::string why;
        const std::optional<std::size_t> requests = CleanRequests(row, why);
        for (const TFault& f : faults)
            line.push_back(requests ? RunCellAt(row, f, *requests) : TCellResult{false, why});
    }
    return m;
}

}  // namespace orvan::test
