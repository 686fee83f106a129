#include "features/EepromTools.h"

#include "commands/Catalogue.h"

namespace orvan::features {

using commands::kEepromPageSize;
using commands::kEepromSize;
using commands::kPurposeEepromDump;
using commands::Sequence;

namespace {

std::string PageText(std::uint16_t address) {
    return "page " + std::to_string(address / kEepromPageSize + 1) + " of " +
           std::to_string(kEepromSize / kEepromPageSize) + ", address " + std::to_string(address);
}

}  // namespace

TResult TEepromTools::StartEepromFormat() {
    std::array<std::uint8_t, kEepromSize> erased{};
    erased.fill(0xFF);
    return StartImageWrite(erased);
}

TResult TEepromTools::StartImageWrite(const std::array<std::uint8_t, kEepromSize>& image) {
    if (Busy() || session_.WritePending() || session_.downloadActive)
        return TResult::Fail("Another write to the board memory is running; wait for it to end.");
    eepromImage = image;
    eepromAddress = 0;
    eepromLastAddress = static_cast<std::uint16_t>(kEepromSize - 1);
    eepromFormatActive = true;
    formatRunning_ = true;
    pagesAcknowledged_ = 0;
    SendEepromPage();
    return TResult::Ok();
}

void TEepromTools::SendEepromPage() {
    if (!formatRunning_) return;
    if (std::size_t{eepromAddress} + kEepromPageSize > kEepromSize) {
        eepromFormatActive = false;
        return;
    }
    const TResult r = session_.WriteBlock(
        eepromAddress,
        std::span<const std::uint8_t>(eepromImage.data() + eepromAddress, kEepromPageSize));
    if (!r) {
        EndFormat(TSequenceOutcome::Stopped(PageText(eepromAddress), r.why));
        return;
    }
    pendingPage_ = eepromAddress;
    if (eepromAddress + kEepromPageSize - 1 >= eepromLastAddress) eepromFormatActive = false;
    eepromAddress = static_cast<std::uint16_t>(eepromAddress + kEepromPageSize);
    views_.Notify(&IEepromView::OnEepromFormatProgress, eepromAddress);
}

void TEepromTools::OnWriteAcknowledged(std::uint16_t address) {
    if (!formatRunning_ || address != pendingPage_) return;
    ++pagesAcknowledged_;
    if (eepromFormatActive)
        SendEepromPage();
    else
        EndFormat(TSequenceOutcome::Completed());
}

TResult TEepromTools::StartEepromDump() {
    if (dumpRunning_) return TResult::Fail("The EEPROM is being read already.");
    dumpRunning_ = true;
    session_.StartChain(kPurposeEepromDump, 0, kEepromSize);
    return TResult::Ok();
}

void TEepromTools::Abandon(const std::string& why) {
    if (formatRunning_)
        EndFormat(TSequenceOutcome::Stopped(
            PageText(static_cast<std::uint16_t>(pagesAcknowledged_ * kEepromPageSize)), why));
    if (dumpRunning_) {
        if (session_.ChainRunning() && session_.readPurpose == kPurposeEepromDump)
            session_.ResetChain();
        EndDump(TSequenceOutcome::Stopped("reading the EEPROM", why));
    }
}

void TEepromTools::ShowImage(std::span<const std::uint8_t> image) {
    for (std::size_t at = 0; at < image.size(); at += commands::kMaxReadChunk)
        OnChainChunk(
            kPurposeEepromDump, static_cast<std::uint16_t>(at),
            image.subspan(at, std::min<std::size_t>(commands::kMaxReadChunk, image.size() - at)));
}

void TEepromTools::OnChainChunk(int purpose, std::uint16_t address,
                                std::span<const std::uint8_t> data) {
    if (purpose != kPurposeEepromDump) return;
    std::vector<commands::MemoryRow> rows;
    for (std::size_t off = 0; off < data.size(); off += 16)
        rows.push_back(commands::MakeMemoryRow(static_cast<std::uint16_t>(address + off),
                                               data.data() + off,
                                               std::min<std::size_t>(16, data.size() - off)));
    views_.Notify(&IEepromView::OnEepromDumpRows, rows);
}

void TEepromTools::OnChainEnd(int purpose) {
    if (dumpRunning_ && purpose == kPurposeEepromDump) EndDump(TSequenceOutcome::Completed());
}

void TEepromTools::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (s == Sequence::MemoryWrite && formatRunning_)
        EndFormat(TSequenceOutcome::Stopped(PageText(pendingPage_), why));
    if (s == Sequence::MemoryChain && purpose == kPurposeEepromDump && dumpRunning_)
        EndDump(TSequenceOutcome::Stopped("reading the EEPROM", why));
}

void TEepromTools::EndFormat(TSequenceOutcome outcome) {
    formatRunning_ = false;
    eepromFormatActive = false;
    views_.Notify(&IEepromView::OnEepromFormatFinished, outcome);
}

void TEepromTools::EndDump(TSequenceOutcome outcome) {
    dumpRunning_ = false;
    views_.Notify(&IEepromView::OnEepromDumpFinished, outcome);
}

}  // namespace orvan::features
