#include "features/EepromOperations.h"

#include <ctime>

#include "commands/Catalogue.h"
#include "features/ConfigBackups.h"
#include "features/EepromImage.h"
#include "features/EepromTools.h"
#include "features/SupervisorCore.h"
#include "link/ExchangeCycle.h"

namespace orvan::features {

namespace {

using commands::kEepromPageSize;

constexpr int kPages = static_cast<int>(kEepromBytes / kEepromPageSize);  // 32

std::string Span(std::size_t first, std::size_t last) {
    return "addresses " + std::to_string(first) + " to " + std::to_string(last);
}

// What the board holds after `done` pages of a page write went in. A page
// the board refused, or one never sent, was not written; one that went
// unanswered may have been.
std::string PagesHeld(int done, bool nextUnsent, const std::string& what,
                      const std::vector<std::string>& kept) {
    std::string t;
    const auto pageStart = [](int page) { return std::size_t(page) * kEepromPageSize; };
    if (done == 0) {
        t = "No page was written: the board holds what it held.";
    } else if (done >= kPages) {
        t = "The board holds " + what + " in all " + std::to_string(kPages) + " pages.";
    } else {
        t = "Pages 1 to " + std::to_string(done) + " (" + Span(0, pageStart(done) - 1) + ") hold " +
            what + "; from page " + std::to_string(done + 1) + " on the board holds what it held.";
    }
    if (!nextUnsent && done < kPages)
        t += " Page " + std::to_string(done + 1) + " (" +
             Span(pageStart(done), pageStart(done + 1) - 1) +
             ") was sent without an answer and may hold either.";
    if (!kept.empty()) t += " What it held is kept in " + kept.front() + ".";
    return t;
}

// Printable bytes as they are, others as \xNN: what an area holds, shown in
// a question.
std::string BytesText(std::span<const std::uint8_t> bytes) {
    std::string s(bytes.begin(), bytes.end());
    return SerialNumberText(s);
}

// Progress and the end of a page write, shared by the format and the restore.
class TPageWriting : public IEepromView, public commands::ILinkView {
  public:
    explicit TPageWriting(TSupervisorCore& core) : core_(core) {}

    void OnEepromFormatProgress(std::uint16_t nextAddress) override {
        if (ctx_ && writing_)
            ctx_->Progress("writing", static_cast<int>(nextAddress / kEepromPageSize) - 1, kPages);
    }
    void OnLinkState(std::string_view text) override {
        if (text == link::kLinkNack) refused_ = true;
    }

  protected:
    TResult StartWrite(TOperationContext& ctx, const TEepromImage& image) {
        ctx_ = &ctx;
        writing_ = true;
        refused_ = false;
        ctx.Progress("writing", 0, kPages);
        return core_.Eeprom().StartImageWrite(image);
    }
    // The write's outcome; true when it completed.
    bool WriteEnded(const TSequenceOutcome& o, const std::string& name, const std::string& what) {
        writing_ = false;
        if (o.completed) {
            ctx_->Progress("writing", kPages, kPages);
            return true;
        }
        const int done = core_.Eeprom().PagesAcknowledged();
        const std::string holds = PagesHeld(done, refused_ || abandoned_, what, ctx_->Kept());
        ctx_->Finish(TOutcomeKind::Failed, o.why,
                     name + " stopped at page " + std::to_string(done + 1) + " of " +
                         std::to_string(kPages) + " (" + std::to_string(done) +
                         " written): " + o.why + ". " + holds,
                     holds);
        return false;
    }
    void AbandonWrite(const std::string& why) {
        abandoned_ = !core_.Protocol().InFlight();
        core_.Eeprom().Abandon(why);
    }

    TSupervisorCore& core_;
    TOperationContext* ctx_ = nullptr;
    bool writing_ = false;
    bool refused_ = false;
    bool abandoned_ = false;
};

// --- dump -------------------------------------------------------------------

class TEepromDump final : public TAttachedOperation<TEepromDump> {
  public:
    TEepromDump(TSupervisorCore& core, TEepromDumpRequest r)
        : TAttachedOperation("EEPROM dump"), core_(core), request_(std::move(r)) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.keeps = {WholeMemoryArea()};
        n.serialKnown = true;
        if (!request_.path.empty())
            n.outputs.push_back({request_.path, TFileKind::ConfigImage, "the dump file",
                                 request_.replace, request_.replaceOtherKind});
        return n;
    }
    TResult SaveKept(TOperationContext& ctx, const TMemoryArea&,
                     std::span<const std::uint8_t> bytes, std::vector<TKeptFile>& files) override {
        image_.assign(bytes.begin(), bytes.end());
        if (request_.path.empty()) return TResult::Ok();
        const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (const TResult r = ctx.Commit(0, content); !r) return r;
        files.push_back({ctx.OutputPath(0), true});
        return TResult::Ok();
    }
    TResult Run(TOperationContext& ctx) override {
        core_.Eeprom().ShowImage(image_);
        ctx.Finish(TOutcomeKind::Completed, {},
                   "EEPROM dumped (1024 bytes, read twice alike)" +
                       (request_.path.empty() ? std::string() : ", saved to " + ctx.OutputPath(0)));
        return TResult::Ok();
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        ctx.Finish(TOutcomeKind::Failed, why, "EEPROM dump stopped: " + why);
    }

  private:
    TSupervisorCore& core_;
    TEepromDumpRequest request_;
    std::vector<std::uint8_t> image_;
};

// --- format -----------------------------------------------------------------

class TEepromFormat final : public TAttachedOperation<TEepromFormat>, public TPageWriting {
  public:
    TEepromFormat(TSupervisorCore& core, TEepromFormatRequest r)
        : TAttachedOperation("EEPROM format"), TPageWriting(core), request_(std::move(r)) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        n.keeps = {WholeMemoryArea()};
        n.serialKnown = true;  // who formatted which board
        n.outputs.push_back({request_.dumpPath, TFileKind::ConfigImage,
                             "the dump before the format", request_.replace});
        return n;
    }
    TResult Check() override {
        // The format erases the serial number, the configuration and the logs:
        // without a copy of them it is not started.
        if (request_.dumpPath.empty())
            return TResult::Fail("a format needs a file to keep the memory in first");
        return TResult::Ok();
    }
    std::vector<TQuestion> Questions(const TMemoryArea&, std::span<const std::uint8_t> bytes,
                                     const std::string&) override {
        return {{Name(), std::string(kAttention),
                 "The format erases the whole memory (1024 bytes): the serial number " +
                     BytesText(bytes.subspan(0, 15)) +
                     ", the configuration and the logs. What it holds now is kept in " +
                     request_.dumpPath + " first. Format the memory?",
                 "--yes"}};
    }
    TResult SaveKept(TOperationContext& ctx, const TMemoryArea&,
                     std::span<const std::uint8_t> bytes, std::vector<TKeptFile>& files) override {
        const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (const TResult r = ctx.Commit(0, content); !r) return r;
        files.push_back({ctx.OutputPath(0), true});
        return TResult::Ok();
    }
    TResult Run(TOperationContext& ctx) override {
        TEepromImage erased{};
        erased.fill(0xFF);
        return StartWrite(ctx, erased);
    }
    void OnEepromFormatFinished(const TSequenceOutcome& o) override {
        if (ctx_ == nullptr || !writing_) return;
        if (!WriteEnded(o, Name(), "FF (erased)")) return;
        ctx_->Finish(
            TOutcomeKind::Completed, {},
            "EEPROM formatted (1024 bytes of FF); what it held is in " + ctx_->OutputPath(0),
            "FF in every byte");
    }
    void Stop(TOperationContext&, const std::string& why) override { AbandonWrite(why); }

  private:
    TEepromFormatRequest request_;
};

// --- restore ----------------------------------------------------------------

class TEepromRestore final : public TAttachedOperation<TEepromRestore>, public TPageWriting {
  public:
    TEepromRestore(TSupervisorCore& core, TEepromRestoreRequest r)
        : TAttachedOperation("EEPROM restore"), TPageWriting(core), request_(std::move(r)) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        n.serialNumber = true;
        n.keeps = {WholeMemoryArea()};
        n.inputs.push_back({request_.path, "the dump file", kEepromBytes, kEepromBytes});
        return n;
    }
    void Begin(TOperationContext& ctx) override {
        const std::string& in = ctx.Input(0);
        std::copy(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(image_.size()),
                  image_.begin());
    }
    std::vector<TQuestion> Questions(const TMemoryArea&, std::span<const std::uint8_t>,
                                     const std::string& serial) override {
        const std::string dumpSerial = ImageSerialNumber(image_);
        if (serial == dumpSerial || request_.acceptOtherBoard) return {};
        return {{Name(), std::string(kAttention),
                 "The board's serial number \"" + SerialNumberText(serial) +
                     "\" differs from the dump's \"" + SerialNumberText(dumpSerial) +
                     "\". Write the dump over it? (What the board holds is kept first.)",
                 "--yes"}};
    }
    TResult Run(TOperationContext& ctx) override { return StartWrite(ctx, image_); }
    void OnEepromFormatFinished(const TSequenceOutcome& o) override {
        if (ctx_ == nullptr || !writing_) return;
        if (!WriteEnded(o, Name(), "the dump's content")) return;
        // Read back: only what the board answers proves what it keeps.
        readingBack_ = true;
        read_.fill(0xFF);
        got_.assign(kEepromBytes, false);
        received_ = 0;
        ctx_->Progress("reading back", 0, kPages);
        if (const TResult r = core_.Eeprom().StartEepromDump(); !r) ReadBackFailed(r.why);
    }
    void OnEepromDumpRows(const std::vector<commands::MemoryRow>& rows) override {
        if (!readingBack_) return;
        for (const commands::MemoryRow& row : rows)
            for (std::size_t i = 0; i < row.bytes.size(); ++i) {
                const std::size_t a = std::size_t{row.address} + i;
                if (a >= kEepromBytes) break;
                read_[a] = row.bytes[i];
                if (!got_[a]) {
                    got_[a] = true;
                    ++received_;
                }
            }
        ctx_->Progress("reading back", static_cast<int>(received_ / commands::kMaxReadChunk),
                       kPages);
    }
    void OnEepromDumpFinished(const TSequenceOutcome& o) override {
        if (!readingBack_) return;
        readingBack_ = false;
        if (!o.completed) {
            ReadBackFailed(o.why);
            return;
        }
        if (received_ != kEepromBytes) {
            ReadBackFailed("the memory came incomplete (" + std::to_string(received_) + " of " +
                           std::to_string(kEepromBytes) + " bytes)");
            return;
        }
        const std::vector<TByteDifference> d = CompareImages(image_, read_);
        if (d.empty()) {
            ctx_->Finish(TOutcomeKind::Completed, {},
                         "Dump file " + request_.path +
                             " written to the board and read back: all 1024 bytes match",
                         "the dump's content");
            return;
        }
        for (const TByteDifference& b : d) {
            char line[64];
            std::snprintf(line, sizeof line, "0x%04X written %02X read %02X", b.address, b.expected,
                          b.actual);
            ctx_->Detail(line);
        }
        ctx_->Finish(
            TOutcomeKind::Failed, DifferencesText(d),
            "the board does not hold what was written: " + DifferencesText(d) + KeptSentence(),
            "the dump's content except the bytes listed");
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        if (readingBack_) {
            core_.Eeprom().Abandon(why);
            readingBack_ = false;
            ctx.Finish(TOutcomeKind::Failed, why,
                       "EEPROM restore: every page was written; the read-back stopped: " + why +
                           ". The board holds the dump's content, not compared." + KeptSentence(),
                       "the dump's content, not compared");
            return;
        }
        AbandonWrite(why);
    }

  private:
    void ReadBackFailed(const std::string& why) {
        readingBack_ = false;
        ctx_->Finish(TOutcomeKind::Failed, why,
                     "EEPROM restore: every page was written; the read-back failed: " + why +
                         ". The board holds the dump's content, not compared." + KeptSentence(),
                     "the dump's content, not compared");
    }
    std::string KeptSentence() const {
        return ctx_ && !ctx_->Kept().empty()
                   ? " What it held before is kept in " + ctx_->Kept().front() + "."
                   : std::string();
    }

    TEepromRestoreRequest request_;
    TEepromImage image_{};
    TEepromImage read_{};
    std::vector<bool> got_;
    std::size_t received_ = 0;
    bool readingBack_ = false;
};

// --- typed write --------------------------------------------------------------

class TEepromWrite final : public TAttachedOperation<TEepromWrite>,
                           public commands::IMemoryView,
                           public commands::ILinkView {
  public:
    TEepromWrite(TSupervisorCore& core, TEepromWriteRequest r)
        : TAttachedOperation("EEPROM write"), core_(core), request_(std::move(r)) {}

    TResult Check() override {
        std::string why;
        if (!CheckTypedWrite(request_.addressText, request_.text, write_, &why))
            return TResult::Fail(why);
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        n.serialNumber = true;
        const auto last = write_.address + write_.bytes.size() - 1;
        n.keeps = {{write_.address, static_cast<std::uint16_t>(write_.bytes.size()),
                    Span(write_.address, last), "bytes"}};
        return n;
    }
    std::vector<TQuestion> Questions(const TMemoryArea&, std::span<const std::uint8_t> bytes,
                                     const std::string&) override {
        const std::string areas = AreasTouched(write_.address, write_.bytes.size());
        if (areas.empty() || request_.acceptProtectedArea) return {};
        return {{Name(), std::string(kAttention),
                 "Writing " + std::to_string(write_.bytes.size()) + " bytes at address " +
                     std::to_string(write_.address) + " overwrites " + areas + ", which holds " +
                     BytesText(bytes) + " there now (it is kept first). Write?",
                 "--yes"}};
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        done_ = 0;
        return WriteNext();
    }
    void OnWriteAcknowledged(std::uint16_t address) override {
        if (ctx_ == nullptr || address != PieceStart(done_)) return;
        done_ += PieceLength(done_);
        if (done_ < write_.bytes.size()) {
            if (const TResult r = WriteNext(); !r) Stopped(r.why, true);
            return;
        }
        ctx_->Finish(TOutcomeKind::Completed, {},
                     std::to_string(write_.bytes.size()) + " bytes written at " +
                         std::to_string(write_.address) + "; the board acknowledged them." +
                         KeptText(),
                     "the bytes written");
    }
    void OnSequenceStopped(commands::Sequence s, int, const std::string& why) override {
        if (ctx_ == nullptr || s != commands::Sequence::MemoryWrite) return;
        Stopped(why, refused_);
    }
    void OnLinkState(std::string_view text) override {
        if (text == link::kLinkNack) refused_ = true;
    }
    void Stop(TOperationContext&, const std::string& why) override { Stopped(why, true); }

  private:
    // The board writes within one 32-byte page per request: a text that
    // crosses a page goes as one request per page, each acknowledged.
    std::uint16_t PieceStart(std::size_t done) const {
        return static_cast<std::uint16_t>(write_.address + done);
    }
    std::size_t PieceLength(std::size_t done) const {
        const std::size_t at = PieceStart(done);
        const std::size_t room = commands::kEepromPageSize - at % commands::kEepromPageSize;
        return std::min(room, write_.bytes.size() - done);
    }
    TResult WriteNext() {
        const auto piece =
            std::span<const std::uint8_t>(write_.bytes).subspan(done_, PieceLength(done_));
        return core_.Engine().session.WriteBlock(PieceStart(done_), piece);
    }
    std::string KeptText() const {
        return ctx_ && !ctx_->Kept().empty()
                   ? " What it held there is kept in " + ctx_->Kept().front() + "."
                   : std::string();
    }
    // `notWritten`: the piece in hand was refused or never sent.
    void Stopped(const std::string& why, bool notWritten) {
        if (ctx_ == nullptr) return;
        const std::size_t last = write_.address + write_.bytes.size() - 1;
        std::string holds;
        if (done_ > 0)
            holds = "the new bytes at " + Span(write_.address, PieceStart(done_) - 1) + "; ";
        const std::size_t pieceEnd = PieceStart(done_) + PieceLength(done_) - 1;
        if (notWritten) {
            holds += "what it held at " + Span(PieceStart(done_), last);
        } else {
            holds += "either at " + Span(PieceStart(done_), pieceEnd) + " (sent without an answer)";
            if (pieceEnd < last) holds += "; what it held at " + Span(pieceEnd + 1, last);
        }
        ctx_->Finish(TOutcomeKind::Failed, why,
                     "EEPROM write at " + std::to_string(write_.address) + " stopped: " + why +
                         ". The board holds " + holds + "." + KeptText(),
                     holds);
    }

    TSupervisorCore& core_;
    TEepromWriteRequest request_;
    TTypedWrite write_;
    TOperationContext* ctx_ = nullptr;
    std::size_t done_ = 0;  // bytes acknowledged
    bool refused_ = false;
};

// --- raw read -----------------------------------------------------------------

class TEepromRead final : public TAttachedOperation<TEepromRead>, public commands::IMemoryView {
  public:
    TEepromRead(TSupervisorCore& core, TEepromReadRequest r)
        : TAttachedOperation("EEPROM read"), core_(core), request_(std::move(r)) {}

    TResult Check() override {
        std::string why;
        if (!CheckRawRead(request_.addressText, request_.lengthText, read_, &why))
            return TResult::Fail(why);
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override { return {}; }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        return core_.Engine().session.ReadRaw(read_.address, read_.count);
    }
    void OnMemoryRows(const std::vector<commands::MemoryRow>& rows) override {
        if (ctx_ == nullptr) return;
        for (const commands::MemoryRow& r : rows)
            ctx_->Detail(r.addressText + "  " + r.hexText + " " + r.asciiText);
        ctx_->Finish(
            TOutcomeKind::Completed, {},
            std::to_string(read_.count) + " bytes read from " + std::to_string(read_.address));
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        ctx.Finish(TOutcomeKind::Failed, why, "EEPROM read stopped: " + why);
    }

  private:
    TSupervisorCore& core_;
    TEepromReadRequest request_;
    TRawRead read_;
    TOperationContext* ctx_ = nullptr;
};

}  // namespace

std::unique_ptr<TOperation> EepromDumpOperation(TSupervisorCore& core, TEepromDumpRequest r) {
    return std::make_unique<TEepromDump>(core, std::move(r));
}
std::unique_ptr<TOperation> EepromFormatOperation(TSupervisorCore& core, TEepromFormatRequest r) {
    return std::make_unique<TEepromFormat>(core, std::move(r));
}
std::unique_ptr<TOperation> EepromRestoreOperation(TSupervisorCore& core, TEepromRestoreRequest r) {
    return std::make_unique<TEepromRestore>(core, std::move(r));
}
std::unique_ptr<TOperation> EepromWriteOperation(TSupervisorCore& core, TEepromWriteRequest r) {
    return std::make_unique<TEepromWrite>(core, std::move(r));
}
std::unique_ptr<TOperation> EepromReadOperation(TSupervisorCore& core, TEepromReadRequest r) {
    return std::make_unique<TEepromRead>(core, std::move(r));
}

std::string DefaultFormatDumpName() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char name[64];
    std::strftime(name, sizeof name, "eeprom-before-format-%Y%m%d-%H%M%S.bin", &tm);
    return name;
}

}  // namespace orvan::features
