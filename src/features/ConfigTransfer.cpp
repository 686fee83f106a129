#include "features/ConfigTransfer.h"

#include <cstdio>

#include "commands/Catalogue.h"

namespace orvan::features {

using commands::kConfigBlocks;
using commands::Sequence;

namespace {

constexpr int kUploadBlocks =
    static_cast<int>(commands::kConfigImageSize / commands::kMaxReadChunk);  // 12

std::string ValueText(std::int32_t raw, double value, const std::string& unit, bool eng) {
    std::string t = std::to_string(raw);
    if (eng) {
        t += " (" + commands::RoundedText(value, 3);
        if (!unit.empty()) t += " " + unit;
        t += ")";
    }
    return t;
}

}  // namespace

std::vector<TFieldDifference> CompareConfigurations(const config::TWelderCfgBlank& pc,
                                                    const config::TWelderCfgBlank& board) {
    std::vector<TFieldDifference> out;
    for (const config::TFieldInfo& f : config::Fields()) {
        const std::int32_t a = f.Raw(pc), b = f.Raw(board);
        if (a == b) continue;
        TFieldDifference d;
        d.key = f.key;
        d.section = f.section;
        d.pcRaw = a;
        d.boardRaw = b;
        d.pcValue = f.Value(pc);
        d.boardValue = f.Value(board);
        d.unit = f.unit;
        d.engineering = f.getValue != nullptr;
        out.push_back(std::move(d));
    }
    return out;
}

std::string DifferenceText(const TFieldDifference& d) {
    return d.key + ": PC " + ValueText(d.pcRaw, d.pcValue, d.unit, d.engineering) + ", board " +
           ValueText(d.boardRaw, d.boardValue, d.unit, d.engineering);
}

const char* TransferOpText(TTransferOp op) {
    switch (op) {
        case TTransferOp::Read:
            return "Read";
        case TTransferOp::Write:
            return "Write";
        case TTransferOp::Verify:
            return "Verify";
    }
    return "";
}

TStartResult TConfigTransfer::Begin(TTransferOp op) {
    if (op_) return {false, "A configuration transfer is already running; wait for it to end."};
    if (session_.downloadActive || session_.ChainRunning() || session_.WritePending())
        return {false, "Another transfer with the board is running; wait for it to end."};
    op_ = op;
    phase_ = TTransferPhase::Identify;
    done_ = 0;
    serial_.clear();
    backupPath_.clear();
    checksumWarning_.clear();
    return {true, {}};
}

TStartResult TConfigTransfer::Write() {
    if (backupDir_.empty())
        return {false,
                "No folder for backups (neither XDG_DATA_HOME nor HOME is set); nothing is "
                "written to the board without a backup."};
    TStartResult r = Begin(TTransferOp::Write);
    if (!r) return r;
    // What is written is the record as it stands now, whatever the pages do
    // while the backup is taken.
    config::BuildDeviceImage(record_, pending_.data());
    StartIdentify();
    return r;
}

TStartResult TConfigTransfer::Read(bool thenTuningLog) {
    TStartResult r = Begin(TTransferOp::Read);
    if (!r) return r;
    thenTuningLog_ = thenTuningLog;
    StartIdentify();
    return r;
}

TStartResult TConfigTransfer::Verify() {
    TStartResult r = Begin(TTransferOp::Verify);
    if (!r) return r;
    StartUpload(TTransferPhase::Upload, false);
    return r;
}

void TConfigTransfer::StartIdentify() {
    phase_ = TTransferPhase::Identify;
    done_ = 0;
    // The serial number is read afresh: the board on the line may not be the
    // one the session last identified, and backups are matched by it. A
    // board without one must not inherit the previous board's.
    session_.serialNumber.clear();
    // The protocol version decides whether blocks carry the security code.
    if (*op_ == TTransferOp::Write && session_.BoardProtocolVersion() == 0)
        (void)commands::SendReadVariable(session_.Protocol(), commands::ProtocolVersion);
    session_.StartChain(commands::kPurposeSerialNumber, 0, 15);
    // A first read that could not be queued has been reported stopped already.
    if (op_ && !session_.ChainRunning()) Stop("the serial-number read could not be queued");
}

void TConfigTransfer::OnSerialNumber(const std::string&) {
    if (!op_ || phase_ != TTransferPhase::Identify) return;
    serial_ = session_.serialNumber;
    done_ = 1;
    AfterIdentify();
}

void TConfigTransfer::AfterIdentify() {
    if (*op_ == TTransferOp::Read) {
        StartUpload(TTransferPhase::Upload, thenTuningLog_);
        return;
    }
    if (session_.BoardProtocolVersion() == 0) {
        Stop("the board did not tell its protocol version");
        return;
    }
    if (known_ && known_->serial == serial_) {
        const auto image = known_->image;
        KeepBackupThenDownload(image);
    } else {
        StartUpload(TTransferPhase::BackupRead, false);
    }
}

void TConfigTransfer::StartUpload(TTransferPhase phase, bool thenTuningLog) {
    phase_ = phase;
    done_ = 0;
    session_.StartConfigUpload(thenTuningLog);
    if (op_ && !session_.ChainRunning()) Stop("the configuration read could not be queued");
}

void TConfigTransfer::OnConfigUploadProgress(std::uint8_t chunks) {
    if (!op_ || (phase_ != TTransferPhase::Upload && phase_ != TTransferPhase::BackupRead)) return;
    done_ = chunks;
    if (listener_) listener_->OnTransferProgress(*op_, phase_, done_, kUploadBlocks);
}

void TConfigTransfer::OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) {
    if (!op_ || (phase_ != TTransferPhase::Upload && phase_ != TTransferPhase::BackupRead)) return;
    if (session_.chunkCounter != kUploadBlocks) {
        // A chain that could not queue its next request ends as if complete.
        Stop("the board's configuration came incomplete (" + std::to_string(session_.chunkCounter) +
             " of " + std::to_string(kUploadBlocks) + " blocks)");
        return;
    }
    const auto img = image;
    if (phase_ == TTransferPhase::BackupRead) {
        KeepBackupThenDownload(img);
        return;
    }
    checksumWarning_ = ChecksumWarning(img);
    TTransferOutcome out;
    if (*op_ == TTransferOp::Read) {
        record_.LoadFromImage(img.data());
        known_ = TKnownImage{serial_, img};
        out = Outcome(true);
        out.message = "Configuration read from the board: " + std::to_string(kUploadBlocks) +
                      " of " + std::to_string(kUploadBlocks) + " blocks.";
    } else {
        config::TWelderCfgBlank board;
        board.LoadFromImage(img.data());
        out = Outcome(true);
        out.differences = CompareConfigurations(record_, board);
        out.message =
            out.differences.empty()
                ? "The configuration on the board is identical to the one on the PC."
                : std::to_string(out.differences.size()) +
                      (out.differences.size() == 1 ? " field differs" : " fields differ") +
                      " between the PC and the board.";
    }
    Finish(std::move(out));
}

void TConfigTransfer::KeepBackupThenDownload(
    const std::array<std::uint8_t, config::kImageSize>& boardImage) {
    phase_ = TTransferPhase::Backup;
    done_ = 0;
    checksumWarning_ = ChecksumWarning(boardImage);
    config::TWelderCfgBlank held;
    held.LoadFromImage(boardImage.data());
    const TBackupResult saved = SaveBackup(backupDir_, serial_, held, now());
    if (!saved) {
        Stop("the backup could not be saved: " + saved.message);
        return;
    }
    backupPath_ = saved.path;
    known_ = TKnownImage{serial_, boardImage};
    StartDownload();
}

void TConfigTransfer::StartDownload() {
    phase_ = TTransferPhase::Download;
    done_ = 0;
    session_.configImage = pending_;
    // A block that cannot be queued ends the download, reported stopped.
    session_.StartConfigDownload();
}

void TConfigTransfer::OnDownloadProgress(std::uint8_t blocks) {
    if (!op_ || phase_ != TTransferPhase::Download) return;
    done_ = blocks;
    if (listener_) listener_->OnTransferProgress(*op_, phase_, done_, kConfigBlocks);
}

void TConfigTransfer::OnDownloadComplete() {
    if (!op_ || phase_ != TTransferPhase::Download) return;
    known_ = TKnownImage{serial_, pending_};
    TTransferOutcome out = Outcome(true);
    out.message = "Configuration written to the board: " + std::to_string(kConfigBlocks) + " of " +
                  std::to_string(kConfigBlocks) +
                  " blocks. Backup of the previous configuration: " + backupPath_;
    Finish(std::move(out));
}

void TConfigTransfer::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (!op_) return;
    const bool ours = (phase_ == TTransferPhase::Identify && s == Sequence::MemoryChain &&
                       purpose == commands::kPurposeSerialNumber) ||
                      ((phase_ == TTransferPhase::Upload || phase_ == TTransferPhase::BackupRead) &&
                       s == Sequence::MemoryChain && purpose == commands::kPurposeConfigUpload) ||
                      (phase_ == TTransferPhase::Download && s == Sequence::ConfigDownload);
    if (!ours) return;
    // Part of the blocks went: what the board holds is no longer known.
    if (phase_ == TTransferPhase::Download) known_.reset();
    Stop(why);
}

void TConfigTransfer::NoteExchangeIdle() {
    if (op_) Stop("the transfer stalled: none of its requests was outstanding");
}

TTransferOutcome TConfigTransfer::Outcome(bool completed) const {
    TTransferOutcome o;
    o.op = *op_;
    o.completed = completed;
    o.phase = phase_;
    o.blocksDone = done_;
    o.blocksTotal = phase_ == TTransferPhase::Download ? kConfigBlocks
                    : (phase_ == TTransferPhase::Upload || phase_ == TTransferPhase::BackupRead)
                        ? kUploadBlocks
                        : 1;
    o.checksumWarning = checksumWarning_;
    o.serial = serial_;
    o.backupPath = backupPath_;
    return o;
}

void TConfigTransfer::Stop(const std::string& reason) {
    TTransferOutcome o = Outcome(false);
    o.reason = reason;
    const std::string at =
        "block " + std::to_string(o.blocksDone + 1) + " of " + std::to_string(o.blocksTotal);
    switch (phase_) {
        case TTransferPhase::Identify:
            o.message = std::string(TransferOpText(o.op)) +
                        " stopped while reading the board's serial number: " + reason +
                        ". Nothing was " + (o.op == TTransferOp::Write ? "written." : "read.");
            break;
        case TTransferPhase::BackupRead:
            o.message = "Write stopped while reading what the board holds, for the backup (" + at +
                        "): " + reason + ". Nothing was written.";
            break;
        case TTransferPhase::Backup:
            o.message = "Write stopped: " + reason + ". Nothing was written.";
            break;
        case TTransferPhase::Download:
            o.message = "Write stopped at " + at + " (" + std::to_string(o.blocksDone) +
                        " written): " + reason +
                        ". The board holds a partly written configuration: write again, or "
                        "restore the backup " +
                        backupPath_ + ".";
            break;
        case TTransferPhase::Upload:
            o.message =
                std::string(TransferOpText(o.op)) + " stopped at " + at + ": " + reason +
                (o.op == TTransferOp::Read ? ". The configuration on the pages is unchanged."
                                           : ".");
            break;
    }
    Finish(std::move(o));
}

void TConfigTransfer::Finish(TTransferOutcome outcome) {
    op_.reset();
    if (listener_) listener_->OnTransferFinished(outcome);
}

std::string TConfigTransfer::ChecksumWarning(
    const std::array<std::uint8_t, config::kImageSize>& image) {
    if (config::ImageChecksumOk(image.data())) return {};
    char text[200];
    std::snprintf(text, sizeof text,
                  "The configuration image on the board is damaged: its checksum reads 0x%04X, "
                  "its data give 0x%04X. The values read are shown but may be wrong.",
                  config::StoredImageChecksum(image.data()), config::ImageChecksum(image.data()));
    return text;
}

}  // namespace orvan::features
