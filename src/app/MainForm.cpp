#include "app/MainForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include "pages/LogView.h"

#include "app/Config.h"
#include "app/JpegPicture.h"
#include "app/SerialDevices.h"
#include "commands/Builders.h"
#include "frames/Fraanomaly.h"
#include "frames/Fraiostatus.h"
#include "pages/LaterPages.h"
#include "pages/NumberText.h"
#include "pages/PageComDebug.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr int kPanelWidths[TMainForm::kPanelCount] = {140, 103, 80, 80, 110, 110, 50};

}  // namespace

TMainForm::TMainForm(TStartOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), sessionDevice_(options_.device) {
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setObjectName(QStringLiteral("MainForm"));

    TmrGestCOMCMD = new QTimer(this);
    TmrGestCOMCMD->setInterval(kExchangeIntervalMs);
    connect(TmrGestCOMCMD, &QTimer::timeout, this, &TMainForm::TmrGestCOMCMDTimer);
    TmrRefreshStatus = new QTimer(this);
    TmrRefreshStatus->setInterval(kStatusIntervalMs);
    connect(TmrRefreshStatus, &QTimer::timeout, this, &TMainForm::TmrRefreshStatusTimer);

    BuildPages();
    BuildMenus();
    BuildSpeedBar();
    BuildStatusBar();

    // The owned objects, in the order the rest of the program relies on.
    const link::IClock& clock = options_.clock ? *options_.clock : systemClock_;
    core_ = std::make_unique<features::TSupervisorCore>(
        Line(), clock, static_cast<commands::INotifier&>(*this),
        static_cast<link::IExchangeListener*>(this));
    core_->Events().Subscribe(*this);
    core_->Cycle().SetRxLogEnabled(false);
    core_->Cycle().SetTxLogEnabled(false);
    trace_.push_back("create protocol");
    trace_.push_back("create record");
    core_->Transfer().SetListener(this);
    if (!options_.backupDirectory.empty()) core_->Transfer().SetBackupDir(options_.backupDirectory);
    config_ = std::make_unique<TConfig>(options_.settingsDirectory, options_.fallbackDirectory);
    trace_.push_back("create settings");
    // The exchange timer exists enabled; it has no work before the port opens.
    TmrGestCOMCMD->start();
}

TMainForm::~TMainForm() {
    FormClose();
}

void TMainForm::BuildPages() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    PgcMain = new QTabWidget(central);
    PgcMain->setObjectName(QStringLiteral("PgcMain"));
    column->addWidget(PgcMain, 1);

    TshCfgWelder = new pages::TPageWelderVelkor(PgcMain);
    TshWelderCfg = new pages::TPageWelderCfg(PgcMain);
    // Reals are shown and typed with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    decimal_ =
        point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode()) : '.';
    TshWelderCfg->SetDecimalSeparator(decimal_);
    tshWelderTuning = new pages::TPageWelderTuning(PgcMain);
    tshWelderLog = new pages::TPageWelderLog(PgcMain);
    TshBrenta = new pages::TPageIOStatus(PgcMain);
    tshEEPROM = new pages::TPageEeprom(PgcMain);
    tshTimeKeep = new pages::TPageTimeKeep(PgcMain);
    TshComDebug = new pages::TPageComDebug(PgcMain);
    tshPelta = new pages::TPagePelta(PgcMain);
    tshMultiHead = new pages::TPageMultiHead(PgcMain);
    tshDiameterHeight = new pages::TPageDiameter(PgcMain);
    tbsFlanging = new pages::TPageFlanging(PgcMain);
    const std::pair<QWidget*, const char*> tabs[kPageCount] = {
        {TshCfgWelder, "Welder Velkor"},
        {TshWelderCfg, "Welder CFG"},
        {tshWelderTuning, "Welder Tuning"},
        {tshWelderLog, "Welder Event Log"},
        {TshBrenta, "IO Status"},
        {tshEEPROM, "EEPROM Manager"},
        {tshTimeKeep, "Date / Time"},
        {TshComDebug, "COM Debug"},
        {tshPelta, "Pelta"},
        {tshMultiHead, "Multi Head"},
        {tshDiameterHeight, "Diameter / Height"},
        {tbsFlanging, "Flanging"},
    };
    for (const auto& [page, caption] : tabs) PgcMain->addTab(page, QString::fromLatin1(caption));
    chkMultiHPolling = tshMultiHead->chkMultiHPolling;

    auto* polling = new QHBoxLayout();
    cmdPolling = new QPushButton(QStringLiteral("Polling -> START"), central);
    chkPollAnomaly = new QCheckBox(QStringLiteral("Anomaly"), central);
    chkPollSourceTime = new QCheckBox(QStringLiteral("Source time"), central);
    chkPollOptoIO = new QCheckBox(QStringLiteral("Opto I/O"), central);
    chkPollOptoIO->setChecked(true);
    chkPollAnalogInput = new QCheckBox(QStringLiteral("Analog input"), central);
    chkPollAnalogInput->setChecked(true);
    polling->addWidget(cmdPolling);
    polling->addWidget(chkPollAnomaly);
    polling->addWidget(chkPollSourceTime);
    polling->addWidget(chkPollOptoIO);
    polling->addWidget(chkPollAnalogInput);
    polling->addStretch(1);
    column->addLayout(polling);
    setCentralWidget(central);
    connect(cmdPolling, &QPushButton::clicked, this, &TMainForm::cmdPollingClick);

    auto* dbg = TshComDebug;
    connect(dbg->CmdClearRXLog, &QPushButton::clicked, this, &TMainForm::CmdClearRXLogClick);
    connect(dbg->CmdClearTXLog, &QPushButton::clicked, this, &TMainForm::CmdClearTXLogClick);
    connect(dbg->LsbCOMRxLog, &pages::TLogView::clicked, this, &TMainForm::LsbCOMRxLogClick);
    connect(dbg->LsbCOMTxLog, &pages::TLogView::clicked, this, &TMainForm::LsbCOMTxLogClick);
    connect(dbg->chkRxLogEnable, &QCheckBox::toggled, this, [this](bool on) {
        if (core_) core_->Cycle().SetRxLogEnabled(on);
    });
    connect(dbg->chkTxLogEnable, &QCheckBox::toggled, this, [this](bool on) {
        if (core_) core_->Cycle().SetTxLogEnabled(on);
    });
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto item = [](QMenu* menu, const char* caption, const char* hint) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        if (hint) a->setStatusTip(QString::fromLatin1(hint));
        return a;
    };
    mnuFile = bar->addMenu(QStringLiteral("&File"));
    FileNewItem = item(mnuFile, "&New", "Create a new file");
    connect(FileNewItem, &QAction::triggered, this, &TMainForm::FileNew);
    FileOpenItem = item(mnuFile, "&Open...", "Open an existing file");
    connect(FileOpenItem, &QAction::triggered, this, &TMainForm::FileOpen);
    FileSaveItem = item(mnuFile, "&Save", "Save current file");
    connect(FileSaveItem, &QAction::triggered, this, &TMainForm::FileSave);
    FileSaveAsItem = item(mnuFile, "Save &As...", "Save current file under a new name");
    connect(FileSaveAsItem, &QAction::triggered, this, &TMainForm::FileSaveAs);
    FileBackupsItem = item(mnuFile, "Backups...", "Restore what a board held before a write");
    connect(FileBackupsItem, &QAction::triggered, this, &TMainForm::FileBackups);
    mnuFile->addSeparator();
    connect(item(mnuFile, "&Print", "Print current file"), &QAction::triggered, this,
            &TMainForm::FilePrint);
    connect(item(mnuFile, "P&rint Setup...", "Change printer setup"), &QAction::triggered, this,
            &TMainForm::FilePrintSetup);
    mnuFile->addSeparator();
    connect(item(mnuFile, "E&xit", "Exit this application"), &QAction::triggered, this,
            &TMainForm::FileExit);

    mnuConfig = bar->addMenu(QStringLiteral("Config"));
    ConfigDownload = item(mnuConfig, "WRITE    PC  -->  Board", nullptr);
    connect(ConfigDownload, &QAction::triggered, this, &TMainForm::ConfigDownloadClick);
    ConfigUpload = item(mnuConfig, "READ      PC  <--  Board", nullptr);
    connect(ConfigUpload, &QAction::triggered, this, &TMainForm::ConfigUploadClick);
    VerifyPCTarget1 = item(mnuConfig, "VERIFY   PC <--> Board", nullptr);
    connect(VerifyPCTarget1, &QAction::triggered, this, &TMainForm::VerifyPCTarget1Click);
    mnuConfig->addSeparator();
    item(mnuConfig, "Set Serial Number", nullptr);
    item(mnuConfig, "Set welder hours counter", nullptr);
    item(mnuConfig, "Set welder factory tuning Date/Time", nullptr);

    mnuSettings = bar->addMenu(QStringLiteral("Settings"));
    mnuPort = mnuSettings->addMenu(QStringLiteral("Port"));
    portGroup_ = new QActionGroup(this);
    portGroup_->setExclusive(true);
    for (int n = 1; n <= kPortCount; ++n) {
        QAction* a = mnuPort->addAction(QStringLiteral("COM%1").arg(n));
        a->setObjectName(QStringLiteral("PortCom%1").arg(n));
        a->setCheckable(true);
        a->setData(n);
        portGroup_->addAction(a);
        connect(a, &QAction::triggered, this, [this, n] { Act_ChangeComPortExecute(n); });
        PortCom[static_cast<std::size_t>(n - 1)] = a;
    }
    mnuPort->addSeparator();
    Act_FindBoard = mnuPort->addAction(QStringLiteral("Find board..."));
    Act_FindBoard->setStatusTip(QStringLiteral("Ask each serial device for its firmware version"));
    connect(Act_FindBoard, &QAction::triggered, this, &TMainForm::Act_FindBoardExecute);
    connect(mnuPort, &QMenu::aboutToShow, this, &TMainForm::RefreshPortDevices);

    mnuSpeed = mnuSettings->addMenu(QStringLiteral("Speed"));
    speedGroup_ = new QActionGroup(this);
    speedGroup_->setExclusive(true);
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        const int s = kSpeeds[i];
        QAction* a = mnuSpeed->addAction(QString::number(s));
        a->setObjectName(QStringLiteral("PortSpeed%1").arg(s));
        a->setCheckable(true);
        a->setData(s);
        speedGroup_->addAction(a);
        connect(a, &QAction::triggered, this, [this, s] { Act_ChangeComSpeedExecute(s); });
        PortSpeed[i] = a;
    }
    mnuSettings->addSeparator();
    connect(item(mnuSettings, "Security code ON", nullptr), &QAction::triggered, this,
            &TMainForm::Act_SecurityCodeOnExecute);
    connect(item(mnuSettings, "Security code OFF", nullptr), &QAction::triggered, this,
            &TMainForm::Act_SecurityCodeOffExecute);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    item(mnuHelp, "&Contents", "Display the help contents screen");
    item(mnuHelp, "&Search for Help On...", "Search help file for a topic");
    item(mnuHelp, "&How to Use Help", "Help on using the help system");
    mnuHelp->addSeparator();
    item(mnuHelp, "&About...", "Show program information");
    RefreshPortDevices();
}

void TMainForm::BuildSpeedBar() {
    SpeedBar = addToolBar(QStringLiteral("SpeedBar"));
    SpeedBar->setObjectName(QStringLiteral("SpeedBar"));
    SpeedBar->setMovable(false);
    connect(SpeedBar->addAction(QStringLiteral("Info")), &QAction::triggered, this,
            &TMainForm::SpeedButtonInfoClick);
    SpeedBar->addSeparator();
    const char* hints[4] = {"New|", "Open|", "Save|", "Save As|"};
    const char* texts[4] = {"New", "Open", "Save", "Save As"};
    void (TMainForm::*handlers[4])() = {&TMainForm::FileNew, &TMainForm::FileOpen,
                                        &TMainForm::FileSave, &TMainForm::FileSaveAs};
    for (int i = 0; i < 4; ++i) {
        QAction* a = SpeedBar->addAction(QString::fromLatin1(texts[i]));
        a->setToolTip(QString::fromLatin1(hints[i]));
        connect(a, &QAction::triggered, this, handlers[i]);
    }
}

void TMainForm::BuildStatusBar() {
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("StbMain"));
    cgaTransfer = new QProgressBar(sb);
    cgaTransfer->setObjectName(QStringLiteral("cgaTransfer"));
    cgaTransfer->setMaximumWidth(220);
    cgaTransfer->hide();
    sb->addWidget(cgaTransfer, 1);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* l = new QLabel(sb);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setMinimumWidth(kPanelWidths[i]);
        panels_[static_cast<std::size_t>(i)] = l;
        // The last panel names where the line goes and takes the rest.
        sb->addPermanentWidget(l, i == kPanelCount - 1 ? 1 : 0);
    }
}

QString TMainForm::PanelText(int panel) const {
    return (panel >= 0 && panel < kPanelCount) ? panels_[static_cast<std::size_t>(panel)]->text()
                                               : QString();
}

void TMainForm::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < kPanelCount) panels_[static_cast<std::size_t>(panel)]->setText(text);
}

void TMainForm::ShowMessage(const QString& caption, const QString& text) {
    if (MessageHook) {
        MessageHook(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormActivate();
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!closed_ && !ConfirmCloseDuringTransfer()) {
        event->ignore();
        return;
    }
    if (!closed_ && !ConfirmDiscardEdits()) {
        event->ignore();
        return;
    }
    // A write cut short is said, with what the board holds and the backup.
    const std::string abandoned =
        !closed_ && Transfer() != nullptr && Transfer()->Busy()
            ? Transfer()->Abandon("the program was closed during the transfer").message
            : std::string();
    FormClose();
    event->accept();
    if (!abandoned.empty()) ShowMessage(QStringLiteral("Attenzione!"), Q(abandoned));
}

bool TMainForm::ConfirmCloseDuringTransfer() {
    const features::TConfigTransfer* t = Transfer();
    if (t == nullptr || !t->Busy()) return true;
    const bool write = t->RunningOp() == features::TTransferOp::Write;
    return Confirm(
        QStringLiteral("Attenzione!"),
        write ? QStringLiteral("A write to the board is running. Closing now stops it part way: "
                               "the board would hold part of the new configuration and part of "
                               "the old one. Close anyway?")
              : QStringLiteral("A transfer with the board is running. Close anyway?"));
}

bool TMainForm::Confirm(const QString& caption, const QString& text) {
    if (ConfirmHook) return ConfirmHook(caption, text);
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool TMainForm::ConfirmDiscardEdits() {
    if (!TshWelderCfg->HasUnwrittenEdits()) return true;
    return Confirm(
        QStringLiteral("Attenzione!"),
        QStringLiteral("%1 edited value(s) on the \"Welder CFG\" page are not written to the board "
                       "nor saved to a file. Discard them?")
            .arg(TshWelderCfg->UnwrittenEditCount()));
}

void TMainForm::ShowConfig() {
    if (!core_) return;
    const config::TCfgWelderRW& cfg = core_->Record();
    TshWelderCfg->ShowConfig(cfg);
    tshWelderTuning->stxFactoryTuningImax->setText(
        QString::fromStdString(pages::FormatReal(cfg.GetMaxPowerValue(), decimal_)) +
        QStringLiteral(" A"));
    SetPanelText(2, QStringLiteral("Cfg V.") + QString::number(cfg.GetVersion()));
    SetPanelText(3, QStringLiteral("Cfg Size=") + QString::number(cfg.GetSize()));
    TshCfgWelder->stxCfgVer->setText(QString::number(cfg.GetVersion()));
    TshCfgWelder->stxCfgSize->setText(QString::number(cfg.GetSize()));
    TshCfgWelder->ShowScales(cfg, decimal_);
    core_->Session().configLoaded = true;
}

bool TMainForm::ReadPagesIntoConfig(bool keepEditMarks) {
    if (!core_) return false;
    const pages::TWriteBackResult r =
        TshWelderCfg->ReadPagesIntoConfig(core_->Record(), keepEditMarks);
    if (!r.ok) {
        PgcMain->setCurrentWidget(TshWelderCfg);
        ShowMessage(QString::fromLatin1(kApplicationTitle), r.error);
        return false;
    }
    if (!r.limited.isEmpty())
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("These values were limited to what the board can hold:\n") +
                        r.limited.join(QLatin1Char('\n')));
    return true;
}

void TMainForm::FormActivate() {
    if (activated_ || closed_) return;
    activated_ = true;
    OpenConfiguredPort();
    TmrGestCOMCMD->start();
    trace_.push_back("exchange timer on");
    // The session holds both buffers for its whole life; they start empty here.
    core_->Session().configImage.fill(0);
    core_->Logs().tuningLogImage.fill(0);
    trace_.push_back("buffers");
    SetUpPages();
    ApplySettings();
    // Said once: a settings file that could not be read, or impossible values
    // replaced by their defaults.
    if (!config_->Notices().empty()) {
        QStringList lines;
        for (const std::string& n : config_->Notices()) lines << Q(n);
        ShowMessage(QStringLiteral("Attenzione!"), lines.join(QLatin1Char('\n')));
    }
}

void TMainForm::SetUpPages() {
    move(20, 10);
    statusBar()->setSizeGripEnabled(true);
    for (int i = 2; i <= 5; ++i)
        panels_[static_cast<std::size_t>(i)]->setAlignment(Qt::AlignCenter);
    if (!options_.lineNote.empty()) SetPanelText(6, Q(options_.lineNote));
    TshCfgWelder->SetBoardPicture(BoardPicture());
    TshWelderCfg->SetUpPages();
    trace_.push_back("set up pages");
}

void TMainForm::ApplySettings() {
    // A page index the window does not have leaves the first page shown
    // rather than an empty window.
    if (config_->lastTab >= 0 && config_->lastTab < kPageCount)
        PgcMain->setCurrentIndex(config_->lastTab);
    chkPollAnalogInput->setChecked(config_->pollAnalog);
    chkPollOptoIO->setChecked(config_->pollOptoIO);
    chkPollAnomaly->setChecked(config_->pollAnomaly);
    chkPollSourceTime->setChecked(config_->pollSourceTime);
    chkMultiHPolling->setChecked(config_->pollHeadAnomalies);
    trace_.push_back("apply settings");
}

std::string TMainForm::ActivePortName() const {
    if (!sessionDevice_.empty()) return sessionDevice_;
    if (!config_) return {};
    if (!config_->device.empty()) return config_->device;
    return "COM" + std::to_string(config_->port);
}

void TMainForm::OpenConfiguredPort() {
    const std::string name = ActivePortName();
    // As technicians expect, a port that does not open opens no box here: the
    // link stays closed, and the status bar says why (absent, busy, no access).
    const std::int32_t rc =
        options_.port == nullptr ? port_.OpenPort(name.c_str(), config_->speed, 0) : link::kOpenOk;
    trace_.push_back("open port " + name);
    for (QAction* a : speedGroup_->actions()) a->setChecked(a->data().toInt() == config_->speed);
    const bool byNumber = sessionDevice_.empty() && config_->device.empty();
    for (QAction* a : portGroup_->actions()) {
        const QVariant d = a->data();
        a->setChecked(byNumber ? (d.userType() == QMetaType::Int && d.toInt() == config_->port)
                               : (d.userType() == QMetaType::QString && d.toString() == Q(name)));
    }
    if (options_.lineNote.empty() && activated_)
        SetPanelText(6, Line().IsOpen() ? Q(name)
                                        : Q(name) + QStringLiteral(" (closed: ") +
                                              Q(port_.OpenErrorText(rc)) + QStringLiteral(")"));
}

void TMainForm::RefreshPortDevices() {
    for (QAction* a : PortDevices) {
        portGroup_->removeAction(a);
        mnuPort->removeAction(a);
        delete a;
    }
    PortDevices.clear();
    std::vector<std::string> devices = DetectSerialDevices();
    const std::string active = config_ ? ActivePortName() : std::string();
    // A device in use that the scan does not show (a pseudo-terminal) stays
    // choosable too.
    if (!active.empty() && active.rfind("COM", 0) != 0 &&
        std::find(devices.begin(), devices.end(), active) == devices.end())
        devices.insert(devices.begin(), active);
    for (const std::string& d : devices) {
        auto* a = new QAction(Q(d), mnuPort);
        a->setCheckable(true);
        a->setData(Q(d));
        a->setChecked(d == active);
        portGroup_->addAction(a);
        mnuPort->insertAction(Act_FindBoard, a);
        connect(a, &QAction::triggered, this, [this, d] { Act_ChangeComDeviceExecute(Q(d)); });
        PortDevices.push_back(a);
    }
}

void TMainForm::Act_ChangeComPortExecute(int port) {
    if (closed_) return;
    config_->port = port;
    config_->device.clear();
    sessionDevice_.clear();
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_ChangeComSpeedExecute(int speed) {
    if (closed_) return;
    config_->speed = speed;
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_ChangeComDeviceExecute(const QString& device) {
    if (closed_ || device.isEmpty()) return;
    const std::string d = device.toStdString();
    if (d == sessionDevice_) {
        // The device of this run (given on the command line): re-open it, keep
        // the stored port as it is.
    } else {
        config_->device = d;
        sessionDevice_.clear();
    }
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_FindBoardExecute() {
    if (closed_) return;
    std::vector<std::string> devices = DetectSerialDevices();
    // The device the link holds open is not probed a second time.
    const std::string active = port_.IsOpen() ? port_.GetDevicePath() : std::string();
    std::erase(devices, active);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<FoundBoard> found = FindBoards(devices, config_->speed);
    QApplication::restoreOverrideCursor();
    if (found.empty()) {
        ShowMessage(QStringLiteral("Find board"),
                    QStringLiteral("No board answered on the %1 serial devices found.")
                        .arg(devices.size()));
        return;
    }
    QStringList choices;
    for (const FoundBoard& f : found)
        choices << QStringLiteral("%1  (FW Ver. %2)").arg(Q(f.device), Q(f.firmware));
    bool ok = false;
    const QString pick =
        QInputDialog::getItem(this, QStringLiteral("Find board"),
                              QStringLiteral("Boards that answered:"), choices, 0, false, &ok);
    if (!ok) return;
    const qsizetype i = choices.indexOf(pick);
    if (i >= 0) Act_ChangeComDeviceExecute(Q(found[static_cast<std::size_t>(i)].device));
}

void TMainForm::TmrGestCOMCMDTimer() {
    if (core_) core_->Tick();
}

void TMainForm::TmrRefreshStatusTimer() {
    // The status reads are queued by status polling, built with its page.
}

void TMainForm::StopStatusPolling() {
    TmrRefreshStatus->stop();
    cmdPolling->setText(QStringLiteral("Polling -> START"));
}

void TMainForm::cmdPollingClick() {
    if (TmrRefreshStatus->isActive()) {
        StopStatusPolling();
    } else {
        TmrRefreshStatus->start();
        cmdPolling->setText(QStringLiteral("Polling -> STOP"));
    }
}

void TMainForm::OnLinkState(std::string_view text) {
    SetPanelText(0, Q(text));
}
void TMainForm::OnTxLog(const std::string& line) {
    TshComDebug->AppendTx(line);
}
void TMainForm::OnRxLog(const std::string& line) {
    TshComDebug->AppendRx(line);
}

// Answers go to answer processing through the session cycle.
void TMainForm::OnAnswer(const std::uint8_t*, std::uint8_t) {}

void TMainForm::OnRxTimeout() {
    StopStatusPolling();
}

// Panel 0 says "Port lost"; the port's panel says what happened to it.
void TMainForm::OnPortLost(const std::string& why) {
    StopStatusPolling();
    SetPanelText(6, Q(why));
}

void TMainForm::OnFirmwareVersion(std::uint8_t, std::uint8_t, std::uint8_t,
                                  const std::string& text) {
    SetPanelText(5, QStringLiteral("FW Ver. ") + Q(text));
}

// The board's bytes as they are: any byte shows as some character.
void TMainForm::OnSerialNumber(const std::string& text) {
    SetPanelText(4, QStringLiteral("SN: ") +
                        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TMainForm::OnAnomalyStatus(std::uint32_t bits) {
    TshCfgWelder->fraAnomaly1->ShowBitWord(bits);
}

void TMainForm::OnIoStatus(const commands::IoStatusWords& w) {
    TshBrenta->fraBrentaOptoInputCPU->ShowBitWord(w.cpuInputs);
    TshBrenta->fraBrentaOptoInputEXP1->ShowBitWord(w.exp1Inputs);
    TshBrenta->fraBrentaOptoInputEXP2->ShowBitWord(w.exp2Inputs);
    TshBrenta->fraBrentaOptoOutputCPU->ShowBitWord(w.cpuOutputs);
    TshBrenta->fraBrentaOptoOutputEXP1->ShowBitWord(w.exp1Outputs);
    TshBrenta->fraBrentaOptoOutputEXP2->ShowBitWord(w.exp2Outputs);
}

void TMainForm::OnStopPolling() {
    StopStatusPolling();
}

void TMainForm::ShowRefusal(std::string_view caption, std::string_view text) {
    // No command goes out or comes in while the technician reads the refusal.
    TmrGestCOMCMD->stop();
    ShowMessage(Q(caption), Q(text));
    if (!closed_) TmrGestCOMCMD->start();
}

void TMainForm::ShowMissingAck(std::string_view caption, std::string_view text) {
    ShowMessage(Q(caption), Q(text));
}

void TMainForm::SpeedButtonInfoClick() {
    if (core_) core_->Session().RequestHardwareInfo();
}

void TMainForm::Act_SecurityCodeOnExecute() {
    if (core_) (void)commands::SendSecurityCode(core_->Protocol(), true);
}

void TMainForm::Act_SecurityCodeOffExecute() {
    if (core_) (void)commands::SendSecurityCode(core_->Protocol(), false);
}

void TMainForm::CmdClearRXLogClick() {
    TshComDebug->ClearRx();
}
void TMainForm::CmdClearTXLogClick() {
    TshComDebug->ClearTx();
}
void TMainForm::LsbCOMRxLogClick() {
    TshComDebug->CopySelectedRx();
}
void TMainForm::LsbCOMTxLogClick() {
    TshComDebug->CopySelectedTx();
}

void TMainForm::FileExit() {
    close();
}

void TMainForm::FormClose() {
    if (closed_) return;
    closed_ = true;
    // Both timers stop before anything they use is released.
    TmrGestCOMCMD->stop();
    TmrRefreshStatus->stop();
    trace_.push_back("exchange timer off");
    port_.ClosePort();
    trace_.push_back("port closed");
    // The controllers and the record go first, then the engine: queued
    // commands are dropped unsent with it.
    core_.reset();
    trace_.push_back("record destroyed");
    trace_.push_back("protocol destroyed");
    config_->lastTab = PgcMain->currentIndex();
    config_->pollAnalog = chkPollAnalogInput->isChecked();
    config_->pollOptoIO = chkPollOptoIO->isChecked();
    config_->pollAnomaly = chkPollAnomaly->isChecked();
    config_->pollSourceTime = chkPollSourceTime->isChecked();
    config_->pollHeadAnomalies = chkMultiHPolling->isChecked();
    trace_.push_back("settings stored");
    if (!options_.keepSettingsFile) {
        std::string error;
        if (!config_->Save(&error)) {
            // An unreadable file was announced at start and is left alone.
            if (config_->LoadError().empty())
                ShowMessage(
                    QStringLiteral("Attenzione!"),
                    QStringLiteral(
                        "The settings could not be saved:\n%1\n\n"
                        "Port, speed, last page and polling choices of this session are lost.")
                        .arg(Q(error)));
        } else if (config_->UsingFallback() && !config_->FallbackExisted()) {
            // Said once, when the settings first move; later runs read them there.
            ShowMessage(
                QStringLiteral("Attenzione!"),
                QStringLiteral(
                    "The program folder cannot be written, so the settings were saved to\n%1\n"
                    "and will be read from there from now on.")
                    .arg(Q(config_->FileName())));
            trace_.push_back("settings in fallback");
        }
        trace_.push_back("settings written");
    }
    config_.reset();
}

}  // namespace orvan::app
