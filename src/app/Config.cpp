#include "app/Config.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/IniFile.h"
#include "config/SystemPaths.h"
#include "link/NetAddress.h"

namespace orvan::app {

namespace {

constexpr const char* kCom = "COM";
constexpr const char* kProgram = "PROGRAM";
constexpr const char* kPolling = "POLLING";
constexpr const char* kWindow = "WINDOW";

// The file system's answers are the system's own (config/SystemPaths.h).
bool FileExists(const std::string& path) {
    return config::PathExists(path);
}

// True when Save() could replace the file: the atomic save writes a
// temporary file beside it, so the directory itself must be writable.
bool DirectoryWritable(const std::string& filePath) {
    return config::FolderWritable(filePath);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string RecentAddressKey(std::size_t i) {
    return "RecentAddress" + std::to_string(i + 1);
}

// A value as it can be shown in a notice: control characters as '?', cut.
std::string Shown(const std::string& value) {
    std::string s;
    for (const char c : value.substr(0, 80))
        s += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return value.size() > 80 ? s + "..." : s;
}

}  // namespace

std::string UserConfigDirectory() {
    return config::UserConfigDirectory();
}

bool SystemProgramFolder(const std::string& directory) {
    std::string d = Lower(directory);
    for (char& c : d)
        if (c == '\\') c = '/';
    if (d.size() > 1 && d[1] == ':') d.erase(0, 2);  // a drive letter
    for (const char* system :
         {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib64/", "/lib32/", "/opt/", "/etc/", "/snap/",
          "/boot/", "/program files/", "/program files (x86)/", "/windows/"})
        if (d.rfind(system, 0) == 0 || d + "/" == system) return true;
    return false;
}

TConfig::TConfig(std::string directory, std::string fallbackDirectory)
    : primary_(directory + kSettingsFileName), fileName_(primary_) {
    systemFolder_ = SystemProgramFolder(directory);
    // Root may write a system folder: the settings still go to the user's
    // folder, never beside an installed program.
    if (!fallbackDirectory.empty() && (systemFolder_ || !DirectoryWritable(primary_))) {
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
        failedPath_ = path;
        notices_.push_back("The settings file could not be read (" + error +
                           "): the default settings are used, and the file is left as it is.");
        return;
    }
    port = ini.ReadInteger(kCom, "Port", 1);
    speed = ini.ReadInteger(kCom, "Speed", 9600);
    device = ini.ReadString(kCom, "Device", "");
    recentAddresses.clear();
    for (std::size_t i = 0; i < kMaxRecentAddresses; ++i) {
        const std::string key = RecentAddressKey(i);
        if (!ini.ValueExists(kCom, key)) continue;
        const std::string a = ini.ReadString(kCom, key, "");
        if (a.empty()) continue;  // a slot the program emptied
        std::string why;
        if (!link::ParseNetAddress(a, &why)) {
            notices_.push_back(path + ": " + key + "=" + Shown(a) + " is not a network address (" +
                               why + "); it is left out of the recent addresses.");
            continue;
        }
        if (std::find(recentAddresses.begin(), recentAddresses.end(), a) == recentAddresses.end())
            recentAddresses.push_back(a);
    }
    fastExchange = ini.ReadInteger(kCom, "FastExchange", 0) != 0;
    pollAnalog = ini.ReadInteger(kPolling, "Analog", 1) != 0;
    pollOptoIO = ini.ReadInteger(kPolling, "OptoIO", 0) != 0;
    pollAnomaly = ini.ReadInteger(kPolling, "Anomaly", 0) != 0;
    pollSourceTime = ini.ReadInteger(kPolling, "WelderHCouner", 0) != 0;
    pollHeadAnomalies = ini.ReadInteger(kPolling, "MultiHHeadAnomaly", 0) != 0;
    lastTab = ini.ReadInteger(kProgram, "LastTab", 0);
    if (ini.ValueExists(kWindow, "Width") || ini.ValueExists(kWindow, "Height")) {
        window.left = ini.ReadInteger(kWindow, "Left", 0);
        window.top = ini.ReadInteger(kWindow, "Top", 0);
        window.width = ini.ReadInteger(kWindow, "Width", 0);
        window.height = ini.ReadInteger(kWindow, "Height", 0);
        window.maximized = ini.ReadInteger(kWindow, "Maximized", 0) != 0;
    }
    CorrectImpossibleValues(path);
}

void TConfig::CorrectImpossibleValues(const std::string& path) {
    auto note = [&](const std::string& what) { notices_.push_back(path + ": " + what); };
    const auto side = [](std::int32_t v) {
        return v >= kSmallestWindowSide && v <= kLargestWindowSide;
    };
    // Far outside any desktop: a place that could not be a window's.
    const auto place = [](std::int32_t v) {
        return v > -kLargestWindowSide && v < 4 * kLargestWindowSide;
    };
    if ((window.width != 0 || window.height != 0) &&
        !(side(window.width) && side(window.height) && place(window.left) && place(window.top))) {
        note("[WINDOW] Left=" + std::to_string(window.left) + " Top=" + std::to_string(window.top) +
             " Width=" + std::to_string(window.width) + " Height=" + std::to_string(window.height) +
             " is not a place of the window (sides " + std::to_string(kSmallestWindowSide) +
             " to " + std::to_string(kLargestWindowSide) +
             " pixels); the window opens at its usual size.");
        window = {};
    }
    if (speed != 9600 && speed != 19200 && speed != 38400 && speed != 56700) {
        note("Speed=" + std::to_string(speed) +
             " is not a speed of the board (9600, 19200, 38400, 56700); 9600 is used.");
        speed = 9600;
    }
    if (port < 1 || port > kMaxPortNumber) {
        note("Port=" + std::to_string(port) + " names no port (1 to " +
             std::to_string(kMaxPortNumber) + "); COM1 is used.");
        port = 1;
    }
    std::string why;
    if (!device.empty() && link::IsNetworkAddress(device)) {
        if (!link::ParseNetAddress(device, &why)) {
            note("Device=" + Shown(device) + " is not a network address (" + why + "); COM" +
                 std::to_string(port) + " is used.");
            device.clear();
        }
    } else if (!device.empty() && !PlausibleSerialDevice(device, &why)) {
        note("Device=" + device + " is not a serial port (" + why + "); COM" +
             std::to_string(port) + " is used.");
        device.clear();
    }
}

void TConfig::NoteRecentAddress(const std::string& address) {
    std::erase(recentAddresses, address);
    recentAddresses.insert(recentAddresses.begin(), address);
    if (recentAddresses.size() > kMaxRecentAddresses) recentAddresses.resize(kMaxRecentAddresses);
}

bool PlausibleSerialDevice(const std::string& path, std::string* why) {
    return config::PlausibleSerialDevice(path, why);
}

bool TConfig::Save(std::string* error) const {
    if (!loadError_.empty() && failedPath_ == fileName_) {
        if (error)
            *error = fileName_ + " was not replaced: it could not be read (" + loadError_ + ")";
        return false;
    }
    // Start from the file as it is, so whatever else a user put in it stays.
    config::TIniFile ini(fileName_);
    std::string loadError;
    if (!ini.Load(&loadError)) {
        if (error) *error = fileName_ + " was not replaced: " + loadError;
        return false;
    }
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
    for (std::size_t i = 0; i < kMaxRecentAddresses; ++i) {
        const std::string key = RecentAddressKey(i);
        if (i < recentAddresses.size())
            ini.WriteString(kCom, key, recentAddresses[i]);
        else if (ini.ValueExists(kCom, key))
            ini.WriteString(kCom, key, "");
    }
    if (fastExchange || ini.ValueExists(kCom, "FastExchange"))
        ini.WriteInteger(kCom, "FastExchange", fastExchange ? 1 : 0);
    ini.WriteInteger(kProgram, "LastTab", lastTab);
    if (window.width > 0) {
        ini.WriteInteger(kWindow, "Left", window.left);
        ini.WriteInteger(kWindow, "Top", window.top);
        ini.WriteInteger(kWindow, "Width", window.width);
        ini.WriteInteger(kWindow, "Height", window.height);
        ini.WriteInteger(kWindow, "Maximized", window.maximized ? 1 : 0);
    }
    ini.WriteInteger(kPolling, "Analog", pollAnalog ? 1 : 0);
    ini.WriteInteger(kPolling, "OptoIO", pollOptoIO ? 1 : 0);
    ini.WriteInteger(kPolling, "Anomaly", pollAnomaly ? 1 : 0);
    ini.WriteInteger(kPolling, "WelderHCouner", pollSourceTime ? 1 : 0);
    ini.WriteInteger(kPolling, "MultiHHeadAnomaly", pollHeadAnomalies ? 1 : 0);
    const config::SaveResult r = ini.Save();
    if (!r && error) *error = r.why;
    return r.ok;
}

}  // namespace orvan::app
