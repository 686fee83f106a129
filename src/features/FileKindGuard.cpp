#include "features/FileKindGuard.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "config/Cfgwelderrw.h"
#include "config/IniFile.h"

namespace orvan::features {

namespace fs = std::filesystem;

namespace {

// Every tuning-log file starts so, and every line capture.
constexpr std::string_view kTuningLogHead = "Velkor Laser technology";
constexpr std::string_view kCaptureHead = "# orvan line capture";
// Enough of a file to tell its kind; configurations are a few kilobytes.
constexpr std::size_t kSniffBytes = 64 * 1024;

std::string LowerExtension(const std::string& path) {
    std::string e = fs::path(path).extension().string();
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

constexpr std::size_t kImageBytes = 384;
constexpr std::size_t kEepromBytes = 1024;

// Bytes no text file of ours holds: control characters other than line
// breaks and tabs, or 0xFF (erased memory).
bool LooksBinary(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\r' && u != '\n' && u != '\t') || u == 0xFF;
    });
}

bool LooksLikeConfiguration(const std::string& text) {
    config::TIniFile ini;
    ini.LoadFromText(text);
    for (const config::TFieldInfo* f : config::FileFieldOrder())
        if (ini.ValueExists(f->section, f->key)) return true;
    return false;
}

}  // namespace

TFileKind DetectFileKind(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
        return ec && ec != std::errc::no_such_file_or_directory ? TFileKind::Unreadable
                                                                : TFileKind::Missing;
    }
    if (!fs::is_regular_file(st)) return TFileKind::NotAFile;
    std::ifstream in(path, std::ios::binary);
    if (!in) return TFileKind::Unreadable;
    std::string text(kSniffBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return TFileKind::Unreadable;
    if (text.empty()) return TFileKind::Empty;
    if (text.compare(0, kTuningLogHead.size(), kTuningLogHead) == 0) return TFileKind::TuningLog;
    if (text.compare(0, kCaptureHead.size(), kCaptureHead) == 0) return TFileKind::Capture;
    if (LooksBinary(text) && (text.size() == kImageBytes || text.size() == kEepromBytes))
        return TFileKind::ConfigImage;
    if (LooksLikeConfiguration(text)) return TFileKind::Configuration;
    return TFileKind::Other;
}

const char* FileKindText(TFileKind kind) {
    switch (kind) {
        case TFileKind::Missing:
            return "no file";
        case TFileKind::Empty:
            return "an empty file";
        case TFileKind::Configuration:
            return "a welder configuration";
        case TFileKind::TuningLog:
            return "a tuning log";
        case TFileKind::ConfigImage:
            return "a binary configuration image";
        case TFileKind::Capture:
            return "a line capture";
        case TFileKind::Other:
            return "a file that is neither a configuration nor a tuning log";
        case TFileKind::NotAFile:
            return "not a file";
        case TFileKind::Unreadable:
            return "a file that cannot be read";
    }
    return "";
}

std::string SaveTarget(const std::string& chosen, TFileKind kind) {
    return kind == TFileKind::Configuration ? config::WcfFileName(chosen) : chosen;
}

TSaveCheck CheckSave(const std::string& chosen, TFileKind kind) {
    TSaveCheck c;
    c.target = SaveTarget(chosen, kind);
    c.existing = DetectFileKind(c.target);
    const char* what = kind == TFileKind::Configuration ? "the configuration"
                       : kind == TFileKind::ConfigImage ? "the configuration image"
                       : kind == TFileKind::TuningLog   ? "the tuning log"
                       : kind == TFileKind::Capture     ? "the capture"
                                                        : "the file";
    switch (c.existing) {
        case TFileKind::NotAFile:
            c.refuse = true;
            c.message = c.target + " is not a file; " + what + " cannot be saved there.";
            return c;
        case TFileKind::Unreadable:
            c.ask = true;
            c.message = c.target + " exists but cannot be read; saving " + what +
                        " would replace it. Replace it?";
            return c;
        case TFileKind::Missing:
        case TFileKind::Empty:
            break;
        default:
            if (c.existing != kind) {
                c.ask = true;
                c.message = c.target + " holds " + FileKindText(c.existing) + "; saving " + what +
                            " would replace it. Replace it?";
                return c;
            }
            break;
    }
    // Names the user did not mean, or meant for the other kind.
    const std::string ext = LowerExtension(chosen);
    if (kind == TFileKind::Configuration && c.target != chosen &&
        c.existing != TFileKind::Missing && c.existing != TFileKind::Empty) {
        c.ask = true;
        c.message = "A configuration is always saved as .wcf: " + c.target +
                    " exists and would be replaced. Replace it?";
    } else if (kind == TFileKind::TuningLog && ext == ".wcf") {
        c.ask = true;
        c.message = c.target +
                    " carries the extension of configuration files; save the tuning log under "
                    "this name anyway?";
    }
    return c;
}

}  // namespace orvan::features
