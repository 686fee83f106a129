#pragma once
// Power diagnosis and tuning as far as the board's answers go: what a start
// answer means, and the status read that follows a started procedure.

#include <cstdint>
#include <string>

#include "commands/BoardEvents.h"
#include "commands/Session.h"

namespace orvan::features {

// The power-meter view text of a start answer; empty when the board started
// the procedure.
std::string StartAnswerRefusal(std::uint8_t type, std::uint8_t status);

class IPowerProcedureView {
  public:
    virtual ~IPowerProcedureView() = default;
    // text: "Executing..." when started (its first status read is then
    // queued already), the refusal otherwise.
    virtual void OnProcedureAnswer(std::uint8_t /*type*/, std::uint8_t /*status*/,
                                   const std::string& /*text*/, bool /*started*/) {}
};

class TPowerProcedures : public commands::IProcedureView {
  public:
    explicit TPowerProcedures(commands::TSession& session) : session_(session) {}

    commands::TFanout<IPowerProcedureView>& Views() { return views_; }

    // --- state -----------------------------------------------------------
    std::uint8_t procedureType = 0;  // the start request last answered
    bool procedureStarted = false;

    // Board events.
    void OnStartAnswer(std::uint8_t type, std::uint8_t status) override;

  private:
    commands::TSession& session_;
    commands::TFanout<IPowerProcedureView> views_;
};

}  // namespace orvan::features
