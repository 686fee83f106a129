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

#include "link/Result.h"

namespace orvan::config {

// `why` names the path and the reason when not ok.
struct SaveResult : TResult {
    bool exists = false;  // the name was taken already (by a file, or another run)
};

// A file another run holds reserved is not replaced (the error says so).
[[nodiscard]] SaveResult SaveFileAtomically(const std::string& path, std::string_view content);

// Creates `path` with the content, complete or not at all, and only when no
// file of that name exists: an existing file is never replaced, even by
// another process saving the same name at the same moment (exists is then
// set).
[[nodiscard]] SaveResult SaveNewFile(const std::string& path, std::string_view content);

// Gives the finished file `from` the name `to` as well, in one step and only
// when no file of that name exists (`from` stays; the caller removes it).
// False with the system's reason ("File exists").
[[nodiscard]] bool PlaceNewFile(const std::string& from, const std::string& to, std::string& why);

// Files this program reads are small: the largest, a traffic capture, stays
// far below this.
inline constexpr std::uintmax_t kMaxReadFileBytes = 64u * 1024u * 1024u;

// Reads a whole regular file of at most `maxBytes`. A device, a folder or a
// FIFO is refused without reading (it could be endless or block), and so is
// a file larger than the limit. False (error filled, naming the path) when
// refused or when it cannot be opened or read.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& content,
                                 std::string* error = nullptr,
                                 std::uintmax_t maxBytes = kMaxReadFileBytes);

// An output file held by one run from the start of an operation to its end,
// so that no other run (of this program or another) takes the name
// meanwhile. A free name is created empty and locked; an existing file is
// taken only when the caller may replace it and nobody else holds it. An
// empty file that nobody holds (left by a run that was killed) is taken as
// if free. Commit writes the content atomically; a name created here and
// never committed is removed again when the reservation ends.
class TReservedFile {
  public:
    TReservedFile() = default;
    ~TReservedFile() { Release(); }
    TReservedFile(TReservedFile&& other) noexcept;
    TReservedFile& operator=(TReservedFile&& other) noexcept;
    TReservedFile(const TReservedFile&) = delete;
    TReservedFile& operator=(const TReservedFile&) = delete;

    [[nodiscard]] SaveResult Reserve(const std::string& path, bool mayReplace);
    [[nodiscard]] SaveResult Commit(std::string_view content);
    // Ends the reservation (the lock goes; an uncommitted new name is removed).
    void Release();
    bool Held() const { return fd_ >= 0; }
    bool Committed() const { return committed_; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    int fd_ = -1;  // on Windows the file handle (kernel handles fit in an int)
    bool created_ = false;
    bool committed_ = false;
};

// Whether another run holds `path` reserved (or is writing it) right now.
bool HeldByAnotherRun(const std::string& path);

// Removes the temporary files of killed saves from `folder`; returns how many.
int RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace orvan::config
