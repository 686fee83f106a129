#pragma once
// The line options every board command shares: fast exchange (--fast) and
// the traffic capture (--capture FILE). One of these is made right after the
// core; it runs the exchange and, when it goes, writes the capture, whether
// the command worked or not (a failed one is what a capture is wanted for).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/Cli.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/LineCapture.h"
#include "link/LinkPort.h"

namespace orvan::cli {

class TLineOptions {
  public:
    TLineOptions(const Options& opt, features::TSupervisorCore& core, link::TLinkPort& port,
                 const link::IClock& clock);
    ~TLineOptions();
    TLineOptions(const TLineOptions&) = delete;
    TLineOptions& operator=(const TLineOptions&) = delete;

    // link::RunTicks on the 30 ms schedule; in fast exchange the port's bytes
    // are taken as they arrive, between the ticks.
    std::int64_t Run(const std::function<bool()>& tick, std::int64_t limitMs);
    // Writes the capture now (also done when this goes); false with the
    // reason printed.
    bool WriteCapture();

  private:
    features::TSupervisorCore& core_;
    link::TLinkPort& port_;
    std::string captureFile_;
    std::unique_ptr<link::TLineCapture> capture_;
    bool written_ = false;
};

}  // namespace orvan::cli
