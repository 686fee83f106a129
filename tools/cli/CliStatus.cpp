// orvan-cli status: the window's status polling on the command line, one
// line (or one JSON object) per completed poll cycle.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include "cli/Cli.h"
#include "cli/CliLine.h"
#include "features/SupervisorCore.h"
#include "link/ExchangeCycle.h"
#include "link/LinkPort.h"
#include "link/TickDriver.h"

namespace orvan::cli {

namespace {

using namespace orvan::commands;

constexpr int kMinIntervalMs = link::kExchangeTickMs;
constexpr int kMaxIntervalMs = 60000;
// The identity read before polling: a few answers, each bounded by the
// receive time-out.
constexpr std::int64_t kIdentityLimitMs = 20000;

struct StatusArgs {
    std::uint64_t count = 0;  // 0: until interrupted
    int intervalMs = features::kStatusIntervalMs;
    bool json = false;
};

bool ParseCount(const std::string& s, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end == s.c_str() || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// False with the reason printed.
bool ParseStatusArgs(const std::vector<std::string>& args, StatusArgs& out) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        long long v = 0;
        if (a == "--json") {
            out.json = true;
        } else if (a == "--count" || a == "--interval") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "orvan-cli: status %s needs a number\n", a.c_str());
                return false;
            }
            const std::string& n = args[++i];
            if (a == "--count") {
                if (!ParseCount(n, 1, 1000000000LL, v)) {
                    std::fprintf(stderr,
                                 "orvan-cli: status --count wants 1 to 1000000000, not %s\n",
                                 n.c_str());
                    return false;
                }
                out.count = static_cast<std::uint64_t>(v);
            } else {
                if (!ParseCount(n, kMinIntervalMs, kMaxIntervalMs, v)) {
                    std::fprintf(stderr, "orvan-cli: status --interval wants %d to %d ms, not %s\n",
                                 kMinIntervalMs, kMaxIntervalMs, n.c_str());
                    return false;
                }
                out.intervalMs = static_cast<int>(v);
            }
        } else {
            std::fprintf(stderr, "orvan-cli: status does not take %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

// Prints each completed cycle; keeps what the board said about the line.
class StatusPrinter : public features::IStatusPollingView,
                      public ILinkView,
                      public INotifier,
                      public link::IExchangeListener {
  public:
    explicit StatusPrinter(bool json) : json_(json) {}
    void OnCycleComplete(const features::TStatusSnapshot& s) override {
        const std::string line = json_ ? features::SnapshotJson(s) : features::SnapshotLine(s);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        ++printed;
    }
    void OnPollingChanged(bool running, features::TPollStop why) override {
        if (!running && why == features::TPollStop::Line) stoppedByLine = true;
    }
    // A refused read is said once per text; polling goes on without it.
    void ShowRefusal(std::string_view, std::string_view text) override {
        Say("refused by the board: " + std::string(text));
    }
    void ShowMissingAck(std::string_view, std::string_view text) override {
        Say("corrupted answer from the board (" + std::string(text) + ")");
    }
    void OnLinkState(std::string_view text) override { state = std::string(text); }
    void OnTxLog(const std::string&) override {}
    void OnRxLog(const std::string&) override {}
    void OnAnswer(const std::uint8_t*, std::uint8_t) override {}
    void OnRxTimeout() override { ++timeouts; }

    std::uint64_t printed = 0;
    bool stoppedByLine = false;
    int timeouts = 0;
    std::string state;

  private:
    void Say(const std::string& s) {
        if (said_.insert(s).second) std::fprintf(stderr, "orvan-cli: %s\n", s.c_str());
    }
    bool json_;
    std::set<std::string> said_;
};

}  // namespace

std::string StatusUsage() {
    return "  status [--count N] [--interval MS] [--json]\n"
           "                       poll the live status (I/O, analog inputs, anomalies, hours,\n"
           "                       power readings) every MS ms (default 150), one line per cycle\n"
           "                       (JSON Lines with --json), N cycles or until interrupted\n";
}

bool IsStatusCommand(const std::string& name) {
    return name == "status";
}

int RunStatusCommand(const Options& opt) {
    StatusArgs args;
    if (!ParseStatusArgs(opt.args, args)) return 2;

    link::TLinkPort port;
    const std::int32_t rc = port.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        std::fprintf(stderr, "orvan-cli: %s: %s\n", opt.device.c_str(),
                     port.OpenErrorText(rc).c_str());
        return 1;
    }
    link::SystemClock clock;
    StatusPrinter printer(args.json);
    features::TSupervisorCore core(port, clock, printer, &printer);
    core.Events().Subscribe(printer);
    // Polling keeps its own pace; fast exchange shortens each exchange.
    TLineOptions line(opt, core, port, clock);
    // No configuration is loaded here: raw values only.
    features::TStatusPolling& polling = core.Polling();
    polling.AddView(printer);

    // The board type and protocol version decide the power readings.
    core.Session().RequestHardwareInfo();
    link::RunTicks(
        [&] {
            core.Tick();
            return !core.Idle();
        },
        link::kExchangeTickMs, kIdentityLimitMs);
    // A line that went says why (a server that closed, and its words).
    const auto why = [&](const char* otherwise) {
        const std::string lost = port.LostReason();
        return !lost.empty()           ? "Port lost: " + lost
               : printer.state.empty() ? std::string(otherwise)
                                       : printer.state;
    };
    if (printer.timeouts > 0 || !core.Idle()) {
        std::fprintf(stderr, "orvan-cli: the board does not answer (%s)\n",
                     why("no answer").c_str());
        return 1;
    }

    polling.flags = {true, true, true, true, false};
    polling.Start();
    const int ticksPerPoll =
        std::max(1, (args.intervalMs + link::kExchangeTickMs / 2) / link::kExchangeTickMs);
    std::int64_t tick = 0;
    link::RunTicks([&] {
        if (tick++ % ticksPerPoll == 0) polling.RefreshTick();
        core.Tick();
        if (printer.stoppedByLine) return false;
        return args.count == 0 || printer.printed < args.count;
    });
    if (printer.stoppedByLine) {
        std::fprintf(stderr, "orvan-cli: the board stopped answering (%s); %llu cycles shown\n",
                     why("RX TimeOut").c_str(), static_cast<unsigned long long>(printer.printed));
        return 1;
    }
    return 0;
}

}  // namespace orvan::cli
