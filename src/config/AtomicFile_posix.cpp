#include "config/AtomicFile.h"
#include "config/AtomicFileParts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace orvan::config {

namespace {

constexpr std::string_view kTempTag = ".orvantmp";
constexpr std::size_t kTempRandom = 6;  // mkstemp's XXXXXX
// Room left in a file name for the dot, the tag and the random part.
constexpr std::size_t kMaxBaseInTempName = 200;

std::string Reason(int err) {
    return std::strerror(err);
}

std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTempName(std::string_view name) {
    if (name.size() < 1 + kTempTag.size() + kTempRandom || name.front() != '.') return false;
    return name.substr(name.size() - kTempRandom - kTempTag.size(), kTempTag.size()) == kTempTag;
}

// A temporary file beside `path`, created and locked; -1 with errno set.
int CreateTemp(const std::string& path, std::string& tmp) {
    const std::string folder = Folder(path);
    std::string base = BaseName(path);
    if (base.size() > kMaxBaseInTempName) base.resize(kMaxBaseInTempName);
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string name = (folder == "/" ? std::string() : folder) + "/." + base +
                           std::string(kTempTag) + std::string(kTempRandom, 'X');
        if (path.find('/') == std::string::npos) name = name.substr(2);  // "./" dropped
        std::vector<char> buf(name.begin(), name.end());
        buf.push_back('\0');
        const int fd = ::mkstemp(buf.data());
        if (fd < 0) return -1;
        // Locked for as long as it is written: the lock is what tells a live
        // save from a killed one.
        (void)::flock(fd, LOCK_EX);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            tmp.assign(buf.data());
            return fd;
        }
        // Taken for a stale file between its creation and its lock.
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// Permissions of a file being replaced are kept; new files get the usual
// rw-r--r-- under the user's umask rather than mkstemp's 0600.
void SetMode(int fd, const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        (void)::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
    }
}

// Writes and flushes the content; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return errno;
    return 0;
}

void SyncFolder(const std::string& path) {
    const int dir = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

// The temporary file with the content, flushed; its descriptor stays open
// (and locked) until the caller has put the file in place. -1 with the error
// filled (nothing left behind).
int WriteTemp(const std::string& path, std::string_view content, std::string& tmp, SaveResult& r) {
    (void)RemoveStaleTemporaryFiles(Folder(path));
    const int fd = CreateTemp(path, tmp);
    if (fd < 0) {
        r.why = "cannot create \"" + path + "\": " + Reason(errno);
        return -1;
    }
    SetMode(fd, path);
    const int err = WriteAll(fd, content);
    if (err != 0) {
        ::unlink(tmp.c_str());
        ::close(fd);
        r.why = "cannot write \"" + path + "\": " + Reason(err);
        return -1;
    }
    return fd;
}

}  // namespace

int RemoveStaleTemporaryFiles(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (!IsTempName(name)) continue;
        const std::string full = (folder == "/" ? std::string() : folder) + "/" + std::string(name);
        const int fd = ::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // A lock that can be taken means the save that made the file is gone.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(full.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

bool HeldByAnotherRun(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool held = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// The rename of a finished temporary file over `path`.
SaveResult detail::ReplaceWith(const std::string& path, std::string_view content) {
    SaveResult r;
    std::string tmp;
    const int fd = WriteTemp(path, content, tmp, r);
    if (fd < 0) return r;
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        r.why = "cannot replace \"" + path + "\": " + Reason(err);
        return r;
    }
    if (::close(fd) != 0) {
        r.why = "cannot write \"" + path + "\": " + Reason(errno);
        return r;
    }
    SyncFolder(path);
    r.ok = true;
    return r;
}

SaveResult TReservedFile::Reserve(const std::string& path, bool mayReplace) {
    Release();
    committed_ = false;
    created_ = false;
    if (path.empty()) return SaveResult{{false, "no file name given"}, false};
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Another run may open the new empty file and lock it before this
            // one does; then it is that run's, as any empty file it finds.
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                return SaveResult{{false, "\"" + path + "\" is being written by another run"},
                                  true};
            }
            path_ = path;
            fd_ = fd;
            created_ = true;
            return SaveResult{{true, {}}, false};
        }
        if (errno != EEXIST)
            return SaveResult{{false, "cannot create \"" + path + "\": " + Reason(errno)}, false};
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // removed meanwhile: try the free name again
            return SaveResult{
                {false, "\"" + path + "\" exists and cannot be opened: " + Reason(errno)}, true};
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return SaveResult{{false, "\"" + path + "\" is not a file"}, true};
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return SaveResult{{false, "\"" + path + "\" is being written by another run"}, true};
        }
        // Still the file of that name (not one unlinked between open and lock)?
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev) {
            ::close(fd);
            continue;
        }
        if (!mayReplace && st.st_size != 0) {
            ::close(fd);
            return SaveResult{{false, "\"" + path + "\" exists"}, true};
        }
        path_ = path;
        fd_ = fd;
        return SaveResult{{true, {}}, false};
    }
    return SaveResult{{false, "cannot take \"" + path + "\": it keeps changing"}, false};
}

SaveResult TReservedFile::Commit(std::string_view content) {
    if (fd_ < 0) return SaveResult{{false, "\"" + path_ + "\" is not reserved"}, false};
    const SaveResult r = detail::ReplaceWith(path_, content);
    if (r) committed_ = true;
    return r;
}

void TReservedFile::Release() {
    if (fd_ < 0) return;
    if (created_ && !committed_) {
        // Only the empty placeholder made here, never a file put in its place.
        struct stat mine {
        }, now{};
        if (::fstat(fd_, &mine) == 0 && ::stat(path_.c_str(), &now) == 0 &&
            mine.st_ino == now.st_ino && mine.st_dev == now.st_dev && now.st_size == 0)
            (void)::unlink(path_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
}

SaveResult SaveNewFile(const std::string& path, std::string_view content) {
    SaveResult r;
    if (path.empty()) {
        r.why = "cannot save: no file name given";
        return r;
    }
    std::string tmp;
    const int fd = WriteTemp(path, content, tmp, r);
    if (fd < 0) return r;
    // A hard link is created only when the name is free, and in one step.
    int err = ::link(tmp.c_str(), path.c_str()) == 0 ? 0 : errno;
    if (err != 0 && err != EEXIST) {
        // File systems without hard links: a rename that refuses to replace.
        err = ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0
                  ? 0
                  : errno;
    }
    ::unlink(tmp.c_str());
    ::close(fd);
    if (err == EEXIST) {
        r.exists = true;
        r.why = "\"" + path + "\" exists already";
        return r;
    }
    if (err != 0) {
        r.why = "cannot create \"" + path + "\": " + Reason(err);
        return r;
    }
    SyncFolder(path);
    r.ok = true;
    return r;
}

bool PlaceNewFile(const std::string& from, const std::string& to, std::string& why) {
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    why = Reason(errno);
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string* error,
                   std::uintmax_t maxBytes) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    // Never blocks on a FIFO or a terminal: the kind is checked first.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail("cannot open \"" + path + "\": " + Reason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail("cannot read \"" + path + "\": " + Reason(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("\"" + path + "\" is not a regular file (" +
                    (S_ISDIR(st.st_mode)                          ? "a folder"
                     : S_ISFIFO(st.st_mode)                       ? "a pipe"
                     : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                  : "not a file") +
                    "); not read");
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return fail("\"" + path + "\" is too large (" + std::to_string(st.st_size) +
                    " bytes, at most " + std::to_string(maxBytes) + " expected); not read");
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail("cannot read \"" + path + "\": " + Reason(err));
        }
        if (n == 0) break;
        // A file that grows while it is read is held to the same limit.
        if (data.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            return fail("\"" + path + "\" is too large (more than " + std::to_string(maxBytes) +
                        " bytes); not read");
        }
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    content = std::move(data);
    return true;
}

}  // namespace orvan::config
