#pragma once
// Where the program keeps the user's settings, who the user is and on which
// machine, and what a device path may be: the answers differ between systems,
// the questions do not (SystemPaths_posix.cpp, SystemPaths_win.cpp).

#include <string>

namespace orvan::config {

// The user's own settings folder for the program, ending in a separator:
// "$XDG_CONFIG_HOME/OrvanSuperV/" (or "~/.config/OrvanSuperV/"), on Windows
// "%APPDATA%\OrvanSuperV\". Empty when the system names none.
std::string UserConfigDirectory();

// The user's folder for the program's data (backups, history): on POSIX
// "$XDG_DATA_HOME" (when absolute) or "~/.local/share", on Windows
// "%LOCALAPPDATA%". Empty when the system names none; then
// UserDataDirectoryNeeds() says what is missing.
std::string UserDataDirectory();
std::string UserDataDirectoryNeeds();

// Whether a file could be created or replaced in the folder holding
// `filePath` (the atomic save writes a temporary file beside it).
bool FolderWritable(const std::string& filePath);

bool PathExists(const std::string& path);

// The login name ("uid N" when the system knows none), and the machine's
// name (empty when unknown).
std::string LoginName();
std::string HostName();

// Whether `path` can name the board's serial line in the settings: on POSIX
// an absolute path to a character device that is not a memory device (or
// to nothing yet: an adapter unplugged for now); on Windows "COMn" or
// "\\.\COMn". `why` says what is wrong otherwise.
bool PlausibleSerialDevice(const std::string& path, std::string* why);

}  // namespace orvan::config
