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
    core.Transfer().SetBackupDir(Scratch() + "backups");
    std::filesystem::remove(Scratch() + "dump.bin");

    bool polling = false;
    switch (data[0] % 11) {
        case 0:
            (void)core.Transfer().Write();
            break;
        case 1:
            (void)core.Transfer().Read(true);
            break;
        case 2:
            (void)core.Transfer().Verify();
            break;
        case 3:
            (void)core.EepromManager().Dump(Scratch() + "dump.bin");
            break;
        case 4:
            (void)core.EepromManager().Format(Scratch() + "dump.bin");
            break;
        case 5:
            (void)core.EepromManager().Restore(Scratch() + "restore.bin");
            break;
        case 6:
            core.Polling().flags = {true, true, true, true, true};
            core.Polling().Start();
            polling = true;
            break;
        case 7:
            (void)core.Logs().StartTuningLogRead();
            break;
        case 8:
            (void)core.EventLog().StartEventLogRead();
            break;
        case 9:
            core.Session().RequestHardwareInfo();
            break;
        default:
            (void)core.Flanging().StartFlangingProfilesRead((data[0] & 0x80) != 0);
            break;
    }
    // While the input lasts, and then until everything has ended on the
    // silent line; a restore that asks about another serial number is told no.
    int t = 0;
    for (; t < 40000; ++t) {
        if (polling && t % 5 == 0) core.Polling().RefreshTick();
        if (polling && in.Empty() && t > 400) {
            core.Polling().Stop(features::TPollStop::User);
            polling = false;
        }
        core.Tick();
        // Once the line is silent only the time-outs are left to come: larger
        // steps of the clock reach them in fewer ticks.
        clock.Advance(in.Empty() ? 10 * link::kExchangeTickMs : link::kExchangeTickMs);
        core.EepromManager().ContinueRestore(false);
        if (in.Empty() && !polling && core.Idle() && !core.Transfer().Busy() &&
            !core.EepromManager().Busy())
            break;
    }
    Check(core.Idle());
    Check(!core.Transfer().Busy());
    Check(!core.EepromManager().Busy());
    return 0;
}
