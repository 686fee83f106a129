#pragma once
// Copies of what a board held before the program wrote over it, one ".wcf"
// per write, named by the board's serial number and the time (UTC), so any
// write can be undone by loading a copy and writing it back.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "config/Cfgwelderrw.h"

namespace orvan::features {

using TBackupClock = std::chrono::system_clock;

// $XDG_DATA_HOME/orvan-supervisor/backups, or ~/.local/share/... without it;
// empty when neither variable names a folder.
std::string DefaultBackupDir();

// The serial number as it may stand in a file name: letters, digits and '-'
// kept, anything else '_'; "unknown" when empty.
std::string BackupSerialPart(std::string_view serial);
// "SERIAL_YYYYMMDD-HHMMSS.wcf".
std::string BackupFileName(std::string_view serial, TBackupClock::time_point when);

struct TBackupResult {
    bool ok = false;
    std::string path;     // the file written
    std::string message;  // why not, naming the folder or file
    explicit operator bool() const { return ok; }
};

// Saves the configuration as a new file in `dir` (created when missing); an
// existing backup is never written over (a second one in the same second
// gets "-2", "-3"... after the time).
[[nodiscard]] TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                                       const config::TWelderCfgBlank& cfg,
                                       TBackupClock::time_point when);

struct TBackupEntry {
    std::string path;
    std::string serial;  // as it stands in the name
    TBackupClock::time_point time;
    std::string timeText;  // "2026-12-08 04:19:00 UTC"
    int sequence = 1;      // 2, 3... for later backups of the same second
};

// The backups in `dir`, newest first (files of other names are left out);
// empty when the folder does not exist.
std::vector<TBackupEntry> ListBackups(const std::string& dir);

// Loads a backup into the record (the record stays as it was when refused).
[[nodiscard]] config::TFileResult RestoreBackup(const std::string& path,
                                                config::TCfgWelderRW& record);

}  // namespace orvan::features
