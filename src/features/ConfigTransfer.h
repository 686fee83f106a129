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

class TConfigTransfer : public commands::IIdentityView, public commands::IMemoryView {
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
    // record), reads the board's serial number, keeps what the board holds as
    // a backup (from the last read of this board, or a fresh read), then
    // sends the 24 blocks. A backup that cannot be saved stops the write
    // before anything is sent.
    [[nodiscard]] TStartResult Write();
    // Serial number, then the 12 reads; the record is loaded when all came.
    // With thenTuningLog the session goes on to the tuning log as the window's
    // read does.
    [[nodiscard]] TStartResult Read(bool thenTuningLog = true);
    // Reads the board's image and compares it with the record, which stays
    // untouched.
    [[nodiscard]] TStartResult Verify();

    bool Busy() const { return op_.has_value(); }
    // The exchange has nothing queued or in flight: while an operation runs
    // this means its next request was never sent (a sequence of the session
    // was ended without a word); the operation is stopped.
    void NoteExchangeIdle();

    // What the board held after the last completed read, verify or write of
    // this session, by serial number (none after a stopped write).
    struct TKnownImage {
        std::string serial;
        std::array<std::uint8_t, config::kImageSize> image{};
    };
    const std::optional<TKnownImage>& KnownBoardImage() const { return known_; }
    void ForgetBoardImage() { known_.reset(); }

    // Board events (subscribed to the session's TBoardEvents).
    void OnSerialNumber(const std::string& text) override;
    void OnConfigUploadProgress(std::uint8_t chunks) override;
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) override;
    void OnDownloadProgress(std::uint8_t blocks) override;
    void OnDownloadComplete() override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    TStartResult Begin(TTransferOp op);
    void StartIdentify();
    void AfterIdentify();
    void StartUpload(TTransferPhase phase, bool thenTuningLog);
    void KeepBackupThenDownload(const std::array<std::uint8_t, config::kImageSize>& boardImage);
    void StartDownload();
    void Stop(const std::string& reason);
    void Finish(TTransferOutcome outcome);
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
    std::optional<TKnownImage> known_;
};

const char* TransferOpText(TTransferOp op);

}  // namespace orvan::features
