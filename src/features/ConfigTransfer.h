#pragma once
// The configuration transfers between the record and the board: the 24-block
// download of an image, the read, and the verify. They are the steps of the
// configuration operations (features/ConfigOperations.h), which keep what the
// board holds before a download. Each runs as a sequence of the session,
// advanced by the board events it hears, and always ends with one outcome:
// completed, or stopped with the block it stopped at and why. The record
// changes only when a read completes (the configuration is then loaded); a
// board image whose checksum is wrong is still loaded, with a warning in the
// outcome.
//
// The verify read is a configuration upload of the session too: front ends
// see its OnConfigImageComplete and must fill the pages only from a completed
// Read outcome, never from that event.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/BoardView.h"
#include "commands/Session.h"
#include "config/Cfgwelderrw.h"
#include "features/ConfigBackups.h"
#include "link/Result.h"

namespace orvan::features {

enum class TTransferOp : std::uint8_t { Read, Write, Verify };
// Where an operation stands (or stood when it stopped).
enum class TTransferPhase : std::uint8_t {
    Download,  // the 24 blocks
    Upload,    // the 12 reads
};

// One field that differs between the PC and the board.
struct TFieldDifference {
    std::string key;  // file key, "ADCOffset_3"
    std::string section;
    std::int32_t pcRaw = 0, boardRaw = 0;
    double pcValue = 0, boardValue = 0;  // engineering values (raw when shown raw)
    std::string unit;                    // "" when shown raw
    bool engineering = false;
};

// Every field whose raw value differs, in record order.
std::vector<TFieldDifference> CompareConfigurations(const config::TWelderCfgBlank& pc,
                                                    const config::TWelderCfgBlank& board);
// "MinPower: PC 1200 (12 W), board 1100 (11 W)".
std::string DifferenceText(const TFieldDifference& d);

struct TTransferOutcome {
    TTransferOp op = TTransferOp::Read;
    bool completed = false;
    TTransferPhase phase = TTransferPhase::Upload;  // where it ended
    int blocksDone = 0;                             // of the phase it ended in
    int blocksTotal = 0;  // 24 for a download, 12 for an upload, 1 otherwise
    std::string why;      // why it stopped (the board's refusal text, "RX TimeOut"...)
    std::string message;  // one line for the user
    // Set when the board's image failed its checksum.
    std::string checksumWarning;
    std::string backupPath;                     // write: the copy of what the board held
    std::vector<TFieldDifference> differences;  // verify
    // What the board holds after a download that stopped.
    std::string boardHolds;
};

class ITransferListener {
  public:
    virtual ~ITransferListener() = default;
    // done of total blocks in the phase (k/24 writing, k/12 reading).
    virtual void OnTransferProgress(TTransferOp /*op*/, TTransferPhase /*phase*/, int /*done*/,
                                    int /*total*/) {}
    // Exactly once per started operation. The controller is idle again when
    // this is called, so the next operation may be started from here.
    virtual void OnTransferFinished(const TTransferOutcome& /*outcome*/) {}
};

class TConfigTransfer : public commands::IMemoryView, public commands::ILinkView {
  public:
    TConfigTransfer(commands::TSession& session, config::TCfgWelderRW& record)
        : session_(session), record_(record) {}

    commands::TFanout<ITransferListener>& Views() { return views_; }

    // Sends `image` in 24 blocks. `backupPath` names the copy of what the
    // board held, for the texts of a download that stops.
    [[nodiscard]] TResult Download(const std::array<std::uint8_t, config::kImageSize>& image,
                                   std::string backupPath);
    // The 12 reads; the record is loaded (and the configuration counts as
    // loaded) when all came. With thenTuningLog the session goes on to the
    // tuning log as the window's read does.
    [[nodiscard]] TResult Read(bool thenTuningLog = true);
    // Reads the board's image and compares it with the record, which stays
    // untouched.
    [[nodiscard]] TResult Verify();
    // The outcome reported last (the differences of the last verify...).
    const TTransferOutcome& Last() const { return last_; }

    bool Busy() const { return op_.has_value(); }
    std::optional<TTransferOp> RunningOp() const { return op_; }
    // The exchange has nothing queued or in flight: while an operation runs
    // this means its next request was never sent; the operation is stopped,
    // naming the last answer that could not be used when there was one.
    void NoteExchangeIdle();
    // Stops at once (nothing of it is in flight, or the program is closing):
    // the outcome says how many blocks the board acknowledged and where the
    // backup is. Also reported to the views.
    TTransferOutcome Abandon(const std::string& why);

    // Board events (subscribed to the session's TBoardEvents).
    void OnConfigUploadProgress(std::uint8_t chunks) override;
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) override;
    void OnDownloadProgress(std::uint8_t blocks) override;
    void OnDownloadComplete() override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnAnswerIgnored(const std::string& why) override;
    void OnLinkState(std::string_view text) override;

  private:
    TResult Begin(TTransferOp op);
    void StartUpload(bool thenTuningLog);
    void Stop(const std::string& reason);
    void Finish(TTransferOutcome outcome);
    std::string DownloadStopText(int done, const std::string& reason) const;
    std::string BoardHoldsText(int done) const;
    TTransferOutcome Outcome(bool completed) const;
    static std::string ChecksumWarning(const std::array<std::uint8_t, config::kImageSize>& image);

    commands::TSession& session_;
    config::TCfgWelderRW& record_;
    commands::TFanout<ITransferListener> views_;

    std::optional<TTransferOp> op_;
    TTransferPhase phase_ = TTransferPhase::Upload;
    int done_ = 0;
    std::string backupPath_;
    std::string checksumWarning_;
    TTransferOutcome last_;           // the outcome reported last
    std::string lastIgnored_;         // the last answer of this operation not used
    bool lastAnswerRefused_ = false;  // the board refused the last request
    bool nextNotSent_ = false;        // stopped with the next block still unsent
};

// Whether the image is a blank memory (every byte 0xFF): a board that holds
// no configuration yet.
bool BlankImage(const std::array<std::uint8_t, config::kImageSize>& image);
// "" for the layout this program writes (Version 3, Size 218), otherwise the
// sentence saying what the image carries.
std::string OtherLayoutText(const std::array<std::uint8_t, config::kImageSize>& image);

const char* TransferOpText(TTransferOp op);

}  // namespace orvan::features
