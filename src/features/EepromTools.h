#pragma once
// The EEPROM tools: the format (every page written with 0xFF, one page per
// acknowledge) and the dump (the whole EEPROM read and listed, two rows of 16
// bytes per answer). Each started sequence ends with one outcome.

#include <array>
#include <cstdint>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/FeatureOutcome.h"
#include "link/Result.h"

namespace orvan::features {

class IEepromView {
  public:
    virtual ~IEepromView() = default;
    // The page at nextAddress - 32 was sent.
    virtual void OnEepromFormatProgress(std::uint16_t /*nextAddress*/) {}
    virtual void OnEepromFormatFinished(const TSequenceOutcome& /*outcome*/) {}
    // The rows of one dump answer.
    virtual void OnEepromDumpRows(const std::vector<commands::MemoryRow>& /*rows*/) {}
    virtual void OnEepromDumpFinished(const TSequenceOutcome& /*outcome*/) {}
};

class TEepromTools : public commands::IMemoryView {
  public:
    explicit TEepromTools(commands::TSession& session) : session_(session) {}

    commands::TFanout<IEepromView>& Views() { return views_; }

    // Erases the whole EEPROM page by page.
    TResult StartEepromFormat();
    // Writes a whole memory image page by page, as the format writes its
    // 0xFF (a dump file written back). Its progress and outcome are the
    // format's.
    TResult StartImageWrite(const std::array<std::uint8_t, commands::kEepromSize>& image);
    // Queues the next page of the format.
    void SendEepromPage();
    TResult StartEepromDump();
    bool Busy() const { return formatRunning_ || dumpRunning_; }
    // Pages of the running (or last) page write the board acknowledged.
    int PagesAcknowledged() const { return pagesAcknowledged_; }
    // Ends the running page write or dump without sending more (nothing of
    // it is in flight); its outcome says `why`.
    void Abandon(const std::string& why);
    // Lists a memory image as a dump lists it (the views' dump rows).
    void ShowImage(std::span<const std::uint8_t> image);

    // --- state -----------------------------------------------------------
    bool eepromFormatActive = false;  // more pages to queue
    std::uint16_t eepromAddress = 0;  // next page
    std::uint16_t eepromLastAddress = commands::kEepromSize - 1;
    std::array<std::uint8_t, commands::kEepromSize> eepromImage{};

    // Board events.
    void OnWriteAcknowledged(std::uint16_t address) override;
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    void EndFormat(TSequenceOutcome outcome);
    void EndDump(TSequenceOutcome outcome);

    commands::TSession& session_;
    commands::TFanout<IEepromView> views_;
    bool formatRunning_ = false;  // until its outcome
    bool dumpRunning_ = false;
    std::uint16_t pendingPage_ = 0;
    int pagesAcknowledged_ = 0;
};

}  // namespace orvan::features
