// Every operation of the core under the conditions its safety rules are
// for, from one table: a clean run on a board whose protocol version and
// type are unknown (and on a 2.1.0 board, whose writes need the security
// code); a cancel with each of its requests in flight; a second run on the
// same output file; outside files that are no dump at all. The rules are the
// runner's, so each must hold for every row:
//   - exactly one outcome, and the core idle after it;
//   - a cancel stops after the request in flight, and the outcome says what
//     the board holds where it wrote;
//   - the board changes only where the operation writes;
//   - an output file is never taken twice, nor replaced unasked;
//   - an outside file is checked before anything is sent.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "OperationRig.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/EepromImage.h"
#include "features/EepromOperations.h"
#include "link/MemoryMap.h"

using namespace orvan;
using namespace orvan::features;

namespace {

using Make = std::function<std::unique_ptr<TOperation>(test::OperationRig&, const std::string&)>;

struct Row {
    const char* name;
    Make make;  // the path is the row's file (output, or input), "" when it has none
    enum class File : std::uint8_t { None, Output, Input } file = File::None;
    const char* fileName = "";
    // The board bytes [writeFrom, writeTo) the operation may change.
    std::uint16_t writeFrom = 0, writeTo = 0;
    // Prepares the rig (a configuration shown, the machine...).
    std::function<void(test::OperationRig&)> setup;
};

constexpr std::uint16_t kAll = link::kEepromSize;
constexpr auto kImageFrom = static_cast<std::uint16_t>(link::kConfigImageAddress);
constexpr auto kImageTo = static_cast<std::uint16_t>(kImageFrom + link::kConfigImageSize);
constexpr auto kLogFrom = static_cast<std::uint16_t>(link::kTuningLogAddress);
constexpr auto kLogTo = static_cast<std::uint16_t>(kLogFrom + link::kTuningLogSize);

void ShowConfiguration(test::OperationRig& rig) {
    rig.core.Document().New();
}

void Flanging(test::OperationRig& rig) {
    rig.model.boardType = 0x0A00;
    sim::SeedFlangingProfiles(rig.model.Eeprom());
}

void DumpOfTheBoard(test::OperationRig& rig) {
    TEepromImage image{};
    std::copy(rig.model.Eeprom().begin(), rig.model.Eeprom().end(), image.begin());
    image[700] ^= 0x55;
    ASSERT_TRUE(SaveDumpFile(rig.dir.File("row-input.bin"), image, nullptr));
}

std::vector<Row> Rows() {
    using F = Row::File;
    return {
        {"configuration write",
         [](test::OperationRig& r, const std::string&) { return ConfigWriteOperation(r.core, {}); },
         F::None, "", kImageFrom, kImageTo, nullptr},
        {"configuration read",
         [](test::OperationRig& r, const std::string& p) {
             return ConfigReadOperation(r.core, {true, p, false, false});
         },
         F::Output, "row.wcf", 0, 0, nullptr},
        {"configuration verify",
         [](test::OperationRig& r, const std::string&) { return ConfigVerifyOperation(r.core); },
         F::None, "", 0, 0, ShowConfiguration},
        {"configuration save",
         [](test::OperationRig& r, const std::string& p) {
             return ConfigSaveOperation(r.core, {p, false, false});
         },
         F::Output, "row.wcf", 0, 0, nullptr},
        {"EEPROM dump",
         [](test::OperationRig& r, const std::string& p) {
             return EepromDumpOperation(r.core, {p, false, false});
         },
         F::Output, "row.bin", 0, 0, nullptr},
        {"EEPROM format",
         [](test::OperationRig& r, const std::string& p) {
             return EepromFormatOperation(r.core, {p});
         },
         F::Output, "row.bin", 0, kAll, nullptr},
        {"EEPROM restore",
         [](test::OperationRig& r, const std::string& p) {
             return EepromRestoreOperation(r.core, {p, false});
         },
         F::Input, "row-input.bin", 0, kAll, DumpOfTheBoard},
        {"EEPROM write",
         [](test::OperationRig& r, const std::string&) {
             return EepromWriteOperation(r.core, {"8", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", true});
         },
         F::None, "", 8, 34, nullptr},
        {"EEPROM read",
         [](test::OperationRig& r, const std::string&) {
             return EepromReadOperation(r.core, {"100", "32"});
         },
         F::None, "", 0, 0, nullptr},
        {"serial number",
         [](test::OperationRig& r, const std::string&) {
             return SerialNumberOperation(r.core, "NEW-0042");
         },
         F::None, "", 0, 16, nullptr},
        {"hours counter",
         [](test::OperationRig& r, const std::string&) {
             return HoursCounterOperation(r.core, "1234,5", ',');
         },
         F::None, "", 0, 0, nullptr},
        {"tuning date",
         [](test::OperationRig& r, const std::string&) {
             return TuningDateOperation(r.core, {2026, 12, 8}, {"9", "30", "0"});
         },
         F::None, "", kLogFrom, kLogTo, nullptr},
        {"clock set",
         [](test::OperationRig& r, const std::string&) {
             return ClockSetOperation(r.core, {2026, 12, 8}, {"10", "11", "12"});
         },
         F::None, "", 0, 0, nullptr},
        {"clock halt",
         [](test::OperationRig& r, const std::string&) { return ClockRunOperation(r.core, false); },
         F::None, "", 0, 0, nullptr},
        {"power diagnosis",
         [](test::OperationRig& r, const std::string&) {
             return ProcedureOperation(r.core, {TProcedure::MeterDiagnosis, false});
         },
         F::None, "", 0, 0, nullptr},
        // The board writes the new tuning into its own log.
        {"factory tuning",
         [](test::OperationRig& r, const std::string&) {
             return ProcedureOperation(r.core, {TProcedure::FactoryTuning, true});
         },
         F::None, "", kLogFrom, kLogTo, nullptr},
        {"tuning-log read",
         [](test::OperationRig& r, const std::string& p) {
             return TuningLogReadOperation(r.core, {p, false, false});
         },
         F::Output, "row.log", 0, 0, ShowConfiguration},
        {"event-log read",
         [](test::OperationRig& r, const std::string&) { return EventLogReadOperation(r.core); },
         F::None, "", 0, 0, nullptr},
        {"flanging profile save",
         [](test::OperationRig& r, const std::string&) { return FlangingSaveOperation(r.core); },
         F::None, "", link::kFlangingProfilesAddress,
         static_cast<std::uint16_t>(link::kFlangingProfilesAddress + 4), Flanging},
        {"service report",
         [](test::OperationRig& r, const std::string& p) {
             return ServiceReportOperation(r.core, {p, false, false});
         },
         F::Output, "row.html", 0, 0, nullptr},
        {"status polling",
         [](test::OperationRig& r, const std::string&) { return PollingOperation(r.core, {3}); },
         F::None, "", 0, 0, nullptr},
        {"board identity",
         [](test::OperationRig& r, const std::string&) { return InfoOperation(r.core); }, F::None,
         "", 0, 0, nullptr},
        {"variable write",
         [](test::OperationRig& r, const std::string&) {
             return VariableWriteOperation(r.core, commands::ClockRun, {0});
         },
         F::None, "", 0, 0, nullptr},
    };
}

struct RowRun {
    std::unique_ptr<test::OperationRig> rig = std::make_unique<test::OperationRig>();
    std::string file;
    std::array<std::uint8_t, link::kEepromSize> before{};

    explicit RowRun(const Row& row, sim::Version3 protocol = {2, 2, 9}) {
        rig->model.protocol = protocol;
        if (row.setup) row.setup(*rig);
        file = row.file == Row::File::None ? std::string() : rig->dir.File(row.fileName);
        before = rig->model.Eeprom();
    }
    std::unique_ptr<TOperation> Op(const Row& row) { return row.make(*rig, file); }
    // The first byte outside the row's range that changed, or -1.
    int StrayWrite(const Row& row) const {
        const auto& now = rig->model.Eeprom();
        for (std::size_t i = 0; i < now.size(); ++i)
            if ((i < row.writeFrom || i >= row.writeTo) && now[i] != before[i])
                return static_cast<int>(i);
        return -1;
    }
};

TEST(OperationRules, EveryOperationCompletesOnABoardItKnowsNothingAbout) {
    for (const Row& row : Rows()) {
        for (const sim::Version3 protocol : {sim::Version3{2, 2, 9}, sim::Version3{2, 1, 0}}) {
            SCOPED_TRACE(std::string(row.name) + " at protocol " +
                         std::to_string(protocol.Packed()));
            RowRun run(row, protocol);
            ASSERT_EQ(run.rig->core.Session().BoardProtocolVersion(), 0u);
            const TOperationOutcome o = run.rig->Run(run.Op(row));
            EXPECT_TRUE(o.Completed()) << o.message;
            EXPECT_EQ(run.rig->rec.outcomes.size(), 1u);
            EXPECT_EQ(run.rig->model.refusals, 0) << "nothing the board had to refuse";
            EXPECT_EQ(run.StrayWrite(row), -1);
            run.rig->Drain();
            EXPECT_TRUE(run.rig->core.Operations().Idle());
            EXPECT_EQ(run.rig->rec.outcomes.size(), 1u) << "and no second one later";
        }
    }
}

TEST(OperationRules, ACancelStopsAfterTheRequestInFlight) {
    for (const Row& row : Rows()) {
        // The requests of a clean run.
        std::size_t requests = 0;
        {
            RowRun clean(row);
            ASSERT_TRUE(clean.rig->Run(clean.Op(row)).Completed()) << row.name;
            requests = clean.rig->port.bodies.size();
        }
        for (std::size_t k = 0; k < requests; ++k) {
            SCOPED_TRACE(std::string(row.name) + ", cancelled with request " +
                         std::to_string(k + 1) + " of " + std::to_string(requests) + " in flight");
            RowRun run(row);
            test::OperationRig& rig = *run.rig;
            ASSERT_TRUE(rig.Start(run.Op(row)));
            bool cancelled = false;
            for (int n = 0; n < 20000 && rig.rec.outcomes.empty(); ++n) {
                rig.Tick();
                if (!cancelled && rig.port.bodies.size() == k + 1 &&
                    rig.core.Protocol().InFlight()) {
                    cancelled = true;
                    rig.core.Operations().Cancel("", SIGINT);
                }
            }
            ASSERT_EQ(rig.rec.outcomes.size(), 1u);
            const TOperationOutcome& o = rig.rec.outcomes.back();
            if (!cancelled) {
                // It ended before request k was sent (a shorter run): fine
                // as long as it ended soundly.
                EXPECT_NE(o.kind, TOutcomeKind::Interrupted);
                continue;
            }
            rig.Drain();
            // The decoder switches the security code on after a protocol
            // version answer: that follows the board, not the operation.
            std::size_t sent = 0;
            for (const auto& b : rig.port.bodies) sent += b[0] == 0xF0 ? 0 : 1;
            std::size_t sentBefore = 0;
            for (std::size_t i = 0; i <= k; ++i)
                sentBefore += rig.port.bodies[i][0] == 0xF0 ? 0 : 1;
            EXPECT_EQ(sent, sentBefore) << "nothing sent after the request in flight";
            if (o.kind != TOutcomeKind::Completed) {
                EXPECT_EQ(o.kind, TOutcomeKind::Interrupted) << o.message;
                EXPECT_EQ(ExitCode(o), 130);
            }
            EXPECT_EQ(run.StrayWrite(row), -1);
            const bool wrote = run.before != rig.model.Eeprom();
            if (wrote && !o.Completed()) {
                EXPECT_FALSE(o.boardHolds.empty()) << "says what the board holds: " << o.message;
            }
            for (const std::string& k2 : o.kept) {
                EXPECT_TRUE(std::filesystem::exists(k2)) << k2;
                // An exact image is named by the backup beside it.
                const std::string wcf = k2.substr(0, k2.size() - 4) + ".wcf";
                EXPECT_TRUE(o.message.find(k2) != std::string::npos ||
                            o.message.find(wcf) != std::string::npos)
                    << "names " << k2 << ": " << o.message;
            }
            EXPECT_TRUE(rig.core.Operations().Idle());
            EXPECT_EQ(rig.rec.outcomes.size(), 1u);
        }
    }
}

TEST(OperationRules, AnOutputFileIsNeverTakenTwiceNorReplacedUnasked) {
    for (const Row& row : Rows()) {
        if (row.file != Row::File::Output) continue;
        SCOPED_TRACE(row.name);
        RowRun first(row);
        RowRun second(row);
        // The second program writes into the first one's folder.
        ASSERT_TRUE(first.rig->Start(first.Op(row)));
        first.rig->Tick(3);
        const TOperationOutcome clash = second.rig->Run(row.make(*second.rig, first.file));
        EXPECT_EQ(clash.kind, TOutcomeKind::Refused) << clash.message;
        EXPECT_NE(clash.message.find(first.file), std::string::npos) << clash.message;
        EXPECT_TRUE(second.rig->port.bodies.empty()) << "refused before anything was sent";
        const TOperationOutcome done =
            first.rig->rec.outcomes.empty() ? first.rig->Finish() : first.rig->rec.outcomes.back();
        ASSERT_TRUE(done.Completed()) << done.message;
        ASSERT_EQ(done.files.size(), 1u);
        const std::string written = test::ReadText(done.files[0]);
        EXPECT_FALSE(written.empty());

        // Done, the file stays: a later run does not replace it unasked.
        const TOperationOutcome again = second.rig->Run(row.make(*second.rig, done.files[0]));
        EXPECT_EQ(again.kind, TOutcomeKind::Refused) << again.message;
        EXPECT_EQ(test::ReadText(done.files[0]), written);

        // Nor a file of another kind (a configuration, unless it is one).
        if (row.make(*second.rig, "x.wcf")->Needs().outputs[0].kind != TFileKind::Configuration) {
            const std::string wcf = second.rig->dir.File("keep.wcf");
            ASSERT_TRUE(config::TCfgWelderRW(config::DefaultConfiguration()).SaveToFile(wcf));
            const std::string kept = test::ReadText(wcf);
            const TOperationOutcome other = second.rig->Run(row.make(*second.rig, wcf));
            EXPECT_EQ(other.kind, TOutcomeKind::Refused) << other.message;
            EXPECT_EQ(test::ReadText(wcf), kept);
        }
    }
}

TEST(OperationRules, OutsideFilesAreCheckedBeforeAnythingIsSent) {
    test::TempDir dir;
    const std::string fifo = dir.File("fifo"), big = dir.File("big.bin"), odd = dir.File("odd.bin");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::resize_file(test::TouchFile(big), 3ull << 30);  // sparse, 3 GiB
    test::WriteText(odd, std::string(1023, 'x'));
    const std::string bad[] = {"/dev/zero",        fifo, big, odd, dir.Path().string(),
                               dir.File("missing")};
    for (const Row& row : Rows()) {
        if (row.file != Row::File::Input) continue;
        for (const std::string& path : bad) {
            SCOPED_TRACE(std::string(row.name) + " from " + path);
            RowRun run(row);
            const TOperationOutcome o = run.rig->Run(row.make(*run.rig, path));
            EXPECT_EQ(o.kind, TOutcomeKind::Refused) << o.message;
            EXPECT_EQ(ExitCode(o), 2);
            EXPECT_NE(o.message.find(path), std::string::npos) << "names the file: " << o.message;
            EXPECT_TRUE(run.rig->port.bodies.empty());
        }
    }
}

TEST(OperationRules, OneOperationAtATimeAndPollingBeside) {
    test::OperationRig rig;
    ASSERT_TRUE(rig.Start(PollingOperation(rig.core, {})));
    ASSERT_TRUE(rig.Start(ConfigReadOperation(rig.core, {false, {}, false, false})));
    const TOperationOutcome busy = rig.Run(EepromReadOperation(rig.core, {"0", "4"}));
    EXPECT_EQ(busy.kind, TOutcomeKind::Refused);
    EXPECT_NE(busy.message.find("Configuration read is under way"), std::string::npos)
        << busy.message;
    const TOperationOutcome read = rig.Finish();
    EXPECT_TRUE(read.Completed()) << read.message;
    EXPECT_TRUE(rig.core.Operations().BackgroundBusy()) << "polling went on beside";
    rig.core.Operations().CancelBackground("stopped");
    const TOperationOutcome polled = rig.Finish();
    EXPECT_TRUE(polled.Completed()) << "stopped by its button: " << polled.message;
    EXPECT_GT(rig.core.Polling().CyclesCompleted(), 0u);
}

TEST(OperationRules, AConfigurationIsShownBeforeWhatNeedsOne) {
    test::OperationRig rig;
    const TOperationOutcome o = rig.Run(TuningLogReadOperation(rig.core, {}));
    EXPECT_EQ(o.kind, TOutcomeKind::Refused);
    EXPECT_EQ(o.caption, "Attenzione!");
    EXPECT_EQ(o.message, "Leggere la configurazione prima di eseguire questa operazione");
    EXPECT_TRUE(rig.port.bodies.empty());
    ASSERT_TRUE(rig.Run(ConfigReadOperation(rig.core, {false, {}, false, false})).Completed());
    EXPECT_TRUE(rig.core.Document().Loaded()) << "the core knows, no front end set it";
    EXPECT_TRUE(rig.Run(TuningLogReadOperation(rig.core, {})).Completed());
}

}  // namespace
