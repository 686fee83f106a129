// The saves as every system does them; the file system's own calls are in
// AtomicFile_posix.cpp and AtomicFile_win.cpp.

#include "config/AtomicFile.h"

#include <utility>

#include "config/AtomicFileParts.h"

namespace orvan::config {

SaveResult SaveFileAtomically(const std::string& path, std::string_view content) {
    if (path.empty()) return SaveResult{{false, "cannot save: no file name given"}, false};
    // A name another run holds is its output: replacing it would lose one
    // of the two.
    if (HeldByAnotherRun(path))
        return SaveResult{{false, "\"" + path + "\" is being written by another run; not replaced"},
                          true};
    return detail::ReplaceWith(path, content);
}

TReservedFile::TReservedFile(TReservedFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      created_(other.created_),
      committed_(other.committed_) {}

TReservedFile& TReservedFile::operator=(TReservedFile&& other) noexcept {
    if (this != &other) {
        Release();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        created_ = other.created_;
        committed_ = other.committed_;
    }
    return *this;
}

}  // namespace orvan::config
