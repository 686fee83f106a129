#include "features/Operations.h"

#include <algorithm>

#include "commands/Builders.h"
#include "commands/Catalogue.h"
#include "features/ConfigBackups.h"
#include "features/SupervisorCore.h"
#include "link/MemoryMap.h"
#include "link/StopSignals.h"

namespace orvan::features {

namespace {

using commands::kPurposeKeep;

// Reads of one area until two agree.
constexpr int kMaxKeepReads = 4;

std::string Range(const TMemoryArea& a) {
    return std::to_string(a.first) + " to " + std::to_string(a.first + a.count - 1);
}

std::string KeptText(const std::vector<std::string>& kept) {
    if (kept.empty()) return {};
    std::string t = " What the board held is kept in " + kept.front();
    for (std::size_t i = 1; i < kept.size(); ++i)
        t += (i + 1 == kept.size() ? " and " : ", ") + kept[i];
    return t + ".";
}

}  // namespace

TMemoryArea IdentityArea() {
    return {0, 16, "the serial number", "serial"};
}
TMemoryArea ConfigurationArea() {
    return {static_cast<std::uint16_t>(link::kConfigImageAddress),
            static_cast<std::uint16_t>(link::kConfigImageSize), "the configuration", "config"};
}
TMemoryArea TuningLogArea() {
    return {static_cast<std::uint16_t>(link::kTuningLogAddress),
            static_cast<std::uint16_t>(link::kTuningLogSize), "the tuning log", "tuninglog"};
}
TMemoryArea WholeMemoryArea() {
    return {0, static_cast<std::uint16_t>(link::kEepromSize), "the whole memory", "eeprom"};
}

std::string AreasTouched(std::uint16_t first, std::size_t count) {
    if (count == 0) return {};
    const std::size_t last = first + count - 1;
    std::string t;
    for (const TMemoryArea& a : {IdentityArea(), ConfigurationArea()}) {
        const std::size_t aLast = a.first + a.count - 1;
        if (last < a.first || first > aLast) continue;
        if (!t.empty()) t += " and ";
        t += a.name + " (addresses " + Range(a) + ")";
    }
    return t;
}

TResult ReserveOutput(const TOutputFile& out, config::TReservedFile& file) {
    const TSaveCheck c = CheckSave(out.path, out.kind);
    if (c.refuse) return TResult::Fail(c.message);
    if (c.ask && !out.replaceOtherKind)
        return TResult::Fail(out.what + ": " + c.target + " holds " + FileKindText(c.existing) +
                             " and is not replaced by it");
    const config::SaveResult r = file.Reserve(c.target, out.replace || out.replaceOtherKind);
    if (r) return TResult::Ok();
    return TResult::Fail(out.what + ": " + r.why +
                         (r.exists && !out.replace && r.why.ends_with("exists")
                              ? "; not replaced (a file is replaced only when asked)"
                              : ""));
}

std::string Sentence(std::string text) {
    if (text.empty() || (text.back() != '.' && text.back() != '?' && text.back() != '!'))
        text += '.';
    return text;
}

int ExitCode(const TOperationOutcome& o) {
    switch (o.kind) {
        case TOutcomeKind::Completed:
            return o.warning.empty() ? 0 : 1;
        case TOutcomeKind::Failed:
            return 1;
        case TOutcomeKind::Refused:
            return 2;
        case TOutcomeKind::Interrupted:
            return 128 + (o.signal > 0 ? o.signal : link::kSignalInterrupt);
    }
    return 1;
}

const char* OutcomeKindText(TOutcomeKind kind) {
    switch (kind) {
        case TOutcomeKind::Completed:
            return "completed";
        case TOutcomeKind::Failed:
            return "failed";
        case TOutcomeKind::Refused:
            return "refused";
        case TOutcomeKind::Interrupted:
            return "interrupted";
    }
    return "";
}

TResult TOperation::SaveKept(TOperationContext& ctx, const TMemoryArea& area,
                             std::span<const std::uint8_t> bytes, std::vector<TKeptFile>& files) {
    const TBackupResult r =
        SaveKeptBytes(ctx.BackupDir(), ctx.Serial(), area.tag, bytes, ctx.Core().BackupTime());
    if (!r) return TResult::Fail(r.why);
    files.push_back({r.path, true});
    return TResult::Ok();
}

void TOperation::Stalled(TOperationContext& ctx) {
    Stop(ctx, ctx.WhyIdle());
}

// --- one run --------------------------------------------------------------

struct TOperations::TRun {
    std::unique_ptr<TOperation> op;
    TOperationNeeds needs;
    std::function<void(const TOperationOutcome&)> done;
    std::unique_ptr<TContext> ctx;
    std::size_t slot = 0;
    TOperationPhase phase = TOperationPhase::ProtocolVersion;
    bool attached = false;
    bool finished = false;

    std::vector<config::TReservedFile> outputs;
    std::vector<std::string> inputs;
    std::string serial;
    bool serialAsked = false;
    std::vector<std::string> kept;
    std::vector<std::string> written;
    std::string warning;
    std::vector<std::string> details;
    // What the configuration area held before the operation wrote it.
    std::vector<std::uint8_t> heldConfiguration;

    // The area being kept and its reads.
    std::size_t keepIndex = 0;
    std::vector<std::uint8_t> reading;
    std::vector<bool> got;
    std::size_t received = 0;
    std::vector<std::vector<std::uint8_t>> reads;

    // Questions before the area is overwritten, then the operation's own.
    std::vector<TQuestion> questions;
    std::size_t questionIndex = 0;
    std::function<void(bool)> then;
    std::optional<bool> answer;
    TOperationPhase phaseBeforeQuestion = TOperationPhase::Running;

    std::optional<std::string> cancelWhy;
    int cancelSignal = 0;
    bool stopping = false;  // the cancel is being carried out
    bool holding = false;
};

class TOperations::TContext : public TOperationContext {
  public:
    TContext(TOperations& ops, TRun& run) : ops_(ops), run_(run) {}
    TSupervisorCore& Core() override { return ops_.core_; }
    void Progress(std::string phase, int done, int total) override {
        if (run_.finished) return;
        ops_.views_.Notify(&IOperationView::OnOperationProgress,
                           TProgress{run_.op->Name(), std::move(phase), done, total});
    }
    void Ask(TQuestion q, std::function<void(bool)> then) override {
        if (run_.finished) return;
        if (q.operation.empty()) q.operation = run_.op->Name();
        run_.phaseBeforeQuestion = run_.phase;
        run_.phase = TOperationPhase::Question;
        run_.then = std::move(then);
        run_.answer.reset();
        ops_.views_.Notify(&IOperationView::OnOperationQuestion, q);
    }
    void Finish(TOutcomeKind kind, std::string why, std::string message,
                std::string boardHolds) override {
        if (run_.finished) return;
        TOperationOutcome o;
        o.kind = kind;
        o.why = std::move(why);
        o.message = std::move(message);
        o.boardHolds = std::move(boardHolds);
        ops_.Finish(run_, std::move(o));
    }
    void Warn(std::string text) override {
        if (!run_.warning.empty()) run_.warning += " ";
        run_.warning += text;
    }
    void Detail(std::string line) override { run_.details.push_back(std::move(line)); }
    const std::string& Serial() const override { return run_.serial; }
    const std::vector<std::string>& Kept() const override { return run_.kept; }
    const std::string& Input(std::size_t i) const override { return run_.inputs.at(i); }
    const std::string& OutputPath(std::size_t i) const override {
        return run_.outputs.at(i).Path();
    }
    TResult Commit(std::size_t i, std::string_view content) override {
        if (i >= run_.outputs.size()) return TResult::Fail("no such output");
        config::TReservedFile& f = run_.outputs[i];
        const config::SaveResult r = f.Commit(content);
        if (!r) return TResult::Fail(r.why);
        if (std::find(run_.written.begin(), run_.written.end(), f.Path()) == run_.written.end())
            run_.written.push_back(f.Path());
        return TResult::Ok();
    }
    const std::string& BackupDir() const override { return ops_.backupDir_; }
    bool Cancelling() const override { return run_.cancelWhy.has_value(); }
    int CancelSignal() const override { return run_.cancelSignal; }
    std::string WhyIdle() const override { return ops_.WaitingReason(run_); }

  private:
    TOperations& ops_;
    TRun& run_;
};

// --- the runner -------------------------------------------------------------

TOperations::TOperations(TSupervisorCore& core, commands::TSession& session)
    : core_(core), session_(session), backupDir_(DefaultBackupDir()) {}

TOperations::~TOperations() {
    for (auto& s : slots_)
        if (s && s->attached) s->op->Detach(core_);
}

std::string TOperations::Running() const {
    return slots_[0] ? slots_[0]->op->Name() : slots_[1] ? slots_[1]->op->Name() : std::string();
}

const TOperation* TOperations::Current() const {
    return slots_[0] ? slots_[0]->op.get() : nullptr;
}

bool TOperations::Asking() const {
    for (const auto& s : slots_)
        if (s && s->phase == TOperationPhase::Question && !s->answer) return true;
    return false;
}

bool TOperations::Start(std::unique_ptr<TOperation> op) {
    return Start(std::move(op), nullptr);
}

void TOperations::Refuse(std::unique_ptr<TOperation> op, TOutcomeKind kind, const std::string& why,
                         const std::string& caption,
                         const std::function<void(const TOperationOutcome&)>& done) {
    TOperationOutcome o;
    o.operation = op->Name();
    o.kind = kind;
    o.why = why;
    o.caption = caption;
    o.message = caption == kAttention ? why : op->Name() + " not started: " + why;
    Record(o, *op, {}, {});
    views_.Notify(&IOperationView::OnOperationFinished, o);
    if (done) done(o);
}

TResult TOperations::Admit(TOperation& op, TRun& run, std::string& caption) const {
    // What the user gave is checked first: the needs may follow from it.
    if (const TResult c = op.Check(); !c) return c;
    run.needs = op.Needs();
    run.slot = run.needs.background ? 1 : 0;
    if (slots_[run.slot])
        return TResult::Fail(slots_[run.slot]->op->Name() +
                             " is under way; wait for its end. Nothing was sent.");
    if (run.needs.configLoaded && !session_.configLoaded) {
        caption = kAttention;
        return TResult::Fail(std::string(kReadConfigFirst));
    }
    for (const TInputFile& in : run.needs.inputs) {
        std::string content, error;
        const std::uintmax_t limit = in.maxBytes ? in.maxBytes : config::kMaxReadFileBytes;
        if (!config::ReadWholeFile(in.path, content, &error, limit))
            return TResult::Fail(Sentence(in.what + ": " + error) + " Nothing was sent.");
        if (content.size() < in.minBytes)
            return TResult::Fail(
                in.what + ": \"" + in.path + "\" holds " + std::to_string(content.size()) +
                " bytes, " + std::to_string(in.minBytes) +
                (in.minBytes == in.maxBytes ? "" : " at least") + " expected. Nothing was sent.");
        run.inputs.push_back(std::move(content));
    }
    for (const TOutputFile& out : run.needs.outputs) {
        config::TReservedFile f;
        if (const TResult r = ReserveOutput(out, f); !r) {
            // Reservations made so far end with the run that is not started.
            run.outputs.clear();
            return TResult::Fail(Sentence(r.why) + " Nothing was sent.");
        }
        run.outputs.push_back(std::move(f));
    }
    return TResult::Ok();
}

bool TOperations::WouldStart(TOperation& op) const {
    TRun probe;
    std::string caption;
    return Admit(op, probe, caption).ok;
}

bool TOperations::Start(std::unique_ptr<TOperation> op,
                        std::function<void(const TOperationOutcome&)> done) {
    if (!op) return false;
    auto run = std::make_unique<TRun>();
    std::string caption;
    if (const TResult a = Admit(*op, *run, caption); !a) {
        Refuse(std::move(op), TOutcomeKind::Refused, a.why, caption, done);
        return false;
    }
    run->op = std::move(op);
    run->done = std::move(done);
    run->ctx = std::make_unique<TContext>(*this, *run);
    TRun& r = *run;
    slots_[r.slot] = std::move(run);
    r.op->Attach(core_);
    r.attached = true;
    views_.Notify(&IOperationView::OnOperationStarted, r.op->Name());
    r.op->Begin(*r.ctx);
    // Reasons heard before this run are not its own.
    reason_.clear();
    r.phase = TOperationPhase::ProtocolVersion;
    Advance(r);
    return true;
}

void TOperations::Advance(TRun& r) {
    if (r.finished) return;
    if (r.cancelWhy) return;  // the next tick stops it
    switch (r.phase) {
        case TOperationPhase::ProtocolVersion:
            if (r.needs.protocolVersion && session_.BoardProtocolVersion() == 0) {
                reason_.clear();
                if (const TResult s =
                        commands::SendReadVariable(session_.Protocol(), commands::ProtocolVersion);
                    !s) {
                    Fail(r, "the protocol-version read could not be queued: " + s.why);
                    return;
                }
                r.ctx->Progress("asking the board's protocol version", 0, 1);
                return;  // OnProtocolVersion goes on
            }
            r.phase = TOperationPhase::BoardType;
            [[fallthrough]];
        case TOperationPhase::BoardType:
            if (r.needs.boardType && session_.boardType == 0) {
                reason_.clear();
                if (const TResult s =
                        commands::SendReadVariable(session_.Protocol(), commands::BoardType);
                    !s) {
                    Fail(r, "the board-type read could not be queued: " + s.why);
                    return;
                }
                r.ctx->Progress("asking the board type", 0, 1);
                return;
            }
            r.phase = TOperationPhase::Serial;
            [[fallthrough]];
        case TOperationPhase::Serial:
            if ((r.needs.serialNumber || (r.needs.serialKnown && session_.serialNumber.empty())) &&
                !r.serialAsked) {
                // Read afresh: the board on the line may not be the one the
                // session identified last, and copies are named by it.
                reason_.clear();
                r.serialAsked = true;
                session_.serialNumber.clear();
                r.ctx->Progress("reading the board's serial number", 0, 1);
                session_.StartChain(commands::kPurposeSerialNumber, 0, 15);
                if (!session_.ChainRunning() && !r.finished)
                    Fail(r, "the serial-number read could not be queued");
                return;  // OnSerialNumber goes on
            }
            r.phase = TOperationPhase::Keep;
            r.keepIndex = 0;
            [[fallthrough]];
        case TOperationPhase::Keep:
            if (r.keepIndex < r.needs.keeps.size()) {
                r.reads.clear();
                StartKeepRead(r);
                return;
            }
            BeginRun(r);
            return;
        case TOperationPhase::Question:
        case TOperationPhase::Running:
            return;
    }
}

void TOperations::StartKeepRead(TRun& r) {
    const TMemoryArea& a = r.needs.keeps[r.keepIndex];
    r.reading.assign(a.count, 0xFF);
    r.got.assign(a.count, false);
    r.received = 0;
    r.ctx->Progress(
        "reading " + a.name + " to keep it (read " + std::to_string(r.reads.size() + 1) + ")", 0,
        (a.count + commands::kMaxReadChunk - 1) / commands::kMaxReadChunk);
    reason_.clear();
    session_.StartChain(kPurposeKeep, a.first, static_cast<std::uint16_t>(a.first + a.count));
    if (!session_.ChainRunning() && !r.finished)
        Fail(r, "the read of " + a.name + " could not be queued");
}

TOperations::TRun* TOperations::Waiting(TOperationPhase phase) {
    for (auto& s : slots_)
        if (s && !s->finished && !s->cancelWhy && s->phase == phase) return s.get();
    return nullptr;
}

void TOperations::OnProtocolVersion(std::uint32_t, const std::string&) {
    if (TRun* r = Waiting(TOperationPhase::ProtocolVersion)) {
        r->phase = TOperationPhase::BoardType;
        Advance(*r);
    }
}

void TOperations::OnBoardType(std::uint16_t) {
    if (TRun* r = Waiting(TOperationPhase::BoardType)) {
        r->phase = TOperationPhase::Serial;
        Advance(*r);
    }
}

void TOperations::OnSerialNumber(const std::string& text) {
    TRun* r = Waiting(TOperationPhase::Serial);
    if (r == nullptr || !r->serialAsked) return;
    r->serial = text;
    r->phase = TOperationPhase::Keep;
    r->keepIndex = 0;
    Advance(*r);
}

void TOperations::OnChainChunk(int purpose, std::uint16_t address,
                               std::span<const std::uint8_t> data) {
    if (purpose != kPurposeKeep) return;
    TRun* r = Waiting(TOperationPhase::Keep);
    if (r == nullptr || r->keepIndex >= r->needs.keeps.size()) return;
    const TMemoryArea& a = r->needs.keeps[r->keepIndex];
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        if (at < a.first || at >= std::size_t{a.first} + a.count) continue;
        const std::size_t k = at - a.first;
        r->reading[k] = data[i];
        if (!r->got[k]) {
            r->got[k] = true;
            ++r->received;
        }
    }
    r->ctx->Progress(
        "reading " + a.name + " to keep it (read " + std::to_string(r->reads.size() + 1) + ")",
        static_cast<int>(r->received / commands::kMaxReadChunk),
        (a.count + commands::kMaxReadChunk - 1) / commands::kMaxReadChunk);
}

void TOperations::OnChainEnd(int purpose) {
    if (purpose != kPurposeKeep) return;
    if (TRun* r = Waiting(TOperationPhase::Keep)) KeepReadComplete(*r);
}

void TOperations::KeepReadComplete(TRun& r) {
    const TMemoryArea& a = r.needs.keeps[r.keepIndex];
    if (r.received != a.count) {
        Fail(r, a.name + " came incomplete (" + std::to_string(r.received) + " of " +
                    std::to_string(a.count) + " bytes)");
        return;
    }
    // The checksum of an image does not cover every byte (the configuration's
    // filler): only two reads alike prove a copy exact.
    const bool agrees =
        std::any_of(r.reads.begin(), r.reads.end(),
                    [&](const std::vector<std::uint8_t>& earlier) { return earlier == r.reading; });
    r.reads.push_back(r.reading);
    if (!agrees) {
        if (static_cast<int>(r.reads.size()) >= kMaxKeepReads) {
            Fail(r, a.name + " (addresses " + Range(a) + ") read differently " +
                        std::to_string(kMaxKeepReads) +
                        " times: no exact copy can be kept, so nothing is written");
            return;
        }
        StartKeepRead(r);
        return;
    }
    r.questions = r.op->Questions(a, r.reading, r.serial);
    r.questionIndex = 0;
    AskNext(r);
}

void TOperations::AskNext(TRun& r) {
    if (r.questionIndex < r.questions.size()) {
        const TQuestion q = r.questions[r.questionIndex];
        r.ctx->Ask(q, [this, &r](bool yes) {
            if (!yes) {
                TOperationOutcome o;
                o.kind = TOutcomeKind::Refused;
                o.why = "not confirmed";
                // Which word answers yes beforehand is the command line's to
                // say; the window has no such word.
                o.message = r.op->Name() + " not confirmed: nothing was written to the board.";
                Finish(r, std::move(o));
                return;
            }
            ++r.questionIndex;
            r.phase = TOperationPhase::Keep;
            AskNext(r);
        });
        return;
    }
    // Every question answered yes: keep the copy, read it back, go on.
    const TMemoryArea& a = r.needs.keeps[r.keepIndex];
    std::vector<TKeptFile> files;
    if (const TResult s = r.op->SaveKept(*r.ctx, a, r.reading, files); !s) {
        Fail(r, "the copy of " + a.name + " could not be saved: " + s.why);
        return;
    }
    for (const TKeptFile& f : files) {
        if (f.exact) {
            std::string back, error;
            if (!config::ReadWholeFile(f.path, back, &error, r.reading.size()) ||
                back.size() != r.reading.size() ||
                !std::equal(
                    back.begin(), back.end(), r.reading.begin(),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; })) {
                Fail(r, "the copy of " + a.name + " in " + f.path +
                            " does not read back as it was saved" +
                            (error.empty() ? std::string() : " (" + error + ")"));
                return;
            }
        }
        r.kept.push_back(f.path);
    }
    if (a.first == ConfigurationArea().first && a.count == ConfigurationArea().count)
        r.heldConfiguration = r.reading;
    ++r.keepIndex;
    r.phase = TOperationPhase::Keep;
    Advance(r);
}

void TOperations::BeginRun(TRun& r) {
    r.phase = TOperationPhase::Running;
    if (const TResult s = r.op->Run(*r.ctx); !s && !r.finished) {
        TOperationOutcome o;
        o.kind = TOutcomeKind::Failed;
        o.why = s.why;
        o.message =
            r.op->Name() + " stopped before anything was sent: " + s.why + "." + KeptText(r.kept);
        Finish(r, std::move(o));
    }
}

void TOperations::Fail(TRun& r, const std::string& why) {
    if (r.finished) return;
    TOperationOutcome o;
    o.kind = TOutcomeKind::Failed;
    o.why = why;
    o.message = r.op->Name() + " stopped before anything was written: " + why +
                ". The board holds what it held." + KeptText(r.kept);
    Finish(r, std::move(o));
}

void TOperations::StopRun(TRun& r, const std::string& why) {
    if (r.finished) return;
    r.stopping = r.cancelWhy.has_value();
    if (r.phase == TOperationPhase::Running) {
        r.op->Stop(*r.ctx, why);
        if (!r.finished) {
            // An operation that did not say more: at least say that it stopped.
            TOperationOutcome o;
            o.kind = TOutcomeKind::Failed;
            o.why = why;
            o.message = r.op->Name() + " stopped: " + why + "." + KeptText(r.kept);
            Finish(r, std::move(o));
        }
        return;
    }
    // Before its own sequence nothing was written; a read under way ends
    // quietly.
    if (session_.ChainRunning() && (session_.readPurpose == kPurposeKeep ||
                                    session_.readPurpose == commands::kPurposeSerialNumber))
        session_.ResetChain();
    TOperationOutcome o;
    o.kind = TOutcomeKind::Failed;
    o.why = why;
    o.message = r.op->Name() + " stopped before anything was written: " + why +
                ". The board holds what it held." + KeptText(r.kept);
    Finish(r, std::move(o));
}

void TOperations::Finish(TRun& r, TOperationOutcome o) {
    if (r.finished) return;
    r.finished = true;
    // Interrupted when the cancel stopped it; an operation that ended by
    // itself with the answer in flight keeps its own outcome.
    if (r.stopping && r.cancelWhy && (o.kind != TOutcomeKind::Completed || r.cancelSignal != 0) &&
        o.kind != TOutcomeKind::Refused) {
        o.kind = TOutcomeKind::Interrupted;
        o.signal = r.cancelSignal;
    }
    o.operation = r.op->Name();
    // Every outcome says where the kept copies are (an exact image is named
    // by the backup beside it).
    std::vector<std::string> unnamed;
    for (const std::string& k : r.kept) {
        const std::string sibling = k.ends_with(".bin") ? k.substr(0, k.size() - 4) + ".wcf" : k;
        if (o.message.find(k) == std::string::npos && o.message.find(sibling) == std::string::npos)
            unnamed.push_back(k);
    }
    o.message += KeptText(unnamed);
    o.kept = r.kept;
    o.files = r.written;
    o.warning = r.warning;
    o.details = std::move(r.details);
    // Outputs never written go, and free their names.
    for (config::TReservedFile& f : r.outputs) f.Release();
    if (r.holding) {
        session_.Protocol().Hold(false);
        r.holding = false;
    }
    if (r.attached) {
        r.op->Detach(core_);
        r.attached = false;
    }
    Record(o, *r.op, r.serial, r.heldConfiguration);
    // Kept until the next tick: the operation may be on the call stack.
    std::unique_ptr<TRun> mine = std::move(slots_[r.slot]);
    const auto done = r.done;
    finished_.push_back(std::move(mine));
    views_.Notify(&IOperationView::OnOperationFinished, o);
    if (done) done(o);
}

void TOperations::Record(TOperationOutcome& o, const TOperation& op, const std::string& serial,
                         const std::vector<std::uint8_t>& held) {
    THistory& history = core_.History();
    THistoryFacts facts;
    // The serial number read for this run; else the one the session knows
    // (an operation that needs none, or one refused before it started).
    facts.serial = serial.empty() ? session_.serialNumber : serial;
    facts.boardType = session_.boardType;
    auto version = [](const std::array<std::uint8_t, 3>& v) {
        if (v == std::array<std::uint8_t, 3>{}) return std::string();
        return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
    };
    facts.firmware = version(session_.firmwareVersion);
    facts.protocol = version(session_.protocolVersion);
    if (!held.empty()) facts.snapshots.push_back({"before", held});
    for (auto& [role, image] : op.Recorded()) facts.snapshots.push_back({role, image});
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(core_.BackupTime().time_since_epoch())
            .count();
    // A history fault is news, never the operation's failure.
    if (const std::string notice = history.RecordOutcome(o, facts, ms); !notice.empty())
        o.message += (o.message.empty() ? "" : " ") + notice;
}

void TOperations::Cancel(const std::string& why, int signal, bool foregroundOnly) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (foregroundOnly && i == 1) continue;
        TRun* r = slots_[i].get();
        if (r == nullptr || r->finished || r->cancelWhy) continue;
        r->cancelWhy = signal != 0 ? "interrupted by " + link::StopSignalText(signal) : why;
        r->cancelSignal = signal;
        // Nothing more goes out; the request in flight is answered first.
        if (i == 0 && !r->holding) {
            session_.Protocol().Hold(true);
            r->holding = true;
        }
    }
}

void TOperations::CancelBackground(const std::string& why) {
    if (TRun* r = slots_[1].get(); r && !r->finished && !r->cancelWhy) r->cancelWhy = why;
}

void TOperations::Answer(bool yes) {
    for (auto& s : slots_)
        if (s && !s->finished && s->phase == TOperationPhase::Question && !s->answer) {
            s->answer = yes;
            return;
        }
}

std::string TOperations::WaitingReason(const TRun& r) const {
    if (!reason_.empty()) return reason_;
    switch (r.phase) {
        case TOperationPhase::ProtocolVersion:
            return "the board did not tell its protocol version";
        case TOperationPhase::BoardType:
            return "the board did not tell its type";
        case TOperationPhase::Serial:
            return "the board did not answer the serial-number read";
        default:
            return "its next request was never sent";
    }
}

void TOperations::Tick(bool exchangeIdle) {
    finished_.clear();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        TRun* r = slots_[i].get();
        if (r == nullptr || r->finished) continue;
        if (r->cancelWhy) {
            if (r->phase == TOperationPhase::Question) {
                r->phase = r->phaseBeforeQuestion;
                StopRun(*r, *r->cancelWhy);
                continue;
            }
            if (session_.Protocol().InFlight()) continue;  // its answer first
            // Dropped unsent; polling, if it runs beside, starts its cycle anew.
            session_.Protocol().ClearQueue();
            core_.Polling().QueueCleared();
            StopRun(*r, *r->cancelWhy);
            continue;
        }
        if (r->phase == TOperationPhase::Question) {
            if (!r->answer) continue;
            const bool yes = *r->answer;
            auto then = std::move(r->then);
            r->then = nullptr;
            r->answer.reset();
            r->phase = r->phaseBeforeQuestion;
            if (then) then(yes);
            continue;
        }
        if (r->phase == TOperationPhase::Running) {
            r->op->Tick(*r->ctx);
            if (!r->finished && exchangeIdle && !session_.ExchangePaused()) r->op->Stalled(*r->ctx);
            continue;
        }
        // Waiting for a precondition or a read: an idle line means it ended.
        if (exchangeIdle && !session_.ExchangePaused()) Fail(*r, WaitingReason(*r));
    }
}

void TOperations::OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) {
    if (s != commands::Sequence::MemoryChain) return;
    if (purpose == kPurposeKeep) {
        if (TRun* r = Waiting(TOperationPhase::Keep)) Fail(*r, why);
    } else if (purpose == commands::kPurposeSerialNumber) {
        if (TRun* r = Waiting(TOperationPhase::Serial); r && r->serialAsked) Fail(*r, why);
    }
}

void TOperations::OnAnswerIgnored(const std::string& why) {
    reason_ = "the board's answer could not be used: " + why;
}

void TOperations::OnLinkState(std::string_view) {}

void TOperations::OnRefusal(const std::string& text) {
    reason_ = "refused by the board: " + text;
}

void TOperations::OnLineFailed(const std::string& why) {
    reason_ = why;
}

void TOperations::OnStopPolling() {
    // A garbled answer says more than the stop it causes.
    if (reason_.empty()) reason_ = std::string(link::kLinkTimeout);
}

}  // namespace orvan::features
