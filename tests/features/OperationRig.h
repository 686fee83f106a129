#pragma once
// The core on the simulated board behind an in-memory port, ticked on a fake
// clock, with a recorder of what the operations tell their front ends.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimLink.h"
#include "features/Operation.h"
#include "support/TempDir.h"

#include <algorithm>
#include <array>

namespace orvan::test {

class OperationRecorder : public features::IOperationView {
  public:
    explicit OperationRecorder(features::TOperations& ops) : ops_(ops) {}
    void OnOperationProgress(const features::TProgress& p) override {
        progress.push_back(p);
        if (onProgress) onProgress(p);
    }
    void OnOperationQuestion(const features::TQuestion& q) override {
        questions.push_back(q);
        if (answer) ops_.Answer(*answer);
    }
    void OnOperationFinished(const features::TOperationOutcome& o) override {
        outcomes.push_back(o);
    }
    // The answer given to every question (none: questions stay open).
    std::optional<bool> answer = true;
    std::vector<features::TProgress> progress;
    std::vector<features::TQuestion> questions;
    std::vector<features::TOperationOutcome> outcomes;
    std::function<void(const features::TProgress&)> onProgress;

  private:
    features::TOperations& ops_;
};

struct OperationRig {
    sim::TBoardModel model;
    link::ManualClock clock;
    SimPort port{model};
    RecordingView view;
    features::TSupervisorCore core{port, clock, view};
    OperationRecorder rec{core.Operations()};
    TempDir dir;
    std::string backups = dir.File("backups");
    std::int64_t seconds = 0;

    // The board's configuration image (EEPROM 16..399).
    std::array<std::uint8_t, 384> BoardImage() const {
        std::array<std::uint8_t, 384> img{};
        std::copy_n(model.Eeprom().begin() + 16, 384, img.begin());
        return img;
    }

    OperationRig() {
        view.session = &core.Engine().session;
        model.nowMs = [this] { return clock.MonotonicMs(); };
        model.Eeprom() = sim::DefaultEeprom();
        core.Attach(view);
        core.Attach(rec);
        core.Operations().SetBackupDir(backups);
        // 2026-12-08 04:19:00 UTC, one second later for every backup.
        core.backupNow = [this] {
            return features::TBackupClock::from_time_t(1796703540 + seconds++);
        };
    }
    OperationRig(const OperationRig&) = delete;
    OperationRig& operator=(const OperationRig&) = delete;

    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            core.Tick();
            clock.Advance(30);
        }
    }
    // Starts `op` and ticks until its outcome (or `limit` ticks).
    features::TOperationOutcome Run(std::unique_ptr<features::TOperation> op, int limit = 20000) {
        const std::size_t before = rec.outcomes.size();
        core.Operations().Start(std::move(op));
        for (int n = 0; n < limit && rec.outcomes.size() == before; ++n) Tick();
        if (rec.outcomes.size() == before) {
            features::TOperationOutcome none;
            none.message = "no outcome";
            return none;
        }
        return rec.outcomes.back();
    }
    // Lets what an operation left queued (a tuning-log read) drain.
    void Drain() {
        for (int n = 0; n < 20000 && !core.Idle(); ++n) Tick();
    }
    // Starts `op`; true when it started (its outcome may come later).
    bool Start(std::unique_ptr<features::TOperation> op) {
        return core.Operations().Start(std::move(op));
    }
    // Ticks until the next outcome.
    features::TOperationOutcome Finish(int limit = 20000) {
        const std::size_t before = rec.outcomes.size();
        for (int n = 0; n < limit && rec.outcomes.size() == before; ++n) Tick();
        if (rec.outcomes.size() == before) return {};
        return rec.outcomes.back();
    }
    config::TCfgWelderRW& Record() { return core.Engine().record; }
    std::vector<std::vector<std::uint8_t>> Bodies(std::uint8_t type) const {
        std::vector<std::vector<std::uint8_t>> r;
        for (const auto& b : port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
};

}  // namespace orvan::test
