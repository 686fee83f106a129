#pragma once
// Status polling on a session whose board is the simulator behind an
// in-memory port, ticked on a fake clock: the exchange every 30 ms, the
// status timer every 150 ms, as the window and orvan-cli run them.

#include <vector>

#include "SimLink.h"
#include "config/Cfgwelderrw.h"
#include "features/StatusPolling.h"

namespace orvan::test {

class PollingRecorder : public features::IStatusPollingView {
  public:
    void OnPollingChanged(bool running, features::TPollStop why) override {
        changes.push_back({running, why});
    }
    void OnIoDisplay(const commands::IoStatusWords& w) override { io.push_back(w); }
    void OnAnomalyDisplay(std::uint32_t bits) override { anomalies.push_back(bits); }
    void OnAnalogDisplay(const features::TAnalogDisplay& d) override { analog.push_back(d); }
    void OnPowerDisplay(const features::TPowerDisplay& d) override { power.push_back(d); }
    void OnSourceTime(std::uint32_t, const std::string& s, const std::string& h) override {
        seconds = s;
        hours = h;
    }
    void OnCycleComplete(const features::TStatusSnapshot& s) override { cycles.push_back(s); }

    struct Change {
        bool running;
        features::TPollStop why;
    };
    std::vector<Change> changes;
    std::vector<commands::IoStatusWords> io;
    std::vector<std::uint32_t> anomalies;
    std::vector<features::TAnalogDisplay> analog;
    std::vector<features::TPowerDisplay> power;
    std::string seconds, hours;
    std::vector<features::TStatusSnapshot> cycles;
};

struct StatusRig {
    sim::TBoardModel model;
    link::ManualClock clock;
    SimPort port{model};
    RecordingView view;
    features::TSupervisorCore core{port, clock, view};
    link::TComProtocol& protocol = core.Engine().protocol;
    commands::TBoardEvents& events = core.Events();
    commands::TSession& session = core.Engine().session;
    commands::TSessionCycle& cycle = core.Engine().cycle;
    config::TCfgWelderRW& record = core.Engine().record;
    features::TStatusPolling& polling = core.Polling();
    PollingRecorder shown;
    int ticks = 0;

    StatusRig() {
        view.session = &session;
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
        core.Attach(view);
        core.Attach(shown);
    }
    // The board answers these analog words (answer order, not channel order).
    void SetAnalogWords(std::array<std::uint16_t, 6> w) {
        sim::Variable& v = model.Variables()[0x0201];
        v.onRead = nullptr;
        v.value.clear();
        for (std::uint16_t x : w) {
            v.value.push_back(static_cast<std::uint8_t>(x));
            v.value.push_back(static_cast<std::uint8_t>(x >> 8));
        }
    }
    // Runs `n` exchange ticks with the status timer firing every fifth.
    void Tick(int n) {
        for (int i = 0; i < n; ++i) {
            if (ticks++ % 5 == 0) polling.RefreshTick();
            core.Tick();
            clock.Advance(30);
        }
    }
    // Ticks the exchange alone until it is idle.
    void Drain() {
        for (int n = 0; n < 20000 && !core.Idle(); ++n) {
            core.Tick();
            clock.Advance(30);
        }
    }
    std::vector<std::vector<std::uint8_t>> Bodies(std::uint8_t type) const {
        std::vector<std::vector<std::uint8_t>> r;
        for (const auto& b : port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
};

}  // namespace orvan::test
