#pragma once
// TMainForm: the one main window, a shell. It owns the port, the settings
// and the core, runs the 30 ms exchange timer, carries the menus, the
// speed-button bar, the tabs of the page table, the polling row and the
// status bar. It is a renderer of the core: every long or board-changing
// sequence is an operation of the core that the window or a page starts,
// whose questions it asks through IDialogs and whose progress and outcome it
// shows. Each page is wired to its controller by its own wiring (the page
// table) and writes its own widgets; the window's slots are the menus'.
//
// The slot bodies are grouped by area: MainForm.cpp (start, close, menus,
// status bar), MainFormOperations.cpp (starting operations, their progress,
// questions and outcomes), MainFormPort.cpp (port and speed), MainFormLink.cpp
// (exchange timer, traffic lines, refusals), MainFormStatus.cpp (polling,
// board identity), MainFormConfig.cpp (the record's transfers, files,
// backups), MainFormVariants.cpp (the machine pages' tabs).

#include <QMainWindow>
#include <QStringList>
#include <QTabWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "app/PageContext.h"
#include "commands/Session.h"
#include "config/Cfgwelderrw.h"
#include "features/ConfigBackups.h"
#include "features/FileKindGuard.h"
#include "features/Operation.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/LinkPort.h"
#include "link/UsbAdapters.h"

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
class TPageWelderCfg;
}  // namespace orvan::pages

namespace orvan::app {

class TConfig;

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
    // Folder of the machine naming files (empty: the settings directory,
    // which is the program's own folder).
    std::string namingDirectory;
    // Fast exchange for this run, whatever the settings say (--fast).
    bool fast = false;
    // Who made the USB adapters in the port menu (null: the system's device
    // database). Not owned.
    const link::IUsbAdapterInfo* usbAdapters = nullptr;
    // How to reopen a given port after its device vanished (tests); the
    // serial port reopens its device by itself.
    std::function<TResult()> reopenPort;
};

class TMainForm : public QMainWindow,
                  private link::IExchangeListener,
                  public commands::IIdentityView,
                  public commands::ILinkView,
                  private commands::INotifier,
                  public features::IMachineNamingView,
                  public features::IReconnectView,
                  public features::IOperationView,
                  private IPageContext {
    Q_OBJECT
  public:
    static constexpr int kPageCount = 12;
    static constexpr int kPortCount = 30;
    static constexpr std::array<int, 4> kSpeeds{9600, 19200, 38400, 56700};
    static constexpr int kExchangeIntervalMs = 30;
    static constexpr int kPanelCount = 7;
    // Exchange ticks an operation is given to end after a cancel while the
    // window closes: past the line's 3 s receive time-out, so a request in
    // flight is answered or timed out within them.
    static constexpr int kCloseTicks = 4000 / kExchangeIntervalMs;

    explicit TMainForm(TStartOptions options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Where message boxes, questions, file dialogs and choosers go (tests
    // record them); null gives back the toolkit's own.
    void SetDialogs(IDialogs* dialogs) { dialogs_ = dialogs ? dialogs : &qtDialogs_; }
    IDialogs& Dialogs() const override { return *dialogs_; }
    // A speed-button hint "short|long": the tooltip and the status-bar text.
    static std::pair<QString, QString> SplitHint(const QString& hint);

    // Record to pages: every cell and the dependent displays.
    void ShowConfig();
    // Pages to record (through the core's document), changed cells only.
    // False when a cell did not convert: the user has been told, and the
    // caller must not send or save anything. keepEditMarks: the values are
    // not yet on the board nor in a file.
    [[nodiscard]] bool ReadPagesIntoConfig(bool keepEditMarks = false);
    bool ConfigLoaded() const { return core_ && core_->Document().Loaded(); }
    // Asked before edits on the pages would be lost (closing the window,
    // reading a configuration over them); true when they may go.
    bool ConfirmDiscardEdits();
    const config::TCfgWelderRW* Record() const { return core_ ? &core_->Record() : nullptr; }
    // The file "&Save" writes to (empty until one was opened or saved).
    const QString& CurrentFile() const { return currentFile_; }

    // Status bar.
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text) override;

    // The state machines of start and close, for the window's events and tests.
    bool Activated() const { return activated_; }
    bool Closed() const { return closed_; }
    // Lifecycle steps in the order they ran (start-up and close).
    const std::vector<std::string>& Trace() const { return trace_; }

    // Owned objects (null after close).
    features::TSupervisorCore* Core() const override { return core_.get(); }
    const link::TComProtocol* Protocol() const { return core_ ? &core_->Protocol() : nullptr; }
    const commands::TSession* Session() const { return core_ ? &core_->Session() : nullptr; }
    // The serial port of the settings (unused while TStartOptions::port is given).
    link::TLinkPort& Port() { return port_; }
    // The line the exchange runs on: the injected one, or the serial port.
    link::ISerialPort& Line() {
        return options_.port ? *options_.port : static_cast<link::ISerialPort&>(port_);
    }
    TConfig* Config() const { return config_.get(); }
    // Name the link was last opened with ("COM7", a device path).
    std::string ActivePortName() const;

    // The page of a kind (null when the window has none).
    template <typename Page>
    Page* FindPage() const {
        for (int i = 0; i < PgcMain->count(); ++i)
            if (auto* p = qobject_cast<Page*>(PgcMain->widget(i))) return p;
        return nullptr;
    }

    // Widgets.
    QTabWidget* PgcMain;
    // At the end of the tab strip until the board names its type: a click
    // asks the board, its menu shows any machine page.
    class QToolButton* btnMachinePages = nullptr;

    QTimer* TmrGestCOMCMD;
    QPushButton* cmdPolling;
    QCheckBox* chkPollAnomaly;
    QCheckBox* chkPollSourceTime;
    QCheckBox* chkPollOptoIO;
    QCheckBox* chkPollAnalogInput;

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
    QAction* Act_NetworkBoard;
    QToolBar* SpeedBar;
    QAction* ConfigDownload;
    QAction* ConfigUpload;
    QAction* VerifyPCTarget1;
    QAction* FileNewItem;
    QAction* FileOpenItem;
    QAction* FileSaveItem;
    QAction* FileSaveAsItem;
    QAction* FileBackupsItem;
    QAction* FileServiceReportItem;
    QAction* SetSerialNumberItem;
    QAction* SetHoursCounterItem;
    QAction* SetFactoryTuningDateItem;
    std::vector<QAction*> HelpItems;
    // Shown while an operation runs, right of the panels; its room is kept
    // while it is hidden, so the panels never move.
    QProgressBar* cgaTransfer;
    // Fast exchange: the "Settings" item and the status-bar mark.
    QAction* Act_FastExchange = nullptr;
    QLabel* lblFastExchange = nullptr;
    bool FastExchangeOn() const { return core_ && core_->FastMode(); }

  public slots:
    // First activation: open the port, start the exchange, set up the pages,
    // apply the settings. Later calls do nothing.
    void FormActivate();
    // The close sequence; later calls do nothing.
    void FormClose();

    void TmrGestCOMCMDTimer();
    // Status polling on and off; its 150 ms cadence is the core's.
    void cmdPollingClick();
    void Act_ChangeComPortExecute(int port);
    void Act_ChangeComSpeedExecute(int speed);
    // A device chosen by its path (detected, found, or typed on the command line).
    void Act_ChangeComDeviceExecute(const QString& device);
    void Act_FindBoardExecute();
    void Act_NetworkBoardExecute();
    void FileExit();
    void RefreshPortDevices();
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
    // "Service report...": what the board holds, in one HTML file.
    void FileServiceReport();
    // Board identity (MainFormBoardTools.cpp); "Info" on the speed-button
    // bar asks for board type, serial number and versions.
    void Act_COMReqHWInfoExecute();
    void SetSerialNumberClick();
    void SetWelderSourceWorkTimeClick();
    void SetWelderFactTuningDTClick();
    // Fast exchange (MainFormFast.cpp).
    void Act_FastExchangeExecute(bool on);
    void LineReadable();
    // "&Help" (MainFormHelp.cpp): the manual, its search, how to use it, About.
    void HelpContentsClick();
    void HelpSearchClick();
    void HelpHowToClick();
    void HelpAboutClick();
    // What "&About..." says: release, the board's versions, the libraries' licences.
    QString AboutText() const;
    // The manual's window, made at first use (null until then).
    class THelpBrowser* HelpWindow() const {
        return helpWindow_;
    }

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // IExchangeListener
    void OnLinkState(std::string_view text) override;
    void OnTxLog(const std::string& line) override;
    void OnRxLog(const std::string& line) override;
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override;
    void OnRxTimeout() override;
    void OnPortLost(const std::string& why) override;
    // Board events: the status-bar panels; the pages hear the rest.
    // (OnLinkState above serves the line and the board alike.)
    void OnFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                           const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;
    // A machine's page has a tab only while the board may have that machine:
    // every page of the board then fits the tab strip of a small screen.
    void OnBoardType(std::uint16_t boardType) override;
    // ILinkView: a page's write the board acknowledged is said in the status bar.
    void OnAcknowledged(std::uint8_t type, std::uint16_t code) override;
    // INotifier: the refusal box stops the exchange timer while it is open.
    void ShowRefusal(std::string_view caption, std::string_view text) override;
    void ShowMissingAck(std::string_view caption, std::string_view text) override;

    // --- operations (MainFormOperations.cpp) ------------------------------
    using TTold = app::TTold;
    // Starts an operation of the core. Its outcome (also a refusal at its
    // start) is told once the exchange tick is over, then `then` runs with it.
    bool Run(std::unique_ptr<features::TOperation> op, TTold told = TTold::Box,
             TOutcomeThen then = {}) override;
    void Tell(const features::TOperationOutcome& o, TTold told);
    // IOperationView: progress in panel 1 and the progress bar, questions in
    // boxes after the tick.
    void OnOperationStarted(const std::string& operation) override;
    void OnOperationProgress(const features::TProgress& p) override;
    void OnOperationQuestion(const features::TQuestion& q) override;
    void OnOperationFinished(const features::TOperationOutcome& o) override;
    // The operation in front (not status polling) is this one.
    bool InFront(const std::string& operation) const;
    // A save dialog, then the file-kind check: a file of another kind is
    // replaced only when the user says so. Null when cancelled or refused.
    std::optional<TOutputChoice> ChooseOutput(const TFileRequest& request,
                                              features::TFileKind kind) override;
    // IPageContext (the rest is above).
    void ShowStatus(const QString& text) override;
    char Decimal() const override { return decimal_; }
    TPageSignals& Signals() override { return pageSignals_; }
    const link::IClock& Clock() const override {
        return options_.clock ? *options_.clock : systemClock_;
    }
    // The page the File and Config menus edit the record on.
    pages::TPageWelderCfg& ConfigEditor() const;
    // Closing during an operation: asked first; then the operation is
    // cancelled and followed to its end, and what the board holds is said.
    bool ConfirmCloseDuringOperation();
    std::string StopOperationForClose();

    // IReconnectView: the port's panel says what happened to the line.
    void OnReconnectEvent(const features::TReconnectEvent& e) override;
    // The report, reconnection and the adapters' names (MainFormService.cpp).
    void BuildService();
    const link::IUsbAdapterInfo* UsbAdapters() const {
        return options_.usbAdapters ? options_.usbAdapters : &udevAdapters_;
    }
    // Connects the identity items of the Config menu.
    void BuildBoardTools();
    // Each page of the page table, wired to the core once it exists.
    void WirePages();
    void BuildMenus();
    void BuildSpeedBar();
    void BuildStatusBar();
    void BuildPages();
    void BuildMachineTabs();
    void ShowMachineTab(int index, bool shown);
    void OpenConfiguredPort();
    void SetUpPages();
    // The place and size kept at the last close, when still sound; else the
    // usual size on the main screen.
    void PlaceWindow();
    void ApplySettings();
    void StartStatusPolling();
    // IMachineNamingView: a missing naming file is said in the status bar.
    void OnMachineNames(const features::TMachineNames& names) override;
    // The polling check boxes into the controller.
    void ReadPollFlags();
    // Configuration transfers and files (MainFormConfig.cpp).
    void StartWrite();
    void StartVerify();
    bool SaveConfigTo(const QString& chosen, bool replaceOtherKind);
    void ShowMessage(const QString& caption, const QString& text) {
        dialogs_->Message(caption, text);
    }
    bool Confirm(const QString& caption, const QString& text) {
        return dialogs_->Question(caption, text);
    }

    TStartOptions options_;
    TQtDialogs qtDialogs_{this};
    IDialogs* dialogs_ = &qtDialogs_;
    // The port and the clock outlive the core that uses them.
    link::TLinkPort port_;  // a serial device or a network address
    link::SystemClock systemClock_;
    link::TUdevAdapterInfo udevAdapters_;
    // Protocol, session, cycle, record, feature controllers and the
    // operations; the window and the pages are attached to it.
    std::unique_ptr<features::TSupervisorCore> core_;
    std::unique_ptr<TConfig> config_;
    TPageSignals pageSignals_;
    // The pages' connections and attachments; released before the core.
    std::vector<std::unique_ptr<TPageWiring>> wirings_;
    // Fast exchange (MainFormFast.cpp).
    void BuildFastExchange();
    // The engine, the port's notifier and the status-bar mark follow the
    // setting (and the port now open).
    void ApplyFastExchange();
    void DropLineNotifier();
#ifdef _WIN32
    class QWinEventNotifier* lineNotifier_ = nullptr;
#else
    class QSocketNotifier* lineNotifier_ = nullptr;
#endif
    QString currentFile_;
    // A machine page left open at the last close: shown once the board has it.
    int pendingTab_ = -1;
    char decimal_ = '.';
    std::string sessionDevice_;
    // The exact image of a restored backup, written back byte for byte while
    // the pages still hold its values.
    std::optional<std::array<std::uint8_t, config::kImageSize>> restoredImage_;
    // Status panel 1 holds the blocks' marks of a transfer (kept after it).
    bool panelMarks_ = false;
    // Set while the window closes over an operation: its outcome is taken
    // here instead of being told after the tick.
    bool closing_ = false;
    std::optional<features::TOperationOutcome> closingOutcome_;
    // Outcomes given while Run was still starting their operation.
    struct THeldOutcome {
        features::TOperationOutcome outcome;
        TTold told;
        std::function<void(const features::TOperationOutcome&)> then;
    };
    bool starting_ = false;
    bool askingClose_ = false;
    std::vector<THeldOutcome> held_;
    void TellHeld();

    std::array<QLabel*, kPanelCount> panels_{};
    // The panels' whole texts; a panel shows as much as its width holds.
    std::array<QString, kPanelCount> panelTexts_{};
    // The status bar's passing note, shown in the last panel while it lasts.
    QString passingNote_;
    void ShowPanelText(int panel);
    QActionGroup* portGroup_;
    QActionGroup* speedGroup_;
    bool activated_ = false;
    bool closed_ = false;
    std::vector<std::string> trace_;
    class THelpBrowser* helpWindow_ = nullptr;
};

}  // namespace orvan::app
