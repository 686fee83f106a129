// The program's settings file ("OrvanSuperV.cfg") from arbitrary bytes.
// Invariants: every value in use after reading is one the program can use
// (a board speed, a port 1..255, a device that can be a serial port), each
// impossible value is named in a notice, and a file that was read is saved
// and read back to the same values with whatever else it held kept.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Config.h"
#include "config/IniFile.h"

using namespace orvan;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string d = "/tmp/orvan-fuzz-settings-" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void CheckUsable(const app::TConfig& c) {
    Check(c.speed == 9600 || c.speed == 19200 || c.speed == 38400 || c.speed == 56700);
    Check(c.port >= 1 && c.port <= app::kMaxPortNumber);
    std::string why;
    Check(c.device.empty() || app::PlausibleSerialDevice(c.device, &why));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = ScratchDir() + app::kSettingsFileName;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    app::TConfig c(ScratchDir());
    CheckUsable(c);
    if (!c.LoadError().empty()) {
        // Never replaced when it could not be read.
        Check(!c.Save());
        return 0;
    }
    std::string error;
    if (!c.Save(&error)) return 0;  // the disk, not the text
    app::TConfig back(ScratchDir());
    Check(back.LoadError().empty());
    CheckUsable(back);
    Check(back.speed == c.speed && back.port == c.port && back.device == c.device &&
          back.lastTab == c.lastTab && back.pollAnalog == c.pollAnalog &&
          back.pollOptoIO == c.pollOptoIO && back.pollAnomaly == c.pollAnomaly &&
          back.pollSourceTime == c.pollSourceTime && back.pollHeadAnomalies == c.pollHeadAnomalies);
    return 0;
}
