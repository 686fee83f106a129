#include "features/ConfigDocument.h"

#include "features/ConfigBackups.h"

namespace orvan::features {

void TConfigDocument::New() {
    record_ = config::TCfgWelderRW(config::DefaultConfiguration());
    session_.configLoaded = true;
}

config::TFileResult TConfigDocument::Open(const std::string& path) {
    config::TCfgWelderRW loaded;
    config::TFileResult r = loaded.LoadFromFile(path);
    if (!r) return r;
    record_ = loaded;
    session_.configLoaded = true;
    return r;
}

config::TFileResult TConfigDocument::OpenBackup(
    const std::string& wcfPath,
    std::optional<std::array<std::uint8_t, config::kImageSize>>& exact) {
    config::TCfgWelderRW loaded;
    config::TFileResult r = RestoreBackup(wcfPath, loaded);
    if (!r) return r;
    record_ = loaded;
    session_.configLoaded = true;
    std::array<std::uint8_t, config::kImageSize> image{};
    std::string why;
    if (LoadBackupImage(wcfPath, image, &why))
        exact = image;
    else
        exact.reset();
    return r;
}

void TConfigDocument::Take(const config::TCfgWelderRW& edited) {
    record_ = edited;
}

}  // namespace orvan::features
