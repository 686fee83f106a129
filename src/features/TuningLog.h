#pragma once
// The tuning log of the "Welder Tuning" page: read under its own purpose
// (by the button, after every configuration read, at the end of a tuning
// run), decoded with TWelderData against the configuration's maximum diode
// current and power/current table, shown, and saved as a ".log" file.

#include <array>
#include <string>
#include <vector>

#include "commands/Session.h"
#include "config/Cfgwelderrw.h"
#include "features/FeatureOutcome.h"
#include "features/WelderData.h"
#include "features/WelderLogs.h"
#include "link/Result.h"

namespace orvan::features {

// What the page shows of a decoded tuning log.
struct TTuningLogShown {
    TSequenceOutcome outcome;
    std::uint8_t validCopy = 0;  // 0 none, 1 A, 2 B
    bool tuningDone = false;
    std::vector<tuninglog> entries;  // newest first, up to the first absent one
    bool hasTable = false;           // memTableWA visible, stgTuningWA filled
    // stgTuningWA rows 1..6: power text, current text.
    std::array<std::string, 6> tablePower{}, tableCurrent{};
    std::string factoryTuningTime;  // stxFactoryTuningDT
    // Said plainly when neither copy can be trusted (empty otherwise).
    std::string problem;
};

class ITuningLogView {
  public:
    virtual ~ITuningLogView() = default;
    // A read ended: decoded when completed; when stopped, nothing changes
    // but the outcome.
    virtual void OnTuningLogShown(const TTuningLogShown& /*shown*/) {}
};

class TTuningLog : private IWelderLogView {
  public:
    TTuningLog(commands::TSession& session, config::TCfgWelderRW& record, TWelderLogs& logs)
        : session_(session), record_(record), logs_(logs) {
        logs_.Views().Add(*this);
    }
    TTuningLog(const TTuningLog&) = delete;
    TTuningLog& operator=(const TTuningLog&) = delete;

    commands::TFanout<ITuningLogView>& Views() { return views_; }

    // "Get tuning log": needs a configuration (the currents are fractions of
    // its maximum diode current).
    TResult Read();
    // "Save tuning log": the ".log" text, atomically; refused before a read.
    TResult Save(const std::string& path) const { return welderData.Save(path); }
    // Decodes an image as a completed read would (tests, fuzzing).
    TTuningLogShown Decode(std::span<const std::uint8_t> image);

    // --- state -----------------------------------------------------------
    TWelderData welderData;
    TTuningLogShown lastShown;

  private:
    void OnTuningLogRead(const TSequenceOutcome& outcome,
                         const std::array<std::uint8_t, commands::kTuningLogSize>& image) override;

    commands::TSession& session_;
    config::TCfgWelderRW& record_;
    TWelderLogs& logs_;
    commands::TFanout<ITuningLogView> views_;
};

}  // namespace orvan::features
