#pragma once
// The welder's tuning log kept in the EEPROM (320 bytes at 400, also read
// after every configuration upload). Each read ends with one outcome; the
// image comes with it when the read completed. The event log has a
// controller of its own (EventLog.h).

#include <array>
#include <cstdint>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/FeatureOutcome.h"
#include "link/Result.h"

namespace orvan::features {

class IWelderLogView {
  public:
    virtual ~IWelderLogView() = default;
    // image: what was read (0xFF where nothing came when stopped).
    virtual void OnTuningLogRead(
        const TSequenceOutcome& /*outcome*/,
        const std::array<std::uint8_t, commands::kTuningLogSize>& /*image*/) {}
};

class TWelderLogs : public commands::IMemoryView {
  public:
    explicit TWelderLogs(commands::TSession& session) : session_(session) {}

    commands::TFanout<IWelderLogView>& Views() { return views_; }

    // The tuning-log read. Refused while another chain runs, so the end of a
    // tuning run cannot take over a configuration upload or a dump.
    TResult StartTuningLogRead();
    // The tuning-log read as the end of a tuning run asks for it: started
    // now, or once the running chain has ended (never dropped, never taking
    // the running one over). A tuning-log read already running serves it.
    void RequestTuningLogRead();
    bool TuningLogReadWaiting() const { return tuningWaiting_; }
    // Every exchange tick: starts a waiting read once no chain runs.
    void NoteTick();

    // --- state -----------------------------------------------------------
    std::array<std::uint8_t, commands::kTuningLogSize> tuningLogImage{};

    // Board events.
    void OnChainStarted(int purpose) override;
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    commands::TSession& session_;
    commands::TFanout<IWelderLogView> views_;
    bool tuningRunning_ = false;
    bool tuningWaiting_ = false;
};

}  // namespace orvan::features
