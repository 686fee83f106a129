#include "app/InstallLayout.h"

#include <filesystem>
#include <system_error>

#include "features/MachineNaming.h"

namespace orvan::app {

namespace {

bool HasMachineNames(const std::filesystem::path& dir) {
    std::error_code ec;
    return std::filesystem::is_regular_file(dir / features::kMachineNameFile, ec);
}

}  // namespace

std::string NamingDirectory(const std::string& programDirectory) {
    const std::filesystem::path own(programDirectory.empty() ? std::string("./")
                                                             : programDirectory);
    if (HasMachineNames(own)) return own.string();
    const std::filesystem::path installed = own / kInstalledNamingDirectory;
    if (HasMachineNames(installed)) {
        std::error_code ec;
        // A clean path reads better in the status bar than "bin/../share".
        const std::filesystem::path clean = std::filesystem::weakly_canonical(installed, ec);
        std::string s = ec ? installed.string() : clean.string();
        if (!s.empty() && s.back() != '/') s += '/';
        return s;
    }
    return own.string();
}

std::string ProgramDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    std::string s = exe.parent_path().string();
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

}  // namespace orvan::app
