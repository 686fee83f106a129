// Every long sequence of the core with the board's answers taken from the
// input: for each request the input says whether the simulated board answers
// it truly, with one byte changed, with arbitrary bytes, with a refusal, or
// not at all (and once the input is used up, the board falls silent).
// Invariants: no out-of-bounds access (ASan, UBSan), and once the line is
// silent every sequence ends and the core goes idle: nothing waits for ever.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "features/ConfigOperations.h"
#include "features/EepromOperations.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/TickDriver.h"

using namespace orvan;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

class Input {
  public:
    Input(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    bool Empty() const { return at_ >= n_; }
    std::uint8_t Next() { return at_ < n_ ? d_[at_++] : 0; }

  private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t at_ = 0;
};

class FuzzedBoardPort : public link::ISerialPort {
  public:
    FuzzedBoardPort(sim::TBoardModel& model, Input& in) : model_(model), in_(in) {}
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            std::vector<std::uint8_t> body;
            if (framer_.Feed(data[i], body) != sim::TRequestFramer::Verdict::Request) continue;
            Answer(body);
        }
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        std::int32_t n = 0;
        while (n < count && !out_.empty()) {
            dest[n++] = out_.front();
            out_.pop_front();
        }
        return n;
    }
    std::int32_t BytesWaiting() override { return static_cast<std::int32_t>(out_.size()); }
    void ClosePort() override {}

  private:
    void Answer(const std::vector<std::uint8_t>& body) {
        if (in_.Empty()) return;  // silent from now on
        const std::uint8_t op = in_.Next();
        std::vector<std::uint8_t> answer;
        if (op < 0x80) {
            answer = model_.HandleRequest(body.data(), body.size());
        } else if (op < 0xC0) {
            for (int k = 0; k < (op & 0x3F); ++k) answer.push_back(in_.Next());
        } else if (op < 0xE0) {
            answer = model_.HandleRequest(body.data(), body.size());
            const std::uint8_t at = in_.Next(), mask = in_.Next();
            if (!answer.empty()) answer[at % answer.size()] ^= mask;
        } else if (op < 0xF0) {
            answer = sim::TBoardModel::Refusal(in_.Next());
        } else {
            return;
        }
        if (answer.empty()) return;
        for (std::uint8_t b : sim::FrameAnswerBytes(answer)) out_.push_back(b);
    }

    sim::TBoardModel& model_;
    Input& in_;
    sim::TRequestFramer framer_;
    std::deque<std::uint8_t> out_;
};

class Quiet : public commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

const std::string& Scratch() {
    static const std::string dir = [] {
        std::string d = "/tmp/orvan-fuzz-seq-" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(d);
        std::ofstream(d + "restore.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(sim::DefaultEeprom().data()),
                   sim::DefaultEeprom().size());
        return d;
    }();
    return dir;
}

class Outcomes : public features::IOperationView {
  public:
    explicit Outcomes(features::TSupervisorCore& core) : core_(core) { core_.Attach(*this); }
    ~Outcomes() override { core_.Detach(*this); }
    void OnOperationQuestion(const features::TQuestion&) override {
        core_.Operations().Answer(false);
    }
    void OnOperationFinished(const features::TOperationOutcome&) override { ++count; }
    int count = 0;

  private:
    features::TSupervisorCore& core_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Input in(data + 1, size - 1);
    sim::TBoardModel model;
    link::ManualClock clock;
    model.nowMs = [&clock] { return clock.MonotonicMs(); };
    model.Eeprom() = sim::DefaultEeprom();
    FuzzedBoardPort port(model, in);
    Quiet quiet;
    features::TSupervisorCore core(port, clock, quiet);
    core.Operations().SetBackupDir(Scratch() + "backups");
    std::filesystem::remove(Scratch() + "dump.bin");
    // A question (another layout, another serial number, the format's own)
    // is answered no: the operation ends refused, writing nothing.
    Outcomes seen(core);

    using namespace features;
    std::unique_ptr<TOperation> op;
    switch (data[0] % 11) {
        case 0:
            op = ConfigWriteOperation(core, {});
            break;
        case 1:
            op = ConfigReadOperation(core, {true, {}, false, false});
            break;
        case 2:
            op = ConfigVerifyOperation(core);
            break;
        case 3:
            op = EepromDumpOperation(core, {Scratch() + "dump.bin", true, false});
            break;
        case 4:
            op = EepromFormatOperation(core, {Scratch() + "dump.bin"});
            break;
        case 5:
            op = EepromRestoreOperation(core, {Scratch() + "restore.bin", false});
            break;
        case 6:
            core.Polling().flags = {true, true, true, true, true};
            op = PollingOperation(core, {});
            break;
        case 7:
            core.Document().New();
            op = TuningLogReadOperation(core, {});
            break;
        case 8:
            op = EventLogReadOperation(core);
            break;
        case 9:
            op = InfoOperation(core);
            break;
        default:
            op = ProcedureOperation(core, {TProcedure::MeterDiagnosis, false});
            break;
    }
    core.Operations().Start(std::move(op));
    // While the input lasts, and then until it has ended on the silent line.
    int t = 0;
    for (; t < 40000 && seen.count == 0; ++t) {
        if (in.Empty() && t > 400 && core.Operations().BackgroundBusy())
            core.Operations().CancelBackground("enough");
        core.Tick();
        // Once the line is silent only the time-outs are left to come: larger
        // steps of the clock reach them in fewer ticks.
        clock.Advance(in.Empty() ? 10 * link::kExchangeTickMs : link::kExchangeTickMs);
    }
    // Exactly one outcome, and nothing left running.
    Check(seen.count == 1);
    Check(core.Operations().Idle());
    return 0;
}
