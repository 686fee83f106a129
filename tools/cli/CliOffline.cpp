// File commands of orvan-cli: conversions between a configuration file and
// the board's configuration image, and a listing of a configuration file.
// Their outputs follow the rules of every output of the program: reserved
// (no other run takes the name meanwhile), never over a file of another
// kind, over one of the same kind only with --force, written atomically.
// Their inputs are read only when they are regular files of a sane size.
// Exit status: 0 done, 1 the output could not be written, 2 bad arguments
// or refused input (nothing written).

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "config/AtomicFile.h"
#include "config/Cfgwelder.h"
#include "config/Cfgwelderrw.h"
#include "features/Operation.h"

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

// A configuration is always a ".wcf": a name that is not one would silently
// become another file, so it is refused, naming the file that would be used.
bool NamesItsWcf(const std::string& command, const std::string& name) {
    const std::string wcf = config::WcfFileName(name);
    if (wcf == name) return true;
    Fail(command + ": configurations are \".wcf\" files: " + name + " would be taken as " + wcf +
         "; give that name if it is the one meant. Nothing done");
    return false;
}

// Reserves `out` for a file of `kind`; false with the reason said.
bool Reserve(const std::string& command, const std::string& out, features::TFileKind kind,
             bool force, const char* what, config::TReservedFile& file) {
    const TResult r = features::ReserveOutput({out, kind, what, force, false}, file);
    if (r) return true;
    Fail(command + ": " + r.why + "; nothing written");
    return false;
}

// Writes the reserved file; 0, or 1 with the reason said.
int Commit(const std::string& command, config::TReservedFile& file, std::string_view content) {
    const config::SaveResult saved = file.Commit(content);
    if (saved) return 0;
    Fail(command + ": " + saved.why);
    return 1;
}

// Loads a configuration file, its warnings on stderr; false (reason said) when
// it cannot be used.
bool LoadWcf(const std::string& name, TCfgWelderRW& cfg) {
    const config::TFileResult loaded = cfg.LoadFromFile(name);
    if (!loaded) {
        Fail(loaded.why);
        return false;
    }
    PrintWarnings(loaded);
    return true;
}

int WcfToImage(const Options& opt, const TWords& w) {
    const std::string& in = w.Name(0);
    const std::string& out = w.Name(1);
    if (!NamesItsWcf("wcf-to-image", in)) return 2;
    TCfgWelderRW cfg;
    if (!LoadWcf(in, cfg)) return 2;
    config::TReservedFile file;
    if (!Reserve("wcf-to-image", out, features::TFileKind::ConfigImage,
                 w.Has("--force") || opt.force, "the image file", file))
        return 2;
    std::vector<std::uint8_t> image(config::kImageSize);
    config::BuildDeviceImage(cfg, image.data());
    if (const int rc =
            Commit("wcf-to-image", file,
                   std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
        rc != 0)
        return rc;
    if (!opt.quiet) {
        std::printf("%s -> %s: %zu bytes, checksum 0x%04X\n", config::WcfFileName(in).c_str(),
                    file.Path().c_str(), image.size(), config::StoredImageChecksum(image.data()));
    }
    return 0;
}

int ImageToWcf(const Options& opt, const TWords& w) {
    const std::string& in = w.Name(0);
    const std::string& out = w.Name(1);
    const bool force = w.Has("--force") || opt.force;
    if (!NamesItsWcf("image-to-wcf", out)) return 2;
    // Read only a regular file of at most a dump's size: a device or a FIFO
    // could be endless.
    std::string bytes;
    std::string error;
    if (!config::ReadWholeFile(in, bytes, &error, kEepromDumpSize)) {
        Fail("image-to-wcf: " + error + "; nothing written");
        return 2;
    }
    std::size_t offset = 0;
    if (bytes.size() == kEepromDumpSize) {
        offset = config::kImageEepromAddress;
    } else if (bytes.size() != config::kImageSize) {
        Fail("\"" + in + "\" holds " + std::to_string(bytes.size()) + " bytes: expected a " +
             std::to_string(config::kImageSize) + "-byte configuration image or a " +
             std::to_string(kEepromDumpSize) + "-byte EEPROM dump; nothing written");
        return 2;
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
            return 2;
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
    config::TReservedFile file;
    if (!Reserve("image-to-wcf", out, features::TFileKind::Configuration, force,
                 "the configuration file", file))
        return 2;
    // Saved in place: what the program does not own in a file it replaces stays.
    std::string text;
    if (const config::TFileResult made = cfg.FileText(file.Path(), text); !made) {
        Fail("image-to-wcf: " + made.why);
        return 1;
    }
    if (const int rc = Commit("image-to-wcf", file, text); rc != 0) return rc;
    if (!opt.quiet) std::printf("%s -> %s\n", in.c_str(), file.Path().c_str());
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

int WcfShow(const TWords& w) {
    if (!NamesItsWcf("wcf-show", w.Name(0))) return 2;
    TCfgWelderRW cfg;
    if (!LoadWcf(w.Name(0), cfg)) return 2;
    std::printf("%-20s %-18s %8s  %s\n", "field", "section", "raw", "value");
    for (const config::TFieldInfo& f : config::Fields()) {
        std::string value = FormatValue(f.Value(cfg));
        if (*f.unit) value += std::string(" ") + f.unit;
        std::printf("%-20s %-18s %8d  %s\n", f.key.c_str(), f.section, f.Raw(cfg), value.c_str());
    }
    return 0;
}

}  // namespace

TPlan WcfToImage(const Options& opt) {
    const auto w = TWords::Split(opt, {"--force"}, {}, 2, 2);
    return Done(w ? WcfToImage(opt, *w) : 2);
}

TPlan ImageToWcf(const Options& opt) {
    const auto w = TWords::Split(opt, {"--force"}, {}, 2, 2);
    return Done(w ? ImageToWcf(opt, *w) : 2);
}

TPlan WcfShow(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 1, 1);
    return Done(w ? WcfShow(*w) : 2);
}

}  // namespace orvan::cli
