#pragma once
// The core on the serial device for one board-tool command: opened once,
// ticked on the 30 ms schedule until the exchange is idle, with the board's
// refusals and unusable answers kept to tell the user why a command failed.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliLine.h"
#include "commands/BoardView.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/ExchangeCycle.h"
#include "link/LinkPort.h"

namespace orvan::cli {

class TToolRunner : private commands::INotifier,
                    private commands::ILinkView,
                    private commands::IStatusView,
                    private link::IExchangeListener {
  public:
    TToolRunner() = default;
    TToolRunner(const TToolRunner&) = delete;
    TToolRunner& operator=(const TToolRunner&) = delete;
    ~TToolRunner();

    // Opens opt.device; 0, or 1 with the reason printed.
    int Open(const Options& opt);
    features::TSupervisorCore& Core() { return *core_; }

    // Ticks until nothing is queued or in flight (or `limitMs` passed).
    // 0, or 1 with the reason printed: the board refused, did not answer,
    // or the exchange did not settle.
    int RunUntilIdle(std::int64_t limitMs = 20000);
    // Ticks until `done` holds, the exchange stops, or `limitMs` passed;
    // true when `done` held.
    bool RunUntil(const std::function<bool()>& done, std::int64_t limitMs);

    const std::vector<std::string>& Refusals() const { return refusals_; }
    bool TimedOut() const { return timedOut_; }
    // ": why" of the first answer that could not be used, or "".
    std::string IgnoredNote() const;
    std::optional<std::uint32_t> LastSourceWorkTime() const { return workTime_; }
    bool Quiet() const { return quiet_; }

  private:
    void ShowRefusal(std::string_view caption, std::string_view text) override;
    void ShowMissingAck(std::string_view caption, std::string_view text) override;
    void OnAnswerIgnored(const std::string& why) override { ignored_.push_back(why); }
    // The line: only the time-out matters here.
    void OnLinkState(std::string_view) override {}
    void OnTxLog(const std::string&) override {}
    void OnRxLog(const std::string&) override {}
    void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
    void OnRxTimeout() override { timedOut_ = true; }
    void OnSourceWorkTime(std::uint32_t seconds) override { workTime_ = seconds; }

    link::TLinkPort port_;
    link::SystemClock clock_;
    std::unique_ptr<features::TSupervisorCore> core_;
    std::unique_ptr<TLineOptions> line_;
    std::vector<std::string> refusals_;
    std::vector<std::string> ignored_;
    std::optional<std::uint32_t> workTime_;
    bool timedOut_ = false;
    bool quiet_ = false;
};

// What a board-tool command does once the port is open.
using Plan = std::function<int(TToolRunner&)>;

// The EEPROM commands (CliEeprom.cpp): a plan, or nothing with the argument
// mistake printed.
std::optional<Plan> EepromPlan(const std::vector<std::string>& args);
std::string EepromUsage();
bool IsEepromCommand(const std::string& name);

// The machine-page commands (CliVariants.cpp).
std::optional<Plan> VariantPlan(const std::vector<std::string>& args);
std::string VariantUsage();
bool IsVariantCommand(const std::string& name);

}  // namespace orvan::cli
