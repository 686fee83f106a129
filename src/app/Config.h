#pragma once
// TConfig: the program's own settings, "OrvanSuperV.cfg" beside the
// executable: line port and speed, the last main page shown and the five
// status-polling boxes. Read at construction, written at Save() (the window
// calls it at close). Toolkit-free, so the round trip is tested without a
// window.
//
// A program directory the user cannot write would lose every setting at
// close, and a system folder (an installed program, which root could write)
// is no place for one user's settings. Then the file lives in the user's
// configuration directory instead: read from there when present there, and
// always written there; the first run after such an install starts from the
// copy beside the executable.

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::app {

inline constexpr const char* kSettingsFileName = "OrvanSuperV.cfg";
// Highest "COMn" a setting may name.
inline constexpr std::int32_t kMaxPortNumber = 255;
// Network addresses remembered for "Network board..." ("RecentAddress1"...).
inline constexpr std::size_t kMaxRecentAddresses = 8;

class TConfig {
  public:
    // directory: the executable's directory with its trailing separator.
    // fallbackDirectory: where the file goes when `directory` is not writable
    // (empty: no fallback).
    explicit TConfig(std::string directory, std::string fallbackDirectory = {});

    std::int32_t port = 1;
    std::int32_t speed = 9600;
    bool pollAnalog = true;
    bool pollOptoIO = false;
    bool pollAnomaly = false;
    bool pollSourceTime = false;
    bool pollHeadAnomalies = false;
    std::int32_t lastTab = 0;
    // A port chosen by its device path rather than as "COMn" (a USB adapter, a
    // pseudo-terminal), or a network address ("tcp://HOST:PORT",
    // "rfc2217://HOST:PORT"); empty when the port number names the port.
    // Kept under "COM" "Device", a key only this program writes.
    std::string device;
    // The network addresses last chosen, newest first, at most
    // kMaxRecentAddresses; kept under "COM" as "RecentAddress1"... (keys
    // only this program writes).
    std::vector<std::string> recentAddresses;
    // Puts `address` first among the recent ones (once).
    void NoteRecentAddress(const std::string& address);
    // Fast exchange (answers taken at their delimiter), off unless chosen.
    // Kept under "COM" "FastExchange", a key only this program writes.
    bool fastExchange = false;
    // The window's client area and state at the last close, under "WINDOW"
    // (keys only this program writes); width 0: none kept. A size no window
    // of this program has is dropped at reading, and said.
    struct TWindowSetting {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        bool maximized = false;
    };
    TWindowSetting window;
    // Bounds of a window side, in pixels.
    static constexpr std::int32_t kSmallestWindowSide = 200;
    static constexpr std::int32_t kLargestWindowSide = 16384;

    // Where the file is read from and where Save() writes it.
    const std::string& FileName() const { return fileName_; }
    const std::string& PrimaryFileName() const { return primary_; }
    bool UsingFallback() const { return fileName_ != primary_; }
    // Whether the program's folder is one of the system's (an installed
    // program): the settings then live in the user's folder whoever runs it.
    bool SystemFolder() const { return systemFolder_; }
    // Whether the fallback file was there already when the settings were read.
    bool FallbackExisted() const { return fallbackExisted_; }

    // Writes all values. False with `error` naming the path and the reason;
    // nothing else is lost (an existing file stays as it was). A file that
    // could not be read at start is never replaced (false, and LoadError()
    // says why): it may hold settings worth more than the defaults.
    [[nodiscard]] bool Save(std::string* error = nullptr) const;
    // A reason the settings file could not be read (it exists but is
    // unreadable, too large, not a regular file); empty otherwise. The
    // defaults are in use then.
    const std::string& LoadError() const { return loadError_; }
    // What the user should hear once at start: the file could not be read,
    // or values in it were impossible and were replaced by their defaults
    // (each named).
    const std::vector<std::string>& Notices() const { return notices_; }

  private:
    void Load(const std::string& path);
    void CorrectImpossibleValues(const std::string& path);

    std::string primary_;
    std::string fileName_;
    std::string loadError_;
    std::string failedPath_;  // the file that could not be read
    bool fallbackExisted_ = false;
    bool systemFolder_ = false;
    std::vector<std::string> notices_;
};

// Whether a device path can be a serial port: an absolute path that is absent
// (an adapter not plugged in yet) or a character device other than the
// memory devices (/dev/null, /dev/zero...). False with the reason.
bool PlausibleSerialDevice(const std::string& path, std::string* why);

// The user's configuration directory for this program, with a trailing
// separator ($XDG_CONFIG_HOME or ~/.config, then "OrvanSuperV/"); empty
// when neither is known.
std::string UserConfigDirectory();

// Whether a folder (with its trailing separator) belongs to the system's
// installed programs ("/usr/bin/", "/opt/...", "C:\\Program Files\\...").
bool SystemProgramFolder(const std::string& directory);

}  // namespace orvan::app
