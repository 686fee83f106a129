#include "cli/CliLine.h"

#include <cstdio>

#include "config/AtomicFile.h"
#include "link/TickDriver.h"

namespace orvan::cli {

TLineOptions::TLineOptions(const Options& opt, features::TSupervisorCore& core,
                           link::TLinkPort& port, const link::IClock& clock)
    : core_(core), port_(port), captureFile_(opt.capture) {
    core_.SetFastMode(opt.fast);
    if (!captureFile_.empty()) {
        capture_ = std::make_unique<link::TLineCapture>(clock);
        core_.Protocol().SetTap(capture_.get());
    }
}

TLineOptions::~TLineOptions() {
    if (capture_) {
        (void)WriteCapture();
        core_.Protocol().SetTap(nullptr);
    }
}

std::int64_t TLineOptions::Run(const std::function<bool()>& tick, std::int64_t limitMs) {
    if (!core_.FastMode()) return link::RunTicks(tick, link::kExchangeTickMs, limitMs);
    link::TReadableWake wake;
    wake.fd = port_.Descriptor();
    wake.readable = tick;
    return link::RunTicks(tick, link::kExchangeTickMs, limitMs, &wake);
}

bool TLineOptions::WriteCapture() {
    if (!capture_ || written_) return true;
    written_ = true;
    capture_->Flush();
    const auto r = config::SaveFileAtomically(captureFile_, capture_->Text());
    if (!r) {
        std::fprintf(stderr, "orvan-cli: capture not written: %s\n", r.error.c_str());
        return false;
    }
    return true;
}

}  // namespace orvan::cli
