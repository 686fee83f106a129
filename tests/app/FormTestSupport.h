#pragma once
// Shared pieces of the window tests: the simulated board in the test's own
// thread, with the window stepped tick by tick on a manual clock, and an
// event pump for the few end-to-end tests on a pseudo-terminal.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>
#include <memory>
#include <string>

#include "app/MainForm.h"
#include "boardsim/BoardModel.h"
#include "boardsim/PtyBoard.h"
#include "boardsim/SimPort.h"
#include "link/Clock.h"

// Real-time waiting: only for the end-to-end tests on a pseudo-terminal.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs) {
    QDeadlineTimer until(limitMs);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done()) return true;
        QThread::msleep(2);
    }
    return done();
}

// The board model behind an in-memory port, and the manual clock the window
// runs on: nothing moves until the test steps the exchange.
struct TInProcessBoard {
    orvan::sim::TBoardModel model;
    orvan::link::ManualClock clock;
    orvan::sim::TSimPort port{model};
    orvan::sim::BoardFaults unusedFaults;

    TInProcessBoard() {
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = orvan::sim::DefaultEeprom();
    }
    void Connect(orvan::app::TStartOptions& o) {
        o.port = &port;
        o.clock = &clock;
        o.lineNote = "Simulated board in memory";
    }
    // The board of one of the simulator's machines.
    void Become(const orvan::sim::TMachinePreset& p) {
        model.boardType = p.boardType;
        model.firmware = p.firmware;
        model.protocol = p.protocol;
    }
    // A window on this board with its settings (kept as they are) in
    // `folder`, started and asked for the board's identity, not yet answered.
    std::unique_ptr<orvan::app::TMainForm> StartWindow(const std::string& folder,
                                                       orvan::app::IDialogs& dialogs,
                                                       const std::string& backups = {}) {
        orvan::app::TStartOptions o;
        o.settingsDirectory = folder + "/";
        o.backupDirectory = backups;
        o.keepSettingsFile = true;
        Connect(o);
        auto form = std::make_unique<orvan::app::TMainForm>(o);
        form->SetDialogs(&dialogs);
        form->FormActivate();
        form->Act_COMReqHWInfoExecute();
        return form;
    }
    // As the pseudo-terminal board offers it (the faults are those of the port).
    template <typename F>
    void WithModel(F&& f) {
        f(model, unusedFaults);
    }
};

// Exchange ticks (30 ms of the manual clock each), with the window's queued
// work handled after each, until done() holds or maxTicks ran.
inline bool StepUntil(orvan::app::TMainForm& f, orvan::link::ManualClock& clock,
                      const std::function<bool()>& done, int maxTicks = 5000) {
    for (int i = 0; i < maxTicks; ++i) {
        if (done()) return true;
        f.TmrGestCOMCMDTimer();
        clock.Advance(orvan::app::TMainForm::kExchangeIntervalMs);
        QCoreApplication::processEvents();
    }
    return done();
}

// Nothing runs in front of the window (status polling may run beside) and
// nothing is queued or in flight.
inline bool Settled(const orvan::app::TMainForm& f) {
    return !f.Core()->Operations().Busy() && f.Core()->Idle();
}

// The core's engine, for tests that put requests on the line themselves or
// set the record as a board would have left it.
inline orvan::features::TSupervisorCore::TEngine Engine(orvan::app::TMainForm& f) {
    return f.Core()->Engine();
}
