#include "commands/BoardViewFanout.h"

#include <algorithm>

namespace orvan::commands {

void TBoardViewFanout::Add(IBoardView& view) {
    if (std::find(views_.begin(), views_.end(), &view) == views_.end()) views_.push_back(&view);
}

void TBoardViewFanout::Remove(IBoardView& view) {
    for (IBoardView*& v : views_)
        if (v == &view) v = nullptr;
    if (depth_ == 0) std::erase(views_, nullptr);
}

std::size_t TBoardViewFanout::Count() const {
    return static_cast<std::size_t>(std::count_if(
        views_.begin(), views_.end(), [](const IBoardView* v) { return v != nullptr; }));
}

template <typename F>
void TBoardViewFanout::Each(F&& f) {
    ++depth_;
    // By index and up to the count at the start: the vector may grow meanwhile.
    const std::size_t n = views_.size();
    for (std::size_t i = 0; i < n; ++i)
        if (views_[i] != nullptr) f(*views_[i]);
    if (--depth_ == 0) std::erase(views_, nullptr);
}

void TBoardViewFanout::OnBoardType(std::uint16_t a) {
    Each([&](IBoardView& v) { v.OnBoardType(a); });
}
void TBoardViewFanout::OnFirmwareVersion(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                         const std::string& t) {
    Each([&](IBoardView& v) { v.OnFirmwareVersion(a, b, c, t); });
}
void TBoardViewFanout::OnMachineNamesFile(const std::string& f) {
    Each([&](IBoardView& v) { v.OnMachineNamesFile(f); });
}
void TBoardViewFanout::OnProtocolVersion(std::uint32_t p, const std::string& t) {
    Each([&](IBoardView& v) { v.OnProtocolVersion(p, t); });
}
void TBoardViewFanout::OnSerialNumber(const std::string& t) {
    Each([&](IBoardView& v) { v.OnSerialNumber(t); });
}
void TBoardViewFanout::OnVariable(const DecodedVariable& d) {
    Each([&](IBoardView& v) { v.OnVariable(d); });
}
void TBoardViewFanout::OnAnomalyStatus(std::uint32_t b) {
    Each([&](IBoardView& v) { v.OnAnomalyStatus(b); });
}
void TBoardViewFanout::OnIoStatus(const IoStatusWords& w) {
    Each([&](IBoardView& v) { v.OnIoStatus(w); });
}
void TBoardViewFanout::OnAnalogStatus(const std::array<std::uint16_t, 6>& c) {
    Each([&](IBoardView& v) { v.OnAnalogStatus(c); });
}
void TBoardViewFanout::OnPowerReadings(const PowerReadingWords& w) {
    Each([&](IBoardView& v) { v.OnPowerReadings(w); });
}
void TBoardViewFanout::OnSourceWorkTime(std::uint32_t s) {
    Each([&](IBoardView& v) { v.OnSourceWorkTime(s); });
}
void TBoardViewFanout::OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) {
    Each([&](IBoardView& v) { v.OnClockTime(h, m, s); });
}
void TBoardViewFanout::OnClockDate(int y, int m, int d, bool valid) {
    Each([&](IBoardView& v) { v.OnClockDate(y, m, d, valid); });
}
void TBoardViewFanout::OnClockRun(bool r) {
    Each([&](IBoardView& v) { v.OnClockRun(r); });
}
void TBoardViewFanout::OnStartAnswer(std::uint8_t type, std::uint8_t status, const std::string& t,
                                     bool started) {
    Each([&](IBoardView& v) { v.OnStartAnswer(type, status, t, started); });
}
void TBoardViewFanout::OnDiagnosisStatus(std::uint8_t s) {
    Each([&](IBoardView& v) { v.OnDiagnosisStatus(s); });
}
void TBoardViewFanout::OnDiagnosisPower(int step, std::uint16_t raw) {
    Each([&](IBoardView& v) { v.OnDiagnosisPower(step, raw); });
}
void TBoardViewFanout::OnTuningStatus(std::uint8_t s) {
    Each([&](IBoardView& v) { v.OnTuningStatus(s); });
}
void TBoardViewFanout::OnMultiHeadCount(std::uint8_t h) {
    Each([&](IBoardView& v) { v.OnMultiHeadCount(h); });
}
void TBoardViewFanout::OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) {
    Each([&](IBoardView& v) { v.OnMultiHeadWord(code, bits); });
}
void TBoardViewFanout::OnDac16(std::uint16_t value) {
    Each([&](IBoardView& v) { v.OnDac16(value); });
}
void TBoardViewFanout::OnDac16Force(bool on) {
    Each([&](IBoardView& v) { v.OnDac16Force(on); });
}
void TBoardViewFanout::OnFlangingProfiles(const std::vector<FlangingProfileRow>& rows) {
    Each([&](IBoardView& v) { v.OnFlangingProfiles(rows); });
}
void TBoardViewFanout::OnMemoryRows(const std::vector<MemoryRow>& rows, bool dump) {
    Each([&](IBoardView& v) { v.OnMemoryRows(rows, dump); });
}
void TBoardViewFanout::OnConfigUploadProgress(std::uint8_t chunks) {
    Each([&](IBoardView& v) { v.OnConfigUploadProgress(chunks); });
}
void TBoardViewFanout::OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) {
    Each([&](IBoardView& v) { v.OnConfigImageComplete(image); });
}
void TBoardViewFanout::OnTuningLogComplete(const std::array<std::uint8_t, 320>& image) {
    Each([&](IBoardView& v) { v.OnTuningLogComplete(image); });
}
void TBoardViewFanout::OnEventLogComplete(const std::vector<std::uint8_t>& buffer) {
    Each([&](IBoardView& v) { v.OnEventLogComplete(buffer); });
}
void TBoardViewFanout::OnDownloadProgress(std::uint8_t n) {
    Each([&](IBoardView& v) { v.OnDownloadProgress(n); });
}
void TBoardViewFanout::OnDownloadComplete() {
    Each([&](IBoardView& v) { v.OnDownloadComplete(); });
}
void TBoardViewFanout::OnEepromFormatProgress(std::uint16_t next) {
    Each([&](IBoardView& v) { v.OnEepromFormatProgress(next); });
}
void TBoardViewFanout::OnEepromFormatComplete() {
    Each([&](IBoardView& v) { v.OnEepromFormatComplete(); });
}
void TBoardViewFanout::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    Each([&](IBoardView& v) { v.OnSequenceStopped(s, purpose, why); });
}
void TBoardViewFanout::OnStopPolling() {
    Each([&](IBoardView& v) { v.OnStopPolling(); });
}
void TBoardViewFanout::OnAnswerIgnored(const std::string& why) {
    Each([&](IBoardView& v) { v.OnAnswerIgnored(why); });
}
void TBoardViewFanout::OnLinkState(std::string_view text) {
    Each([&](IBoardView& v) { v.OnLinkState(text); });
}

}  // namespace orvan::commands
