#pragma once
// The operation rig with direct names for the engine's parts and a recorder
// of the configuration transfers, for tests that look below the operations.

#include <functional>
#include <vector>

#include "OperationRig.h"
#include "features/ConfigOperations.h"
#include "features/ConfigTransfer.h"

namespace orvan::test {

class TransferRecorder : public features::ITransferListener {
  public:
    void OnTransferProgress(features::TTransferOp, features::TTransferPhase phase, int done,
                            int total) override {
        progress.push_back({phase, done, total});
    }
    void OnTransferFinished(const features::TTransferOutcome& o) override { outcomes.push_back(o); }
    struct Step {
        features::TTransferPhase phase;
        int done, total;
    };
    std::vector<Step> progress;
    std::vector<features::TTransferOutcome> outcomes;
};

struct TransferRig : OperationRig {
    link::TComProtocol& protocol = core.Engine().protocol;
    commands::TBoardEvents& events = core.Events();
    commands::TSession& session = core.Engine().session;
    commands::TSessionCycle& cycle = core.Engine().cycle;
    config::TCfgWelderRW& record = core.Engine().record;
    features::TConfigTransfer& transfer = core.Transfer();
    TransferRecorder listener;

    TransferRig() { core.Attach(listener); }
    // The configuration write as every front end starts it.
    features::TOperationOutcome Write(features::TConfigWriteRequest r = {}) {
        return Run(features::ConfigWriteOperation(core, std::move(r)));
    }
    features::TOperationOutcome Read(bool thenTuningLog = true) {
        return Run(features::ConfigReadOperation(core, {thenTuningLog, {}, false, false}));
    }
};

inline void SetRaw(config::TWelderCfgBlank& c, const char* key, std::int32_t v) {
    const config::TFieldInfo* f = config::FindField(key);
    if (f == nullptr) std::abort();
    f->setRaw(c, f->index, v);
}

}  // namespace orvan::test
