#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Cli.h"
#include "Comprotocol.h"
#include "ExchangeCycle.h"
#include "TickDriver.h"
#include "Tserial.h"

namespace orvan::cli {

namespace {

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

std::string DeviceUsage() {
    return "  demo                 ask the board for firmware version, protocol version and board type,\n"
           "                       printing every line sent and received\n";
}

bool IsDeviceCommand(const std::string& name) { return name == "demo"; }

int RunDeviceCommand(const Options& opt) {
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
    if (opt.args[0] == "demo") return RunDemo(protocol, cycle, out);
    return 2;
}

}  // namespace orvan::cli
