#pragma once
// Copies of what a board held before the program wrote over it, one ".wcf"
// per write, named by the board's serial number and the time (UTC), so any
// write can be undone by loading a copy and writing it back. Beside each
// ".wcf" lies the board's image byte for byte under the same name with
// ".bin": the file keeps the fields only, and a board's filler bytes or an
// image of another layout would be lost without it.

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
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
// kept, anything else '_'; "unknown" when empty, "blank" when the board's
// serial-number bytes are all 0xFF.
std::string BackupSerialPart(std::string_view serial);
// The serial number as a terminal and a script can take it: printing ASCII
// as it is, other bytes as \xNN; "(blank)" when every byte is 0xFF (a board
// whose serial number was never set), "(none)" when empty.
std::string SerialNumberText(std::string_view serial);
// "SERIAL_YYYYMMDD-HHMMSS.wcf".
std::string BackupFileName(std::string_view serial, TBackupClock::time_point when);

struct TBackupResult : TResult {  // `why` names the folder or file
    std::string path;             // the file written
};

// Saves the image as a new backup in `dir` (created when missing): the
// ".wcf" of its fields and the ".bin" of its 384 bytes. Names are taken by
// exclusive creation, so no backup is ever written over, not even by another
// program saving in the same second: a later one gets "-2", "-3"... after
// the time.
[[nodiscard]] TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                                       const std::array<std::uint8_t, config::kImageSize>& image,
                                       TBackupClock::time_point when);
// The same for a configuration record (its image built over 0xFF filler with
// the record's own Version and Size).
[[nodiscard]] TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                                       const config::TWelderCfgBlank& cfg,
                                       TBackupClock::time_point when);

// Saves bytes of another board area (`tag`: "serial", "eeprom"...) as a new
// file "SERIAL_TAG_YYYYMMDD-HHMMSS.bin" in `dir`, taken by exclusive creation
// like the configuration backups.
[[nodiscard]] TBackupResult SaveKeptBytes(const std::string& dir, std::string_view serial,
                                          std::string_view tag, std::span<const std::uint8_t> bytes,
                                          TBackupClock::time_point when);

// The ".bin" beside a ".wcf" backup.
std::string BackupImagePath(const std::string& wcfPath);

struct TBackupEntry {
    std::string path;
    std::string serial;  // as it stands in the name
    TBackupClock::time_point time;
    std::string timeText;   // "2026-12-08 04:19:00 UTC"
    int sequence = 1;       // 2, 3... for later backups of the same second
    std::string imagePath;  // the exact image beside it; empty when there is none
};

// The backups in `dir`, newest first (files of other names are left out);
// empty when the folder does not exist.
std::vector<TBackupEntry> ListBackups(const std::string& dir);

// Loads a backup into the record (the record stays as it was when refused).
[[nodiscard]] config::TFileResult RestoreBackup(const std::string& path,
                                                config::TCfgWelderRW& record);

// The exact image kept beside a backup, when it is there, whole, and still
// says what the ".wcf" says (a ".wcf" edited by hand wins). False with `why`
// otherwise; writing `image` then restores the board byte for byte.
[[nodiscard]] bool LoadBackupImage(const std::string& wcfPath,
                                   std::array<std::uint8_t, config::kImageSize>& image,
                                   std::string* why);
// Whether an image holds exactly the fields of the record.
bool ImageHoldsRecord(const std::array<std::uint8_t, config::kImageSize>& image,
                      const config::TWelderCfgBlank& record);

}  // namespace orvan::features
