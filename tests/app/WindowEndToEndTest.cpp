// The window on the board simulator behind a pseudo-terminal, in real time:
// the real serial port, its speeds and the whole line. Every other window test
// runs on the in-memory board with a manual clock.

#include <gtest/gtest.h>

#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/Config.h"
#include "app/MainForm.h"
#include "boardsim/PtyBoard.h"
#include "features/ConfigBackups.h"
#include "pages/PageWelderCfg.h"
#include "support/TempDir.h"

using namespace orvan::app;

namespace {

using orvan::test::ReadText;

int CheckedCount(const std::vector<QAction*>& actions) {
    int n = 0;
    for (QAction* a : actions) n += a->isChecked() ? 1 : 0;
    return n;
}

class WindowOnPty : public ::testing::Test {
  protected:
    std::string Dir() const { return dir_.path().toStdString() + "/"; }
    std::string SettingsFile() const { return Dir() + kSettingsFileName; }
    std::string Backups() const { return Dir() + "backups"; }

    std::unique_ptr<TMainForm> StartSimulated() {
        board_ = std::make_unique<orvan::sim::TPtyBoard>();
        std::string error;
        if (!board_->Open(&error) || !board_->LoadOrCreateEeprom(&error)) ADD_FAILURE() << error;
        board_->Start();
        TStartOptions o;
        o.settingsDirectory = Dir();
        o.device = board_->DevicePath();
        o.backupDirectory = Backups();
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        return f;
    }

    std::vector<QAction*> PortActions(const TMainForm& f) const {
        std::vector<QAction*> all(f.PortCom.begin(), f.PortCom.end());
        all.insert(all.end(), f.PortDevices.begin(), f.PortDevices.end());
        return all;
    }

    QTemporaryDir dir_;
    std::unique_ptr<orvan::sim::TPtyBoard> board_;
    orvan::test::TRecordingDialogs dialogs;  // every question answered Yes
    std::vector<std::string>& messages = dialogs.messages;
    std::vector<std::string>& questions = dialogs.questions;
};

TEST_F(WindowOnPty, PortAndSpeedChangesReopenTheLink) {
    auto f = StartSimulated();
    const std::string pty = board_->DevicePath();
    ASSERT_TRUE(f->Port().IsOpen());
    EXPECT_EQ(f->Port().GetPortName(), pty);
    EXPECT_EQ(CheckedCount(PortActions(*f)), 0);  // not in the menu until it is refreshed
    f->RefreshPortDevices();
    EXPECT_EQ(CheckedCount(PortActions(*f)), 1);

    f->Act_ChangeComSpeedExecute(19200);
    EXPECT_TRUE(f->Port().IsOpen());
    EXPECT_EQ(f->Port().GetBaudRate(), 19200);
    EXPECT_EQ(f->Config()->speed, 19200);
    EXPECT_TRUE(f->PortSpeed[1]->isChecked());
    EXPECT_TRUE(PumpUntil([&] { return board_->LineSpeed() == 19200; }, 2000));
    // A command-line device is for this run: the stored port is untouched.
    EXPECT_EQ(f->Config()->port, 1);
    EXPECT_EQ(f->Config()->device, "");

    EXPECT_EQ(f->PanelText(6).toStdString(), pty);
    f->Act_ChangeComPortExecute(7);
    EXPECT_EQ(f->Port().GetPortName(), "COM7");
    EXPECT_EQ(f->Port().GetBaudRate(), 19200);
    if (f->Port().IsOpen())
        EXPECT_EQ(f->PanelText(6), "COM7");
    else  // and why: absent, busy or no access
        EXPECT_TRUE(f->PanelText(6).startsWith(QStringLiteral("COM7 (closed: ")))
            << f->PanelText(6).toStdString();
    EXPECT_TRUE(f->PortCom[6]->isChecked());
    EXPECT_EQ(CheckedCount(PortActions(*f)), 1);

    f->Act_ChangeComDeviceExecute(QString::fromStdString(pty));
    EXPECT_TRUE(f->Port().IsOpen());
    EXPECT_EQ(f->Port().GetPortName(), pty);
    EXPECT_EQ(f->Config()->device, pty);  // picked in the menu: kept
    EXPECT_FALSE(f->PortCom[6]->isChecked());
    f->FormClose();
    EXPECT_NE(ReadText(SettingsFile()).find("Device=" + pty), std::string::npos);
}

TEST_F(WindowOnPty, WriteThenReadAtTheFastestSpeed) {
    using orvan::pages::TPageWelderCfg;
    auto f = StartSimulated();
    f->Act_ChangeComSpeedExecute(56700);
    ASSERT_TRUE(PumpUntil([&] { return board_->LineSpeed() == 56700; }, 2000));
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    f->FileNew();
    TPageWelderCfg::SetCell(cfg->StrGridAnOffsetAverage, 1, 1, QStringLiteral("17"));
    f->ConfigDownloadClick();
    // The write ends with its outcome and the verification offered, and accepted.
    ASSERT_TRUE(PumpUntil([&] { return !questions.empty() && messages.size() >= 2; }, 30000));
    const std::string title = std::string(kApplicationTitle) + " | ";
    EXPECT_EQ(messages[0].rfind(title + "Configuration written to the board: 24 of 24 blocks", 0),
              0u)
        << messages[0];
    EXPECT_EQ(messages[1],
              title + "The configuration on the board is identical to the one on the PC.");
    EXPECT_EQ(orvan::features::ListBackups(Backups()).size(), 1u);

    f->FileNew();
    f->ConfigUploadClick();
    ASSERT_TRUE(PumpUntil([&] { return messages.size() >= 3; }, 30000));
    EXPECT_EQ(messages[2], title + "Configuration read from the board: 12 of 12 blocks.");
    EXPECT_EQ(TPageWelderCfg::Cell(cfg->StrGridAnOffsetAverage, 1, 1), "17");
}

// With the exchange timer stopped once the first request is out, only the
// port's notifier can take the answers and send what follows: the whole read
// still completes.
TEST_F(WindowOnPty, FastExchangeRunsOnThePortsNotifier) {
    auto f = StartSimulated();
    f->Act_ChangeComSpeedExecute(56700);
    ASSERT_TRUE(PumpUntil([&] { return board_->LineSpeed() == 56700; }, 2000));
    f->Act_FastExchange->trigger();
    ASSERT_TRUE(f->FastExchangeOn());
    f->TmrGestCOMCMD->stop();
    // The first read: the configuration's first block.
    f->FileNew();
    f->ConfigUploadClick();
    f->TmrGestCOMCMDTimer();
    ASSERT_TRUE(f->Core()->Protocol().InFlight());
    ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }, 10000))
        << "the answers did not reach the engine";
    EXPECT_EQ(messages[0], std::string(kApplicationTitle) +
                               " | Configuration read from the board: 12 of 12 blocks.");
    EXPECT_FALSE(f->TmrGestCOMCMD->isActive());
}

}  // namespace
