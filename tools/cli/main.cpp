// orvan-cli: the command-line companion. It drives the same core as the
// window: the exchange engine on a serial device or on the built-in simulator.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Comprotocol.h"
#include "ExchangeCycle.h"
#include "PtyBoard.h"
#include "TickDriver.h"
#include "Tserial.h"

namespace {

using namespace orvan;

struct Options {
    std::string device;
    bool simulate = false;
    std::int32_t speed = 56700;
    bool quiet = false;
    std::vector<std::string> args;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: orvan-cli (--device PATH | --simulate) [--speed N] [--quiet] COMMAND\n"
                 "commands:\n"
                 "  demo      ask the board for firmware version, protocol version and board type,\n"
                 "            printing every line sent and received\n");
}

// Prints what the engine does, as the window's debug page shows it.
class PrintingListener : public link::IExchangeListener {
public:
    explicit PrintingListener(bool quiet) : quiet_(quiet) {}
    void OnLinkState(std::string_view text) override { state = std::string(text); }
    void OnTxLog(const std::string& line) override {
        if (!quiet_) std::printf("TX %s\n", line.c_str());
    }
    void OnRxLog(const std::string& line) override {
        if (!quiet_) std::printf("RX %s\n", line.c_str());
    }
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override {
        answers.emplace_back(data, data + (lengthLow >= 4 ? lengthLow - 4 : 0));
    }
    void OnRxTimeout() override { ++timeouts; }

    std::string state;
    std::vector<std::vector<std::uint8_t>> answers;
    int timeouts = 0;

private:
    bool quiet_;
};

int RunDemo(link::TComProtocol& protocol, link::TExchangeCycle& cycle, PrintingListener& out) {
    const std::uint16_t codes[] = {0x0000, 0x0002, 0x0001};
    const char* names[] = {"firmware version", "protocol version", "board type"};
    for (std::uint16_t c : codes)
        (void)protocol.QueueCommand(link::TCmd(0x0B, {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)}));
    link::RunTicks([&] {
        cycle.Tick();
        return protocol.QueueCount() > 0 || protocol.InFlight();
    }, link::kExchangeTickMs, 15000);
    if (out.timeouts > 0) {
        std::fprintf(stderr, "orvan-cli: no answer from the board (%s)\n", out.state.c_str());
        return 1;
    }
    for (const auto& a : out.answers) {
        if (a.size() < 7 || a[0] != 0x06 || a[1] != 0x0B) continue;
        const std::uint16_t code = static_cast<std::uint16_t>(a[2] | (a[3] << 8));
        for (int i = 0; i < 3; ++i) {
            if (code != codes[i]) continue;
            if (code == 0x0001)
                std::printf("%s: %04X\n", names[i], a[4] | (a[5] << 8));
            else
                std::printf("%s: %d.%02d.%02d\n", names[i], a[4], a[5], a[6]);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--device" && i + 1 < argc) {
            opt.device = argv[++i];
        } else if (a == "--simulate") {
            opt.simulate = true;
        } else if (a == "--speed" && i + 1 < argc) {
            char* end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || v <= 0 || v > 4000000) {
                std::fprintf(stderr, "orvan-cli: bad speed %s\n", argv[i]);
                return 2;
            }
            opt.speed = static_cast<std::int32_t>(v);
        } else if (a == "--quiet") {
            opt.quiet = true;
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "orvan-cli: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        } else {
            opt.args.push_back(a);
        }
    }
    if (opt.args.empty() || (opt.device.empty() && !opt.simulate)) {
        Usage();
        return 2;
    }

    std::unique_ptr<sim::TPtyBoard> board;
    if (opt.simulate) {
        board = std::make_unique<sim::TPtyBoard>();
        std::string error;
        if (!board->Open(&error) || !board->LoadOrCreateEeprom(&error)) {
            std::fprintf(stderr, "orvan-cli: simulator: %s\n", error.c_str());
            return 1;
        }
        board->Start();
        opt.device = board->DevicePath();
        if (!opt.quiet) std::printf("simulated board on %s\n", opt.device.c_str());
    }

    link::Tserial port;
    const std::int32_t rc = port.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        std::fprintf(stderr, "orvan-cli: %s: %s\n", opt.device.c_str(), link::OpenResultText(rc));
        return 1;
    }
    link::SystemClock clock;
    link::TComProtocol protocol(port, clock);
    PrintingListener out(opt.quiet);
    link::TExchangeCycle cycle(protocol, clock, out);

    const std::string& cmd = opt.args[0];
    if (cmd == "demo") return RunDemo(protocol, cycle, out);
    std::fprintf(stderr, "orvan-cli: unknown command %s\n", cmd.c_str());
    Usage();
    return 2;
}
