#include "features/ConfigBackups.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace orvan::features {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kAppFolder = "orvan-supervisor";

std::tm UtcParts(TBackupClock::time_point when) {
    const std::time_t t = TBackupClock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&t, &parts);
    return parts;
}

bool Digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

// "YYYYMMDD-HHMMSS" with an optional "-N" after it.
bool ParseStamp(std::string_view stamp, TBackupClock::time_point& out, int& sequence) {
    sequence = 1;
    if (stamp.size() > 15) {
        if (stamp[15] != '-' || !Digits(stamp.substr(16)) || stamp.size() > 19) return false;
        sequence = Number(stamp.substr(16));
        stamp = stamp.substr(0, 15);
    }
    if (stamp.size() != 15 || stamp[8] != '-' || !Digits(stamp.substr(0, 8)) ||
        !Digits(stamp.substr(9)))
        return false;
    std::tm parts{};
    parts.tm_year = Number(stamp.substr(0, 4)) - 1900;
    parts.tm_mon = Number(stamp.substr(4, 2)) - 1;
    parts.tm_mday = Number(stamp.substr(6, 2));
    parts.tm_hour = Number(stamp.substr(9, 2));
    parts.tm_min = Number(stamp.substr(11, 2));
    parts.tm_sec = Number(stamp.substr(13, 2));
    if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60)
        return false;
    out = TBackupClock::from_time_t(timegm(&parts));
    return true;
}

}  // namespace

std::string DefaultBackupDir() {
    fs::path base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x != nullptr && x[0] == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h != nullptr && h[0] != '\0') {
        base = fs::path(h) / ".local" / "share";
    } else {
        return {};
    }
    return (base / kAppFolder / "backups").string();
}

std::string BackupSerialPart(std::string_view serial) {
    std::string out;
    for (char c : serial) {
        const bool keep =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
        out.push_back(keep ? c : '_');
    }
    return out.empty() ? std::string("unknown") : out;
}

std::string BackupFileName(std::string_view serial, TBackupClock::time_point when) {
    const std::tm p = UtcParts(when);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", p.tm_year + 1900, p.tm_mon + 1,
                  p.tm_mday, p.tm_hour, p.tm_min, p.tm_sec);
    return BackupSerialPart(serial) + "_" + stamp + ".wcf";
}

TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                         const config::TWelderCfgBlank& cfg, TBackupClock::time_point when) {
    TBackupResult r;
    if (dir.empty()) {
        r.message = "no folder for backups (neither XDG_DATA_HOME nor HOME is set)";
        return r;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        r.message = "cannot create the backup folder " + dir + ": " +
                    (ec ? ec.message() : std::string("not a folder"));
        return r;
    }
    const std::string name = BackupFileName(serial, when);
    const std::string stem = name.substr(0, name.size() - 4);
    fs::path path = fs::path(dir) / name;
    for (int n = 2; fs::exists(path, ec) || ec; ++n) {
        if (ec || n > 999) {
            r.message = "cannot choose a new backup file name in " + dir +
                        (ec ? ": " + ec.message() : std::string());
            return r;
        }
        path = fs::path(dir) / (stem + "-" + std::to_string(n) + ".wcf");
    }
    const config::TFileResult saved = config::TCfgWelderRW(cfg).SaveToFile(path.string());
    if (!saved) {
        r.message = saved.message;
        return r;
    }
    r.ok = true;
    r.path = saved.path;
    return r;
}

std::vector<TBackupEntry> ListBackups(const std::string& dir) {
    std::vector<TBackupEntry> out;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return out;
    for (const fs::directory_entry& e : it) {
        if (!e.is_regular_file(ec)) continue;
        const std::string name = e.path().filename().string();
        if (name.size() < 4 || name.substr(name.size() - 4) != ".wcf") continue;
        const std::string stem = name.substr(0, name.size() - 4);
        // The serial part may hold '_' itself, the stamp never does.
        const std::size_t cut = stem.rfind('_');
        if (cut == std::string::npos || cut == 0) continue;
        TBackupEntry b;
        if (!ParseStamp(std::string_view(stem).substr(cut + 1), b.time, b.sequence)) continue;
        b.path = e.path().string();
        b.serial = stem.substr(0, cut);
        const std::tm p = UtcParts(b.time);
        char text[40];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", p.tm_year + 1900,
                      p.tm_mon + 1, p.tm_mday, p.tm_hour, p.tm_min, p.tm_sec);
        b.timeText = text;
        out.push_back(std::move(b));
    }
    std::sort(out.begin(), out.end(), [](const TBackupEntry& a, const TBackupEntry& b) {
        if (a.time != b.time) return a.time > b.time;
        if (a.sequence != b.sequence) return a.sequence > b.sequence;
        return a.path < b.path;
    });
    return out;
}

config::TFileResult RestoreBackup(const std::string& path, config::TCfgWelderRW& record) {
    return record.LoadFromFile(path);
}

}  // namespace orvan::features
