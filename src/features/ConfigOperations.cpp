#include "features/ConfigOperations.h"

#include <cstdio>

#include "config/SystemPaths.h"
#include "features/ConfigBackups.h"
#include "features/ConfigTransfer.h"
#include "features/SupervisorCore.h"
#include "features/TuningLog.h"

namespace orvan::features {

namespace {

std::string StampText(const std::array<std::uint8_t, config::kImageSize>& image) {
    char text[200];
    std::snprintf(text, sizeof text, "its checksum reads 0x%04X, its data give 0x%04X",
                  config::StoredImageChecksum(image.data()), config::ImageChecksum(image.data()));
    return text;
}

std::array<std::uint8_t, config::kImageSize> ToImage(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, config::kImageSize> a{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), a.size()), a.begin());
    return a;
}

// --- write ------------------------------------------------------------------

class TConfigWrite final : public TAttachedOperation<TConfigWrite>, public ITransferListener {
  public:
    TConfigWrite(TSupervisorCore& core, TConfigWriteRequest r)
        : TAttachedOperation(r.restore ? "Configuration restore" : "Configuration write"),
          core_(core),
          request_(std::move(r)) {
        // What is written is the record as it stands now, whatever the pages
        // do while the backup is taken.
        if (request_.exactImage)
            image_ = *request_.exactImage;
        else
            config::BuildDeviceImage(core_.Engine().record, image_.data());
    }

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;  // the blocks carry the security code on 2.1.0
        n.serialNumber = true;     // backups are named by it
        n.keeps = {ConfigurationArea()};
        return n;
    }

    TResult Check() override {
        if (core_.Operations().BackupDir().empty())
            return TResult::Fail("no folder for backups (" + config::UserDataDirectoryNeeds() +
                                 "); nothing is written to the board without a backup");
        return TResult::Ok();
    }

    std::vector<TQuestion> Questions(const TMemoryArea&, std::span<const std::uint8_t> bytes,
                                     const std::string& serial) override {
        const auto held = ToImage(bytes);
        std::vector<TQuestion> q;
        if (!request_.fromBoard.empty() && serial != request_.fromBoard && !request_.acceptDamaged)
            q.push_back({Name(), std::string(kAttention),
                         "This configuration was read from board \"" + request_.fromBoard +
                             "\"; the board on the line is \"" + serial +
                             "\". Write it to this board?",
                         "--force"});
        // A blank memory has nothing to lose and no checksum to match.
        if (BlankImage(held)) return q;
        if (!config::ImageChecksumOk(held.data()) && !request_.acceptDamaged)
            q.push_back({Name(), std::string(kAttention),
                         "What the board holds fails its checksum (" + StampText(held) +
                             "), read alike twice: the backup keeps it as it is, and a restore "
                             "gives back exactly those bytes. Write over it?",
                         "--force"});
        if (const std::string other = OtherLayoutText(held);
            !other.empty() && !request_.acceptOtherLayout)
            q.push_back({Name(), std::string(kAttention),
                         "The board's configuration has another layout than the one this "
                         "program writes: " +
                             other +
                             ". Writing replaces it with this program's layout (its exact bytes "
                             "are kept in the backup). Write over it?",
                         "--force"});
        return q;
    }

    TResult SaveKept(TOperationContext& ctx, const TMemoryArea&,
                     std::span<const std::uint8_t> bytes, std::vector<TKeptFile>& files) override {
        const TBackupResult saved =
            SaveBackup(ctx.BackupDir(), ctx.Serial(), ToImage(bytes), core_.BackupTime());
        if (!saved) return TResult::Fail(saved.why);
        backup_ = saved.path;
        files.push_back({saved.path, false});
        files.push_back({BackupImagePath(saved.path), true});
        return TResult::Ok();
    }

    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        return core_.Transfer().Download(image_, backup_);
    }

    void OnTransferProgress(TTransferOp, TTransferPhase phase, int done, int total) override {
        if (ctx_ && phase == TTransferPhase::Download) ctx_->Progress("writing", done, total);
    }
    void OnTransferFinished(const TTransferOutcome& o) override {
        if (ctx_ == nullptr || o.op != TTransferOp::Write) return;
        if (o.completed) {
            ctx_->Finish(TOutcomeKind::Completed, {},
                         "Configuration written to the board: 24 of 24 blocks. Backup of the "
                         "previous configuration: " +
                             backup_,
                         "the new configuration");
            return;
        }
        ctx_->Finish(TOutcomeKind::Failed, o.why, o.message, o.boardHolds);
    }

    void Stalled(TOperationContext&) override { core_.Transfer().NoteExchangeIdle(); }
    void Stop(TOperationContext&, const std::string& why) override {
        (void)core_.Transfer().Abandon(why);
    }

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Recorded() const override {
        if (ctx_ == nullptr) return {};  // never sent
        return {{"written", {image_.begin(), image_.end()}}};
    }

  private:
    TSupervisorCore& core_;
    TConfigWriteRequest request_;
    std::array<std::uint8_t, config::kImageSize> image_{};
    std::string backup_;
    TOperationContext* ctx_ = nullptr;
};

// --- read and verify ----------------------------------------------------------

class TConfigUpload final : public TAttachedOperation<TConfigUpload>,
                            public ITransferListener,
                            public ITuningLogView {
  public:
    TConfigUpload(TSupervisorCore& core, bool verify, TConfigReadRequest r)
        : TAttachedOperation(verify ? "Configuration verify" : "Configuration read"),
          core_(core),
          verify_(verify),
          request_(std::move(r)) {}

    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        // A verify compares the board with the configuration shown: with
        // none shown it would list every field against an empty record.
        n.configLoaded = verify_;
        n.serialKnown = true;
        if (!request_.saveTo.empty())
            n.outputs.push_back({request_.saveTo, TFileKind::Configuration,
                                 "the configuration file", request_.replace,
                                 request_.replaceOtherKind});
        return n;
    }

    TResult Check() override {
        if (!request_.saveTo.empty() && config::WcfFileName(request_.saveTo) != request_.saveTo)
            return TResult::Fail("configurations are \".wcf\" files: " + request_.saveTo +
                                 " would be taken as " + config::WcfFileName(request_.saveTo) +
                                 "; give that name if it is the one meant");
        return TResult::Ok();
    }

    TResult Run(TOperationContext& ctx) override {
        ctx_ = &ctx;
        return verify_ ? core_.Transfer().Verify() : core_.Transfer().Read(request_.thenTuningLog);
    }

    void OnTransferProgress(TTransferOp, TTransferPhase, int done, int total) override {
        if (ctx_) ctx_->Progress(verify_ ? "reading to compare" : "reading", done, total);
    }
    void OnTransferFinished(const TTransferOutcome& o) override {
        if (ctx_ == nullptr || o.op == TTransferOp::Write) return;
        if (!o.completed) {
            ctx_->Finish(TOutcomeKind::Failed, o.why, o.message);
            return;
        }
        // The window's read goes on with the tuning log, which the session
        // has started already: the read ends when that does.
        if (!verify_ && request_.thenTuningLog) {
            read_ = o;
            waitingLog_ = true;
            ctx_->Progress("reading the tuning log", 0, 0);
            return;
        }
        Complete(o);
    }
    void OnTuningLogShown(const TTuningLogShown& s) override {
        if (ctx_ == nullptr || !waitingLog_) return;
        waitingLog_ = false;
        if (!s.outcome.completed)
            ctx_->Warn("The tuning log could not be read: " + s.outcome.why + ".");
        else
            log_image_.assign(core_.Logs().tuningLogImage.begin(),
                              core_.Logs().tuningLogImage.end());
        Complete(read_);
    }

    void Stalled(TOperationContext& ctx) override {
        if (waitingLog_) {
            // A tuning-log read waits for its turn only while another chain runs.
            Stop(ctx, ctx.WhyIdle());
            return;
        }
        core_.Transfer().NoteExchangeIdle();
    }
    void Stop(TOperationContext&, const std::string& why) override {
        if (waitingLog_) {
            waitingLog_ = false;
            EndChainOf(commands::kPurposeTuningLog, why);
            ctx_->Warn("The tuning log read stopped: " + why + ".");
            Complete(read_);
            return;
        }
        (void)core_.Transfer().Abandon(why);
    }

  private:
    void EndChainOf(int purpose, const std::string& why) {
        commands::TSession& s = core_.Engine().session;
        if (s.ChainRunning() && s.readPurpose == purpose) s.EndChain(why);
    }
    void Complete(const TTransferOutcome& o) {
        const auto& image = core_.Session().configImage;
        read_image_.assign(image.begin(), image.end());
        std::string message = o.message;
        if (!o.checksumWarning.empty()) ctx_->Warn(o.checksumWarning);
        for (const TFieldDifference& d : o.differences) ctx_->Detail(DifferenceText(d));
        if (!o.differences.empty()) ctx_->Warn(o.message);
        if (!request_.saveTo.empty()) {
            std::string text;
            const config::TFileResult made = core_.Record().FileText(ctx_->OutputPath(0), text);
            const TResult saved = made ? ctx_->Commit(0, text) : TResult::Fail(made.why);
            if (!saved) {
                ctx_->Finish(TOutcomeKind::Failed, saved.why,
                             o.message + " It could not be saved: " + saved.why + ".");
                return;
            }
            message += " Saved to " + ctx_->OutputPath(0) + ".";
        }
        ctx_->Finish(TOutcomeKind::Completed, {}, message);
    }

    TSupervisorCore& core_;
    bool verify_;
    TConfigReadRequest request_;
    TOperationContext* ctx_ = nullptr;
    TTransferOutcome read_;
    bool waitingLog_ = false;
    std::vector<std::uint8_t> read_image_;
    std::vector<std::uint8_t> log_image_;

  public:
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Recorded() const override {
        std::vector<std::pair<std::string, std::vector<std::uint8_t>>> r;
        if (!read_image_.empty()) r.emplace_back("read", read_image_);
        if (!log_image_.empty()) r.emplace_back("tuning log", log_image_);
        return r;
    }
};

class TConfigSave final : public TAttachedOperation<TConfigSave> {
  public:
    TConfigSave(TSupervisorCore& core, TConfigSaveRequest r)
        : TAttachedOperation("Configuration save"), core_(core), request_(std::move(r)) {}
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.outputs.push_back({request_.path, TFileKind::Configuration, "the configuration file",
                             request_.replace, request_.replaceOtherKind});
        return n;
    }
    TResult Run(TOperationContext& ctx) override {
        std::string text;
        const config::TFileResult made = core_.Record().FileText(ctx.OutputPath(0), text);
        const TResult saved = made ? ctx.Commit(0, text) : TResult::Fail(made.why);
        if (!saved)
            ctx.Finish(TOutcomeKind::Failed, saved.why,
                       "The configuration was not saved: " + saved.why);
        else
            ctx.Finish(TOutcomeKind::Completed, {},
                       "Configuration saved to " + ctx.OutputPath(0) + ".");
        return TResult::Ok();
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        ctx.Finish(TOutcomeKind::Failed, why, "Configuration save stopped: " + why);
    }

  private:
    TSupervisorCore& core_;
    TConfigSaveRequest request_;
};

}  // namespace

std::unique_ptr<TOperation> ConfigSaveOperation(TSupervisorCore& core, TConfigSaveRequest r) {
    return std::make_unique<TConfigSave>(core, std::move(r));
}

std::unique_ptr<TOperation> ConfigWriteOperation(TSupervisorCore& core, TConfigWriteRequest r) {
    return std::make_unique<TConfigWrite>(core, std::move(r));
}

std::unique_ptr<TOperation> ConfigReadOperation(TSupervisorCore& core, TConfigReadRequest r) {
    return std::make_unique<TConfigUpload>(core, false, std::move(r));
}

std::unique_ptr<TOperation> ConfigVerifyOperation(TSupervisorCore& core) {
    return std::make_unique<TConfigUpload>(core, true, TConfigReadRequest{false, {}, false, false});
}

}  // namespace orvan::features
