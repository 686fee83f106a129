#pragma once
// The rig of the fault matrix: the core on the simulated board behind an
// in-memory port that injects one fault at a chosen request, ticked on the
// manual clock, with every feature's outcome heard in one place. A row of
// the matrix starts its sequence on this rig.

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "boardsim/SimPort.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/MemoryMap.h"
#include "link/TickDriver.h"
#include "support/TempDir.h"

namespace orvan::test {

enum class TFaultKind : std::uint8_t {
    None,
    NoAnswer,   // from the chosen request on, nothing comes back
    Late,       // the chosen request's answer comes after the receive time-out
    Babble,     // from the chosen request on, endless random bytes on the line
    Garbage,    // the chosen request's answer replaced by random bytes
    Truncated,  // the chosen request's answer cut short
    Refusal,    // the chosen request refused with an error code (not carried out)
    Vanish,     // the device goes away at the chosen request
};

struct TFault {
    TFaultKind kind = TFaultKind::None;
    std::uint8_t code = 0;  // Refusal
    std::string Label() const;
};

// Longer than the engine's receive time-out, so the answer comes too late.
inline constexpr std::int64_t kLateMs = 4000;
// The simulated board behind an in-memory port, with one fault injected at a
// chosen request (counted from 0 since the port was made).
class TFaultyPort : public link::ISerialPort {
  public:
    TFaultyPort(sim::TBoardModel& model, const link::ManualClock& clock)
        : board_(model), clock_(clock) {}

    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        if (!lost_.empty()) return;
        const std::size_t before = board_.bodies.size();
        const bool strike = Strikes();
        if (strike && fault_.kind == TFaultKind::Refusal) board_.forceError = fault_.code;
        board_.WriteBytes(data, count);
        board_.forceError = 0;
        std::vector<std::uint8_t> answer(static_cast<std::size_t>(board_.BytesWaiting()));
        if (!answer.empty())
            (void)board_.ReadBytes(answer.data(), static_cast<std::int32_t>(answer.size()));
        if (board_.bodies.size() == before) {
            Queue(std::move(answer), 0);
            return;
        }
        requests += board_.bodies.size() - before;
        if (!strike) {
            Queue(std::move(answer), 0);
            return;
        }
        switch (fault_.kind) {
            case TFaultKind::None:
            case TFaultKind::Refusal:
                Queue(std::move(answer), 0);
                break;
            case TFaultKind::NoAnswer:
                break;
            case TFaultKind::Late:
                Queue(std::move(answer), kLateMs);
                break;
            case TFaultKind::Babble:
                babbling_ = true;
                break;
            case TFaultKind::Garbage:
                for (std::uint8_t& b : answer) b = static_cast<std::uint8_t>(random_());
                Queue(std::move(answer), 0);
                break;
            case TFaultKind::Truncated:
                answer.resize(answer.size() / 2);
                Queue(std::move(answer), 0);
                break;
            case TFaultKind::Vanish:
                lost_ = "the device was removed (" + fault_.Label() + ")";
                break;
        }
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        if (!lost_.empty() || count <= 0) return 0;
        if (babbling_) {
            for (std::int32_t i = 0; i < count; ++i) dest[i] = static_cast<std::uint8_t>(random_());
            return count;
        }
        std::int32_t n = 0;
        while (n < count && !pending_.empty() && pending_.front().at <= clock_.MonotonicMs()) {
            dest[n++] = pending_.front().byte;
            pending_.pop_front();
        }
        return n;
    }
    std::int32_t BytesWaiting() override {
        if (!lost_.empty()) return 0;
        if (babbling_) return 64;
        std::int32_t n = 0;
        for (const Byte& b : pending_) {
            if (b.at > clock_.MonotonicMs()) break;
            ++n;
        }
        return n;
    }
    void ClosePort() override {}
    std::string LostReason() const override { return lost_; }

    // The fault strikes at request `at` (and on, for the lasting faults).
    void Arm(const TFault& fault, std::size_t at) {
        fault_ = fault;
        strikeAt_ = at;
    }
    // The line is sound again (the adapter plugged back in); an answer that
    // is late still comes.
    void Heal() {
        fault_ = {};
        babbling_ = false;
        lost_.clear();
    }

    std::size_t requests = 0;

  private:
    struct Byte {
        std::int64_t at;
        std::uint8_t byte;
    };
    bool Strikes() const {
        if (fault_.kind == TFaultKind::None) return false;
        const bool lasting =
            fault_.kind == TFaultKind::NoAnswer || fault_.kind == TFaultKind::Babble;
        return lasting ? requests >= strikeAt_ : requests == strikeAt_;
    }
    void Queue(std::vector<std::uint8_t> bytes, std::int64_t delayMs) {
        // Bytes leave in order: a late answer holds back what follows it.
        std::int64_t at = clock_.MonotonicMs() + delayMs;
        if (!pending_.empty()) at = std::max(at, pending_.back().at);
        for (std::uint8_t b : bytes) pending_.push_back({at, b});
    }

    sim::TSimPort board_;
    const link::ManualClock& clock_;
    TFault fault_;
    std::size_t strikeAt_ = 0;
    bool babbling_ = false;
    std::string lost_;
    std::deque<Byte> pending_;
    std::minstd_rand random_{17};
};

// The core on the faulty port; it hears the one outcome of every operation
// and answers its questions.
struct TMatrixRig : features::IOperationView, commands::INotifier, link::IExchangeListener {
    sim::TBoardModel model;
    link::ManualClock clock;
    TFaultyPort port{model, clock};
    TempDir dir;
    features::TSupervisorCore core{port, clock, *this, this};

    bool ended = false;
    bool completed = false;
    std::string told;    // what the user was told
    bool asked = false;  // it ended refused at a question the user said no to
    bool answerYes = false;
    std::string linkState;
    int boxes = 0;
    int files = 0;
    std::string lastDump;
    std::string restoreSource;
    std::array<std::uint8_t, link::kEepromSize> original{};

    TMatrixRig() {
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
        original = model.Eeprom();
        core.Operations().SetBackupDir(dir.File("backups"));
        core.Attach(*this);
        std::filesystem::create_directories(dir.Path() / "dumps");
        // A dump of this board with a few bytes of its free memory changed.
        std::array<std::uint8_t, link::kEepromSize> source = original;
        for (std::size_t i = 1016; i < 1024; ++i) source[i] = static_cast<std::uint8_t>(0x50 + i);
        restoreSource = dir.File("restore-source.bin");
        std::ofstream(restoreSource, std::ios::binary)
            .write(reinterpret_cast<const char*>(source.data()), source.size());
    }
    ~TMatrixRig() override { core.Detach(*this); }
    std::string NewDumpPath() {
        lastDump = (dir.Path() / "dumps" / ("dump-" + std::to_string(++files) + ".bin")).string();
        return lastDump;
    }
    // Starts an operation; "" when it started.
    std::string Start(std::unique_ptr<features::TOperation> op) {
        ended = completed = asked = false;
        told.clear();
        if (core.Operations().Start(std::move(op))) return {};
        return "did not start: " + told;
    }
    void Tick() {
        core.Tick();
        clock.Advance(link::kExchangeTickMs);
    }

    void OnOperationQuestion(const features::TQuestion&) override {
        if (!answerYes) asked = true;
        core.Operations().Answer(answerYes);
    }
    void OnOperationFinished(const features::TOperationOutcome& o) override {
        if (ended) return;
        ended = true;
        completed = o.Completed();
        told = o.message;
    }
    void ShowRefusal(std::string_view, std::string_view) override { ++boxes; }
    void ShowMissingAck(std::string_view, std::string_view) override { ++boxes; }
    void OnLinkState(std::string_view text) override { linkState = text; }
    void OnTxLog(const std::string&) override {}
    void OnRxLog(const std::string&) override {}
    void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
    void OnRxTimeout() override {}
    void OnPortLost(const std::string& why) override { linkState = why; }
};

}  // namespace orvan::test
