// The files a technician hands the program, read from arbitrary bytes:
//   fuzz_naming     a machine naming file ("IOC_*.ini", "OrvanMachineName.ini");
//   fuzz_dump_file  a dump file to restore, and the kind guard that looks into
//                   any file before a save replaces it.
// Which one this executable is comes from ORVAN_FUZZ_FILE_KIND. Invariants:
// no out-of-bounds access (ASan, UBSan), the names stay within their frames,
// a dump is taken only when it is exactly the 1024 bytes, and as they are.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "config/IniFile.h"
#include "features/EepromImage.h"
#include "features/FileKindGuard.h"
#include "features/MachineNaming.h"

using namespace orvan;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// One scratch file per process, rewritten for each input.
const std::string& ScratchPath() {
    static const std::string path = [] {
        std::string p = "/tmp/orvan-fuzz-" + std::to_string(::getpid()) + ".bin";
        return p;
    }();
    return path;
}

void WriteScratch(const std::uint8_t* data, std::size_t size) {
    std::ofstream(ScratchPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

#if ORVAN_FUZZ_FILE_KIND == 1
void FuzzNaming(const std::uint8_t* data, std::size_t size) {
    config::TIniFile ini;
    ini.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    const features::TMachineNames names = features::MachineNamesFromIni(ini);
    Check(names.anomalies.size() <= features::kAnomalyCapacity);
    for (const auto& frame : names.io) Check(frame.size() == features::kIoIndicators);
    const std::uint16_t type = size >= 2 ? static_cast<std::uint16_t>(data[0] | data[1] << 8) : 0;
    const std::string name = features::LookUpMachineName(ini, type);
    Check(!name.empty());
    // The same through the file, as the program reads it.
    WriteScratch(data, size);
    const features::TMachineNames fromFile = features::LoadMachineNames(ScratchPath());
    Check(fromFile.found || !fromFile.error.empty());
    if (fromFile.found) Check(fromFile.anomalies == names.anomalies && fromFile.io == names.io);
}

#else
void FuzzDumpFile(const std::uint8_t* data, std::size_t size) {
    WriteScratch(data, size);
    features::TEepromImage image{};
    std::string why;
    const bool ok = features::LoadDumpFile(ScratchPath(), image, &why);
    Check(ok == (size == features::kEepromBytes));
    if (ok) {
        Check(std::equal(image.begin(), image.end(), data));
        Check(features::ImageSerialNumber(image).size() <= 15);
    } else {
        Check(!why.empty());
    }
    const features::TFileKind kind = features::DetectFileKind(ScratchPath());
    Check(features::FileKindText(kind) != nullptr);
}

#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#if ORVAN_FUZZ_FILE_KIND == 1
    FuzzNaming(data, size);
#else
    FuzzDumpFile(data, size);
#endif
    return 0;
}
