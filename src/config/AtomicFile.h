#pragma once
// Every file the program writes goes through here: the content is written to
// a temporary file in the same folder, flushed to disk and renamed over the
// target, so a failure never leaves a half-written file behind and an existing
// file stays as it was.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvan::config {

struct SaveResult {
    bool ok = false;
    std::string error;  // names the path and the reason when !ok
    explicit operator bool() const { return ok; }
};

[[nodiscard]] SaveResult SaveFileAtomically(const std::string& path, std::string_view content);

// Reads a whole file. False (error filled) when it cannot be opened or read.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& content,
                                 std::string* error = nullptr);

}  // namespace orvan::config
