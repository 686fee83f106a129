#pragma once
// Every file the program writes goes through here: the content is written to
// a temporary file in the same folder, flushed to disk and renamed over the
// target, so a failure never leaves a half-written file behind and an existing
// file stays as it was.
//
// Temporary files are named ".NAME.orvantmp" plus six random characters and
// are locked while they are written. A save killed half way leaves its
// temporary file behind; the next save into the same folder removes every
// such file nobody holds locked any more.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvan::config {

struct SaveResult {
    bool ok = false;
    bool exists = false;  // SaveNewFile: the name was taken already
    std::string error;    // names the path and the reason when !ok
    explicit operator bool() const { return ok; }
};

[[nodiscard]] SaveResult SaveFileAtomically(const std::string& path, std::string_view content);

// Creates `path` with the content, complete or not at all, and only when no
// file of that name exists: an existing file is never replaced, even by
// another process saving the same name at the same moment (exists is then
// set).
[[nodiscard]] SaveResult SaveNewFile(const std::string& path, std::string_view content);

// Reads a whole file. False (error filled) when it cannot be opened or read.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& content,
                                 std::string* error = nullptr);

// Removes the temporary files of killed saves from `folder`; returns how many.
int RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace orvan::config
