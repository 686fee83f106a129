#include "app/SerialDevices.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <future>
#include <optional>

#include "link/Comprotocol.h"
#include "link/TickDriver.h"
#include "link/Tserial.h"

namespace orvan::app {

namespace {

int FamilyRank(const std::string& name) {
    if (name.rfind("ttyUSB", 0) == 0) return 0;
    if (name.rfind("ttyACM", 0) == 0) return 1;
    if (name.rfind("ttyS", 0) == 0) return 2;
    return -1;
}

std::size_t PrefixLength(int rank) {
    return rank == 2 ? 4 : 6;
}

// The device number after the family prefix; -1 when it is not all digits.
long DeviceNumber(const std::string& name, int rank) {
    const std::string digits = name.substr(PrefixLength(rank));
    if (digits.empty() || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stol(digits);
}

std::optional<FoundBoard> Probe(const std::string& device, std::int32_t speed, int timeoutMs) {
    link::Tserial port;
    if (port.OpenPort(device.c_str(), speed, 0) != link::kOpenOk) return std::nullopt;
    link::SystemClock clock;
    link::TComProtocol protocol(port, clock);
    (void)protocol.QueueCommand(link::TCmd(0x0B, {0x00, 0x00}));
    std::optional<FoundBoard> found;
    link::RunTicks(
        [&] {
            const link::PollResult r = protocol.Poll();
            if (r.State == link::PollState::Answer && r.Length >= 4 + 7 && r.Data[0] == 0x06 &&
                r.Data[1] == 0x0B && r.Data[2] == 0x00 && r.Data[3] == 0x00) {
                char text[32];
                std::snprintf(text, sizeof text, "%u.%02u.%02u", r.Data[4], r.Data[5], r.Data[6]);
                found = FoundBoard{device, text};
                return false;
            }
            return r.State != link::PollState::TimedOut && r.State != link::PollState::PortLost;
        },
        link::kExchangeTickMs, timeoutMs);
    return found;
}

}  // namespace

std::vector<std::string> DetectSerialDevices(const std::string& devDir) {
    struct Entry {
        int rank;
        long number;
        std::string path;
    };
    std::vector<Entry> found;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(devDir, ec)) {
        const std::string name = e.path().filename().string();
        const int rank = FamilyRank(name);
        if (rank < 0) continue;
        const long number = DeviceNumber(name, rank);
        if (number < 0) continue;
        found.push_back({rank, number, e.path().string()});
    }
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.number < b.number;
    });
    std::vector<std::string> out;
    out.reserve(found.size());
    for (auto& f : found) out.push_back(std::move(f.path));
    return out;
}

std::vector<FoundBoard> FindBoards(const std::vector<std::string>& devices, std::int32_t speed,
                                   int timeoutMs) {
    std::vector<std::future<std::optional<FoundBoard>>> probes;
    probes.reserve(devices.size());
    for (const auto& d : devices)
        probes.push_back(std::async(std::launch::async, Probe, d, speed, timeoutMs));
    std::vector<FoundBoard> out;
    for (auto& p : probes)
        if (auto f = p.get()) out.push_back(std::move(*f));
    return out;
}

}  // namespace orvan::app
