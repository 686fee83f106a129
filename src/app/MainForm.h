#pragma once
// TMainForm: the one main window. It owns the long-lived objects (the serial
// port and the exchange engine, the configuration record, the settings), runs
// the 30 ms exchange timer, carries the menus, the speed-button bar and the
// status bar, and hosts the twelve main pages. Its slots carry the handler
// names the technicians' documentation uses and forward to the pages and the
// core classes.

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/Session.h"
#include "config/Cfgwelderrw.h"
#include "features/ConfigBackups.h"
#include "features/ConfigTransfer.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/Tserial.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolBar;

namespace orvan::pages {
class TPageComDebug;
class TPageDiameter;
class TPageEeprom;
class TPageFlanging;
class TPageIOStatus;
class TPageMultiHead;
class TPagePelta;
class TPageTimeKeep;
class TPageWelderCfg;
class TPageWelderLog;
class TPageWelderTuning;
class TPageWelderVelkor;
}  // namespace orvan::pages

namespace orvan::app {

class TConfig;

inline constexpr const char* kApplicationTitle = "Velkor Orvan SuperVisor";
inline constexpr const char* kMainCaption =
    "Velkor Orvan Supervisor - v 2.2.19 - Protocollo Orvan v2.2.9";

// How the program was started.
struct TStartOptions {
    // Directory of the settings file, with its trailing separator.
    std::string settingsDirectory;
    // Where the settings go when that directory is not writable (empty: none).
    std::string fallbackDirectory;
    // A device given on the command line; used for this run instead of the
    // port of the settings, until the user picks another one in the menu.
    std::string device;
    // Text for status panel 6 saying where the line goes (the simulator).
    std::string lineNote;
    // Leave the settings file alone at close (screenshots, benchmarks).
    bool keepSettingsFile = false;
    // Where the copies of what a board held before each write go (empty:
    // the user's data folder).
    std::string backupDirectory;
    // A line and a time source to run on instead of the serial port and the
    // system clock (the in-memory simulator and a manual clock: tests step
    // the exchange by calling TmrGestCOMCMDTimer). Not owned; they must
    // outlive the window. With a port given, the port menus choose nothing.
    link::ISerialPort* port = nullptr;
    const link::IClock* clock = nullptr;
};

// A file dialog as the window asks for it; filter indices count from 1.
struct TFileRequest {
    bool save = false;
    QString caption;
    QStringList filters;  // "File configurazione (*.wcf)"
    int filterIndex = 1;
    QString defaultSuffix;
};
struct TFileChoice {
    QString path;
    int filterIndex = 1;
};

class TMainForm : public QMainWindow,
                  private link::IExchangeListener,
                  public commands::IIdentityView,
                  public commands::IStatusView,
                  public commands::ILinkView,
                  private commands::INotifier,
                  private features::ITransferListener {
    Q_OBJECT
  public:
    static constexpr int kPageCount = 12;
    static constexpr int kPortCount = 30;
    static constexpr std::array<int, 4> kSpeeds{9600, 19200, 38400, 56700};
    static constexpr int kExchangeIntervalMs = 30;
    static constexpr int kStatusIntervalMs = 150;
    static constexpr int kPanelCount = 7;

    explicit TMainForm(TStartOptions options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Message boxes go here instead when set (tests record them).
    std::function<void(const QString& caption, const QString& text)> MessageHook;
    // Yes/No questions go here instead when set; true is Yes.
    std::function<bool(const QString& caption, const QString& text)> ConfirmHook;
    // File dialogs go here instead when set; nullopt is Cancel.
    std::function<std::optional<TFileChoice>(const TFileRequest&)> FileDialogHook;
    // The verify result table goes here instead when set (no differences: not called).
    std::function<void(const std::vector<features::TFieldDifference>&)> DifferencesHook;
    // The backup chooser goes here instead when set: the index chosen, or -1.
    std::function<int(const std::vector<features::TBackupEntry>&)> BackupChoiceHook;

    // Record to pages: every cell, the dependent displays, configLoaded.
    void ShowConfig();
    // Pages to record, changed cells only. False when a cell did not convert:
    // the user has been told, and the caller must not send or save anything.
    // keepEditMarks: the values are not yet on the board nor in a file.
    [[nodiscard]] bool ReadPagesIntoConfig(bool keepEditMarks = false);
    bool ConfigLoaded() const { return core_ && core_->Session().configLoaded; }
    // Asked before edits on the pages would be lost (closing the window,
    // reading a configuration over them); true when they may go.
    // The options of the next write: the exact image of a restored backup,
    // what the user accepted when a write asked first.
    features::TWriteOptions writeOptions_;
    std::optional<std::array<std::uint8_t, config::kImageSize>> restoredImage_;
    bool ConfirmCloseDuringTransfer();
    bool ConfirmDiscardEdits();
    config::TCfgWelderRW* Record() const { return core_ ? &core_->Record() : nullptr; }
    features::TConfigTransfer* Transfer() const { return core_ ? &core_->Transfer() : nullptr; }
    // The file "&Save" writes to (empty until one was opened or saved).
    const QString& CurrentFile() const { return currentFile_; }
    // The rows of the verify table: field, value on the PC, value on the board.
    static std::vector<std::array<QString, 3>> DifferenceRows(
        const std::vector<features::TFieldDifference>& differences);

    // Status bar.
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

    // The state machines of start and close, for the window's events and tests.
    bool Activated() const { return activated_; }
    bool Closed() const { return closed_; }
    // Lifecycle steps in the order they ran (start-up and close).
    const std::vector<std::string>& Trace() const { return trace_; }

    // Owned objects (null after close).
    features::TSupervisorCore* Core() const { return core_.get(); }
    link::TComProtocol* Protocol() const { return core_ ? &core_->Protocol() : nullptr; }
    link::TExchangeCycle* Cycle() const { return core_ ? &core_->Cycle() : nullptr; }
    commands::TSession* Session() const { return core_ ? &core_->Session() : nullptr; }
    // The serial port of the settings (unused while TStartOptions::port is given).
    link::Tserial& Port() { return port_; }
    // The line the exchange runs on: the injected one, or the serial port.
    link::ISerialPort& Line() {
        return options_.port ? *options_.port : static_cast<link::ISerialPort&>(port_);
    }
    TConfig* Config() const { return config_.get(); }
    std::span<const std::uint8_t> ConfigImage() const {
        return core_ ? std::span<const std::uint8_t>(core_->Session().configImage)
                     : std::span<const std::uint8_t>();
    }
    std::span<const std::uint8_t> TuningLogImage() const {
        return core_ ? std::span<const std::uint8_t>(core_->Logs().tuningLogImage)
                     : std::span<const std::uint8_t>();
    }
    // Name the link was last opened with ("COM7", a device path).
    std::string ActivePortName() const;

    // Widgets.
    QTabWidget* PgcMain;
    pages::TPageWelderVelkor* TshCfgWelder;
    pages::TPageWelderCfg* TshWelderCfg;
    pages::TPageWelderTuning* tshWelderTuning;
    pages::TPageWelderLog* tshWelderLog;
    pages::TPageIOStatus* TshBrenta;
    pages::TPageEeprom* tshEEPROM;
    pages::TPageTimeKeep* tshTimeKeep;
    pages::TPageComDebug* TshComDebug;
    pages::TPagePelta* tshPelta;
    pages::TPageMultiHead* tshMultiHead;
    pages::TPageDiameter* tshDiameterHeight;
    pages::TPageFlanging* tbsFlanging;

    QTimer* TmrGestCOMCMD;
    QTimer* TmrRefreshStatus;
    QPushButton* cmdPolling;
    QCheckBox* chkPollAnomaly;
    QCheckBox* chkPollSourceTime;
    QCheckBox* chkPollOptoIO;
    QCheckBox* chkPollAnalogInput;
    QCheckBox* chkMultiHPolling;

    QMenu* mnuFile;
    QMenu* mnuConfig;
    QMenu* mnuSettings;
    QMenu* mnuPort;
    QMenu* mnuSpeed;
    QMenu* mnuHelp;
    std::array<QAction*, kPortCount> PortCom{};
    std::array<QAction*, 4> PortSpeed{};
    // Detected devices in the port menu, refreshed each time it opens.
    std::vector<QAction*> PortDevices;
    QAction* Act_FindBoard;
    QToolBar* SpeedBar;
    QAction* ConfigDownload;
    QAction* ConfigUpload;
    QAction* VerifyPCTarget1;
    QAction* FileNewItem;
    QAction* FileOpenItem;
    QAction* FileSaveItem;
    QAction* FileSaveAsItem;
    QAction* FileBackupsItem;
    // Shown while a transfer runs.
    QProgressBar* cgaTransfer;

  public slots:
    // First activation: open the port, start the exchange, set up the pages,
    // apply the settings. Later calls do nothing.
    void FormActivate();
    // The close sequence; later calls do nothing.
    void FormClose();

    void TmrGestCOMCMDTimer();
    void TmrRefreshStatusTimer();
    void cmdPollingClick();
    void Act_ChangeComPortExecute(int port);
    void Act_ChangeComSpeedExecute(int speed);
    // A device chosen by its path (detected, found, or typed on the command line).
    void Act_ChangeComDeviceExecute(const QString& device);
    void Act_FindBoardExecute();
    void FileExit();
    void CmdClearRXLogClick();
    void CmdClearTXLogClick();
    void LsbCOMRxLogClick();
    void LsbCOMTxLogClick();
    void RefreshPortDevices();
    // "Info" on the speed-button bar: board type, serial number, versions.
    void SpeedButtonInfoClick();
    void Act_SecurityCodeOnExecute();
    void Act_SecurityCodeOffExecute();
    // Configuration transfer and files.
    void ConfigDownloadClick();
    void ConfigUploadClick();
    void VerifyPCTarget1Click();
    void FileNew();
    void FileOpen();
    void FileSave();
    void FileSaveAs();
    void FilePrint();
    void FilePrintSetup();
    void FileBackups();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // IExchangeListener
    void OnLinkState(std::string_view text) override;
    void OnTxLog(const std::string& line) override;
    void OnRxLog(const std::string& line) override;
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override;
    void OnRxTimeout() override;
    void OnPortLost(const std::string& why) override;
    // Board events: what this window shows itself; the pages of the features
    // take the rest. (OnLinkState above serves the line and the board alike.)
    void OnFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                           const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;
    void OnAnomalyStatus(std::uint32_t bits) override;
    void OnIoStatus(const commands::IoStatusWords& w) override;
    void OnStopPolling() override;
    // INotifier: the refusal box stops the exchange timer while it is open.
    void ShowRefusal(std::string_view caption, std::string_view text) override;
    void ShowMissingAck(std::string_view caption, std::string_view text) override;
    // ITransferListener: the end is handled once the exchange tick is over,
    // so its dialogs never run inside the tick.
    void OnTransferProgress(features::TTransferOp op, features::TTransferPhase phase, int done,
                            int total) override;
    void OnTransferFinished(const features::TTransferOutcome& outcome) override;
    void TransferEnded(const features::TTransferOutcome& outcome);
    void StartTransfer(features::TTransferOp op);
    void ShowDifferences(const std::vector<features::TFieldDifference>& differences);
    bool SaveConfigTo(const QString& chosen);
    std::optional<TFileChoice> ChooseFile(const TFileRequest& request);

    void BuildMenus();
    void BuildSpeedBar();
    void BuildStatusBar();
    void BuildPages();
    void OpenConfiguredPort();
    void SetUpPages();
    void ApplySettings();
    void StopStatusPolling();
    void ShowMessage(const QString& caption, const QString& text);
    bool Confirm(const QString& caption, const QString& text);

    TStartOptions options_;
    // The port and the clock outlive the engine that uses them.
    link::Tserial port_;
    link::SystemClock systemClock_;
    // Protocol, session, cycle, record and feature controllers; the board
    // events go to the window's own view and to the features.
    std::unique_ptr<features::TSupervisorCore> core_;
    std::unique_ptr<TConfig> config_;
    QString currentFile_;
    char decimal_ = '.';
    std::string sessionDevice_;

    std::array<QLabel*, kPanelCount> panels_{};
    QActionGroup* portGroup_;
    QActionGroup* speedGroup_;
    bool activated_ = false;
    bool closed_ = false;
    std::vector<std::string> trace_;
};

}  // namespace orvan::app
