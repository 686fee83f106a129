#pragma once
// The configuration operations: write (and restore, the write of a kept
// image), read and verify. They run the transfers of TConfigTransfer under
// the core's rules: a write reads the board's serial number and what the
// board holds first, keeps it as a backup (".wcf" and its exact ".bin"),
// asks before it replaces an image it cannot keep faithfully, then sends the
// 24 blocks.

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "config/Cfgwelder.h"
#include "features/Operation.h"

namespace orvan::features {

struct TConfigWriteRequest {
    // These bytes instead of the image built from the record when the
    // operation starts: the exact image kept beside a backup.
    std::optional<std::array<std::uint8_t, config::kImageSize>> exactImage;
    // Answers yes beforehand to the questions of a write over an image that
    // failed its checksum, or one of another layout.
    bool acceptDamaged = false;
    bool acceptOtherLayout = false;
    // "Configuration restore" for a restore of a backup.
    bool restore = false;
    // The serial number of the board the image came from (a restore from
    // the board history): another board is asked about first ("--force").
    std::string fromBoard;
};

struct TConfigReadRequest {
    // The tuning log is read after the configuration, as the window's read does.
    bool thenTuningLog = true;
    // When given, the configuration read is saved there (a ".wcf"), reserved
    // from the start.
    std::string saveTo;
    bool replace = false;
    bool replaceOtherKind = false;
};

std::unique_ptr<TOperation> ConfigWriteOperation(TSupervisorCore& core, TConfigWriteRequest r);
std::unique_ptr<TOperation> ConfigReadOperation(TSupervisorCore& core, TConfigReadRequest r);
// Compares the board's configuration with the record.
std::unique_ptr<TOperation> ConfigVerifyOperation(TSupervisorCore& core);

struct TConfigSaveRequest {
    std::string path;  // taken as its ".wcf"
    bool replace = false;
    bool replaceOtherKind = false;
};
// "Save" / "Save As...": the record into a ".wcf" file (keys, sections and
// comments of a file it replaces that the program does not own are kept).
std::unique_ptr<TOperation> ConfigSaveOperation(TSupervisorCore& core, TConfigSaveRequest r);

}  // namespace orvan::features
