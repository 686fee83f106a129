#include "features/ConfigTransfer.h"

#include <algorithm>
#include <cstdio>

#include "commands/Catalogue.h"
#include "link/ExchangeCycle.h"

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

bool BlankImage(const std::array<std::uint8_t, config::kImageSize>& image) {
    return std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; });
}

std::string OtherLayoutText(const std::array<std::uint8_t, config::kImageSize>& image) {
    const unsigned version = image[0];
    const unsigned size = image[2] | (image[3] << 8);
    if (version == config::kImageVersion && size == config::kImageDataSize) return {};
    return "the board's configuration has another layout (Version " + std::to_string(version) +
           ", Size " + std::to_string(size) + "; this program writes Version " +
           std::to_string(config::kImageVersion) + ", Size " +
           std::to_string(config::kImageDataSize) + ")";
}

TResult TConfigTransfer::Begin(TTransferOp op) {
    if (op_)
        return TResult::Fail("A configuration transfer is already running; wait for it to end.");
    if (session_.downloadActive || session_.ChainRunning() || session_.WritePending())
        return TResult::Fail("Another transfer with the board is running; wait for it to end.");
    op_ = op;
    done_ = 0;
    backupPath_.clear();
    checksumWarning_.clear();
    lastIgnored_.clear();
    lastAnswerRefused_ = false;
    nextNotSent_ = false;
    return TResult::Ok();
}

TResult TConfigTransfer::Download(const std::array<std::uint8_t, config::kImageSize>& image,
                                  std::string backupPath) {
    TResult r = Begin(TTransferOp::Write);
    if (!r) return r;
    backupPath_ = std::move(backupPath);
    phase_ = TTransferPhase::Download;
    session_.configImage = image;
    // A block that cannot be queued ends the download, reported stopped.
    session_.StartConfigDownload();
    return r;
}

TResult TConfigTransfer::Read(bool thenTuningLog) {
    TResult r = Begin(TTransferOp::Read);
    if (!r) return r;
    StartUpload(thenTuningLog);
    return r;
}

TResult TConfigTransfer::Verify() {
    TResult r = Begin(TTransferOp::Verify);
    if (!r) return r;
    StartUpload(false);
    return r;
}

void TConfigTransfer::StartUpload(bool thenTuningLog) {
    phase_ = TTransferPhase::Upload;
    done_ = 0;
    session_.StartConfigUpload(thenTuningLog);
    if (op_ && !session_.ChainRunning()) Stop("the configuration read could not be queued");
}

void TConfigTransfer::OnConfigUploadProgress(std::uint8_t chunks) {
    if (!op_ || phase_ != TTransferPhase::Upload) return;
    done_ = chunks;
    views_.Notify(&ITransferListener::OnTransferProgress, *op_, phase_, done_, kUploadBlocks);
}

void TConfigTransfer::OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) {
    if (!op_ || phase_ != TTransferPhase::Upload) return;
    if (session_.chunkCounter != kUploadBlocks) {
        // A chain that could not queue its next request ends as if complete.
        Stop("the board's configuration came incomplete (" + std::to_string(session_.chunkCounter) +
             " of " + std::to_string(kUploadBlocks) + " blocks)");
        return;
    }
    const auto img = image;
    checksumWarning_ = ChecksumWarning(img);
    TTransferOutcome out;
    if (*op_ == TTransferOp::Read) {
        record_.LoadFromImage(img.data());
        // The pages show a configuration now: what needs one may run.
        session_.configLoaded = true;
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

void TConfigTransfer::OnDownloadProgress(std::uint8_t blocks) {
    if (!op_ || phase_ != TTransferPhase::Download) return;
    done_ = blocks;
    lastAnswerRefused_ = false;
    views_.Notify(&ITransferListener::OnTransferProgress, *op_, phase_, done_, kConfigBlocks);
}

void TConfigTransfer::OnDownloadComplete() {
    if (!op_ || phase_ != TTransferPhase::Download) return;
    TTransferOutcome out = Outcome(true);
    out.message = "Configuration written to the board: " + std::to_string(kConfigBlocks) + " of " +
                  std::to_string(kConfigBlocks) +
                  " blocks. Backup of the previous configuration: " + backupPath_;
    Finish(std::move(out));
}

void TConfigTransfer::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (!op_) return;
    const bool ours = (phase_ == TTransferPhase::Upload && s == Sequence::MemoryChain &&
                       purpose == commands::kPurposeConfigUpload) ||
                      (phase_ == TTransferPhase::Download && s == Sequence::ConfigDownload);
    if (!ours) return;
    Stop(why);
}

void TConfigTransfer::OnAnswerIgnored(const std::string& why) {
    if (op_) lastIgnored_ = why;
}

void TConfigTransfer::OnLinkState(std::string_view text) {
    if (op_ && text == link::kLinkNack) lastAnswerRefused_ = true;
}

void TConfigTransfer::NoteExchangeIdle() {
    if (!op_) return;
    if (!lastIgnored_.empty())
        Stop("the board's answer could not be used: " + lastIgnored_);
    else
        Stop("the transfer stalled: none of its requests was outstanding");
}

TTransferOutcome TConfigTransfer::Abandon(const std::string& why) {
    if (!op_) return {};
    // What is queued now was never sent.
    nextNotSent_ = !session_.Protocol().InFlight();
    // Nothing of this operation goes out any more.
    session_.Protocol().ClearQueue();
    session_.downloadActive = false;
    if (session_.ChainRunning()) session_.EndChain(why);  // reports through OnSequenceStopped
    if (op_) Stop(why);
    return last_;
}

TTransferOutcome TConfigTransfer::Outcome(bool completed) const {
    TTransferOutcome o;
    o.op = *op_;
    o.completed = completed;
    o.phase = phase_;
    o.blocksDone = done_;
    o.blocksTotal = phase_ == TTransferPhase::Download ? kConfigBlocks : kUploadBlocks;
    o.checksumWarning = checksumWarning_;
    o.backupPath = backupPath_;
    return o;
}

void TConfigTransfer::Stop(const std::string& reason) {
    TTransferOutcome o = Outcome(false);
    o.why = reason;
    const std::string at =
        "block " + std::to_string(o.blocksDone + 1) + " of " + std::to_string(o.blocksTotal);
    switch (phase_) {
        case TTransferPhase::Download:
            o.message = DownloadStopText(o.blocksDone, reason);
            o.boardHolds = BoardHoldsText(o.blocksDone);
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

std::string TConfigTransfer::BoardHoldsText(int done) const {
    const auto address = [](int block) {
        return commands::kConfigImageAddress + commands::kConfigBlockSize * block;
    };
    const auto span = [&](int first, int last) {
        return "addresses " + std::to_string(address(first)) + " to " +
               std::to_string(address(last + 1) - 1);
    };
    // A refused block, or one never sent, was not written; one that went
    // unanswered may have been.
    const std::string next = lastAnswerRefused_ || nextNotSent_
                                 ? std::string()
                                 : " Block " + std::to_string(done + 1) + " (" + span(done, done) +
                                       ") was sent without an answer and may hold either.";
    if (done == 0)
        return (lastAnswerRefused_ || nextNotSent_
                    ? "Nothing was written: the board still holds its previous configuration."
                    : "No block was acknowledged: the board holds its previous configuration.") +
               next;
    return "The board holds blocks 1 to " + std::to_string(done) + " of the new configuration (" +
           span(0, done - 1) + ") and its previous configuration from block " +
           std::to_string(done + 1) + " on." + next;
}

std::string TConfigTransfer::DownloadStopText(int done, const std::string& reason) const {
    std::string t = "Write stopped at block " + std::to_string(done + 1) + " of " +
                    std::to_string(kConfigBlocks) + " (" + std::to_string(done) +
                    " written): " + reason + ". " + BoardHoldsText(done);
    if (backupPath_.empty()) return t;
    if (done == 0 && (lastAnswerRefused_ || nextNotSent_))
        return t + " It is kept in " + backupPath_ + ".";
    return t + " Write again, or restore the backup " + backupPath_ + ".";
}

void TConfigTransfer::Finish(TTransferOutcome outcome) {
    op_.reset();
    last_ = outcome;
    views_.Notify(&ITransferListener::OnTransferFinished, outcome);
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
