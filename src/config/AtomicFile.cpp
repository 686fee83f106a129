#include "config/AtomicFile.h"

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
        r.error = "cannot create \"" + path + "\": " + Reason(errno);
        return -1;
    }
    SetMode(fd, path);
    const int err = WriteAll(fd, content);
    if (err != 0) {
        ::unlink(tmp.c_str());
        ::close(fd);
        r.error = "cannot write \"" + path + "\": " + Reason(err);
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

SaveResult SaveFileAtomically(const std::string& path, std::string_view content) {
    SaveResult r;
    if (path.empty()) {
        r.error = "cannot save: no file name given";
        return r;
    }
    std::string tmp;
    const int fd = WriteTemp(path, content, tmp, r);
    if (fd < 0) return r;
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        r.error = "cannot replace \"" + path + "\": " + Reason(err);
        return r;
    }
    if (::close(fd) != 0) {
        r.error = "cannot write \"" + path + "\": " + Reason(errno);
        return r;
    }
    SyncFolder(path);
    r.ok = true;
    return r;
}

SaveResult SaveNewFile(const std::string& path, std::string_view content) {
    SaveResult r;
    if (path.empty()) {
        r.error = "cannot save: no file name given";
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
        r.error = "\"" + path + "\" exists already";
        return r;
    }
    if (err != 0) {
        r.error = "cannot create \"" + path + "\": " + Reason(err);
        return r;
    }
    SyncFolder(path);
    r.ok = true;
    return r;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open \"" + path + "\": " + Reason(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        if (error) *error = "cannot read \"" + path + "\": " + Reason(errno);
        return false;
    }
    content = ss.str();
    return true;
}

}  // namespace orvan::config
