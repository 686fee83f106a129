#include "features/EepromManager.h"

#include "features/BoardWrite.h"

namespace orvan::features {

namespace {

using namespace orvan::commands;

constexpr int kChunks = static_cast<int>(kEepromBytes / kMaxReadChunk);   // 32 reads
constexpr int kPages = static_cast<int>(kEepromBytes / kEepromPageSize);  // 32 writes

const char* PhaseText(TEepromPhase p) {
    switch (p) {
        case TEepromPhase::Identify:
            return "reading the board's serial number";
        case TEepromPhase::Confirm:
            return "waiting for confirmation";
        case TEepromPhase::Dump:
            return "reading the memory";
        case TEepromPhase::SaveDump:
            return "saving the dump";
        case TEepromPhase::Write:
            return "writing";
        case TEepromPhase::ReadBack:
            return "reading back";
    }
    return "";
}

int PhaseTotal(TEepromPhase p) {
    switch (p) {
        case TEepromPhase::Dump:
        case TEepromPhase::ReadBack:
            return kChunks;
        case TEepromPhase::Write:
            return kPages;
        default:
            return 1;
    }
}

}  // namespace

const char* EepromOpText(TEepromOp op) {
    switch (op) {
        case TEepromOp::Dump:
            return "EEPROM dump";
        case TEepromOp::Format:
            return "EEPROM format";
        case TEepromOp::Restore:
            return "EEPROM restore";
    }
    return "";
}

TToolResult TEepromManager::WriteText(std::string_view addressText, std::string_view text) {
    TTypedWrite w;
    std::string why;
    if (!CheckTypedWrite(addressText, text, w, &why)) return TToolResult::Fail(why);
    // Its acknowledge must not be taken for a page of a running format.
    if (Busy())
        return TToolResult::Fail(std::string(EepromOpText(*op_)) +
                                 " under way: wait for its end; nothing sent");
    AskProtocolVersionFirst(session_);
    const SendResult r = session_.WriteMemoryBytes(w.address, w.bytes);
    return r ? TToolResult::Ok() : TToolResult::Fail(r.why);
}

TToolResult TEepromManager::ReadRaw(std::string_view addressText, std::string_view lengthText) {
    TRawRead r;
    std::string why;
    if (!CheckRawRead(addressText, lengthText, r, &why)) return TToolResult::Fail(why);
    const SendResult s = session_.ReadRaw(r.address, r.count);
    return s ? TToolResult::Ok() : TToolResult::Fail(s.why);
}

TToolResult TEepromManager::Begin(TEepromOp op) {
    if (Busy())
        return TToolResult::Fail(std::string(EepromOpText(*op_)) + " under way: wait for its end");
    op_ = op;
    done_ = 0;
    return TToolResult::Ok();
}

TToolResult TEepromManager::Dump(const std::string& savePath) {
    if (TToolResult r = Begin(TEepromOp::Dump); !r) return r;
    path_ = savePath;
    StartDump(TEepromPhase::Dump);
    return TToolResult::Ok();
}

TToolResult TEepromManager::Format(const std::string& dumpPath) {
    // The format erases the serial number, the configuration and the logs:
    // without a copy of them it is not started.
    if (dumpPath.empty())
        return TToolResult::Fail("a format needs a file to keep the memory in first; nothing sent");
    if (TToolResult r = Begin(TEepromOp::Format); !r) return r;
    path_ = dumpPath;
    AskProtocolVersionFirst(session_);
    StartDump(TEepromPhase::Dump);
    return TToolResult::Ok();
}

TToolResult TEepromManager::Restore(const std::string& path) {
    TEepromImage image{};
    std::string why;
    if (!LoadDumpFile(path, image, &why)) return TToolResult::Fail(why + "; nothing sent");
    if (TToolResult r = Begin(TEepromOp::Restore); !r) return r;
    image_ = image;
    path_ = path;
    phase_ = TEepromPhase::Identify;
    AskProtocolVersionFirst(session_);
    // Read afresh: the board on the line may not be the one last identified.
    session_.serialNumber.clear();
    session_.StartChain(kPurposeSerialNumber, 0, 15);
    if (!session_.ChainRunning()) Stop("the serial-number read could not be queued");
    return TToolResult::Ok();
}

void TEepromManager::StartDump(TEepromPhase phase) {
    phase_ = phase;
    done_ = 0;
    read_.fill(0xFF);
    got_.assign(kEepromBytes, false);
    received_ = 0;
    Progress();
    if (const TResult r = tools_.StartEepromDump(); !r) Stop(r.why);
}

void TEepromManager::OnEepromDumpRows(const std::vector<MemoryRow>& rows) {
    if (!op_ || (phase_ != TEepromPhase::Dump && phase_ != TEepromPhase::ReadBack)) return;
    for (const MemoryRow& r : rows) {
        for (std::size_t i = 0; i < r.bytes.size(); ++i) {
            const std::size_t a = std::size_t{r.address} + i;
            if (a >= kEepromBytes) break;
            read_[a] = r.bytes[i];
            if (!got_[a]) {
                got_[a] = true;
                ++received_;
            }
        }
    }
    const int chunks = static_cast<int>(received_ / kMaxReadChunk);
    if (chunks != done_) {
        done_ = chunks;
        Progress();
    }
}

void TEepromManager::OnEepromDumpFinished(const TSequenceOutcome& outcome) {
    if (!op_ || (phase_ != TEepromPhase::Dump && phase_ != TEepromPhase::ReadBack)) return;
    if (!outcome.completed) {
        Stop(outcome.why);
        return;
    }
    if (received_ != kEepromBytes) {
        Stop("the board's memory came incomplete (" + std::to_string(received_) + " of " +
             std::to_string(kEepromBytes) + " bytes)");
        return;
    }
    DumpComplete();
}

void TEepromManager::DumpComplete() {
    lastDump_ = read_;
    if (phase_ == TEepromPhase::ReadBack) {
        TEepromOutcome o;
        o.op = *op_;
        o.phase = phase_;
        o.done = o.total = kChunks;
        o.differences = CompareImages(image_, read_);
        o.completed = o.differences.empty();
        o.message =
            o.completed
                ? "Dump file " + path_ + " written to the board and read back: all 1024 bytes match"
                : "the board does not hold what was written: " + DifferencesText(o.differences);
        if (!o.completed) o.reason = DifferencesText(o.differences);
        Finish(std::move(o));
        return;
    }
    if (!path_.empty()) {
        phase_ = TEepromPhase::SaveDump;
        std::string why;
        if (!SaveDumpFile(path_, read_, &why)) {
            Stop(why);
            return;
        }
    }
    if (*op_ == TEepromOp::Dump) {
        TEepromOutcome o;
        o.op = TEepromOp::Dump;
        o.completed = true;
        o.phase = phase_;
        o.done = o.total = PhaseTotal(TEepromPhase::Dump);
        o.dumpPath = path_;
        o.message = "EEPROM dumped (1024 bytes)" + (path_.empty() ? "" : ", saved to " + path_);
        Finish(std::move(o));
        return;
    }
    image_.fill(0xFF);
    StartWrite();
}

void TEepromManager::StartWrite() {
    phase_ = TEepromPhase::Write;
    done_ = 0;
    Progress();
    // A first page that cannot be queued comes back as a stopped write.
    if (const TResult r = tools_.StartImageWrite(image_); !r) Stop(r.why);
}

void TEepromManager::OnEepromFormatProgress(std::uint16_t nextAddress) {
    if (!op_ || phase_ != TEepromPhase::Write) return;
    // Called as each page is queued: the pages before it were acknowledged.
    done_ = static_cast<int>(nextAddress / kEepromPageSize) - 1;
    Progress();
}

void TEepromManager::OnEepromFormatFinished(const TSequenceOutcome& outcome) {
    if (!op_ || phase_ != TEepromPhase::Write) return;
    if (!outcome.completed) {
        Stop(outcome.why + (outcome.where.empty() ? "" : " (" + outcome.where + ")"));
        return;
    }
    done_ = kPages;
    Progress();
    if (*op_ == TEepromOp::Restore) {
        StartDump(TEepromPhase::ReadBack);
        return;
    }
    TEepromOutcome o;
    o.op = TEepromOp::Format;
    o.completed = true;
    o.phase = phase_;
    o.done = o.total = kPages;
    o.dumpPath = path_;
    o.message = "EEPROM formatted (1024 bytes of FF); what it held is in " + path_;
    Finish(std::move(o));
}

void TEepromManager::OnSerialNumber(const std::string& text) {
    if (!op_ || phase_ != TEepromPhase::Identify) return;
    const std::string dumpSerial = ImageSerialNumber(image_);
    if (text == dumpSerial) {
        StartWrite();
        return;
    }
    phase_ = TEepromPhase::Confirm;
    if (listener_ == nullptr) {
        Stop("the board's serial number \"" + text + "\" differs from the dump's \"" + dumpSerial +
             "\"");
        return;
    }
    listener_->OnRestoreNeedsConfirmation(text, dumpSerial);
}

void TEepromManager::ContinueRestore(bool go) {
    if (!op_ || phase_ != TEepromPhase::Confirm) return;
    if (go) {
        StartWrite();
        return;
    }
    TEepromOutcome o;
    o.op = *op_;
    o.phase = phase_;
    o.reason = "cancelled";
    o.message = "Restore cancelled: nothing was written";
    Finish(std::move(o));
}

void TEepromManager::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (!op_) return;
    // The dump and the page writes end through the tools' outcomes.
    if (s == Sequence::MemoryChain && purpose == kPurposeSerialNumber &&
        phase_ == TEepromPhase::Identify)
        Stop(why);
}

void TEepromManager::NoteExchangeIdle() {
    if (!op_ || phase_ == TEepromPhase::Confirm) return;
    Stop("its next request was never sent");
}

void TEepromManager::Progress() {
    if (listener_ && op_) listener_->OnEepromProgress(*op_, phase_, done_, PhaseTotal(phase_));
}

void TEepromManager::Stop(const std::string& reason) {
    TEepromOutcome o;
    o.op = *op_;
    o.phase = phase_;
    o.done = done_;
    o.total = PhaseTotal(phase_);
    o.reason = reason;
    if (phase_ == TEepromPhase::SaveDump ||
        (*op_ == TEepromOp::Format && phase_ != TEepromPhase::Write))
        o.message = std::string(EepromOpText(*op_)) + " stopped " + PhaseText(phase_) + ": " +
                    reason + (*op_ == TEepromOp::Format ? "; nothing was erased" : "");
    else
        o.message = std::string(EepromOpText(*op_)) + " stopped " + PhaseText(phase_) + " (" +
                    std::to_string(done_) + " of " + std::to_string(o.total) + "): " + reason;
    if (phase_ == TEepromPhase::Write && *op_ != TEepromOp::Dump)
        o.message += "; the board holds part of the new content";
    Finish(std::move(o));
}

void TEepromManager::Finish(TEepromOutcome o) {
    op_.reset();
    if (!o.completed && o.phase == TEepromPhase::SaveDump) o.dumpPath.clear();
    if (listener_) listener_->OnEepromFinished(o);
}

}  // namespace orvan::features
