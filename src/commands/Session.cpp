#include "commands/Session.h"

#include <algorithm>

#include "link/ExchangeCycle.h"

namespace orvan::commands {

bool TSession::ReadMemoryRange(std::uint16_t start, std::uint16_t end, bool restart) {
    if (restart) {
        rangeCursor = start;
        rangeEnd = end;
    }
    // The cursor only moves up to the end; a start past the end is an empty range.
    if (rangeCursor >= rangeEnd) {
        rangeCursor = rangeEnd;
        pendingChunk_.reset();
        return true;
    }
    const auto count =
        static_cast<std::uint8_t>(std::min<int>(rangeEnd - rangeCursor, kMaxReadChunk));
    if (const SendResult r = SendReadMemory(protocol_, rangeCursor, count); !r) {
        // Never "done": whoever waits for the chain hears that it stopped.
        EndChain("the read at " + std::to_string(rangeCursor) + " could not be queued: " + r.why);
        return true;
    }
    pendingChunk_ = PendingChunk{rangeCursor, count};
    rangeCursor = static_cast<std::uint16_t>(rangeCursor + count);
    return false;
}

void TSession::StartChain(int purpose, std::uint16_t start, std::uint16_t end) {
    if (pendingChunk_) {
        const int old = readPurpose;
        pendingChunk_.reset();
        events_.Notify(&IMemoryView::OnSequenceStopped, Sequence::MemoryChain, old,
                       "another memory read was started");
    }
    readPurpose = purpose;
    pendingChunk_.reset();
    events_.Notify(&IMemoryView::OnChainStarted, purpose);
    // An empty range asks nothing and ends at once; a first request that
    // cannot be queued has been reported stopped by ReadMemoryRange.
    if (ReadMemoryRange(start, end, true) && readPurpose == purpose) {
        readPurpose = kPurposeRaw;
        if (start >= end) events_.Notify(&IMemoryView::OnChainEnd, purpose);
    }
}

void TSession::RequestHardwareInfo() {
    (void)SendReadVariable(protocol_, BoardType);
    StartChain(kPurposeSerialNumber, 0, 15);
    (void)SendReadVariable(protocol_, FirmwareVersion);
    (void)SendReadVariable(protocol_, ProtocolVersion);
}

void TSession::StartConfigUpload(bool thenTuningLog) {
    chunkCounter = 0;
    uploadThenTuningLog = thenTuningLog;
    StartChain(kPurposeConfigUpload, kConfigImageAddress,
               static_cast<std::uint16_t>(kConfigImageAddress + kConfigImageSize));
}

SendResult TSession::ReadRaw(std::uint16_t address, std::uint8_t count) {
    if (count == 0 || count > kMaxReadChunk)
        return SendResult::Fail("a read takes 1 to " + std::to_string(kMaxReadChunk) +
                                " bytes, not " + std::to_string(count));
    return SendReadMemory(protocol_, address, count);
}

void TSession::SendConfigChunk(bool restart) {
    downloadActive = true;
    if (restart) chunkCounter = 0;
    if (chunkCounter >= kConfigBlocks) {
        downloadActive = false;
        return;
    }
    const std::size_t offset = std::size_t{kConfigBlockSize} * chunkCounter;
    const auto address = static_cast<std::uint16_t>(kConfigImageAddress + offset);
    const SendResult r = SendWriteMemory(
        protocol_, address,
        std::span<const std::uint8_t>(configImage.data() + offset, kConfigBlockSize));
    if (!r) EndDownload(r.why);
}

SendResult TSession::WriteBlock(std::uint16_t address, std::span<const std::uint8_t> data) {
    if (pendingWrite_)
        return SendResult::Fail("the block at " + std::to_string(*pendingWrite_) +
                                " is not acknowledged yet");
    SendResult r = SendWriteMemory(protocol_, address, data);
    if (r) pendingWrite_ = address;
    return r;
}

SendResult TSession::WriteMemoryBytes(std::uint16_t address, std::span<const std::uint8_t> data) {
    if (downloadActive) EndDownload("another write to the board memory");
    return SendWriteMemory(protocol_, address, data);
}

void TSession::NoteSent(const link::TCmd& cmd) {
    SentRequest s;
    s.type = cmd.Type;
    if ((cmd.Type == kWriteMemory || cmd.Type == kReadMemory) && cmd.Count >= 2)
        s.address = static_cast<std::uint16_t>((cmd.Payload[0] << 8) | cmd.Payload[1]);
    if (cmd.Type == kReadMemory && cmd.Count >= 3) s.count = cmd.Payload[2];
    sent_ = s;
}

void TSession::OnRxTimeout(const std::string& why) {
    if (downloadActive) EndDownload(why);
    if (pendingWrite_) EndWrite(why);
    if (pendingChunk_) EndChain(why);
    downloadActive = false;
    sent_.reset();
    events_.Notify(&ILinkView::OnLineFailed, why);
    events_.Notify(&ILinkView::OnStopPolling);
}

void TSession::HandleWriteAck(std::uint16_t address) {
    if (sent_ && sent_->type == kWriteMemory && sent_->address != address) {
        // Whatever the board wrote, it was not what was sent where it was sent.
        const std::string why = "the board acknowledged a write at address " +
                                std::to_string(address) + ", the block was sent to " +
                                std::to_string(sent_->address);
        events_.Notify(&ILinkView::OnAnswerIgnored, why);
        EndRefusedSequence(why);
        return;
    }
    const bool sentThis = !sent_ || (sent_->type == kWriteMemory && sent_->address == address);
    if (!sentThis) return;
    if (downloadActive &&
        address == kConfigImageAddress + std::size_t{kConfigBlockSize} * chunkCounter) {
        ++chunkCounter;
        events_.Notify(&IMemoryView::OnDownloadProgress, chunkCounter);
        if (chunkCounter >= kConfigBlocks) {
            downloadActive = false;
            events_.Notify(&IMemoryView::OnDownloadComplete);
        } else {
            SendConfigChunk(false);
        }
        return;
    }
    if (pendingWrite_ && address == *pendingWrite_) {
        pendingWrite_.reset();
        events_.Notify(&IMemoryView::OnWriteAcknowledged, address);
    }
}

void TSession::HandleStartAnswer(std::uint8_t type, std::uint8_t status) {
    events_.Notify(&IProcedureView::OnStartAnswer, type, status);
}

void TSession::EndDownload(const std::string& why) {
    downloadActive = false;
    events_.Notify(&IMemoryView::OnSequenceStopped, Sequence::ConfigDownload, 0, why);
}

void TSession::EndWrite(const std::string& why) {
    pendingWrite_.reset();
    events_.Notify(&IMemoryView::OnSequenceStopped, Sequence::MemoryWrite, 0, why);
}

void TSession::EndChain(const std::string& why) {
    const int purpose = readPurpose;
    pendingChunk_.reset();
    rangeCursor = rangeEnd;
    readPurpose = kPurposeRaw;
    events_.Notify(&IMemoryView::OnSequenceStopped, Sequence::MemoryChain, purpose, why);
}

void TSession::EndRefusedSequence(const std::string& why) {
    if (sent_) {
        if (sent_->type == kWriteMemory) {
            if (downloadActive &&
                sent_->address ==
                    kConfigImageAddress + std::size_t{kConfigBlockSize} * chunkCounter)
                EndDownload(why);
            else if (pendingWrite_ && sent_->address == *pendingWrite_)
                EndWrite(why);
        } else if (sent_->type == kReadMemory) {
            if (pendingChunk_ && sent_->address == pendingChunk_->address) EndChain(why);
        }
        return;
    }
    if (downloadActive) EndDownload(why);
    if (pendingWrite_) EndWrite(why);
    if (pendingChunk_) EndChain(why);
}

bool CopyInside(std::span<std::uint8_t> dst, std::uint16_t base, std::uint16_t address,
                const std::uint8_t* data, std::size_t n) {
    // Wide signed numbers: address - base may be negative.
    const long long from = static_cast<long long>(address) - base;
    const long long lo = std::max<long long>(from, 0);
    const long long hi =
        std::min<long long>(from + static_cast<long long>(n), static_cast<long long>(dst.size()));
    if (lo >= hi) return false;
    std::copy(data + (lo - from), data + (hi - from), dst.begin() + lo);
    return true;
}

void TSession::ShowRefusal(std::string_view text) {
    ++boxOpen_;
    notifier_.ShowRefusal(kCommunicationErrorCaption, text);
    --boxOpen_;
}

void TSession::ShowMissingAck() {
    ++boxOpen_;
    notifier_.ShowMissingAck(kCommunicationErrorCaption, kMissingAckText);
    --boxOpen_;
}

}  // namespace orvan::commands
