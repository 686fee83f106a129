#pragma once
// The benchmarks start the core's operations as the front ends do and wait
// for their one outcome.

#include <memory>
#include <string_view>

#include "features/Operation.h"
#include "features/SupervisorCore.h"

namespace orvan::bench {

// The message boxes answered by nobody, and the outcomes counted.
class TOutcomes : public commands::INotifier, public features::IOperationView {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
    void OnOperationFinished(const features::TOperationOutcome& o) override {
        ++finished;
        last = o;
    }
    int finished = 0;
    features::TOperationOutcome last;
};

}  // namespace orvan::bench
