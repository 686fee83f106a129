#pragma once
// The core, with its transfer controller, on the simulator behind an
// in-memory port, ticked on a fake clock; the board events go to a recording
// view and to the controller.

#include <optional>
#include <vector>

#include "SimLink.h"
#include "features/ConfigTransfer.h"
#include "support/TempDir.h"

namespace orvan::test {

class TransferRecorder : public features::ITransferListener {
  public:
    void OnTransferProgress(features::TTransferOp, features::TTransferPhase phase, int done,
                            int total) override {
        progress.push_back({phase, done, total});
        if (onProgress) onProgress(phase, done);
    }
    void OnTransferFinished(const features::TTransferOutcome& o) override { outcomes.push_back(o); }
    struct Step {
        features::TTransferPhase phase;
        int done, total;
    };
    std::vector<Step> progress;
    std::vector<features::TTransferOutcome> outcomes;
    std::function<void(features::TTransferPhase, int)> onProgress;
};

struct TransferRig {
    sim::TBoardModel model;
    link::ManualClock clock;
    SimPort port{model};
    RecordingView view;
    features::TSupervisorCore core{port, clock, view};
    link::TComProtocol& protocol = core.Protocol();
    commands::TBoardEvents& events = core.Events();
    commands::TSession& session = core.Session();
    commands::TSessionCycle& cycle = core.SessionCycle();
    config::TCfgWelderRW& record = core.Record();
    TransferRecorder listener;
    features::TConfigTransfer& transfer = core.Transfer();
    TempDir dir;
    std::string backups = dir.File("backups");

    TransferRig() {
        view.session = &session;
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
        events.Subscribe(view);
        core.Logs().Views().Add(view);
        transfer.SetListener(&listener);
        transfer.SetBackupDir(backups);
        // 2026-12-08 04:19:00 UTC, one second later for every backup.
        transfer.now = [this] {
            return features::TBackupClock::from_time_t(1796703540 + seconds++);
        };
    }
    // Ticks until the running operation has reported its end (the exchange
    // going idle first is reported to the controller as the window would).
    const features::TTransferOutcome& Run(int limit = 20000) {
        const std::size_t before = listener.outcomes.size();
        for (int n = 0; n < limit && listener.outcomes.size() == before; ++n) {
            core.Tick();
            clock.Advance(30);
        }
        static const features::TTransferOutcome none{};
        return listener.outcomes.size() > before ? listener.outcomes.back() : none;
    }
    // Lets the rest of the exchange (a tuning-log read) drain.
    void Drain() {
        for (int n = 0; n < 20000 && !cycle.Idle(); ++n) {
            cycle.Tick();
            clock.Advance(30);
        }
    }
    std::vector<std::vector<std::uint8_t>> Bodies(std::uint8_t type) const {
        std::vector<std::vector<std::uint8_t>> r;
        for (const auto& b : port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
    std::int64_t seconds = 0;
};

inline void SetRaw(config::TWelderCfgBlank& c, const char* key, std::int32_t v) {
    const config::TFieldInfo* f = config::FindField(key);
    if (f == nullptr) std::abort();
    f->setRaw(c, f->index, v);
}

}  // namespace orvan::test
