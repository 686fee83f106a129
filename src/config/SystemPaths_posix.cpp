#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "config/SystemPaths.h"

namespace orvan::config {

std::string UserConfigDirectory() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    if (base.empty()) return {};
    return base + "/OrvanSuperV/";
}

std::string UserDataDirectory() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x != nullptr && x[0] == '/') return x;
    if (const char* h = std::getenv("HOME"); h != nullptr && h[0] != '\0')
        return std::string(h) + "/.local/share";
    return {};
}

std::string UserDataDirectoryNeeds() {
    return "neither XDG_DATA_HOME nor HOME is set";
}

bool FolderWritable(const std::string& filePath) {
    std::filesystem::path dir = std::filesystem::path(filePath).parent_path();
    if (dir.empty()) dir = ".";
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool PathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

std::string LoginName() {
    if (const char* u = std::getenv("USER"); u != nullptr && u[0] != '\0') return u;
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name) return pw->pw_name;
    return "uid " + std::to_string(geteuid());
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool PlausibleSerialDevice(const std::string& path, std::string* why) {
    auto no = [&](const char* w) {
        if (why) *why = w;
        return false;
    };
    if (path.empty() || path[0] != '/') return no("not an absolute device path");
    // A control character (a stray carriage return) names no device and
    // would not survive the settings file's next save.
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return no("control characters in the path");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;  // unplugged for now
    if (!S_ISCHR(st.st_mode)) return no("not a character device");
    // Major 1 holds /dev/null, /dev/zero, /dev/random and the like.
    if (major(st.st_rdev) == 1) return no("a memory device");
    return true;
}

}  // namespace orvan::config
