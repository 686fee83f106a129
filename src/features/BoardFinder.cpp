#include "features/BoardFinder.h"

#include <chrono>
#include <optional>
#include <thread>

#include "commands/Catalogue.h"
#include "features/BoardOperations.h"
#include "features/SupervisorCore.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

namespace orvan::features {

namespace {

// A board that refuses the read is no board of ours to offer: its refusal
// box is not shown.
class TQuiet final : public commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

// One device being asked. The port goes after the core that uses it.
struct TProbe {
    std::string device;
    std::unique_ptr<link::ISerialPort> port;
    TQuiet quiet;
    std::unique_ptr<TSupervisorCore> core;
    std::optional<TOperationOutcome> outcome;
};

// The version in the outcome's detail "field: 1.02.07".
std::string VersionOf(const TOperationOutcome& o) {
    for (const std::string& d : o.details) {
        const std::size_t colon = d.rfind(": ");
        if (colon != std::string::npos && colon + 2 < d.size()) return d.substr(colon + 2);
    }
    return {};
}

}  // namespace

std::vector<TFoundBoard> FindBoards(const std::vector<std::string>& devices,
                                    const TBoardFinder& finder) {
    std::vector<std::unique_ptr<TProbe>> probes;
    for (const std::string& device : devices) {
        auto p = std::make_unique<TProbe>();
        p->device = device;
        std::string why;
        p->port = finder.open ? finder.open(device, why) : nullptr;
        if (!p->port) continue;
        p->core = std::make_unique<TSupervisorCore>(*p->port, *finder.clock, p->quiet);
        TProbe* probe = p.get();
        p->core->Operations().Start(VariableReadOperation(*p->core, {commands::FirmwareVersion}),
                                    [probe](const TOperationOutcome& o) { probe->outcome = o; });
        probes.push_back(std::move(p));
    }
    const auto waiting = [&] {
        for (const auto& p : probes)
            if (!p->outcome) return true;
        return false;
    };
    const std::int64_t start = finder.clock->MonotonicMs();
    while (waiting() && finder.clock->MonotonicMs() - start < finder.limitMs) {
        for (const auto& p : probes)
            if (!p->outcome) p->core->Tick();
        if (finder.wait) finder.wait(link::kExchangeTickMs);
    }
    std::vector<TFoundBoard> found;
    for (const auto& p : probes) {
        if (!p->outcome || !p->outcome->Completed()) continue;
        const std::string version = VersionOf(*p->outcome);
        if (!version.empty()) found.push_back({p->device, version});
    }
    // The cores of devices still silent go with their unanswered request.
    probes.clear();
    return found;
}

std::vector<TFoundBoard> FindBoards(const std::vector<std::string>& devices, std::int32_t speed,
                                    int limitMs) {
    link::SystemClock clock;
    TBoardFinder finder;
    finder.clock = &clock;
    finder.limitMs = limitMs;
    finder.open = [speed](const std::string& device,
                          std::string& why) -> std::unique_ptr<link::ISerialPort> {
        auto port = std::make_unique<link::Tserial>();
        const std::int32_t rc = port->OpenPort(device.c_str(), speed, 0);
        if (rc != link::kOpenOk) {
            why = port->OpenErrorText(rc);
            return nullptr;
        }
        return port;
    };
    finder.wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    return FindBoards(devices, finder);
}

}  // namespace orvan::features
