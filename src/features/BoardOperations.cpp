#include "features/BoardOperations.h"

#include <map>

#include "commands/Builders.h"
#include "commands/Catalogue.h"
#include "features/ConfigBackups.h"
#include "features/EventLog.h"
#include "features/Flanging.h"
#include "features/Identity.h"
#include "features/MachineVariants.h"
#include "features/ServiceReport.h"
#include "features/SupervisorCore.h"
#include "features/TuningLog.h"
#include "link/ExchangeCycle.h"
#include "link/NumberText.h"

namespace orvan::features {

namespace {

using namespace orvan::commands;

// A variable's value as a user reads it.
std::string FieldsText(const DecodedVariable& v) {
    const auto field = [&](std::size_t i) { return i < v.fields.size() ? v.fields[i].value : 0.0; };
    char text[64];
    switch (v.code) {
        case ClockTime:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(field(0)),
                          static_cast<int>(field(1)), static_cast<int>(field(2)));
            return text;
        case SourceWorkTime:
            return link::NumberText(field(0)) + " s (" + link::RoundedText(field(0) / 3600.0, 3) +
                   " h)";
        case ClockRun:
            return field(0) != 0 ? "the clock running" : "the clock halted";
        default:
            break;
    }
    std::string t;
    for (const DecodedField& f : v.fields) {
        if (!t.empty()) t += " ";
        t += f.text;
    }
    return t;
}

// Ends a memory chain of `purpose` that runs: its owner hears it stopped.
void EndChainOf(TSupervisorCore& core, int purpose, const std::string& why) {
    commands::TSession& s = core.Engine().session;
    if (s.ChainRunning() && s.readPurpose == purpose) s.EndChain(why);
}

// --- variables written after their values were read -------------------------

// A write of board variables: what they hold is read first (and said in the
// outcome, so it can be set back), then the writes go, each acknowledged,
// then what the board holds is read again.
class TVariableWrite final : public TAttachedOperation<TVariableWrite>,
                             public commands::IVariableView,
                             public commands::ILinkView {
  public:
    struct TPlan {
        std::string name;                  // "Hours counter"
        std::string what;                  // "the hours counter"
        std::vector<std::uint16_t> reads;  // read before and after
        std::vector<std::pair<std::uint16_t, std::vector<double>>> writes;
        std::string refused;  // a typed value that cannot be sent: refused with this
        std::string done;     // "set to 18 h"
        bool boardType = false;
        // Memory that holds what a variable the board does not let be read
        // keeps (the factory tuning date lives in the tuning log).
        std::vector<TMemoryArea> keeps;
        // Checks that need the board's identity, once the needs are met.
        std::function<TResult()> beforeWrite;
        // Sends the writes itself (a machine page's form); otherwise the
        // frames are queued as built.
        std::function<TResult()> send;
    };

    TVariableWrite(TSupervisorCore& core, TPlan plan)
        : TAttachedOperation(plan.name), core_(core), plan_(std::move(plan)) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        n.boardType = plan_.boardType;
        n.keeps = plan_.keeps;
        n.serialNumber = !plan_.keeps.empty();  // the kept copy is named by it
        n.serialKnown = true;
        return n;
    }
    TResult Check() override {
        if (!plan_.refused.empty()) return TResult::Fail(plan_.refused);
        cmds_.clear();
        // Every frame is built before anything is queued: a value the board
        // cannot hold is refused here, never wrapped.
        for (const auto& [code, values] : plan_.writes) {
            link::TCmd cmd;
            std::string why;
            if (!MakeWriteVariable(code, values, cmd, &why)) return TResult::Fail(why);
            cmds_.push_back(cmd);
        }
        return TResult::Ok();
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        if (plan_.beforeWrite) {
            if (const TResult r = plan_.beforeWrite(); !r) {
                ctx.Finish(TOutcomeKind::Refused, r.why, plan_.name + " not sent: " + r.why);
                return TResult::Ok();
            }
        }
        stage_ = Stage::Before;
        return QueueReads();
    }

    void OnVariable(const DecodedVariable& v) override {
        if (ctx_ == nullptr || (stage_ != Stage::Before && stage_ != Stage::After)) return;
        const auto it = std::find(pending_.begin(), pending_.end(), v.code);
        if (it == pending_.end()) return;
        pending_.erase(it);
        (stage_ == Stage::Before ? before_ : after_)[v.code] = FieldsText(v);
        if (!pending_.empty()) return;
        if (stage_ == Stage::Before) {
            SendWrites();
        } else {
            Done();
        }
    }
    void OnAcknowledged(std::uint8_t type, std::uint16_t code) override {
        if (ctx_ == nullptr || stage_ != Stage::Write || type != kWriteVariable) return;
        const auto it = std::find(pendingWrites_.begin(), pendingWrites_.end(), code);
        if (it == pendingWrites_.end()) return;
        pendingWrites_.erase(it);
        ++acknowledged_;
        if (!pendingWrites_.empty()) return;
        stage_ = Stage::After;
        if (const TResult r = QueueReads(); !r)
            ctx_->Finish(TOutcomeKind::Completed, {},
                         Acknowledged() + " (not read back: " + r.why + ")");
    }
    void OnRefusal(const std::string& text) override { refusal_ = text; }

    void Stalled(TOperationContext& ctx) override { Stop(ctx, ctx.WhyIdle()); }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        switch (stage_) {
            case Stage::Before:
                ctx.Finish(TOutcomeKind::Failed, why,
                           plan_.name + " stopped before anything was written: " + why +
                               ". The board holds what it held.",
                           "what it held");
                return;
            case Stage::Write: {
                const std::string holds =
                    acknowledged_ == 0
                        ? "what it held (" + Before() + ")"
                        : "part of the new values: " + std::to_string(acknowledged_) + " of " +
                              std::to_string(cmds_.size()) + " writes were acknowledged (it held " +
                              Before() + ")";
                ctx.Finish(TOutcomeKind::Failed, why,
                           plan_.name + " stopped: " + why + ". The board holds " + holds + ".",
                           holds);
                return;
            }
            case Stage::After:
                ctx.Finish(TOutcomeKind::Completed, {},
                           Acknowledged() + " (the read-back stopped: " + why + ")");
                return;
        }
    }

  private:
    enum class Stage : std::uint8_t { Before, Write, After };

    TResult QueueReads() {
        pending_.clear();
        for (std::uint16_t code : plan_.reads) {
            if (const TResult r = SendReadVariable(core_.Engine().protocol, code); !r) return r;
            pending_.push_back(code);
        }
        if (pending_.empty()) {
            if (stage_ == Stage::Before)
                SendWrites();
            else
                Done();
        }
        return TResult::Ok();
    }
    void SendWrites() {
        stage_ = Stage::Write;
        pendingWrites_.clear();
        if (plan_.send) {
            if (const TResult r = plan_.send(); !r) {
                Stop(*ctx_, r.why);
                return;
            }
            for (const link::TCmd& c : cmds_)
                pendingWrites_.push_back(
                    static_cast<std::uint16_t>(c.Payload[0] | (c.Payload[1] << 8)));
            return;
        }
        for (const link::TCmd& c : cmds_) {
            if (const link::QueueResult q = core_.Engine().protocol.QueueCommand(c); !q) {
                Stop(*ctx_, q.why);
                return;
            }
            pendingWrites_.push_back(
                static_cast<std::uint16_t>(c.Payload[0] | (c.Payload[1] << 8)));
        }
    }
    std::string Before() const {
        std::string t;
        for (std::uint16_t code : plan_.reads) {
            const auto it = before_.find(code);
            if (it == before_.end()) continue;
            if (!t.empty()) t += ", ";
            t += it->second;
        }
        return t.empty() ? std::string("not read") : t;
    }
    std::string Acknowledged() const {
        std::string t = plan_.name + ": " + plan_.done + "; the board acknowledged it.";
        if (!plan_.reads.empty()) t += " It held " + Before() + " before.";
        if (ctx_ && !ctx_->Kept().empty())
            t += " What the board held is kept in " + ctx_->Kept().front() + ".";
        return t;
    }
    void Done() {
        std::string now;
        for (std::uint16_t code : plan_.reads) {
            const auto it = after_.find(code);
            if (it == after_.end()) continue;
            if (!now.empty()) now += ", ";
            now += it->second;
        }
        ctx_->Finish(TOutcomeKind::Completed, {},
                     Acknowledged() + (now.empty() ? std::string() : " It reads " + now + " now."),
                     now);
    }

    TSupervisorCore& core_;
    TPlan plan_;
    std::vector<link::TCmd> cmds_;
    TOperationContext* ctx_ = nullptr;
    Stage stage_ = Stage::Before;
    std::vector<std::uint16_t> pending_, pendingWrites_;
    std::map<std::uint16_t, std::string> before_, after_;
    std::size_t acknowledged_ = 0;
    std::string refusal_;
};

std::unique_ptr<TOperation> VariableWrite(TSupervisorCore& core, TVariableWrite::TPlan plan) {
    return std::make_unique<TVariableWrite>(core, std::move(plan));
}

// --- identity and plain reads ---------------------------------------------------

class TVariableRead final : public TAttachedOperation<TVariableRead>,
                            public commands::IVariableView,
                            public commands::IIdentityView {
  public:
    TVariableRead(TSupervisorCore& core, std::string name, std::vector<std::uint16_t> codes,
                  bool info)
        : TAttachedOperation(std::move(name)), core_(core), codes_(std::move(codes)), info_(info) {}

    TResult Check() override {
        if (!info_ && codes_.empty()) return TResult::Fail("no variable to read");
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override { return {}; }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        if (info_) {
            // The session keeps the last serial number when the board's
            // first byte is zero; this board's own is what counts.
            core_.Engine().session.serialNumber.clear();
            core_.Engine().session.RequestHardwareInfo();
            pending_ = {BoardType, FirmwareVersion, ProtocolVersion};
            serialPending_ = true;
            return TResult::Ok();
        }
        for (std::uint16_t code : codes_) {
            if (const TResult r = SendReadVariable(core_.Engine().protocol, code); !r) return r;
            pending_.push_back(code);
        }
        return TResult::Ok();
    }
    void OnVariable(const DecodedVariable& v) override {
        if (!Take(v.code)) return;
        for (const DecodedField& f : v.fields)
            ctx_->Detail(info_ ? Label(v.code) + ": " + f.text : f.field + ": " + f.text);
        Done();
    }
    void OnUndecodedVariable(std::uint16_t code, std::span<const std::uint8_t> bytes) override {
        if (!Take(code)) return;
        std::string hex;
        for (std::uint8_t b : bytes) {
            char t[4];
            std::snprintf(t, sizeof t, "%s%02X", hex.empty() ? "" : " ", b);
            hex += t;
        }
        ctx_->Detail("value: " + hex);
        Done();
    }
    void OnSerialNumber(const std::string& text) override {
        if (ctx_ == nullptr || !serialPending_) return;
        serialPending_ = false;
        serial_ = text;
        Done();
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        std::string missing;
        for (std::uint16_t code : pending_)
            missing += (missing.empty() ? "" : ", ") + CodeText(code);
        if (serialPending_) missing += std::string(missing.empty() ? "" : ", ") + "serial number";
        ctx.Finish(TOutcomeKind::Failed, why,
                   Name() + " stopped: " + why +
                       (missing.empty() ? std::string() : " (not read: " + missing + ")"));
    }

  private:
    bool Take(std::uint16_t code) {
        if (ctx_ == nullptr) return false;
        const auto it = std::find(pending_.begin(), pending_.end(), code);
        if (it == pending_.end()) return false;
        pending_.erase(it);
        return true;
    }
    void Done() {
        if (!pending_.empty() || serialPending_) return;
        if (info_) ctx_->Detail("serial number: " + SerialNumberText(serial_));
        // "Read ClockTime (0x0300)" is done as "ClockTime (0x0300) read."
        const std::string& name = Name();
        const std::string what = name.rfind("Read ", 0) == 0 ? name.substr(5) : name;
        ctx_->Finish(TOutcomeKind::Completed, {}, what + " read.");
    }
    static std::string Label(std::uint16_t code) {
        return code == FirmwareVersion   ? "firmware version"
               : code == ProtocolVersion ? "protocol version"
               : code == BoardType       ? "board type"
                                         : CodeText(code);
    }

    TSupervisorCore& core_;
    std::vector<std::uint16_t> codes_;
    bool info_;
    TOperationContext* ctx_ = nullptr;
    std::vector<std::uint16_t> pending_;
    bool serialPending_ = false;
    std::string serial_;
};

// --- serial number ------------------------------------------------------------

class TSerialWrite final : public TAttachedOperation<TSerialWrite>, public ISerialListener {
  public:
    TSerialWrite(TSupervisorCore& core, std::string text)
        : TAttachedOperation("Serial number write"), core_(core), text_(std::move(text)) {}

    TResult Check() override {
        if (const std::string p = SerialNumberProblem(text_); !p.empty()) return TResult::Fail(p);
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        n.serialNumber = true;
        n.keeps = {IdentityArea()};
        return n;
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        before_ = ctx.Serial();
        const TResult r = core_.Identity().SetSerialNumber(text_);
        return r ? TResult::Ok() : TResult::Fail(r.why);
    }
    void OnSerialNumberWritten(const TSerialOutcome& o) override {
        if (ctx_ == nullptr) return;
        const std::string kept = ctx_->Kept().empty()
                                     ? std::string()
                                     : " What it held is kept in " + ctx_->Kept().front() + ".";
        if (o.completed) {
            ctx_->Finish(TOutcomeKind::Completed, {},
                         "Serial number written: " + SerialNumberText(o.read) + " (it was " +
                             SerialNumberText(before_) + ")." + kept,
                         "the serial number " + SerialNumberText(o.read));
            return;
        }
        ctx_->Finish(
            TOutcomeKind::Failed, o.message, o.message + "." + kept,
            o.read.empty() ? "not known" : "the serial number " + SerialNumberText(o.read));
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        core_.Identity().AbandonSerialWrite();
        EndChainOf(core_, kPurposeSerialNumber, why);
        ctx.Finish(
            TOutcomeKind::Failed, why,
            "Serial number write stopped: " + why +
                ". The serial number was sent; whether the board kept it is not known "
                "(read it with \"Info\")." +
                (ctx.Kept().empty() ? std::string()
                                    : " What it held is kept in " + ctx.Kept().front() + "."),
            "not known");
    }

  private:
    TSupervisorCore& core_;
    std::string text_;
    std::string before_;
    TOperationContext* ctx_ = nullptr;
};

// --- procedures ---------------------------------------------------------------

class TProcedureRun final : public TAttachedOperation<TProcedureRun>,
                            public IPowerProcedureView,
                            public ITuningLogView {
  public:
    TProcedureRun(TSupervisorCore& core, TProcedureRequest r)
        : TAttachedOperation(Capitalised(ProcedureText(r.procedure))), core_(core), request_(r) {}

    TResult Check() override {
        if (request_.procedure == TProcedure::None) return TResult::Fail("no procedure to start");
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        // The factory tuning carries the security code on 2.1.0 boards, and
        // the power readings depend on the version.
        n.protocolVersion = true;
        n.serialNumber = Tuning();
        n.serialKnown = true;
        // A tuning rewrites the board's tuning data: what it holds is kept.
        if (Tuning()) n.keeps = {ConfigurationArea(), TuningLogArea()};
        return n;
    }
    std::vector<TQuestion> Questions(const TMemoryArea& area, std::span<const std::uint8_t>,
                                     const std::string&) override {
        if (request_.procedure != TProcedure::FactoryTuning || request_.confirmed ||
            area.first != TuningLogArea().first)
            return {};
        return {{Name(), "Factory tuning",
                 "The factory tuning replaces the board's power tuning; once started the board "
                 "runs it to its end by itself. Start it?",
                 "--yes"}};
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        return core_.Procedures().Start(request_.procedure);
    }
    void OnProcedureText(const std::string& text) override {
        if (ctx_) ctx_->Progress(text, 0, 0);
    }
    void OnPowerPoint(TProcedure, const TPowerPoint& q) override {
        if (ctx_ == nullptr) return;
        ctx_->Detail(std::to_string(q.step) + ";" + link::RoundedText(q.expected, 2) + ";" +
                     link::RoundedText(q.measured, 2) + ";" + q.errorText);
    }
    void OnProcedureFinished(const TProcedureOutcome& o) override {
        if (ctx_ == nullptr || o.procedure != request_.procedure) return;
        if (o.outcome.completed && Tuning()) {
            // The board's new tuning log is read back before the run ends.
            text_ = o.text;
            waitingLog_ = true;
            ctx_->Progress("reading the new tuning log", 0, 0);
            return;
        }
        if (o.outcome.completed) {
            ctx_->Finish(TOutcomeKind::Completed, {}, Name() + ": " + o.text);
            return;
        }
        ctx_->Finish(TOutcomeKind::Failed, o.outcome.why,
                     Name() + " stopped: " + o.outcome.why + " (" + o.text + ")." + Kept());
    }
    void OnTuningLogShown(const TTuningLogShown& s) override {
        if (ctx_ == nullptr || !waitingLog_) return;
        waitingLog_ = false;
        if (!s.outcome.completed)
            ctx_->Warn("The new tuning log could not be read: " + s.outcome.why + ".");
        ctx_->Finish(TOutcomeKind::Completed, {}, Name() + ": " + text_, "the new tuning");
    }
    // The procedures controller watches its own reads; the tuning-log read
    // that follows a tuning waits only for a running chain.
    void Stalled(TOperationContext& ctx) override {
        if (waitingLog_ && !core_.Logs().TuningLogReadWaiting()) Stop(ctx, ctx.WhyIdle());
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        if (waitingLog_) {
            waitingLog_ = false;
            EndChainOf(core_, kPurposeTuningLog, why);
            ctx.Warn("The new tuning log was not read: " + why + ".");
            ctx.Finish(
                TOutcomeKind::Completed, {},
                Name() + ": " + text_ + "; its new tuning log was not read back (" + why + ")",
                "the new tuning, its log not read back");
            return;
        }
        core_.Procedures().StopFollowing();
        const std::string variable = Tuning() ? "TuningStatus" : "DiagnosisStatus";
        ctx.Finish(
            TOutcomeKind::Failed, why,
            Name() + ": " + why +
                ". The board cannot be told to stop it: it goes on by "
                "itself. Follow it on the \"Welder Tuning\" page or with \"orvan-cli read-var " +
                variable + "\"" + (Tuning() ? "; its end shows in the tuning log." : ".") + Kept(),
            Tuning() ? "a tuning under way" : "a diagnosis under way");
    }

  private:
    bool Tuning() const {
        return request_.procedure == TProcedure::FactoryTuning ||
               request_.procedure == TProcedure::SecondaryTuning;
    }
    std::string Kept() const {
        if (ctx_ == nullptr || ctx_->Kept().empty()) return {};
        std::string t = " What the board held before is kept in";
        for (std::size_t i = 0; i < ctx_->Kept().size(); ++i)
            t += (i ? ", " : " ") + ctx_->Kept()[i];
        return t + ".";
    }
    static std::string Capitalised(std::string s) {
        if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
        return s;
    }

    TSupervisorCore& core_;
    TProcedureRequest request_;
    TOperationContext* ctx_ = nullptr;
    std::string text_;
    bool waitingLog_ = false;
};

// --- logs -----------------------------------------------------------------------

class TTuningLogRead final : public TAttachedOperation<TTuningLogRead>, public ITuningLogView {
  public:
    TTuningLogRead(TSupervisorCore& core, TLogSaveRequest save, bool read)
        : TAttachedOperation(read ? "Tuning log read" : "Tuning log save"),
          core_(core),
          save_(std::move(save)),
          read_(read) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        // The currents are fractions of the configuration's maximum current.
        n.configLoaded = read_;
        n.serialKnown = read_;
        if (!save_.path.empty())
            n.outputs.push_back({save_.path, TFileKind::TuningLog, "the tuning log file",
                                 save_.replace, save_.replaceOtherKind});
        return n;
    }
    TResult Check() override {
        if (!read_ && save_.path.empty()) return TResult::Fail("no file named for the tuning log");
        if (!read_) return Saveable();
        return TResult::Ok();
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        if (!read_) {
            SaveAndFinish(std::string());
            return TResult::Ok();
        }
        ctx.Progress("reading the tuning log", 0, 10);
        return core_.TuningLog().Read();
    }
    void OnTuningLogShown(const TTuningLogShown& s) override {
        if (ctx_ == nullptr) return;
        if (!s.outcome.completed) {
            ctx_->Finish(TOutcomeKind::Failed, s.outcome.why,
                         "Tuning log read stopped: " + s.outcome.why);
            return;
        }
        const auto& image = core_.Logs().tuningLogImage;
        image_.assign(image.begin(), image.end());
        for (const tuninglog& e : s.entries)
            ctx_->Detail(e.dateTime + "\t" + link::RoundedText(e.current, 3) + " A\t" +
                         link::RoundedText(e.power, 3) + " W\t" + link::RoundedText(e.hours, 3) +
                         " h");
        if (!s.problem.empty()) ctx_->Warn(s.problem);
        SaveAndFinish("Tuning log read (" + std::to_string(s.entries.size()) + " entries).");
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        EndChainOf(core_, kPurposeTuningLog, why);
        ctx.Finish(TOutcomeKind::Failed, why, "Tuning log read stopped: " + why);
    }

  private:
    TResult Saveable() const {
        const TWelderData& d = core_.TuningLog().welderData;
        if (!d.Decoded())
            return TResult::Fail(
                "No tuning log has been read yet: read it from the board first "
                "(\"Get tuning log\"); nothing saved");
        if (d.validCopy == 0)
            return TResult::Fail(
                "Both copies of the tuning log on the board are damaged: there is nothing "
                "trustworthy to save; nothing saved");
        return TResult::Ok();
    }
    void SaveAndFinish(std::string message) {
        if (!save_.path.empty()) {
            TResult r = Saveable();
            if (r) r = ctx_->Commit(0, core_.TuningLog().welderData.LogText());
            if (!r) {
                ctx_->Finish(TOutcomeKind::Failed, r.why,
                             message + (message.empty() ? "" : " ") +
                                 "The tuning log could not be saved: " + r.why);
                return;
            }
            message += (message.empty() ? "" : " ") + std::string("Tuning log saved to ") +
                       ctx_->OutputPath(0) + ".";
        }
        ctx_->Finish(TOutcomeKind::Completed, {}, message);
    }

    TSupervisorCore& core_;
    TLogSaveRequest save_;
    bool read_;
    TOperationContext* ctx_ = nullptr;
    std::vector<std::uint8_t> image_;

  public:
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Recorded() const override {
        if (image_.empty()) return {};
        return {{"tuning log", image_}};
    }
};

class TEventLogRead final : public TAttachedOperation<TEventLogRead>,
                            public IEventLogView,
                            public commands::IMemoryView {
  public:
    explicit TEventLogRead(TSupervisorCore& core)
        : TAttachedOperation("Event log read"), core_(core) {}
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.serialKnown = true;
        return n;
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        ctx.Progress("reading the event log", 0, kEventLogSize);
        return core_.EventLog().StartEventLogRead();
    }
    // The read takes many seconds: it counts its bytes as they come.
    void OnChainChunk(int purpose, std::uint16_t, std::span<const std::uint8_t> data) override {
        if (ctx_ == nullptr || purpose != kPurposeEventLog) return;
        bytes_ = std::min<int>(kEventLogSize, bytes_ + static_cast<int>(data.size()));
        ctx_->Progress("reading the event log", bytes_, kEventLogSize);
    }
    void OnEventLogRead(const TSequenceOutcome& o, const TEventLogDecode& log) override {
        if (ctx_ == nullptr) return;
        if (!o.completed) {
            ctx_->Finish(TOutcomeKind::Failed, o.why, "Event log read stopped: " + o.why);
            return;
        }
        for (const TEventLine& line : log.lines) ctx_->Detail(EventLineText(line));
        image_ = core_.EventLog().lastEventLog;
        ctx_->Finish(TOutcomeKind::Completed, {},
                     "Event log read (" + std::to_string(log.lines.size()) + " events).");
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        EndChainOf(core_, kPurposeEventLog, why);
        ctx.Finish(TOutcomeKind::Failed, why, "Event log read stopped: " + why);
    }

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Recorded() const override {
        if (image_.empty()) return {};
        return {{"event log", image_}};
    }

  private:
    TSupervisorCore& core_;
    TOperationContext* ctx_ = nullptr;
    std::vector<std::uint8_t> image_;
    int bytes_ = 0;
};

// --- flanging profile -------------------------------------------------------------

class TFlangingSave final : public TAttachedOperation<TFlangingSave>, public IFlangingView {
  public:
    explicit TFlangingSave(TSupervisorCore& core)
        : TAttachedOperation("Flanging profile save"), core_(core) {}

    TResult Check() override {
        profile_ = static_cast<int>(core_.Flanging().Form().Value("cseFlangingProfile"));
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.boardType = true;
        n.serialNumber = true;
        // Each profile is an amplitude and an offset word.
        const auto at = static_cast<std::uint16_t>(link::kFlangingProfilesAddress + 4 * profile_);
        n.keeps = {{at, 4, "flanging profile " + std::to_string(profile_ + 1), "flanging"}};
        return n;
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        const TResult r = core_.Flanging().SaveProfile();
        return r ? TResult::Ok() : TResult::Fail(r.why);
    }
    void OnFlangingProfilesRead(const TSequenceOutcome& o) override {
        if (ctx_ == nullptr) return;
        const std::string kept = ctx_->Kept().empty()
                                     ? std::string()
                                     : " What it held is kept in " + ctx_->Kept().front() + ".";
        if (!o.completed) {
            ctx_->Finish(TOutcomeKind::Failed, o.why,
                         "Profile " + std::to_string(profile_ + 1) +
                             " was sent; the table could not be read again: " + o.why + "." + kept,
                         "not known");
            return;
        }
        std::string now;
        for (const FlangingProfileRow& row : core_.Flanging().table)
            if (row.profile == profile_ + 1)
                now = "amplitude " + link::RoundedText(row.amplitude, 3) + " V, offset " +
                      link::RoundedText(row.offset, 3) + " V";
        ctx_->Finish(TOutcomeKind::Completed, {},
                     "Profile " + std::to_string(profile_ + 1) + " saved" +
                         (now.empty() ? std::string() : ": " + now) + "." + kept,
                     now);
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        EndChainOf(core_, kPurposeFlangingProfiles, why);
        if (!ctx.Cancelling() || ctx_ == nullptr) return;
        ctx.Finish(TOutcomeKind::Failed, why, "Flanging profile save stopped: " + why, "not known");
    }

  private:
    TSupervisorCore& core_;
    int profile_ = 0;
    TOperationContext* ctx_ = nullptr;
};

// --- service report -----------------------------------------------------------------

class TReportRun final : public TAttachedOperation<TReportRun>, public IServiceReportView {
  public:
    TReportRun(TSupervisorCore& core, TReportRequest r)
        : TAttachedOperation("Service report"), core_(core), request_(std::move(r)) {}
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.outputs.push_back({request_.path, TFileKind::Other, "the service report",
                             request_.replace, request_.replaceOtherKind});
        return n;
    }
    TResult Check() override {
        if (request_.path.empty()) return TResult::Fail("no file named for the service report");
        return TResult::Ok();
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        TOperationContext* c = &ctx;
        core_.Report().save = [c](const std::string& html) { return c->Commit(0, html); };
        return core_.Report().Start(ctx.OutputPath(0));
    }
    void OnReportStep(const std::string& step) override {
        if (ctx_) ctx_->Progress(step, 0, 0);
    }
    void OnReportFinished(const TReportOutcome& o) override {
        if (ctx_ == nullptr) return;
        core_.Report().save = nullptr;
        for (const std::string& m : o.missing) ctx_->Detail("not read: " + m);
        for (const std::string& m : o.notIncluded) ctx_->Detail("not included: " + m);
        if (!o.written) {
            ctx_->Finish(TOutcomeKind::Failed, o.message, o.message);
            return;
        }
        if (!o.completed) ctx_->Warn(o.message);
        ctx_->Finish(TOutcomeKind::Completed, {}, o.message);
    }
    void Stalled(TOperationContext&) override {}  // the report ends its own steps
    void Stop(TOperationContext& ctx, const std::string& why) override {
        core_.Report().Abandon(why);
        if (ctx_ != nullptr)
            ctx.Finish(TOutcomeKind::Failed, why,
                       "Service report stopped: " + why + "; nothing was written.");
    }

  private:
    TSupervisorCore& core_;
    TReportRequest request_;
    TOperationContext* ctx_ = nullptr;
};

// --- status polling ---------------------------------------------------------------------

class TPollingRun final : public TAttachedOperation<TPollingRun>,
                          public IStatusPollingView,
                          public commands::IStatusView,
                          public commands::ILinkView {
  public:
    TPollingRun(TSupervisorCore& core, TPollingRequest r)
        : TAttachedOperation("Status polling"), core_(core), request_(r) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        // Which reads a cycle makes depends on both.
        n.protocolVersion = true;
        n.boardType = true;
        n.background = true;
        return n;
    }
    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        core_.Polling().Start();
        lastRefreshMs_ = -kRefreshMs;
        return TResult::Ok();
    }
    void Tick(TOperationContext& ctx) override {
        if (!core_.Polling().Running()) {
            Ended(ctx);
            return;
        }
        const std::int64_t now = core_.Clock().MonotonicMs();
        if (now - lastRefreshMs_ < kRefreshMs) return;
        lastRefreshMs_ = now;
        (void)core_.Polling().RefreshTick();
    }
    void OnCycleComplete(const TStatusSnapshot& s) override {
        if (ctx_ == nullptr) return;
        refusals_ = 0;
        ctx_->Progress("polling", static_cast<int>(s.cycle), static_cast<int>(request_.cycles));
        if (request_.cycles != 0 && s.cycle >= request_.cycles) {
            core_.Polling().Stop(TPollStop::User);
            ctx_->Finish(TOutcomeKind::Completed, {},
                         "Status polling: " + std::to_string(s.cycle) + " cycles read.");
        }
    }
    // Any status answer shows the board answers.
    void OnAnalogStatus(const std::array<std::uint16_t, 6>&) override { refusals_ = 0; }
    void OnIoStatus(const commands::IoStatusWords&) override { refusals_ = 0; }
    void OnRefusal(const std::string& text) override {
        if (ctx_ == nullptr || !core_.Polling().Running()) return;
        lastRefusal_ = text;
        // Two whole cycles refused, nothing answered: the board will not
        // give its status.
        if (++refusals_ >= kRefusalsToGiveUp) {
            core_.Polling().Stop(TPollStop::Line);
            ctx_->Finish(
                TOutcomeKind::Failed, "refused by the board: " + text,
                "Status polling stopped: the board refused every status read (" + text + ").");
        }
    }
    void Stalled(TOperationContext&) override {}  // idle between cycles
    void Stop(TOperationContext& ctx, const std::string& why) override {
        const std::uint64_t cycles = core_.Polling().CyclesCompleted();
        core_.Polling().Stop(TPollStop::User);
        // Stopped by the user's button: that is how polling ends. A signal
        // is an interruption all the same.
        const bool byUser = ctx.Cancelling() && ctx.CancelSignal() == 0;
        ctx.Finish(
            byUser ? TOutcomeKind::Completed : TOutcomeKind::Failed, byUser ? "" : why,
            "Status polling stopped (" + why + ") after " + std::to_string(cycles) + " cycles.");
    }

  private:
    static constexpr std::int64_t kRefreshMs = 150;
    static constexpr int kRefusalsToGiveUp = 8;

    void Ended(TOperationContext& ctx) {
        // Polling stopped without this operation asking: the line did it.
        ctx.Finish(TOutcomeKind::Failed, ctx.WhyIdle(),
                   "Status polling stopped: " + ctx.WhyIdle() + " after " +
                       std::to_string(core_.Polling().CyclesCompleted()) + " cycles.");
    }

    TSupervisorCore& core_;
    TPollingRequest request_;
    TOperationContext* ctx_ = nullptr;
    std::int64_t lastRefreshMs_ = 0;
    int refusals_ = 0;
    std::string lastRefusal_;
};

}  // namespace

// "ClockTime (0x0300)", or the code alone for a variable not in the catalogue.
std::string VariableName(std::uint16_t code) {
    const VariableInfo* v = FindVariable(code);
    return v ? std::string(v->name) + " (" + CodeText(code) + ")" : CodeText(code);
}

std::unique_ptr<TOperation> InfoOperation(TSupervisorCore& core) {
    return std::make_unique<TVariableRead>(core, "Board identity", std::vector<std::uint16_t>{},
                                           true);
}

std::unique_ptr<TOperation> VariableReadOperation(TSupervisorCore& core,
                                                  std::vector<std::uint16_t> codes) {
    std::string name = "Read";
    for (std::uint16_t c : codes) name += (name == "Read" ? " " : ", ") + VariableName(c);
    return std::make_unique<TVariableRead>(core, name, std::move(codes), false);
}

std::unique_ptr<TOperation> VariableWriteOperation(TSupervisorCore& core, std::uint16_t code,
                                                   std::vector<double> values) {
    TVariableWrite::TPlan s;
    s.name = "Write " + VariableName(code);
    const VariableInfo* v = FindVariable(code);
    if (v == nullptr || !v->writable) {
        s.refused = CodeText(code) + " is not a variable this program writes";
        return VariableWrite(core, std::move(s));
    }
    if (v->readable) s.reads = {code};
    s.writes = {{code, values}};
    std::string shown;
    for (double x : values) shown += (shown.empty() ? "" : " ") + link::NumberText(x);
    s.done = "written with " + shown;
    if (TVariableForm* form = VariantFormFor(core, code)) {
        // A machine page's variable: the page's own checks, once the board
        // type says whether the board has the page at all.
        s.boardType = true;
        s.beforeWrite = [form] {
            const TResult c = form->CheckServed();
            return c ? TResult::Ok() : TResult::Fail(c.why);
        };
        s.send = [form, code, values] {
            const TResult r = WriteVariantValues(*form, code, values);
            return r ? TResult::Ok() : TResult::Fail(r.why);
        };
    }
    return VariableWrite(core, std::move(s));
}

std::unique_ptr<TOperation> SerialNumberOperation(TSupervisorCore& core, std::string text) {
    return std::make_unique<TSerialWrite>(core, std::move(text));
}

std::unique_ptr<TOperation> HoursSecondsOperation(TSupervisorCore& core, std::uint32_t seconds) {
    TVariableWrite::TPlan s;
    s.name = "Hours counter";
    s.reads = {SourceWorkTime};
    s.writes = {{SourceWorkTime, {static_cast<double>(seconds)}}};
    s.done = "set to " + std::to_string(seconds) + " s (" + link::RoundedText(seconds / 3600.0, 3) +
             " h)";
    return VariableWrite(core, std::move(s));
}

std::unique_ptr<TOperation> HoursCounterOperation(TSupervisorCore& core, std::string typed,
                                                  char decimal) {
    double hours = 0;
    std::string why;
    std::optional<std::uint32_t> seconds;
    if (!ParseTypedDecimal(typed, decimal, hours))
        why = "Source hours counter: '" + typed + "' is not a valid floating point value";
    else
        seconds = HoursToSeconds(hours, &why);
    if (!seconds) {
        TVariableWrite::TPlan s;
        s.name = "Hours counter";
        s.refused = why;
        return VariableWrite(core, std::move(s));
    }
    return HoursSecondsOperation(core, *seconds);
}

std::unique_ptr<TOperation> TuningDateOperation(TSupervisorCore& core, TDate date,
                                                TTimeTexts time) {
    TVariableWrite::TPlan s;
    s.name = "Factory tuning date";
    TTimeOfDay t;
    std::string why;
    if (!ParseTimeTexts(time, t, &why)) {
        s.refused = why;
    } else if (const auto seconds = CalendarSeconds(date, t); !seconds) {
        s.refused = "the factory tuning date " + DateText(date) + " " + TimeText(t) +
                    " is outside 1970-01-01 00:00:00 .. 2106-02-07 06:28:15; nothing sent";
    } else {
        // The board does not let the date be read; it keeps it in the
        // tuning log, which is kept instead.
        s.keeps = {TuningLogArea()};
        s.writes = {{FactoryTuningDate, {static_cast<double>(*seconds)}}};
        s.done =
            "set to " + DateText(date) + " " + TimeText(t) + " (" + std::to_string(*seconds) + ")";
    }
    return VariableWrite(core, std::move(s));
}

std::unique_ptr<TOperation> ClockSetOperation(TSupervisorCore& core, TDate date, TTimeTexts time) {
    TVariableWrite::TPlan s;
    s.name = "Board clock set";
    TTimeOfDay t;
    std::string why;
    if (!ParseTimeTexts(time, t, &why)) {
        s.refused = why;
    } else if (!ValidTime(t)) {
        s.refused = "not a time of day: " + TimeText(t) + "; nothing sent";
    } else if (!ValidDate(date) || date.year < 2000 || date.year > 2255) {
        // The board keeps the year as year - 2000 in one byte.
        s.refused = "the board clock holds dates from 2000-01-01 to 2255-12-31, not " +
                    DateText(date) + "; nothing sent";
    } else {
        s.reads = {ClockTime, ClockDate};
        s.writes = {{ClockTime, ClockTimeValues(t)}, {ClockDate, ClockDateFields(date)}};
        s.done = "set to " + DateText(date) + " " + TimeText(t);
    }
    return VariableWrite(core, std::move(s));
}

std::unique_ptr<TOperation> ClockRunOperation(TSupervisorCore& core, bool running) {
    TVariableWrite::TPlan s;
    s.name = running ? "Board clock start" : "Board clock halt";
    s.reads = {ClockRun};
    s.writes = {{ClockRun, {running ? 1.0 : 0.0}}};
    s.done = running ? "the clock runs" : "the clock is halted";
    return VariableWrite(core, std::move(s));
}

std::unique_ptr<TOperation> ProcedureOperation(TSupervisorCore& core, TProcedureRequest r) {
    return std::make_unique<TProcedureRun>(core, r);
}

std::unique_ptr<TOperation> TuningLogReadOperation(TSupervisorCore& core, TLogSaveRequest save) {
    return std::make_unique<TTuningLogRead>(core, std::move(save), true);
}

std::unique_ptr<TOperation> TuningLogSaveOperation(TSupervisorCore& core, TLogSaveRequest save) {
    return std::make_unique<TTuningLogRead>(core, std::move(save), false);
}

std::unique_ptr<TOperation> EventLogReadOperation(TSupervisorCore& core) {
    return std::make_unique<TEventLogRead>(core);
}

std::unique_ptr<TOperation> FlangingSaveOperation(TSupervisorCore& core) {
    return std::make_unique<TFlangingSave>(core);
}

std::unique_ptr<TOperation> ServiceReportOperation(TSupervisorCore& core, TReportRequest r) {
    return std::make_unique<TReportRun>(core, std::move(r));
}

std::unique_ptr<TOperation> PollingOperation(TSupervisorCore& core, TPollingRequest r) {
    return std::make_unique<TPollingRun>(core, r);
}

}  // namespace orvan::features
