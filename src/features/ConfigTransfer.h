#pragma once
// The configuration transfers between the record and the board: write (with a
// backup of what the board held first), read, and verify. Each runs as a
// sequence of the session, advanced by the board events it hears (register it
// with the session's TBoardEvents), and always ends with one outcome:
// completed, or stopped with the block it stopped at and why. The record
// changes only when a read completes; a board image whose checksum is wrong is
// still loaded, with a warning in the outcome.
//
// The backup and verify reads are configuration uploads of the session too:
// front ends see their OnConfigImageComplete and must fill the pages only
// from a completed Read outcome, never from that event.

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

namespace orvan::features {

enum class TTransferOp : std::uint8_t { Read, Write, Verify };
// Where an operation stands (or stood when it stopped).
enum class TTransferPhase : std::uint8_t {
    Identify,    // the serial number (and the protocol version when unknown)
    BackupRead,  // what the board holds, to keep it before the write
    Backup,      // saving the backup file
    Download,    // the 24 blocks
    Upload,      // the 12 reads
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

// A write that needs the user's word before it goes on.
enum class TConfirm : std::uint8_t {
    None,
    DamagedBackup,  // what the board holds failed its checksum on two reads
    OtherLayout,    // the board's image has another Version/Size than this program writes
};

struct TWriteOptions {
    // Write even though the board's image failed its checksum twice; the
    // backup keeps it as read.
    bool acceptDamagedBackup = false;
    // Write over an image of another layout (its exact bytes are kept).
    bool acceptOtherLayout = false;
    // These bytes instead of the image built from the record: a restore of
    // the exact image kept beside a backup.
    std::optional<std::array<std::uint8_t, config::kImageSize>> exactImage;
};

struct TTransferOutcome {
    TTransferOp op = TTransferOp::Read;
    bool completed = false;
    TTransferPhase phase = TTransferPhase::Identify;  // where it ended
    int blocksDone = 0;                               // of the phase it ended in
    int blocksTotal = 0;  // 24 for a download, 12 for an upload, 1 otherwise
    std::string reason;   // why it stopped (the board's refusal text, "RX TimeOut"...)
    std::string message;  // one line for the user
    // Set when the board's image failed its checksum (the read or the backup).
    std::string checksumWarning;
    std::string serial;                         // the board's serial number, when read
    std::string backupPath;                     // write: the copy of what the board held
    std::vector<TFieldDifference> differences;  // verify
    // Set when a write stopped before sending anything because the user has
    // to accept what message says first (then Write again with the option).
    TConfirm confirm = TConfirm::None;
};

class ITransferListener {
  public:
    virtual ~ITransferListener() = default;
    // done of total blocks in the phase (k/24 writing, k/12 reading).
    virtual void OnTransferProgress(TTransferOp /*op*/, TTransferPhase /*phase*/, int /*done*/,
                                    int /*total*/) {}
    // Exactly once per started operation. The controller is idle again when
    // this is called, so the next operation may be started from here.
    virtual void OnTransferFinished(const TTransferOutcome& outcome) = 0;
};

struct TStartResult {
    bool ok = false;
    std::string message;  // why the operation did not start
    explicit operator bool() const { return ok; }
};

class TConfigTransfer : public commands::IIdentityView,
                        public commands::IMemoryView,
                        public commands::ILinkView {
  public:
    // The listener may be given later (SetListener); until then outcomes go
    // nowhere.
    TConfigTransfer(commands::TSession& session, config::TCfgWelderRW& record)
        : session_(session), record_(record) {}
    TConfigTransfer(commands::TSession& session, config::TCfgWelderRW& record,
                    ITransferListener& listener)
        : session_(session), record_(record), listener_(&listener) {}

    // The front end that hears progress and outcomes; null for none.
    void SetListener(ITransferListener* listener) { listener_ = listener; }

    // Backups go here (default: DefaultBackupDir()).
    void SetBackupDir(std::string dir) { backupDir_ = std::move(dir); }
    const std::string& BackupDir() const { return backupDir_; }
    // The time that names backups (tests fix it).
    std::function<TBackupClock::time_point()> now = [] { return TBackupClock::now(); };

    // Builds the image from the record now (Version 3 and Size 218 set in the
    // record), reads the board's serial number, reads what the board holds
    // (always afresh: the board on the line may have been swapped since any
    // earlier read) and keeps it as a backup, then sends the 24 blocks. A
    // backup read that fails its checksum is read once more; a backup that
    // cannot be saved, or one that needs the user's word (see TConfirm), stops
    // the write before anything is sent.
    [[nodiscard]] TStartResult Write(const TWriteOptions& options = {});
    // Serial number, then the 12 reads; the record is loaded when all came.
    // With thenTuningLog the session goes on to the tuning log as the window's
    // read does.
    [[nodiscard]] TStartResult Read(bool thenTuningLog = true);
    // Reads the board's image and compares it with the record, which stays
    // untouched.
    [[nodiscard]] TStartResult Verify();

    bool Busy() const { return op_.has_value(); }
    std::optional<TTransferOp> RunningOp() const { return op_; }
    // The exchange has nothing queued or in flight: while an operation runs
    // this means its next request was never sent; the operation is stopped,
    // naming the last answer that could not be used when there was one.
    void NoteExchangeIdle();
    // Stops the running operation once no request of it is in flight: nothing
    // more is sent and the outcome says where it stood (`why` as its reason).
    // False while a request is still in flight: call again after the next
    // tick. True when stopped (or nothing ran).
    bool StopAfterInFlight(const std::string& why);
    // Stops at once, in flight or not (the program is closing): the outcome
    // says how many blocks the board acknowledged and where the backup is.
    // Also reported to the listener.
    TTransferOutcome Abandon(const std::string& why);

    // Board events (subscribed to the session's TBoardEvents).
    void OnSerialNumber(const std::string& text) override;
    void OnConfigUploadProgress(std::uint8_t chunks) override;
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) override;
    void OnDownloadProgress(std::uint8_t blocks) override;
    void OnDownloadComplete() override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnAnswerIgnored(const std::string& why) override;
    void OnLinkState(std::string_view text) override;

  private:
    TStartResult Begin(TTransferOp op);
    void StartIdentify();
    void AfterIdentify();
    void StartUpload(TTransferPhase phase, bool thenTuningLog);
    void BackupReadComplete(const std::array<std::uint8_t, config::kImageSize>& boardImage);
    void NeedConfirmation(TConfirm what, const std::string& message);
    void KeepBackupThenDownload(const std::array<std::uint8_t, config::kImageSize>& boardImage);
    void StartDownload();
    void Stop(const std::string& reason);
    void Finish(TTransferOutcome outcome);
    std::string DownloadStopText(int done, const std::string& reason) const;
    TTransferOutcome Outcome(bool completed) const;
    static std::string ChecksumWarning(const std::array<std::uint8_t, config::kImageSize>& image);

    commands::TSession& session_;
    config::TCfgWelderRW& record_;
    ITransferListener* listener_ = nullptr;
    std::string backupDir_ = DefaultBackupDir();

    std::optional<TTransferOp> op_;
    TTransferPhase phase_ = TTransferPhase::Identify;
    int done_ = 0;
    bool thenTuningLog_ = true;
    std::string serial_;
    std::string backupPath_;
    std::string checksumWarning_;
    std::array<std::uint8_t, config::kImageSize> pending_{};  // the image to write
    TWriteOptions options_;
    TTransferOutcome last_;           // the outcome reported last
    int backupReads_ = 0;             // reads of what the board holds, this write
    std::string lastIgnored_;         // the last answer of this operation not used
    bool lastAnswerRefused_ = false;  // the board refused the last request
};

// Whether the image is a blank memory (every byte 0xFF): a board that holds
// no configuration yet.
bool BlankImage(const std::array<std::uint8_t, config::kImageSize>& image);
// "" for the layout this program writes (Version 3, Size 218), otherwise the
// sentence saying what the image carries.
std::string OtherLayoutText(const std::array<std::uint8_t, config::kImageSize>& image);

const char* TransferOpText(TTransferOp op);

}  // namespace orvan::features
