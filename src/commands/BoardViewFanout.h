#pragma once
// One session, several front ends: the window's own view and the features that
// follow a sequence (the configuration transfer) all see every board event.
// The session is given the fan-out as its view; each listener registers here.
// A listener may add or remove listeners (itself included) while an event is
// being delivered: one removed is not called again, one added hears the next
// event, not the current one.

#include <cstddef>
#include <vector>

#include "commands/BoardView.h"

namespace orvan::commands {

class TBoardViewFanout : public IBoardView {
  public:
    void Add(IBoardView& view);
    void Remove(IBoardView& view);
    std::size_t Count() const;

    void OnBoardType(std::uint16_t boardType) override;
    void OnFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                           const std::string& text) override;
    void OnMachineNamesFile(const std::string& fileName) override;
    void OnProtocolVersion(std::uint32_t packed, const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;
    void OnVariable(const DecodedVariable& v) override;
    void OnAnomalyStatus(std::uint32_t bits) override;
    void OnIoStatus(const IoStatusWords& w) override;
    void OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) override;
    void OnPowerReadings(const PowerReadingWords& w) override;
    void OnSourceWorkTime(std::uint32_t seconds) override;
    void OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) override;
    void OnClockDate(int year, int month, int day, bool valid) override;
    void OnClockRun(bool running) override;
    void OnStartAnswer(std::uint8_t type, std::uint8_t status, const std::string& text,
                       bool started) override;
    void OnDiagnosisStatus(std::uint8_t status) override;
    void OnDiagnosisPower(int step, std::uint16_t raw) override;
    void OnTuningStatus(std::uint8_t status) override;
    void OnMultiHeadCount(std::uint8_t heads) override;
    void OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) override;
    void OnDac16(std::uint16_t value) override;
    void OnDac16Force(bool on) override;
    void OnFlangingProfiles(const std::vector<FlangingProfileRow>& rows) override;
    void OnMemoryRows(const std::vector<MemoryRow>& rows, bool dump) override;
    void OnConfigUploadProgress(std::uint8_t chunks) override;
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) override;
    void OnTuningLogComplete(const std::array<std::uint8_t, 320>& image) override;
    void OnEventLogComplete(const std::vector<std::uint8_t>& buffer) override;
    void OnDownloadProgress(std::uint8_t blocksAcknowledged) override;
    void OnDownloadComplete() override;
    void OnEepromFormatProgress(std::uint16_t nextAddress) override;
    void OnEepromFormatComplete() override;
    void OnSequenceStopped(Sequence s, int purpose, const std::string& why) override;
    void OnStopPolling() override;
    void OnAnswerIgnored(const std::string& why) override;
    void OnLinkState(std::string_view text) override;

  private:
    template <typename F>
    void Each(F&& f);

    std::vector<IBoardView*> views_;  // null where one was removed during delivery
    int depth_ = 0;                   // deliveries under way
};

}  // namespace orvan::commands
