#include "cli/CliRunner.h"

#include <cstdio>

#include "link/TickDriver.h"

namespace orvan::cli {

TToolRunner::~TToolRunner() {
    // The core goes before the port it talks to.
    line_.reset();
    core_.reset();
    port_.ClosePort();
}

int TToolRunner::Open(const Options& opt) {
    quiet_ = opt.quiet;
    const std::int32_t rc = port_.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        std::fprintf(stderr, "orvan-cli: %s: %s\n", opt.device.c_str(),
                     port_.OpenErrorText(rc).c_str());
        return 1;
    }
    core_ = std::make_unique<features::TSupervisorCore>(
        port_, clock_, static_cast<commands::INotifier&>(*this),
        static_cast<link::IExchangeListener*>(this));
    core_->Events().Subscribe(static_cast<commands::ILinkView&>(*this));
    core_->Events().Subscribe(static_cast<commands::IStatusView&>(*this));
    line_ = std::make_unique<TLineOptions>(opt, *core_, port_, clock_);
    return 0;
}

bool TToolRunner::RunUntil(const std::function<bool()>& done, std::int64_t limitMs) {
    bool held = done();
    if (held) return true;
    line_->Run(
        [&] {
            core_->Tick();
            held = done();
            return !held && !(core_->Idle() && timedOut_);
        },
        limitMs);
    return held;
}

int TToolRunner::RunUntilIdle(std::int64_t limitMs) {
    line_->Run(
        [&] {
            core_->Tick();
            return !core_->Idle();
        },
        limitMs);
    if (!refusals_.empty()) {
        std::fprintf(stderr, "orvan-cli: %s\n", refusals_.front().c_str());
        return 1;
    }
    if (timedOut_) {
        const std::string lost = port_.LostReason();
        std::fprintf(stderr, "orvan-cli: no answer from the board (%s)\n",
                     lost.empty() ? "RX TimeOut" : ("Port lost: " + lost).c_str());
        return 1;
    }
    if (!core_->Idle()) {
        std::fprintf(stderr, "orvan-cli: the exchange did not finish within %lld ms\n",
                     static_cast<long long>(limitMs));
        return 1;
    }
    return 0;
}

std::string TToolRunner::IgnoredNote() const {
    return ignored_.empty() ? std::string() : ": " + ignored_.front();
}

void TToolRunner::ShowRefusal(std::string_view, std::string_view text) {
    refusals_.push_back("refused by the board: " + std::string(text));
}

void TToolRunner::ShowMissingAck(std::string_view, std::string_view text) {
    refusals_.push_back("corrupted answer from the board (" + std::string(text) + ")");
}

}  // namespace orvan::cli
