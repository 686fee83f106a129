#pragma once
// The simulated board behind an in-memory port, and a recording view: the
// session's sequences run against it tick by tick on a fake clock.

#include <string>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "commands/SessionCycle.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

namespace orvan::test {

class SimPort : public link::ISerialPort {
  public:
    explicit SimPort(sim::TBoardModel& model) : model_(model) {}
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            std::vector<std::uint8_t> body;
            const auto v = framer_.Feed(data[i], body);
            if (v != sim::TRequestFramer::Verdict::Request) continue;
            bodies.push_back(body);
            if (silent) continue;
            const auto answer = model_.HandleRequest(body.data(), body.size());
            const auto wire = sim::FrameAnswerBytes(answer);
            input_.insert(input_.end(), wire.begin(), wire.end());
        }
    }
    std::int32_t ReadBytes(std::uint8_t* dest, std::int32_t count) override {
        const auto n =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)), input_.size());
        std::copy_n(input_.begin(), n, dest);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<std::int32_t>(n);
    }
    std::int32_t BytesWaiting() override { return static_cast<std::int32_t>(input_.size()); }
    void ClosePort() override {}
    std::string LostReason() const override { return lost; }

    bool silent = false;                            // requests taken, never answered
    std::string lost;                               // set: the device is gone
    std::vector<std::vector<std::uint8_t>> bodies;  // every request body received

  private:
    sim::TBoardModel& model_;
    sim::TRequestFramer framer_;
    std::vector<std::uint8_t> input_;
};

class RecordingView : public commands::IBoardView, public commands::INotifier {
  public:
    RecordingView() { events.Subscribe(*this); }
    RecordingView(const RecordingView&) = delete;
    RecordingView& operator=(const RecordingView&) = delete;
    void OnVariable(const commands::DecodedVariable& v) override { variables.push_back(v); }
    void OnSerialNumber(const std::string& t) override { serial = t; }
    void OnMachineNamesFile(const std::string& f) override { namesFiles.push_back(f); }
    void OnClockDate(int y, int m, int d, bool valid) override {
        date = {y, m, d};
        dateValid = valid;
    }
    void OnIoStatus(const commands::IoStatusWords& w) override { io = w; }
    void OnAnalogStatus(const std::array<std::uint16_t, 6>& c) override { analog = c; }
    void OnStartAnswer(std::uint8_t, std::uint8_t, const std::string& text, bool started) override {
        pmView = text;
        this->started = started;
    }
    void OnMemoryRows(const std::vector<commands::MemoryRow>& r, bool dump) override {
        for (const auto& row : r) (dump ? dumpRows : rawRows).push_back(row);
    }
    void OnConfigUploadProgress(std::uint8_t n) override { uploadChunks = n; }
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>&) override { ++configComplete; }
    void OnTuningLogComplete(const std::array<std::uint8_t, 320>&) override { ++tuningComplete; }
    void OnEventLogComplete(const std::vector<std::uint8_t>& b) override { eventLog = b; }
    void OnFlangingProfiles(const std::vector<commands::FlangingProfileRow>& r) override {
        profiles = r;
    }
    void OnDownloadProgress(std::uint8_t n) override { downloadBlocks = n; }
    void OnDownloadComplete() override { ++downloadComplete; }
    void OnEepromFormatComplete() override { ++formatComplete; }
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override {
        stopped.push_back({s, purpose, why});
    }
    void OnStopPolling() override { ++pollingStopped; }
    void OnAnswerIgnored(const std::string& why) override { ignored.push_back(why); }
    void OnLinkState(std::string_view t) override { linkState = std::string(t); }

    void ShowRefusal(std::string_view caption, std::string_view text) override {
        boxes.push_back({std::string(caption), std::string(text)});
        if (session) pausedDuringBox = session->ExchangePaused();
    }
    void ShowMissingAck(std::string_view caption, std::string_view text) override {
        boxes.push_back({std::string(caption), std::string(text)});
        if (session) pausedDuringBox = session->ExchangePaused();
    }

    struct Stop {
        commands::Sequence sequence;
        int purpose;
        std::string why;
    };
    struct Box {
        std::string caption, text;
    };
    // Events that reach this view alone (a session of its own).
    commands::TBoardEvents events;
    commands::TSession* session = nullptr;
    std::vector<commands::DecodedVariable> variables;
    std::vector<std::string> namesFiles, ignored;
    std::string serial, pmView, linkState;
    bool started = false;
    std::array<int, 3> date{};
    bool dateValid = false;
    commands::IoStatusWords io{};
    std::array<std::uint16_t, 6> analog{};
    std::vector<commands::MemoryRow> rawRows, dumpRows;
    std::uint8_t uploadChunks = 0, downloadBlocks = 0;
    int configComplete = 0, tuningComplete = 0, downloadComplete = 0, formatComplete = 0,
        pollingStopped = 0;
    std::vector<std::uint8_t> eventLog;
    std::vector<commands::FlangingProfileRow> profiles;
    std::vector<Stop> stopped;
    std::vector<Box> boxes;
    bool pausedDuringBox = false;
};

// Board, port, engine, session and cycle wired together.
struct SimRig {
    sim::TBoardModel model;
    link::ManualClock clock;
    SimPort port{model};
    link::TComProtocol protocol{port, clock};
    RecordingView view;
    commands::TBoardEvents events;
    commands::TSession session{protocol, events, view};
    commands::TSessionCycle cycle{session, clock};

    SimRig() {
        events.Subscribe(view);
        view.session = &session;
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
    }
    // Ticks (30 ms each) until nothing is queued or in flight; returns ticks run.
    int Run(int limit = 20000) {
        int n = 0;
        do {
            cycle.Tick();
            clock.Advance(30);
        } while (!cycle.Idle() && ++n < limit);
        return n;
    }
};

}  // namespace orvan::test
