#pragma once
// Saving must never replace a file of another kind unasked: the save dialog is
// shared by configurations and the tuning log, a configuration saved under a
// ".log" name really goes to the ".wcf" beside it, and a name typed under one
// filter may carry the other's extension. The window asks these helpers before
// it writes, and asks the user when they say so.

#include <string>

namespace orvan::features {

enum class TFileKind {
    Missing,        // nothing there
    Empty,          // a file of no bytes
    Configuration,  // a welder configuration (".wcf" content)
    TuningLog,      // a tuning-log text file
    ConfigImage,    // a binary configuration image (384 bytes) or EEPROM dump (1024)
    Capture,        // a line capture
    Other,          // anything else
    NotAFile,       // a folder, a device...
    Unreadable,
};

// What the file holds, by its content (not its name).
TFileKind DetectFileKind(const std::string& path);
const char* FileKindText(TFileKind kind);

// The file a save of `kind` (Configuration, TuningLog or ConfigImage) under `chosen`
// really writes: configurations always go to the ".wcf" name.
std::string SaveTarget(const std::string& chosen, TFileKind kind);

struct TSaveCheck {
    std::string target;  // the file that would be written
    TFileKind existing = TFileKind::Missing;
    bool ask = false;     // confirm with the user first (message says why)
    bool refuse = false;  // cannot be saved there at all (message says why)
    std::string message;
};

// Whether saving `kind` under `chosen` may go ahead, needs the user's
// confirmation (an existing file of another kind would be replaced, or the
// name carries the other kind's extension), or cannot be done.
TSaveCheck CheckSave(const std::string& chosen, TFileKind kind);

}  // namespace orvan::features
