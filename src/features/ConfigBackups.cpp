#include "features/ConfigBackups.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "config/AtomicFile.h"
#include "config/IniFile.h"
#include "config/SystemPaths.h"

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
    using namespace std::chrono;
    // As timegm: a day past the month's end runs on into the next month.
    const sys_days day =
        year_month_day{year{parts.tm_year + 1900}, month{static_cast<unsigned>(parts.tm_mon + 1)},
                       std::chrono::day{static_cast<unsigned>(parts.tm_mday)}};
    out = TBackupClock::from_time_t(system_clock::to_time_t(
        day + hours{parts.tm_hour} + minutes{parts.tm_min} + seconds{parts.tm_sec}));
    return true;
}

// The backup folder, created when missing; empty with `why` when it cannot be.
bool MakeBackupDir(const std::string& dir, std::string& why) {
    if (dir.empty()) {
        why = "no folder for backups (" + config::UserDataDirectoryNeeds() + ")";
        return false;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        why = "cannot create the backup folder " + dir + ": " +
              (ec ? ec.message() : std::string("not a folder"));
        return false;
    }
    return true;
}

}  // namespace

std::string DefaultBackupDir() {
    const std::string base = config::UserDataDirectory();
    if (base.empty()) return {};
    return (fs::path(base) / kAppFolder / "backups").string();
}

std::string BackupSerialPart(std::string_view serial) {
    std::string out;
    for (char c : serial) {
        const bool keep =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
        out.push_back(keep ? c : '_');
    }
    if (!serial.empty() &&
        std::all_of(serial.begin(), serial.end(), [](char c) { return c == '\xFF'; }))
        return "blank";
    return out.empty() ? std::string("unknown") : out;
}

std::string SerialNumberText(std::string_view serial) {
    if (serial.empty()) return "(none)";
    if (std::all_of(serial.begin(), serial.end(), [](char c) { return c == '\xFF'; }))
        return "(blank)";
    std::string out;
    for (char c : serial) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string BackupFileName(std::string_view serial, TBackupClock::time_point when) {
    const std::tm p = UtcParts(when);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", p.tm_year + 1900, p.tm_mon + 1,
                  p.tm_mday, p.tm_hour, p.tm_min, p.tm_sec);
    return BackupSerialPart(serial) + "_" + stamp + ".wcf";
}

TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                         const std::array<std::uint8_t, config::kImageSize>& image,
                         TBackupClock::time_point when) {
    TBackupResult r;
    if (!MakeBackupDir(dir, r.why)) return r;
    config::TCfgWelderRW held;
    held.LoadFromImage(image.data());
    config::TIniFile ini;
    held.WriteToIni(ini);
    const std::string text = ini.Text();
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());

    const std::string name = BackupFileName(serial, when);
    const std::string stem = name.substr(0, name.size() - 4);
    for (int n = 1; n <= 999; ++n) {
        const std::string base =
            (fs::path(dir) / (n == 1 ? stem : stem + "-" + std::to_string(n))).string();
        // The image first: a ".wcf" is listed only once its image is there.
        const config::SaveResult bin = config::SaveNewFile(base + ".bin", bytes);
        if (bin.exists) continue;
        if (!bin) {
            r.why = bin.why;
            return r;
        }
        const config::SaveResult wcf = config::SaveNewFile(base + ".wcf", text);
        if (!wcf) {
            std::remove((base + ".bin").c_str());  // ours, made just now
            if (wcf.exists) continue;
            r.why = wcf.why;
            return r;
        }
        r.ok = true;
        r.path = base + ".wcf";
        return r;
    }
    r.why = "cannot choose a new backup file name in " + dir;
    return r;
}

TBackupResult SaveBackup(const std::string& dir, std::string_view serial,
                         const config::TWelderCfgBlank& cfg, TBackupClock::time_point when) {
    std::array<std::uint8_t, config::kImageSize> image{};
    image.fill(0xFF);
    cfg.FillImage(image.data());
    config::TWelderCfgBlank::StampImageChecksum(image.data());
    return SaveBackup(dir, serial, image, when);
}

TBackupResult SaveKeptBytes(const std::string& dir, std::string_view serial, std::string_view tag,
                            std::span<const std::uint8_t> bytes, TBackupClock::time_point when) {
    TBackupResult r;
    if (!MakeBackupDir(dir, r.why)) return r;
    const std::string name = BackupFileName(serial, when);  // SERIAL_STAMP.wcf
    const std::string serialPart = BackupSerialPart(serial);
    const std::string stem = serialPart + "_" + std::string(tag) +
                             name.substr(serialPart.size(), name.size() - serialPart.size() - 4);
    const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (int n = 1; n <= 999; ++n) {
        const std::string path =
            (fs::path(dir) / ((n == 1 ? stem : stem + "-" + std::to_string(n)) + ".bin")).string();
        const config::SaveResult saved = config::SaveNewFile(path, content);
        if (saved.exists) continue;
        if (!saved) {
            r.why = saved.why;
            return r;
        }
        r.ok = true;
        r.path = path;
        return r;
    }
    r.why = "cannot choose a new file name in " + dir;
    return r;
}

std::string BackupImagePath(const std::string& wcfPath) {
    std::string p = wcfPath;
    if (p.size() >= 4 && p.compare(p.size() - 4, 4, ".wcf") == 0) p.resize(p.size() - 4);
    return p + ".bin";
}

bool ImageHoldsRecord(const std::array<std::uint8_t, config::kImageSize>& image,
                      const config::TWelderCfgBlank& record) {
    config::TWelderCfgBlank fromImage;
    fromImage.LoadFromImage(image.data());
    for (const config::TFieldInfo& f : config::Fields())
        if (f.Raw(fromImage) != f.Raw(record)) return false;
    return true;
}

bool LoadBackupImage(const std::string& wcfPath,
                     std::array<std::uint8_t, config::kImageSize>& image, std::string* why) {
    auto fail = [&](std::string w) {
        if (why) *why = std::move(w);
        return false;
    };
    const std::string bin = BackupImagePath(wcfPath);
    std::error_code ec;
    if (!fs::is_regular_file(bin, ec)) return fail("no exact image beside it (" + bin + ")");
    const auto size = fs::file_size(bin, ec);
    if (ec || size != config::kImageSize)
        return fail(bin + " is not a " + std::to_string(config::kImageSize) + "-byte image");
    std::string bytes, error;
    if (!config::ReadWholeFile(bin, bytes, &error)) return fail(error);
    if (bytes.size() != config::kImageSize)
        return fail(bin + " is not a " + std::to_string(config::kImageSize) + "-byte image");
    std::array<std::uint8_t, config::kImageSize> read{};
    std::copy(bytes.begin(), bytes.end(), read.begin());
    config::TCfgWelderRW file;
    const config::TFileResult loaded = file.LoadFromFile(wcfPath);
    if (!loaded) return fail(loaded.why);
    if (!ImageHoldsRecord(read, file))
        return fail(wcfPath + " was changed after the backup: its values are used, not " + bin);
    image = read;
    return true;
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
        const std::string image = BackupImagePath(b.path);
        if (fs::is_regular_file(image, ec)) b.imagePath = image;
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
