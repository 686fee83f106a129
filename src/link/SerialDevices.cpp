#include "link/SerialDevices.h"

#include <algorithm>
#include <filesystem>

// On Windows the ports come from the device database (UsbAdapters_win.cpp).
#ifndef _WIN32

namespace orvan::link {

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

}  // namespace orvan::link

#endif
