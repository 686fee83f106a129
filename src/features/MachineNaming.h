#pragma once
// Machine I/O naming: the same board drives different machines, each wiring
// its opto inputs, outputs and anomaly bits to its own functions. The names
// live in INI files delivered beside the program:
//   "OrvanMachineName.ini"            [ORVAN_MACHINE_TYPE] 0x0100=<machine name>
//   "IOC_<type>_<fw>.ini" per machine  [INPUT_CPU] In_0.., [INPUT_EXP] In_0..In_23,
//                                      [OUTPUT_CPU], [OUTPUT_EXP], [OUTPUT_EXP_POWER]
//                                      Out_0..Out_11, [ANOMALY] Anomaly_0, Anomaly_1...
// A missing file or key gives an empty name and no message box; the view is
// still told which file was looked for, so a technician can tell why the
// indicators are blank.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/BoardEvents.h"
#include "config/IniFile.h"

namespace orvan::features {

inline constexpr const char* kMachineNameFile = "OrvanMachineName.ini";
inline constexpr const char* kMachineNameSection = "ORVAN_MACHINE_TYPE";
inline constexpr const char* kUnknownMachine = "Unknown";
inline constexpr std::size_t kIoFrames = 6;
inline constexpr std::size_t kIoIndicators = 12;
// The anomaly frame holds at most this many indicators.
inline constexpr std::size_t kAnomalyCapacity = 32;

// "IOC_0100_20105.ini" for board type 0x0100 and firmware 2.1.5.
std::string MachineNamesFileName(std::uint16_t boardType, std::uint8_t major, std::uint8_t minor,
                                 std::uint8_t patch);
// "0x0100".
std::string MachineTypeKey(std::uint16_t boardType);

// Joins a directory (with or without its trailing '/') and a file name.
std::string PathIn(const std::string& directory, const std::string& name);

// The machine name of a board type, "Unknown" when the file or the key is
// missing.
std::string LookUpMachineName(const config::TIniFile& names, std::uint16_t boardType);
std::string LookUpMachineName(const std::string& directory, std::uint16_t boardType);

struct TMachineNames {
    std::string path;    // the file looked for
    bool found = false;  // it exists and could be read
    std::string error;   // why it could not be read (exists but unreadable)
    // Frames in the order CPU in, EXP1 in, EXP2 in, CPU out, EXP1 out, EXP2
    // out; 12 captions each, empty where the key is missing.
    std::array<std::array<std::string, kIoIndicators>, kIoFrames> io{};
    // Anomaly_0, Anomaly_1, ... up to the first missing key, at most 32.
    std::vector<std::string> anomalies;
    // Consecutive anomaly keys beyond the frame's capacity (not shown).
    std::size_t anomaliesDropped = 0;
};

TMachineNames MachineNamesFromIni(const config::TIniFile& ini);
TMachineNames LoadMachineNames(const std::string& path);

class IMachineNamingView {
  public:
    virtual ~IMachineNamingView() = default;
    // stxBoardType on a BoardType answer.
    virtual void OnMachineName(std::uint16_t /*boardType*/, const std::string& /*name*/) {}
    // On a firmware-version answer with the board type known.
    virtual void OnMachineNames(const TMachineNames& /*names*/) {}
};

// Hears the identity answers and applies the naming files of `directory`
// (the program's own folder).
class TMachineNaming : public commands::IIdentityView {
  public:
    TMachineNaming(commands::TBoardEvents& events, std::string directory);
    ~TMachineNaming() override;
    TMachineNaming(const TMachineNaming&) = delete;
    TMachineNaming& operator=(const TMachineNaming&) = delete;

    commands::TFanout<IMachineNamingView>& Views() { return views_; }
    void RemoveView(IMachineNamingView& v) { views_.Remove(v); }

    const std::string& Directory() const { return directory_; }
    void SetDirectory(std::string d) { directory_ = std::move(d); }
    const std::string& MachineName() const { return machineName_; }
    // The last names applied (none until a firmware answer with a known type).
    const TMachineNames* Names() const { return applied_ ? &names_ : nullptr; }

  private:
    void OnBoardType(std::uint16_t boardType) override;
    void OnMachineNamesFile(const std::string& fileName) override;

    commands::TBoardEvents& events_;
    std::string directory_;
    commands::TFanout<IMachineNamingView> views_;
    std::string machineName_;
    TMachineNames names_;
    bool applied_ = false;
};

}  // namespace orvan::features
