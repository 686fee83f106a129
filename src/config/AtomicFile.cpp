#include "config/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvan::config {

namespace {

std::string Reason(int err) {
    return std::strerror(err);
}

std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

SaveResult SaveFileAtomically(const std::string& path, std::string_view content) {
    SaveResult r;
    if (path.empty()) {
        r.error = "cannot save: no file name given";
        return r;
    }
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        r.error = "cannot create \"" + path + "\": " + Reason(errno);
        return r;
    }
    tmp.assign(name.data());
    // Keep the permissions of a file being replaced; new files get the usual
    // rw-r--r-- under the user's umask rather than mkstemp's 0600.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        (void)::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(tmp.c_str());
            r.error = "cannot write \"" + path + "\": " + Reason(err);
            return r;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        r.error = "cannot write \"" + path + "\": " + Reason(err);
        return r;
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        r.error = "cannot write \"" + path + "\": " + Reason(err);
        return r;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        r.error = "cannot replace \"" + path + "\": " + Reason(err);
        return r;
    }
    // Make the rename itself durable.
    const int dir = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
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
