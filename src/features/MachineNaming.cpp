#include "features/MachineNaming.h"

#include <algorithm>
#include <cstdio>

namespace orvan::features {

std::string MachineNamesFileName(std::uint16_t boardType, std::uint8_t major, std::uint8_t minor,
                                 std::uint8_t patch) {
    char name[64];
    std::snprintf(name, sizeof name, "IOC_%04X_%d%02d%02d.ini", boardType, major, minor, patch);
    return name;
}

std::string MachineTypeKey(std::uint16_t boardType) {
    char key[16];
    std::snprintf(key, sizeof key, "0x%04X", boardType);
    return key;
}

std::string PathIn(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string LookUpMachineName(const config::TIniFile& names, std::uint16_t boardType) {
    return names.ReadString(kMachineNameSection, MachineTypeKey(boardType), kUnknownMachine);
}

std::string LookUpMachineName(const std::string& directory, std::uint16_t boardType) {
    config::TIniFile ini(PathIn(directory, kMachineNameFile));
    if (!ini.Load()) return kUnknownMachine;
    return LookUpMachineName(ini, boardType);
}

namespace {

struct TIoRow {
    const char* section;
    const char* prefix;
    int firstKey;
};
// Frame order of TMachineNames::io.
constexpr TIoRow kIoRows[kIoFrames] = {
    {"INPUT_CPU", "In_", 0},   {"INPUT_EXP", "In_", 0},   {"INPUT_EXP", "In_", 12},
    {"OUTPUT_CPU", "Out_", 0}, {"OUTPUT_EXP", "Out_", 0}, {"OUTPUT_EXP_POWER", "Out_", 0},
};

}  // namespace

TMachineNames MachineNamesFromIni(const config::TIniFile& ini) {
    TMachineNames n;
    n.found = true;
    for (std::size_t f = 0; f < kIoFrames; ++f)
        for (std::size_t i = 0; i < kIoIndicators; ++i)
            n.io[f][i] = ini.ReadString(
                kIoRows[f].section,
                kIoRows[f].prefix + std::to_string(kIoRows[f].firstKey + static_cast<int>(i)), "");
    // Consecutive keys only: the first gap ends the list.
    std::size_t count = 0;
    while (ini.ValueExists("ANOMALY", "Anomaly_" + std::to_string(count))) ++count;
    const std::size_t shown = std::min(count, kAnomalyCapacity);
    n.anomaliesDropped = count - shown;
    for (std::size_t i = 0; i < shown; ++i)
        n.anomalies.push_back(ini.ReadString("ANOMALY", "Anomaly_" + std::to_string(i), ""));
    return n;
}

TMachineNames LoadMachineNames(const std::string& path) {
    config::TIniFile ini(path);
    std::string error;
    TMachineNames n;
    if (!ini.Load(&error)) {
        n.error = error;
    } else if (ini.Exists()) {
        n = MachineNamesFromIni(ini);
    }
    n.path = path;
    return n;
}

TMachineNaming::TMachineNaming(commands::TBoardEvents& events, std::string directory)
    : events_(events), directory_(std::move(directory)) {
    events_.Subscribe(*this);
}

TMachineNaming::~TMachineNaming() {
    events_.Unsubscribe(*this);
}

void TMachineNaming::OnBoardType(std::uint16_t boardType) {
    machineName_ = LookUpMachineName(directory_, boardType);
    views_.Notify(&IMachineNamingView::OnMachineName, boardType, machineName_);
}

void TMachineNaming::OnMachineNamesFile(const std::string& fileName) {
    names_ = LoadMachineNames(PathIn(directory_, fileName));
    applied_ = true;
    views_.Notify(&IMachineNamingView::OnMachineNames, names_);
}

}  // namespace orvan::features
