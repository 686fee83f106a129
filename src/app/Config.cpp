#include "app/Config.h"

#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/IniFile.h"

namespace orvan::app {

namespace {

constexpr const char* kCom = "COM";
constexpr const char* kProgram = "PROGRAM";
constexpr const char* kPolling = "POLLING";

bool FileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// True when Save() could replace the file: the atomic save writes a
// temporary file beside it, so the directory itself must be writable.
bool DirectoryWritable(const std::string& filePath) {
    std::filesystem::path dir = std::filesystem::path(filePath).parent_path();
    if (dir.empty()) dir = ".";
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string UserConfigDirectory() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    if (base.empty()) return {};
    return base + "/OrvanSuperV/";
}

TConfig::TConfig(std::string directory, std::string fallbackDirectory)
    : primary_(directory + kSettingsFileName), fileName_(primary_) {
    if (!fallbackDirectory.empty() && !DirectoryWritable(primary_)) {
        const std::string fallback = fallbackDirectory + kSettingsFileName;
        fileName_ = fallback;
        fallbackExisted_ = FileExists(fallback);
        Load(fallbackExisted_ ? fallback : primary_);
        return;
    }
    Load(primary_);
}

void TConfig::Load(const std::string& path) {
    config::TIniFile ini(path);
    std::string error;
    if (!ini.Load(&error)) {
        loadError_ = error;
        return;
    }
    port = ini.ReadInteger(kCom, "Port", 1);
    speed = ini.ReadInteger(kCom, "Speed", 9600);
    device = ini.ReadString(kCom, "Device", "");
    pollAnalog = ini.ReadInteger(kPolling, "Analog", 1) != 0;
    pollOptoIO = ini.ReadInteger(kPolling, "OptoIO", 0) != 0;
    pollAnomaly = ini.ReadInteger(kPolling, "Anomaly", 0) != 0;
    pollSourceTime = ini.ReadInteger(kPolling, "WelderHCouner", 0) != 0;
    pollHeadAnomalies = ini.ReadInteger(kPolling, "MultiHHeadAnomaly", 0) != 0;
    lastTab = ini.ReadInteger(kProgram, "LastTab", 0);
}

bool TConfig::Save(std::string* error) const {
    // Start from the file as it is, so whatever else a user put in it stays.
    config::TIniFile ini(fileName_);
    std::string loadError;
    if (!ini.Load(&loadError)) ini.LoadFromText("");
    if (!ini.Exists() && UsingFallback()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(fileName_).parent_path(), ec);
        if (ec) {
            if (error) *error = fileName_ + ": " + ec.message();
            return false;
        }
    }
    ini.WriteInteger(kCom, "Port", port);
    ini.WriteInteger(kCom, "Speed", speed);
    // Only written once a device path was chosen, so a plain file keeps the
    // eight keys and nothing else.
    if (!device.empty() || ini.ValueExists(kCom, "Device")) ini.WriteString(kCom, "Device", device);
    ini.WriteInteger(kProgram, "LastTab", lastTab);
    ini.WriteInteger(kPolling, "Analog", pollAnalog ? 1 : 0);
    ini.WriteInteger(kPolling, "OptoIO", pollOptoIO ? 1 : 0);
    ini.WriteInteger(kPolling, "Anomaly", pollAnomaly ? 1 : 0);
    ini.WriteInteger(kPolling, "WelderHCouner", pollSourceTime ? 1 : 0);
    ini.WriteInteger(kPolling, "MultiHHeadAnomaly", pollHeadAnomalies ? 1 : 0);
    const config::SaveResult r = ini.Save();
    if (!r && error) *error = r.error;
    return r.ok;
}

}  // namespace orvan::app
