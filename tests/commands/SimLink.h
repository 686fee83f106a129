#pragma once
// The simulated board behind an in-memory port, and a recording view: the
// core's sequences run against it tick by tick on a fake clock.

#include <string>
#include <vector>

#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "boardsim/SimPort.h"
#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "commands/SessionCycle.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"

namespace orvan::test {

using SimPort = sim::TSimPort;

class RecordingView : public commands::IBoardView,
                      public commands::INotifier,
                      public features::IEepromView,
                      public features::IWelderLogView,
                      public features::IEventLogView,
                      public features::IFlangingView,
                      public features::IPowerProcedureView {
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
    void OnProcedureAnswer(std::uint8_t, std::uint8_t, const std::string& text,
                           bool started) override {
        pmView = text;
        this->started = started;
    }
    void OnMemoryRows(const std::vector<commands::MemoryRow>& r) override {
        rawRows.insert(rawRows.end(), r.begin(), r.end());
    }
    void OnEepromDumpRows(const std::vector<commands::MemoryRow>& r) override {
        dumpRows.insert(dumpRows.end(), r.begin(), r.end());
    }
    void OnConfigUploadProgress(std::uint8_t n) override { uploadChunks = n; }
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>&) override { ++configComplete; }
    void OnTuningLogRead(const features::TSequenceOutcome& o,
                         const std::array<std::uint8_t, 320>&) override {
        Outcome("tuning log", o);
        if (o.completed) ++tuningComplete;
    }
    void OnEventLogRead(const features::TSequenceOutcome& o,
                        const features::TEventLogDecode& log) override {
        Outcome("event log", o);
        if (o.completed) eventLog = log;
    }
    void OnFlangingProfiles(const std::vector<features::FlangingProfileRow>& r) override {
        profiles = r;
    }
    void OnFlangingProfilesRead(const features::TSequenceOutcome& o) override {
        Outcome("flanging", o);
    }
    void OnDownloadProgress(std::uint8_t n) override { downloadBlocks = n; }
    void OnDownloadComplete() override { ++downloadComplete; }
    void OnEepromFormatFinished(const features::TSequenceOutcome& o) override {
        Outcome("format", o);
        if (o.completed) ++formatComplete;
    }
    void OnEepromDumpFinished(const features::TSequenceOutcome& o) override { Outcome("dump", o); }
    void Outcome(const std::string& what, const features::TSequenceOutcome& o) {
        outcomes.push_back({what, o});
    }
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override {
        stopped.push_back({s, purpose, why});
    }
    void OnStopPolling() override { ++pollingStopped; }
    void OnAnswerIgnored(const std::string& why) override { ignored.push_back(why); }
    void OnUndecodedVariable(std::uint16_t code, std::span<const std::uint8_t> bytes) override {
        undecoded.push_back({code, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> undecoded;
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
    features::TEventLogDecode eventLog;
    std::vector<features::FlangingProfileRow> profiles;
    // Every feature sequence's end, in order.
    std::vector<std::pair<std::string, features::TSequenceOutcome>> outcomes;
    std::vector<Stop> stopped;
    std::vector<Box> boxes;
    bool pausedDuringBox = false;
};

// Board, port and the core on a fake clock.
struct SimRig {
    sim::TBoardModel model;
    link::ManualClock clock;
    SimPort port{model};
    RecordingView view;
    features::TSupervisorCore core{port, clock, view};
    link::TComProtocol& protocol = core.Engine().protocol;
    commands::TBoardEvents& events = core.Events();
    commands::TSession& session = core.Engine().session;
    commands::TSessionCycle& cycle = core.Engine().cycle;

    SimRig() {
        core.Attach(view);
        view.session = &session;
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
    }
    // Ticks (30 ms each) until nothing is queued or in flight; returns ticks run.
    int Run(int limit = 20000) {
        int n = 0;
        do {
            core.Tick();
            clock.Advance(30);
        } while (!core.Idle() && ++n < limit);
        return n;
    }
};

}  // namespace orvan::test
