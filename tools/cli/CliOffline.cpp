// File commands of orvan-cli: conversions between a configuration file and
// the board's configuration image, and a listing of a configuration file.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Cli.h"
#include "config/AtomicFile.h"
#include "config/Cfgwelder.h"
#include "config/Cfgwelderrw.h"
#include "features/FileKindGuard.h"

namespace orvan::cli {

namespace {

using config::TCfgWelderRW;

constexpr std::size_t kEepromDumpSize = 1024;

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

void PrintWarnings(const config::TFileResult& r) {
    for (const std::string& w : r.warnings)
        std::fprintf(stderr, "warning: %s: %s\n", r.path.c_str(), w.c_str());
    if (!r.missingKeys.empty()) {
        std::fprintf(stderr, "note: %s: %zu keys missing (%s%s), defaults used\n", r.path.c_str(),
                     r.missingKeys.size(), r.missingKeys.front().c_str(),
                     r.missingKeys.size() > 1 ? ", ..." : "");
    }
}

// Splits the arguments after the command into names and the --force flag.
bool SplitArgs(const Options& opt, std::vector<std::string>& names, bool& force, bool allowForce) {
    force = false;
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        const std::string& a = opt.args[i];
        if (allowForce && a == "--force") {
            force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            Fail("unknown option " + a + " for " + opt.args[0]);
            return false;
        } else {
            names.push_back(a);
        }
    }
    return true;
}

// A configuration is always a ".wcf": a name that is not one would silently
// become another file, so it is refused, naming the file that would be used.
bool NamesItsWcf(const std::string& command, const std::string& name) {
    const std::string wcf = config::WcfFileName(name);
    if (wcf == name) return true;
    Fail(command + ": configurations are \".wcf\" files: " + name + " would be taken as " + wcf +
         "; give that name if it is the one meant. Nothing done");
    return false;
}

// Whether `out` may be written with a file of `kind`: never over a file of
// another kind unless forced (the same check the window asks the user).
bool MayReplace(const std::string& command, const std::string& out, features::TFileKind kind,
                bool force) {
    const features::TSaveCheck c = features::CheckSave(out, kind);
    if (c.refuse) {
        Fail(command + ": " + c.message);
        return false;
    }
    if (c.ask && !force) {
        Fail(command + ": " + c.message + " Not replaced: give --force to replace it");
        return false;
    }
    if (c.ask) std::fprintf(stderr, "warning: %s replaced (--force)\n", c.target.c_str());
    return true;
}

// Loads a configuration file, its warnings on stderr; false (reason said) when
// it cannot be used.
bool LoadWcf(const std::string& name, TCfgWelderRW& cfg) {
    const config::TFileResult loaded = cfg.LoadFromFile(name);
    if (!loaded) {
        Fail(loaded.message);
        return false;
    }
    PrintWarnings(loaded);
    return true;
}

int WcfToImage(const Options& opt) {
    std::vector<std::string> names;
    bool force = false;
    if (!SplitArgs(opt, names, force, true) || names.size() != 2) {
        Fail("usage: wcf-to-image FILE.wcf OUT.bin [--force]");
        return 2;
    }
    if (!NamesItsWcf("wcf-to-image", names[0])) return 2;
    if (!MayReplace("wcf-to-image", names[1], features::TFileKind::ConfigImage, force)) return 1;
    TCfgWelderRW cfg;
    if (!LoadWcf(names[0], cfg)) return 1;
    std::vector<std::uint8_t> image(config::kImageSize);
    config::BuildDeviceImage(cfg, image.data());
    const config::SaveResult saved = config::SaveFileAtomically(
        names[1], std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    if (!saved) {
        Fail(saved.error);
        return 1;
    }
    if (!opt.quiet) {
        std::printf("%s -> %s: %zu bytes, checksum 0x%04X\n", config::WcfFileName(names[0]).c_str(),
                    names[1].c_str(), image.size(), config::StoredImageChecksum(image.data()));
    }
    return 0;
}

int ImageToWcf(const Options& opt) {
    std::vector<std::string> names;
    bool force = false;
    if (!SplitArgs(opt, names, force, true) || names.size() != 2) {
        Fail("usage: image-to-wcf IN.bin OUT.wcf [--force]");
        return 2;
    }
    const std::string& in = names[0];
    if (!NamesItsWcf("image-to-wcf", names[1])) return 2;
    if (!MayReplace("image-to-wcf", names[1], features::TFileKind::Configuration, force)) return 1;
    std::error_code ec;
    const auto type = std::filesystem::status(in, ec).type();
    if (type != std::filesystem::file_type::not_found &&
        type != std::filesystem::file_type::regular) {
        Fail("\"" + in + "\" is not a regular file");
        return 1;
    }
    const auto size = std::filesystem::file_size(in, ec);
    if (!ec && size != config::kImageSize && size != kEepromDumpSize) {
        Fail("\"" + in + "\" holds " + std::to_string(size) + " bytes: expected a " +
             std::to_string(config::kImageSize) + "-byte configuration image or a " +
             std::to_string(kEepromDumpSize) + "-byte EEPROM dump");
        return 1;
    }
    std::string bytes;
    std::string error;
    if (!config::ReadWholeFile(in, bytes, &error)) {
        Fail(error);
        return 1;
    }
    std::size_t offset = 0;
    if (bytes.size() == kEepromDumpSize) {
        offset = config::kImageEepromAddress;
    } else if (bytes.size() != config::kImageSize) {
        Fail("\"" + in + "\" holds " + std::to_string(bytes.size()) + " bytes: expected a " +
             std::to_string(config::kImageSize) + "-byte configuration image or a " +
             std::to_string(kEepromDumpSize) + "-byte EEPROM dump");
        return 1;
    }
    const auto* image = reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset;
    const std::uint16_t stored = config::StoredImageChecksum(image);
    const std::uint16_t computed = config::ImageChecksum(image);
    if (stored != computed) {
        char text[160];
        std::snprintf(text, sizeof text, "stored checksum 0x%04X, computed 0x%04X", stored,
                      computed);
        if (!force) {
            Fail("\"" + in + "\": the configuration image is damaged (" + text +
                 "); nothing written. Use --force to convert it anyway");
            return 1;
        }
        std::fprintf(stderr, "warning: %s: %s; converted anyway (--force)\n", in.c_str(), text);
    }
    TCfgWelderRW cfg;
    cfg.LoadFromImage(image);
    if (cfg.GetVersion() != config::kImageVersion || cfg.GetSize() != config::kImageDataSize) {
        std::fprintf(
            stderr,
            "warning: %s: layout version %u, size %u (this program knows version %u, size %zu)\n",
            in.c_str(), cfg.GetVersion(), cfg.GetSize(), config::kImageVersion,
            config::kImageDataSize);
    }
    const config::TFileResult saved = cfg.SaveToFile(names[1]);
    if (!saved) {
        Fail(saved.message);
        return 1;
    }
    if (!opt.quiet) std::printf("%s -> %s\n", in.c_str(), saved.path.c_str());
    return 0;
}

std::string FormatValue(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

int WcfShow(const Options& opt) {
    std::vector<std::string> names;
    bool force = false;
    if (!SplitArgs(opt, names, force, false) || names.size() != 1) {
        Fail("usage: wcf-show FILE.wcf");
        return 2;
    }
    if (!NamesItsWcf("wcf-show", names[0])) return 2;
    TCfgWelderRW cfg;
    if (!LoadWcf(names[0], cfg)) return 1;
    std::printf("%-20s %-18s %8s  %s\n", "field", "section", "raw", "value");
    for (const config::TFieldInfo& f : config::Fields()) {
        std::string value = FormatValue(f.Value(cfg));
        if (*f.unit) value += std::string(" ") + f.unit;
        std::printf("%-20s %-18s %8d  %s\n", f.key.c_str(), f.section, f.Raw(cfg), value.c_str());
    }
    return 0;
}

}  // namespace

std::string OfflineUsage() {
    return "  wcf-to-image FILE.wcf OUT.bin [--force] configuration file to the 384-byte board\n"
           "                                       image\n"
           "  image-to-wcf IN.bin OUT.wcf [--force] board image (or 1024-byte EEPROM dump) to a\n"
           "                                       configuration file; refuses a damaged image\n"
           "                                       unless --force\n"
           "    (a file of another kind is never replaced without --force)\n"
           "  wcf-show FILE.wcf                    list a configuration file: field, raw, value\n";
}

bool IsOfflineCommand(const std::string& name) {
    return name == "wcf-to-image" || name == "image-to-wcf" || name == "wcf-show";
}

int RunOfflineCommand(const Options& opt) {
    if (opt.args.empty()) return 2;
    const std::string& cmd = opt.args[0];
    if (cmd == "wcf-to-image") return WcfToImage(opt);
    if (cmd == "image-to-wcf") return ImageToWcf(opt);
    if (cmd == "wcf-show") return WcfShow(opt);
    Fail("unknown command " + cmd);
    return 2;
}

}  // namespace orvan::cli
