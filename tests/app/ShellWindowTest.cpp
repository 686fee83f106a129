// The main window as a shell, on the board in memory: where it opens and
// what place it keeps, its keys, where its settings live, a long read that
// shows its progress and cannot be started over itself, status panel 0
// while polling runs, and a page's write told as the board answered it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/Config.h"
#include "app/HelpBrowser.h"
#include "app/MainForm.h"
#include "app/WindowPlace.h"
#include "link/ExchangeCycle.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PagePelta.h"
#include "pages/PageWelderLog.h"
#include "support/TempDir.h"

using namespace orvan::app;

namespace {

// A workshop laptop: 1024x768 with a 40-pixel task bar.
const QRect kLaptop(0, 0, 1024, 728);
const QRect kWide(1024, 0, 1920, 1040);

QRect Room(const QRect& screen) {
    return screen.adjusted(kFrameSide, kFrameTop, -kFrameSide, -kFrameSide);
}

TEST(WindowPlace, SavedPlacesAreKeptWhereReachableAndFirstStartsFitTheScreen) {
    struct Case {
        const char* what;
        std::optional<QRect> saved;
        QList<QRect> screens;
        QRect onScreen;            // the room the window must be inside
        QSize size;                // the size it must have
        std::optional<QPoint> at;  // where it must be, when kept
    };
    const Case cases[] = {
        {"first start on the laptop", std::nullopt, {kLaptop}, Room(kLaptop), {1000, 688}, {}},
        {"first start on a wide screen",
         std::nullopt,
         {kWide},
         Room(kWide),
         kPreferredWindowSize,
         {}},
        {"kept on the main screen",
         QRect(100, 100, 900, 600),
         {kLaptop},
         Room(kLaptop),
         {900, 600},
         QPoint(100, 100)},
        {"kept on a second screen still there",
         QRect(1500, 100, 900, 600),
         {kLaptop, kWide},
         Room(kWide),
         {900, 600},
         QPoint(1500, 100)},
        {"on a second screen since unplugged",
         QRect(1500, 100, 900, 600),
         {kLaptop},
         Room(kLaptop),
         {900, 600},
         {}},
        {"title bar above every screen",
         QRect(100, -500, 800, 600),
         {kLaptop},
         Room(kLaptop),
         {800, 600},
         {}},
        {"larger than its screen",
         QRect(0, 40, 3000, 2000),
         {kLaptop},
         Room(kLaptop),
         Room(kLaptop).size(),
         {}},
        {"half off the right edge",
         QRect(700, 100, 900, 600),
         {kLaptop},
         Room(kLaptop),
         {900, 600},
         QPoint(1016 - 900, 100)},
    };
    for (const Case& c : cases) {
        const QRect r = ChooseWindowPlace(c.saved, c.screens);
        EXPECT_TRUE(c.onScreen.contains(r)) << c.what;
        EXPECT_EQ(r.size(), c.size) << c.what;
        if (c.at) {
            EXPECT_EQ(r.topLeft(), *c.at) << c.what;
        }
    }
}

class ShellWindow : public ::testing::Test {
  protected:
    std::string Dir() const { return dir_.path().toStdString() + "/"; }

    std::unique_ptr<TMainForm> Start(TStartOptions o = {}) {
        if (o.settingsDirectory.empty()) o.settingsDirectory = Dir();
        o.backupDirectory = Dir() + "backups";
        board_.Connect(o);
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs_);
        f->show();
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        return f;
    }
    bool Step(TMainForm& f, const std::function<bool()>& done, int ticks = 5000) {
        return StepUntil(f, board_.clock, done, ticks);
    }
    static QRect MainRoom() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs_;
};

TEST_F(ShellWindow, FirstStartFitsTheScreenAndTheWindowComesBackWhereItWasLeft) {
    const QRect place(40, 60, 700, 500);
    {
        auto f = Start();
        EXPECT_TRUE(MainRoom().contains(f->geometry())) << f->geometry().width();
        // As large as the pages are laid out for, where the screen has room.
        EXPECT_EQ(f->width(), std::min(kPreferredWindowSize.width(), Room(MainRoom()).width()));
        EXPECT_EQ(f->height(), std::min(kPreferredWindowSize.height(), Room(MainRoom()).height()));
        f->setGeometry(place);
        QApplication::processEvents();
        f->close();
        ASSERT_TRUE(f->Closed());
    }
    auto f = Start();
    EXPECT_EQ(f->geometry(), place);
    EXPECT_TRUE(dialogs_.messages.empty());
    f->close();
}

TEST_F(ShellWindow, ASavedSizeNoWindowHasIsRefusedAndSaid) {
    const char* const bad[] = {
        "[WINDOW]\nLeft=10\nTop=10\nWidth=5\nHeight=400\n",
        "[WINDOW]\nLeft=10\nTop=10\nWidth=800\nHeight=99999\n",
        "[WINDOW]\nLeft=-2000000\nTop=10\nWidth=800\nHeight=600\n",
        "[WINDOW]\nLeft=10\nTop=10\nWidth=800\n",
    };
    for (const char* text : bad) {
        orvan::test::WriteText(Dir() + kSettingsFileName, text);
        dialogs_.messages.clear();
        auto f = Start();
        ASSERT_EQ(dialogs_.messages.size(), 1u) << text;
        EXPECT_NE(dialogs_.messages[0].find("[WINDOW]"), std::string::npos) << dialogs_.messages[0];
        EXPECT_NE(dialogs_.messages[0].find(kSettingsFileName), std::string::npos);
        // The usual size, on the screen.
        EXPECT_TRUE(MainRoom().contains(f->geometry())) << text;
        EXPECT_EQ(f->width(), std::min(kPreferredWindowSize.width(), Room(MainRoom()).width()));
        f->FormClose();
    }
}

TEST_F(ShellWindow, KeysReachTheirCommands) {
    auto f = Start();
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    const auto key = [&](QKeySequence k) {
        QTest::keySequence(f.get(), k);
        QApplication::processEvents();
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_TRUE(f->ConfigLoaded());
    struct FileKey {
        QKeySequence key;
        bool save;
    };
    for (const FileKey& k : {FileKey{QKeySequence(Qt::CTRL | Qt::Key_O), false},
                             FileKey{QKeySequence(Qt::CTRL | Qt::Key_S), true},
                             FileKey{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), true}}) {
        const std::size_t before = dialogs_.requests.size();
        key(k.key);
        ASSERT_EQ(dialogs_.requests.size(), before + 1) << k.key.toString().toStdString();
        EXPECT_EQ(dialogs_.requests.back().save, k.save) << k.key.toString().toStdString();
    }
    key(QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(dialogs_.prints, 1);
    EXPECT_EQ(f->HelpWindow(), nullptr);
    key(QKeySequence(Qt::Key_F1));
    ASSERT_NE(f->HelpWindow(), nullptr);
    EXPECT_TRUE(f->HelpWindow()->isVisible());
    f->HelpWindow()->close();
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    key(QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(f->Closed());
}

TEST_F(ShellWindow, AnInstalledProgramKeepsItsSettingsInTheUsersFolder) {
    // Run as root, a system folder is writable: the settings must still not go there.
    const std::string system = "/usr/bin/";
    const std::string beside = system + kSettingsFileName;
    ASSERT_FALSE(std::filesystem::exists(beside));
    TStartOptions o;
    o.settingsDirectory = system;
    o.fallbackDirectory = Dir() + "user/OrvanSuperV/";
    {
        auto f = Start(o);
        f->PgcMain->setCurrentIndex(3);
        f->close();
    }
    const bool leaked = std::filesystem::exists(beside);
    if (leaked) std::filesystem::remove(beside);
    EXPECT_FALSE(leaked);
    EXPECT_NE(orvan::test::ReadText(o.fallbackDirectory + kSettingsFileName).find("LastTab=3"),
              std::string::npos);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find("system folder"), std::string::npos)
        << dialogs_.messages[0];
    EXPECT_NE(dialogs_.messages[0].find(o.fallbackDirectory), std::string::npos);
}

TEST_F(ShellWindow, TheEventLogReadCountsItsBytesAndCannotBeStartedOverItself) {
    auto f = Start();
    QPushButton* read = f->FindPage<orvan::pages::TPageWelderLog>()->btnReadEventLog;
    read->click();
    ASSERT_TRUE(Step(*f, [&] { return f->cgaTransfer->value() > 0; }));
    EXPECT_FALSE(read->isEnabled());
    EXPECT_TRUE(f->cgaTransfer->isVisible());
    const int first = f->cgaTransfer->value();
    EXPECT_EQ(f->cgaTransfer->maximum(), static_cast<int>(orvan::link::kEventLogSize));
    // Clicked again while it runs: nothing starts, nothing is refused in a box.
    read->click();
    QApplication::processEvents();
    EXPECT_TRUE(dialogs_.messages.empty());
    ASSERT_TRUE(Step(*f, [&] { return f->cgaTransfer->value() > first; }));
    ASSERT_TRUE(Step(*f, [&] { return Settled(*f); }));
    EXPECT_TRUE(read->isEnabled());
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_FALSE(f->cgaTransfer->isVisible());
    f->FormClose();
}

TEST_F(ShellWindow, PollingShowsTheBoardsAnswersInPanelZeroNotAConstantWait) {
    auto f = Start();
    f->cmdPollingClick();
    const QString ack = QString::fromLatin1(orvan::link::kLinkAck.data(),
                                            static_cast<qsizetype>(orvan::link::kLinkAck.size()));
    ASSERT_TRUE(Step(*f, [&] { return f->PanelText(0) == ack; }));
    int waits = 0;
    for (int i = 0; i < 100; ++i) {
        Step(
            *f, [] { return false; }, 1);
        waits += f->PanelText(0) == ack ? 0 : 1;
    }
    EXPECT_EQ(waits, 0);
    EXPECT_TRUE(f->Core()->Operations().BackgroundBusy());
    // A silent board is still said at once.
    board_.port.silent = true;
    const QString timeout = QString::fromLatin1(
        orvan::link::kLinkTimeout.data(), static_cast<qsizetype>(orvan::link::kLinkTimeout.size()));
    EXPECT_TRUE(Step(
        *f, [&] { return f->PanelText(0) == timeout; }, 400))
        << f->PanelText(0).toStdString();
    f->FormClose();
}

TEST_F(ShellWindow, APagesWriteSaysWhatTheBoardAnswered) {
    board_.model.boardType = 0x0800;  // diameter and height
    auto f = Start();
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(Step(*f, [&] { return Settled(*f); }));
    orvan::pages::TPageDiameter& d = *f->FindPage<orvan::pages::TPageDiameter>();
    d.btnBirLoadCfg->click();
    ASSERT_TRUE(Step(*f, [&] { return Settled(*f); }));
    f->statusBar()->clearMessage();
    d.btnBirWrVar[2]->click();
    ASSERT_TRUE(Step(*f, [&] { return Settled(*f); }));
    const std::string said = f->statusBar()->currentMessage().toStdString();
    EXPECT_NE(said.find("acknowledged"), std::string::npos) << said;
    EXPECT_NE(said.find("0x0902"), std::string::npos) << said;
    // The note is seen: in the last panel while it lasts, then the line again.
    auto* last = f->statusBar()->findChild<QLabel*>(
        QStringLiteral("StbMainPanel%1").arg(TMainForm::kPanelCount - 1));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->toolTip().toStdString(), said);
    EXPECT_TRUE(last->isVisible());
    const QString line = f->PanelText(TMainForm::kPanelCount - 1);
    f->statusBar()->clearMessage();
    EXPECT_EQ(last->toolTip(), line);
    EXPECT_TRUE(dialogs_.messages.empty());
    // The page says which of its fields the board took, with the values sent.
    const QString note = d.lblNote->text();
    EXPECT_TRUE(d.lblNote->isVisibleTo(&d));
    EXPECT_TRUE(note.startsWith("The board acknowledged ")) << note.toStdString();
    for (const char* field : {"edtBirDiamMmMax", "edtBirDiamVmax"})
        EXPECT_TRUE(note.contains(d.EditOf(field)->text())) << field << " " << note.toStdString();
    EXPECT_TRUE(note.contains("Diameter max (V)")) << note.toStdString();
    // A board that takes the request but never answers is not said to have
    // acknowledged it.
    f->statusBar()->clearMessage();
    board_.port.silent = true;
    d.btnBirWrVar[2]->click();
    Step(
        *f, [] { return false; }, 200);
    EXPECT_EQ(f->statusBar()->currentMessage().toStdString().find("acknowledged"),
              std::string::npos);
    f->FormClose();
}

// Until the board names its type the machine pages wait behind one button,
// so the strip fits 1024 px; the page left open at the last close comes back
// once the board has it.
TEST_F(ShellWindow, TheMachinePagesWaitForTheBoardToNameItsType) {
    board_.model.boardType = 0x0500;  // pelta
    QTabWidget* tabs = nullptr;
    int pelta = -1;
    {
        auto f = Start();
        tabs = f->PgcMain;
        QToolButton* more = f->btnMachinePages;
        pelta = tabs->indexOf(f->FindPage<orvan::pages::TPagePelta>());
        const int flanging = tabs->indexOf(f->FindPage<orvan::pages::TPageFlanging>());
        int shown = 0;
        for (int i = 0; i < tabs->count(); ++i) shown += tabs->isTabVisible(i) ? 1 : 0;
        EXPECT_EQ(shown, tabs->count() - 4);
        EXPECT_TRUE(more->isVisible());
        EXPECT_LE(tabs->tabBar()->sizeHint().width() + more->sizeHint().width(), 975);
        // The keys that walk the tabs pass the hidden ones by.
        for (int i = 0; i < tabs->count(); ++i) {
            QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
            EXPECT_TRUE(tabs->isTabVisible(tabs->currentIndex())) << tabs->currentIndex();
        }
        // Without a board, any machine page is one choice away.
        const QList<QAction*> items = more->menu()->actions();
        ASSERT_EQ(items.size(), 4);
        items.back()->trigger();
        EXPECT_TRUE(tabs->isTabVisible(flanging));
        EXPECT_EQ(tabs->currentIndex(), flanging);
        // The button asks the board; its pages alone keep their tabs.
        more->click();
        ASSERT_TRUE(Step(*f, [&] { return !more->isVisible(); }));
        EXPECT_TRUE(tabs->isTabVisible(pelta));
        EXPECT_FALSE(tabs->isTabVisible(flanging));
        tabs->setCurrentIndex(pelta);
        f->close();
    }
    auto f = Start();
    EXPECT_NE(f->PgcMain->currentIndex(), pelta) << "not before the board said it has it";
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(Step(*f, [&] { return !f->btnMachinePages->isVisible(); }));
    EXPECT_EQ(f->PgcMain->currentIndex(), pelta);
    f->close();
}

}  // namespace
