#pragma once
// The EEPROM operations: the dump of the whole memory (read twice alike,
// into a file reserved from the start), the format (never without such a
// dump first), the restore of a dump file (what the board holds kept first,
// then the file written page by page, read back and compared), the typed
// write of the EEPROM page (what it overwrites kept first, and asked about
// when it touches the serial number or the configuration) and the raw read.

#include <memory>
#include <string>

#include "features/Operation.h"

namespace orvan::features {

struct TEepromDumpRequest {
    std::string path;  // empty: listed only
    bool replace = false;
    bool replaceOtherKind = false;
};
struct TEepromFormatRequest {
    std::string dumpPath;  // the dump of the memory before the format
    // The user chose to replace an older dump of that name (a save dialog
    // that asked); the memory is kept only in a file made for it otherwise.
    bool replace = false;
};
struct TEepromRestoreRequest {
    std::string path;  // the dump file to write
    // Answers yes beforehand to a board whose serial number differs from
    // the dump's.
    bool acceptOtherBoard = false;
};
struct TEepromWriteRequest {
    std::string addressText;  // as typed
    std::string text;         // one byte per character
    // Answers yes beforehand to a write over the serial number or the
    // configuration.
    bool acceptProtectedArea = false;
};
struct TEepromReadRequest {
    std::string addressText, lengthText;
};

std::unique_ptr<TOperation> EepromDumpOperation(TSupervisorCore& core, TEepromDumpRequest r);
std::unique_ptr<TOperation> EepromFormatOperation(TSupervisorCore& core, TEepromFormatRequest r);
std::unique_ptr<TOperation> EepromRestoreOperation(TSupervisorCore& core, TEepromRestoreRequest r);
std::unique_ptr<TOperation> EepromWriteOperation(TSupervisorCore& core, TEepromWriteRequest r);
std::unique_ptr<TOperation> EepromReadOperation(TSupervisorCore& core, TEepromReadRequest r);

// "eeprom-before-format-YYYYMMDD-HHMMSS.bin" (UTC) for a format's dump.
std::string DefaultFormatDumpName();

}  // namespace orvan::features
