#pragma once
// The configuration on the pages: the record the window edits and the
// command line loads. Front ends change it only through here (or through a
// completed read from the board), so the core knows when a configuration is
// shown: operations that need one (the tuning log, the maximum current)
// refuse before it is.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "commands/Session.h"
#include "config/Cfgwelderrw.h"

namespace orvan::features {

class TConfigDocument {
  public:
    TConfigDocument(commands::TSession& session, config::TCfgWelderRW& record)
        : session_(session), record_(record) {}

    const config::TCfgWelderRW& Record() const { return record_; }
    // A configuration is shown (read from the board, opened, new).
    bool Loaded() const { return session_.configLoaded; }

    // "New": the default configuration.
    void New();
    // "Open...": a ".wcf" file; the record stays as it was when refused.
    [[nodiscard]] config::TFileResult Open(const std::string& path);
    // A backup into the record; `exact` gets the image kept beside it when
    // there is one that still says what the ".wcf" says.
    [[nodiscard]] config::TFileResult OpenBackup(
        const std::string& wcfPath,
        std::optional<std::array<std::uint8_t, config::kImageSize>>& exact);
    // The pages' values become the record (the window reads its cells into
    // a copy of Record() and hands it here).
    void Take(const config::TCfgWelderRW& edited);

  private:
    commands::TSession& session_;
    config::TCfgWelderRW& record_;
};

}  // namespace orvan::features
