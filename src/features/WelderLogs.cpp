#include "features/WelderLogs.h"

#include <algorithm>

namespace orvan::features {

using namespace commands;

TResult TWelderLogs::StartTuningLogRead() {
    if (session_.ChainRunning() && session_.readPurpose != kPurposeTuningLog)
        return TResult::Fail("Another read of the board memory is running; wait for it to end.");
    session_.StartChain(kPurposeTuningLog, kTuningLogAddress,
                        static_cast<std::uint16_t>(kTuningLogAddress + kTuningLogSize));
    return TResult::Ok();
}

void TWelderLogs::RequestTuningLogRead() {
    if (tuningRunning_) return;
    tuningWaiting_ = true;
    NoteTick();
}

void TWelderLogs::NoteTick() {
    if (!tuningWaiting_ || session_.ChainRunning()) return;
    tuningWaiting_ = false;
    (void)StartTuningLogRead();
}

// The tuning log also starts as the follow-up of a configuration upload:
// whoever starts it, the image is made afresh here.
void TWelderLogs::OnChainStarted(int purpose) {
    if (purpose == kPurposeTuningLog) {
        tuningLogImage.fill(0xFF);
        tuningRunning_ = true;
        tuningWaiting_ = false;
    }
}

void TWelderLogs::OnChainChunk(int purpose, std::uint16_t address,
                               std::span<const std::uint8_t> data) {
    if (purpose == kPurposeTuningLog && tuningRunning_) {
        CopyInside(tuningLogImage, kTuningLogAddress, address, data.data(), data.size());
    }
}

void TWelderLogs::OnChainEnd(int purpose) {
    if (purpose == kPurposeTuningLog && tuningRunning_) {
        tuningRunning_ = false;
        views_.Notify(&IWelderLogView::OnTuningLogRead, TSequenceOutcome::Completed(),
                      tuningLogImage);
    }
}

void TWelderLogs::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (s != Sequence::MemoryChain) return;
    if (purpose == kPurposeTuningLog && tuningRunning_) {
        tuningRunning_ = false;
        views_.Notify(&IWelderLogView::OnTuningLogRead,
                      TSequenceOutcome::Stopped("reading the tuning log", why), tuningLogImage);
    }
}

}  // namespace orvan::features
