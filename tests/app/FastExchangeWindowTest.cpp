// Fast exchange and the line capture in the window, on the simulated board in
// memory: the "Settings" item is kept in the settings file and marked in the
// status bar, --fast turns it on for one run only, a configuration read takes
// far fewer ticks, and the "COM Debug" page lists each captured frame with
// its meaning and saves the capture file.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/Config.h"
#include "app/MainForm.h"
#include "link/LineCapture.h"
#include "pages/LogListModel.h"
#include "pages/PageComDebug.h"

using namespace orvan::app;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class FastWindow : public ::testing::Test {
  protected:
    std::unique_ptr<TMainForm> Start(bool fastOption = false) {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.backupDirectory = o.settingsDirectory + "backups";
        o.fast = fastOption;
        board_.Connect(o);
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        return f;
    }
    std::string Settings() const {
        return ReadAll(dir_.path().toStdString() + "/" + kSettingsFileName);
    }
    // Ticks a configuration read takes.
    int ReadTicks(TMainForm& f) {
        const std::size_t before = dialogs.messages.size();
        f.ConfigUploadClick();  // READ      PC  <--  Board
        int ticks = 0;
        EXPECT_TRUE(StepUntil(
            f, board_.clock,
            [&] {
                ++ticks;
                return dialogs.messages.size() > before && f.Core()->Idle();
            },
            20000));
        EXPECT_TRUE(f.ConfigLoaded()) << (dialogs.messages.empty() ? "" : dialogs.messages.back());
        return ticks;
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs;
};

TEST_F(FastWindow, SettingsItemIsKeptAndShownInTheStatusBar) {
    {
        auto f = Start();
        EXPECT_FALSE(f->Act_FastExchange->isChecked());
        EXPECT_TRUE(f->lblFastExchange->isHidden());
        EXPECT_FALSE(f->FastExchangeOn());
        f->resize(1024, 768);
        f->show();
        QCoreApplication::processEvents();
        const auto panelGeometry = [&] {
            QCoreApplication::processEvents();
            std::vector<QRect> g;
            for (int i = 0; i < TMainForm::kPanelCount - 1; ++i)
                if (auto* l = f->findChild<QLabel*>(QStringLiteral("StbMainPanel%1").arg(i)))
                    g.push_back(l->geometry());
            return g;
        };
        const std::vector<QRect> before = panelGeometry();
        ASSERT_FALSE(before.empty());
        f->Act_FastExchange->trigger();
        EXPECT_TRUE(f->FastExchangeOn());
        EXPECT_FALSE(f->lblFastExchange->isHidden());
        EXPECT_EQ(f->lblFastExchange->text(), QStringLiteral("Fast exchange"));
        // The mark shows right of the panels; the fixed ones stay where they were.
        EXPECT_EQ(panelGeometry(), before);
        EXPECT_GT(f->lblFastExchange->x(), before.back().right());
        f->FormClose();
    }
    EXPECT_NE(Settings().find("FastExchange=1"), std::string::npos) << Settings();
    {
        auto f = Start();
        EXPECT_TRUE(f->Act_FastExchange->isChecked());
        EXPECT_TRUE(f->FastExchangeOn());
        f->Act_FastExchange->trigger();
        EXPECT_FALSE(f->FastExchangeOn());
        EXPECT_TRUE(f->lblFastExchange->isHidden());
        f->FormClose();
    }
    EXPECT_NE(Settings().find("FastExchange=0"), std::string::npos) << Settings();
}

TEST_F(FastWindow, CommandLineTurnsItOnForThisRunOnly) {
    {
        auto f = Start(true);
        EXPECT_TRUE(f->FastExchangeOn());
        EXPECT_FALSE(f->lblFastExchange->isHidden());
        f->FormClose();
    }
    // Untouched in the menu: the file stays as plain as it was.
    EXPECT_EQ(Settings().find("FastExchange"), std::string::npos) << Settings();
    auto f = Start();
    EXPECT_FALSE(f->FastExchangeOn());
}

TEST_F(FastWindow, ConfigurationReadTakesFarFewerTicks) {
    board_.port.Pace(&board_.clock, 56700);
    auto slow = Start();
    const int slowTicks = ReadTicks(*slow);
    const auto slowImage = std::vector<std::uint8_t>(slow->Session()->configImage.begin(),
                                                     slow->Session()->configImage.end());
    slow->FormClose();
    slow.reset();

    auto fast = Start(true);
    const int fastTicks = ReadTicks(*fast);
    EXPECT_EQ(std::vector<std::uint8_t>(fast->Session()->configImage.begin(),
                                        fast->Session()->configImage.end()),
              slowImage);
    // The default engine needs at least five ticks an exchange; fast exchange
    // takes an answer on the tick that sees it and sends the next at once.
    EXPECT_LT(fastTicks * 2, slowTicks) << fastTicks << " against " << slowTicks;
    std::printf("configuration read: %d ticks fast, %d default\n", fastTicks, slowTicks);
}

TEST_F(FastWindow, ComDebugListsFramesWithTheirMeaningAndSavesTheCapture) {
    auto f = Start();
    auto& page = *f->FindPage<orvan::pages::TPageComDebug>();
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] { return f->Core()->Idle(); }));
    EXPECT_EQ(page.FrameModel()->Count(), 0) << "nothing is captured before the box is ticked";

    page.chkCapture->setChecked(true);
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] { return f->Core()->Idle(); }));
    ASSERT_GE(page.FrameModel()->Count(), 2);
    const std::string tx(page.FrameModel()->Line(0));
    const std::string rx(page.FrameModel()->Line(1));
    EXPECT_NE(tx.find(" TX 43 4F 42 53 "), std::string::npos) << tx;
    EXPECT_NE(tx.find(": ReadVariable "), std::string::npos) << tx;
    EXPECT_NE(tx.find("checksum"), std::string::npos) << tx;
    EXPECT_NE(rx.find(" RX 43 4F 42 53 "), std::string::npos) << rx;
    EXPECT_NE(rx.find(": ACK ReadVariable "), std::string::npos) << rx;

    const std::string path = dir_.path().toStdString() + "/session.cap";
    dialogs.chosen = path;
    page.CmdSaveCapture->click();
    std::vector<orvan::link::TCaptureFrame> frames;
    ASSERT_TRUE(orvan::link::ParseCapture(ReadAll(path), frames));
    EXPECT_EQ(static_cast<int>(frames.size()), page.FrameModel()->Count());
    EXPECT_TRUE(dialogs.messages.empty());

    // A folder that does not exist: said, nothing half-written.
    dialogs.chosen = dir_.path().toStdString() + "/no/such/folder/x.cap";
    page.CmdSaveCapture->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("The capture was not saved"), std::string::npos);

    page.chkCapture->setChecked(false);
    page.CmdClearCapture->click();
    EXPECT_EQ(page.FrameModel()->Count(), 0);
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] { return f->Core()->Idle(); }));
    EXPECT_EQ(page.FrameModel()->Count(), 0);
}

// A refusal's box holds the exchange in fast exchange too: nothing goes out
// while it is open, however often the window ticks or the port is read.
TEST_F(FastWindow, RefusalBoxHoldsTheExchange) {
    auto f = Start(true);
    board_.model.Eeprom() = orvan::sim::DefaultEeprom();
    orvan::sim::ForcedError e;
    e.code = 10;
    e.remaining = 1;
    e.type = 0x02;  // ReadMemory
    e.after = 3;
    board_.model.ForceError(e);
    std::size_t sentWhileOpen = 0;
    dialogs.whileMessage = [&](const QString& caption, const QString&) {
        if (!caption.startsWith(QStringLiteral("Comunication error!"))) return;
        const std::size_t before = board_.port.bodies.size();
        f->Act_COMReqHWInfoExecute();  // queued while the box is open
        for (int i = 0; i < 20; ++i) {
            f->TmrGestCOMCMDTimer();
            (void)f->Core()->OnLineReadable();
            board_.clock.Advance(30);
        }
        sentWhileOpen = board_.port.bodies.size() - before;
    };
    f->ConfigUploadClick();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] { return dialogs.messages.size() >= 2; }));
    EXPECT_NE(dialogs.messages[0].find("Comunication error!"), std::string::npos)
        << dialogs.messages[0];
    EXPECT_EQ(sentWhileOpen, 0u);
    EXPECT_NE(dialogs.messages[1].find("stopped"), std::string::npos) << dialogs.messages[1];
    // Once it is closed the queued requests go out.
    const std::size_t after = board_.port.bodies.size();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] { return f->Core()->Idle(); }));
    EXPECT_GT(board_.port.bodies.size(), after);
}

}  // namespace
