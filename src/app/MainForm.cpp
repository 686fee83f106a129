#include "app/MainForm.h"
#include "app/QtText.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/BoardHistoryDialog.h"
#include "app/Config.h"
#include "app/WindowPlace.h"
#include "features/ConfigOperations.h"

namespace orvan::app {

namespace {

constexpr int kPanelWidths[TMainForm::kPanelCount] = {140, 103, 80, 80, 110, 110, 50};
// The longest text each fixed panel shows in practice: a panel is never
// narrower than that, whatever the font.
constexpr const char* kPanelSamples[TMainForm::kPanelCount - 1] = {
    "Waiting for answer...", "||||||||||||||||||||||||", "Cfg V.3",
    "Cfg Size=218",          "SN: SIM-000001",           "FW Ver. 1.02.07"};
constexpr int kProgressWidth = 110;

}  // namespace

TMainForm::TMainForm(TStartOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), sessionDevice_(options_.device) {
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setObjectName(QStringLiteral("MainForm"));

    TmrGestCOMCMD = new QTimer(this);
    TmrGestCOMCMD->setInterval(kExchangeIntervalMs);
    connect(TmrGestCOMCMD, &QTimer::timeout, this, &TMainForm::TmrGestCOMCMDTimer);

    BuildPages();
    BuildMenus();
    BuildSpeedBar();
    BuildStatusBar();

    // The owned objects, in the order the rest of the program relies on.
    const link::IClock& clock = options_.clock ? *options_.clock : systemClock_;
    core_ = std::make_unique<features::TSupervisorCore>(
        Line(), clock, static_cast<commands::INotifier&>(*this),
        static_cast<link::IExchangeListener*>(this));
    // The window and every page hear what they show. The pages' wiring goes
    // before the core (FormClose), so none outlives its attachment.
    core_->Attach(*this);
    core_->Polling().decimalSeparator = decimal_;
    core_->Naming().SetDirectory(options_.namingDirectory.empty() ? options_.settingsDirectory
                                                                  : options_.namingDirectory);
    WirePages();
    ReadPollFlags();
    BuildBoardTools();
    trace_.push_back("create protocol");
    trace_.push_back("create record");
    if (!options_.backupDirectory.empty())
        core_->Operations().SetBackupDir(options_.backupDirectory);
    BuildService();
    core_->History().Open(features::HistoryPathBeside(options_.backupDirectory));
    AddBoardHistoryItem(
        mnuFile, FileServiceReportItem, this, core_->History(),
        [this](const auto& image, const std::string& serial) {
            Run(features::ConfigWriteOperation(*core_, {image, false, false, true, serial}));
        });
    config_ = std::make_unique<TConfig>(options_.settingsDirectory, options_.fallbackDirectory);
    trace_.push_back("create settings");
    BuildFastExchange();
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
    // Narrower tabs: the pages of a multi-head board fit a 1024-pixel screen,
    // window frame included, without the strip's scroll arrows.
    PgcMain->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 5px; }"));
    column->addWidget(PgcMain, 1);

    // Reals are shown and typed with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    decimal_ =
        point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode()) : '.';
    for (const TPageEntry& entry : PageTable())
        PgcMain->addTab(entry.make(PgcMain), QString::fromLatin1(entry.caption));
    BuildMachineTabs();
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
    // Tab goes from the page to the polling row, left to right.
    QWidget* previous = PgcMain;
    for (QWidget* next : std::initializer_list<QWidget*>{
             cmdPolling, chkPollAnomaly, chkPollSourceTime, chkPollOptoIO, chkPollAnalogInput}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    setCentralWidget(central);
    connect(cmdPolling, &QPushButton::clicked, this, &TMainForm::cmdPollingClick);
    // Each polling cycle reads what the boxes say when it starts.
    for (QCheckBox* box : {chkPollOptoIO, chkPollAnalogInput, chkPollAnomaly, chkPollSourceTime})
        connect(box, &QCheckBox::toggled, this, &TMainForm::ReadPollFlags);
}

void TMainForm::WirePages() {
    const std::vector<TPageEntry>& table = PageTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        wirings_.push_back(table[i].wire(PgcMain->widget(static_cast<int>(i)), *this));
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
    FileServiceReportItem =
        item(mnuFile, "Service &report...", "Write what the board holds to one file to send");
    connect(FileServiceReportItem, &QAction::triggered, this, &TMainForm::FileServiceReport);
    mnuFile->addSeparator();
    QAction* print = item(mnuFile, "&Print", "Print current file");
    connect(print, &QAction::triggered, this, &TMainForm::FilePrint);
    connect(item(mnuFile, "P&rint Setup...", "Change printer setup"), &QAction::triggered, this,
            &TMainForm::FilePrintSetup);
    mnuFile->addSeparator();
    QAction* exit = item(mnuFile, "E&xit", "Exit this application");
    connect(exit, &QAction::triggered, this, &TMainForm::FileExit);
    // The same keys on every system (some have none for "Save As" or "Exit").
    const std::pair<QAction*, QKeySequence> keys[] = {
        {FileNewItem, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {FileOpenItem, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {FileSaveItem, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {FileSaveAsItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {print, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {exit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto& [action, key] : keys) action->setShortcut(key);

    mnuConfig = bar->addMenu(QStringLiteral("Config"));
    ConfigDownload = item(mnuConfig, "WRITE    PC  -->  Board", nullptr);
    connect(ConfigDownload, &QAction::triggered, this, &TMainForm::ConfigDownloadClick);
    ConfigUpload = item(mnuConfig, "READ      PC  <--  Board", nullptr);
    connect(ConfigUpload, &QAction::triggered, this, &TMainForm::ConfigUploadClick);
    VerifyPCTarget1 = item(mnuConfig, "VERIFY   PC <--> Board", nullptr);
    connect(VerifyPCTarget1, &QAction::triggered, this, &TMainForm::VerifyPCTarget1Click);
    mnuConfig->addSeparator();
    // Connected to the identity controller by BuildBoardTools.
    SetSerialNumberItem = item(mnuConfig, "Set Serial Number", nullptr);
    SetHoursCounterItem = item(mnuConfig, "Set welder hours counter", nullptr);
    SetFactoryTuningDateItem = item(mnuConfig, "Set welder factory tuning Date/Time", nullptr);

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
    Act_NetworkBoard = mnuPort->addAction(QStringLiteral("Network board..."));
    Act_NetworkBoard->setStatusTip(
        QStringLiteral("A board behind a serial device server (tcp:// or rfc2217:// address)"));
    connect(Act_NetworkBoard, &QAction::triggered, this, &TMainForm::Act_NetworkBoardExecute);
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
    HelpItems.push_back(item(mnuHelp, "&Contents", "Display the help contents screen"));
    HelpItems.back()->setShortcut(QKeySequence(Qt::Key_F1));
    HelpItems.push_back(item(mnuHelp, "&Search for Help On...", "Search help file for a topic"));
    HelpItems.push_back(item(mnuHelp, "&How to Use Help", "Help on using the help system"));
    mnuHelp->addSeparator();
    HelpItems.push_back(item(mnuHelp, "&About...", "Show program information"));
    connect(HelpItems[0], &QAction::triggered, this, &TMainForm::HelpContentsClick);
    connect(HelpItems[1], &QAction::triggered, this, &TMainForm::HelpSearchClick);
    connect(HelpItems[2], &QAction::triggered, this, &TMainForm::HelpHowToClick);
    connect(HelpItems[3], &QAction::triggered, this, &TMainForm::HelpAboutClick);
    RefreshPortDevices();
}

void TMainForm::BuildSpeedBar() {
    SpeedBar = addToolBar(QStringLiteral("SpeedBar"));
    SpeedBar->setObjectName(QStringLiteral("SpeedBar"));
    SpeedBar->setMovable(false);
    connect(SpeedBar->addAction(QStringLiteral("Info")), &QAction::triggered, this,
            &TMainForm::Act_COMReqHWInfoExecute);
    SpeedBar->addSeparator();
    const char* hints[4] = {"New|", "Open|", "Save|", "Save As|"};
    const char* texts[4] = {"New", "Open", "Save", "Save As"};
    void (TMainForm::*handlers[4])() = {&TMainForm::FileNew, &TMainForm::FileOpen,
                                        &TMainForm::FileSave, &TMainForm::FileSaveAs};
    // The same commands as these File menu items, whose hints say more.
    QAction* same[4] = {FileNewItem, FileOpenItem, FileSaveItem, FileSaveAsItem};
    for (int i = 0; i < 4; ++i) {
        QAction* a = SpeedBar->addAction(QString::fromLatin1(texts[i]));
        const auto [shortHint, longHint] = SplitHint(QString::fromLatin1(hints[i]));
        a->setToolTip(shortHint);
        a->setStatusTip(longHint.isEmpty() ? same[i]->statusTip() : longHint);
        connect(a, &QAction::triggered, this, handlers[i]);
    }
}

std::pair<QString, QString> TMainForm::SplitHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    if (bar < 0) return {hint, hint};
    return {hint.left(bar), hint.mid(bar + 1)};
}

void TMainForm::BuildStatusBar() {
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("StbMain"));
    for (int i = 0; i < kPanelCount; ++i) {
        auto* l = new QLabel(sb);
        l->setObjectName(QStringLiteral("StbMainPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < kPanelCount - 1) {
            // Fixed, so that a longer text never pushes the others aside.
            const int need =
                l->fontMetrics().horizontalAdvance(QString::fromLatin1(kPanelSamples[i])) +
                2 * l->frameWidth() + 8;
            l->setFixedWidth(std::max(kPanelWidths[i], need));
        } else {
            l->setMinimumWidth(kPanelWidths[i]);
        }
        panels_[static_cast<std::size_t>(i)] = l;
        // The last panel names where the line goes and takes the rest.
        sb->addPermanentWidget(l, i == kPanelCount - 1 ? 1 : 0);
    }
    // Right of the panels, its room kept while hidden: showing it moves nothing.
    cgaTransfer = new QProgressBar(sb);
    cgaTransfer->setObjectName(QStringLiteral("cgaTransfer"));
    cgaTransfer->setFixedWidth(kProgressWidth);
    QSizePolicy keep = cgaTransfer->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    cgaTransfer->setSizePolicy(keep);
    cgaTransfer->hide();
    sb->addPermanentWidget(cgaTransfer, 0);
    connect(sb, &QStatusBar::messageChanged, this, [this](const QString& note) {
        passingNote_ = note;
        ShowPanelText(kPanelCount - 1);
    });
}

QString TMainForm::PanelText(int panel) const {
    return (panel >= 0 && panel < kPanelCount) ? panelTexts_[static_cast<std::size_t>(panel)]
                                               : QString();
}

void TMainForm::SetPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= kPanelCount) return;
    const auto i = static_cast<std::size_t>(panel);
    panelTexts_[i] = text;
    ShowPanelText(panel);
}

void TMainForm::ShowPanelText(int panel) {
    const auto i = static_cast<std::size_t>(panel);
    QLabel* l = panels_[i];
    // The panels fill the whole bar, so the bar's passing notes (a write
    // acknowledged, a menu item's hint) are shown in the last panel while
    // they last.
    const QString& text =
        panel == kPanelCount - 1 && !passingNote_.isEmpty() ? passingNote_ : panelTexts_[i];
    // The panels keep their widths, so that no text pushes the others
    // aside: a longer one ends in an ellipsis, and is whole in the tooltip.
    const int room = l->contentsRect().width() - 2 * l->margin() - l->indent() - 4;
    l->setText(room > 0 ? l->fontMetrics().elidedText(text, Qt::ElideRight, room) : text);
    l->setToolTip(text);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The last panel's width follows the window's.
    for (int i = 0; i < kPanelCount; ++i) ShowPanelText(i);
}

void TMainForm::ShowStatus(const QString& text) {
    statusBar()->showMessage(text, 15000);
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
    if (!closed_) {
        // The exchange goes on while the user reads the questions: an outcome
        // given meanwhile waits for the answers, and starts no follow-up (such
        // as the verify after a write) when the answer is to close.
        askingClose_ = true;
        const bool close = ConfirmCloseDuringOperation() && ConfirmDiscardEdits();
        askingClose_ = false;
        if (!close) {
            TellHeld();
            event->ignore();
            return;
        }
        for (const THeldOutcome& h : held_)
            if (h.told != TTold::StatusBar) closingOutcome_ = h.outcome;
        held_.clear();
    }
    // An operation cut short says what the board holds and where its copies are.
    const std::string account = closed_ ? std::string() : StopOperationForClose();
    FormClose();
    event->accept();
    if (!account.empty()) ShowMessage(QStringLiteral("Attenzione!"), Q(account));
}

void TMainForm::FormActivate() {
    if (activated_ || closed_) return;
    activated_ = true;
    OpenConfiguredPort();
    TmrGestCOMCMD->start();
    trace_.push_back("exchange timer on");
    SetUpPages();
    ApplySettings();
    PlaceWindow();
    // Said once: a settings file that could not be read, or impossible values
    // replaced by their defaults.
    if (!config_->Notices().empty()) {
        QStringList lines;
        for (const std::string& n : config_->Notices()) lines << Q(n);
        ShowMessage(QStringLiteral("Attenzione!"), lines.join(QLatin1Char('\n')));
    }
}

void TMainForm::PlaceWindow() {
    // A size the caller set (a test, a screenshot) stands.
    if (testAttribute(Qt::WA_Resized)) return;
    QList<QRect> screens;
    if (const QScreen* main = QGuiApplication::primaryScreen())
        screens.push_back(main->availableGeometry());
    for (const QScreen* s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen()) screens.push_back(s->availableGeometry());
    const TConfig::TWindowSetting& w = config_->window;
    std::optional<QRect> saved;
    if (w.width > 0) saved = QRect(w.left, w.top, w.width, w.height);
    setGeometry(ChooseWindowPlace(saved, screens));
    if (saved && w.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::SetUpPages() {
    statusBar()->setSizeGripEnabled(true);
    for (int i = 2; i <= 5; ++i)
        panels_[static_cast<std::size_t>(i)]->setAlignment(Qt::AlignCenter);
    if (!options_.lineNote.empty()) SetPanelText(6, Q(options_.lineNote));
    trace_.push_back("set up pages");
}

void TMainForm::ApplySettings() {
    // A page index the window does not have leaves the first page shown
    // rather than an empty window.
    if (config_->lastTab >= 0 && config_->lastTab < kPageCount) {
        if (PgcMain->isTabVisible(config_->lastTab))
            PgcMain->setCurrentIndex(config_->lastTab);
        else
            pendingTab_ = config_->lastTab;
    }
    chkPollAnalogInput->setChecked(config_->pollAnalog);
    chkPollOptoIO->setChecked(config_->pollOptoIO);
    chkPollAnomaly->setChecked(config_->pollAnomaly);
    chkPollSourceTime->setChecked(config_->pollSourceTime);
    for (const auto& w : wirings_)
        if (w) w->ApplySettings(*config_);
    trace_.push_back("apply settings");
}

void TMainForm::FileExit() {
    close();
}

void TMainForm::FormClose() {
    if (closed_) return;
    closed_ = true;
    // The timer stops before anything it uses is released.
    TmrGestCOMCMD->stop();
    trace_.push_back("exchange timer off");
    DropLineNotifier();
    port_.ClosePort();
    trace_.push_back("port closed");
    // The controllers and the record go first, then the engine: queued
    // commands are dropped unsent with it.
    for (const auto& w : wirings_)
        if (w) w->StoreSettings(*config_);
    wirings_.clear();
    core_.reset();
    trace_.push_back("record destroyed");
    trace_.push_back("protocol destroyed");
    if (isVisible()) {
        const bool maximized = isMaximized();
        const QRect g = maximized ? normalGeometry() : geometry();
        config_->window = {g.left(), g.top(), g.width(), g.height(), maximized};
    }
    config_->lastTab = pendingTab_ >= 0 ? pendingTab_ : PgcMain->currentIndex();
    config_->pollAnalog = chkPollAnalogInput->isChecked();
    config_->pollOptoIO = chkPollOptoIO->isChecked();
    config_->pollAnomaly = chkPollAnomaly->isChecked();
    config_->pollSourceTime = chkPollSourceTime->isChecked();
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
            ShowMessage(QStringLiteral("Attenzione!"),
                        QStringLiteral("%1, so the settings were saved to\n%2\n"
                                       "and will be read from there from now on.")
                            .arg(config_->SystemFolder()
                                     ? QStringLiteral("The program is installed in a system "
                                                      "folder")
                                     : QStringLiteral("The program folder cannot be written"),
                                 Q(config_->FileName())));
            trace_.push_back("settings in fallback");
        }
        trace_.push_back("settings written");
    }
    config_.reset();
}

}  // namespace orvan::app
