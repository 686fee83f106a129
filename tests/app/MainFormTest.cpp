#include <gtest/gtest.h>

#include <QActionGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/Config.h"
#include "app/MainForm.h"
#include "frames/Fraanomaly.h"
#include "frames/Fraiostatus.h"
#include "frames/IndicatorShape.h"
#include "pages/LogListModel.h"
#include "pages/LogView.h"
#include "pages/PageComDebug.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PageWelderVelkor.h"
#include "support/TempDir.h"

using namespace orvan::app;

namespace {

using orvan::test::ReadText;
using orvan::test::WriteText;

int CheckedCount(const std::vector<QAction*>& actions) {
    int n = 0;
    for (QAction* a : actions) n += a->isChecked() ? 1 : 0;
    return n;
}

class MainFormTest : public ::testing::Test {
  protected:
    std::string Dir() const { return dir_.path().toStdString() + "/"; }
    std::string SettingsFile() const { return Dir() + kSettingsFileName; }

    std::unique_ptr<TMainForm> Start(TStartOptions o = {}) {
        if (o.settingsDirectory.empty()) o.settingsDirectory = Dir();
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        return f;
    }

    // A window on the simulated board in memory, stepped on the manual clock.
    std::unique_ptr<TMainForm> StartInMemory() {
        TStartOptions o;
        sim_.Connect(o);
        return Start(o);
    }
    bool Step(TMainForm& f, const std::function<bool()>& done) {
        return StepUntil(f, sim_.clock, done);
    }

    std::vector<QAction*> PortActions(const TMainForm& f) const {
        std::vector<QAction*> all(f.PortCom.begin(), f.PortCom.end());
        all.insert(all.end(), f.PortDevices.begin(), f.PortDevices.end());
        return all;
    }

    QTemporaryDir dir_;
    TInProcessBoard sim_;
    orvan::test::TRecordingDialogs dialogs;
    std::vector<std::string>& messages = dialogs.messages;
};

TEST_F(MainFormTest, StartsAndClosesInOrderWithDefaults) {
    auto f = Start();
    const std::vector<std::string> start = {
        "create protocol",   "create record", "create settings", "open port COM1",
        "exchange timer on", "set up pages",  "apply settings"};
    EXPECT_EQ(f->Trace(), start);
    EXPECT_EQ(f->Port().GetPortName(), "COM1");
    EXPECT_EQ(f->Port().GetBaudRate(), 9600);
    EXPECT_TRUE(f->PortCom[0]->isChecked());
    EXPECT_TRUE(f->PortSpeed[0]->isChecked());
    EXPECT_EQ(CheckedCount(PortActions(*f)), 1);
    EXPECT_EQ(f->PgcMain->currentIndex(), 0);
    EXPECT_TRUE(f->chkPollAnalogInput->isChecked());
    EXPECT_FALSE(f->chkPollOptoIO->isChecked());  // ticked in the form, cleared by the settings
    EXPECT_FALSE(f->chkPollAnomaly->isChecked());
    EXPECT_FALSE(f->chkPollSourceTime->isChecked());
    EXPECT_FALSE(f->FindPage<orvan::pages::TPageMultiHead>()->chkMultiHPolling->isChecked());
    EXPECT_TRUE(f->TmrGestCOMCMD->isActive());
    EXPECT_EQ(f->TmrGestCOMCMD->interval(), 30);
    EXPECT_FALSE(f->Core()->Operations().BackgroundBusy()) << "no polling before the button";
    // The buffers of the board's images start empty.
    const auto& image = f->Session()->configImage;
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(f->Core()->Logs().tuningLogImage.size(), 320u);

    // A later activation repeats nothing.
    f->FormActivate();
    EXPECT_EQ(f->Trace().size(), start.size());

    f->FormClose();
    const std::vector<std::string> close(f->Trace().begin() + static_cast<long>(start.size()),
                                         f->Trace().end());
    const std::vector<std::string> expected = {"exchange timer off", "port closed",
                                               "record destroyed",   "protocol destroyed",
                                               "settings stored",    "settings written"};
    EXPECT_EQ(close, expected);
    EXPECT_FALSE(f->TmrGestCOMCMD->isActive());
    EXPECT_EQ(f->Protocol(), nullptr);
    EXPECT_TRUE(messages.empty());

    const std::string text = ReadText(SettingsFile());
    std::size_t at = 0;
    for (const char* key :
         {"[COM]", "Port=1", "Speed=9600", "[PROGRAM]", "LastTab=0", "[POLLING]", "Analog=1",
          "OptoIO=0", "Anomaly=0", "WelderHCouner=0", "MultiHHeadAnomaly=0"}) {
        const std::size_t p = text.find(key, at);
        EXPECT_NE(p, std::string::npos) << key << " in order in\n" << text;
        if (p != std::string::npos) at = p;
    }
    EXPECT_EQ(text.find("Device"), std::string::npos);
}

TEST_F(MainFormTest, PagesCarryTheirCaptionsAndIndices) {
    auto f = Start();
    EXPECT_EQ(f->windowTitle(), kMainCaption);
    const char* captions[TMainForm::kPageCount] = {
        "Welder Velkor", "Welder CFG",     "Welder Tuning",     "Welder Event Log",
        "IO Status",     "EEPROM Manager", "Date / Time",       "COM Debug",
        "Pelta",         "Multi Head",     "Diameter / Height", "Flanging"};
    const char* names[TMainForm::kPageCount] = {
        "TshCfgWelder", "TshWelderCfg", "tshWelderTuning",   "tshWelderLog",
        "TshBrenta",    "tshEEPROM",    "tshTimeKeep",       "TshComDebug",
        "tshPelta",     "tshMultiHead", "tshDiameterHeight", "tbsFlanging"};
    ASSERT_EQ(f->PgcMain->count(), TMainForm::kPageCount);
    for (int i = 0; i < TMainForm::kPageCount; ++i) {
        EXPECT_EQ(f->PgcMain->tabText(i), captions[i]);
        EXPECT_EQ(f->PgcMain->widget(i)->objectName(), names[i]);
    }
    EXPECT_EQ(f->PgcMain->widget(7), f->FindPage<orvan::pages::TPageComDebug>());
    EXPECT_EQ(f->PortCom[29]->text(), "COM30");
    EXPECT_EQ(f->PortSpeed[3]->text(), "56700");
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> START");
}

TEST_F(MainFormTest, ChoicesSurviveARestart) {
    {
        auto f = Start();
        f->Act_ChangeComPortExecute(7);
        f->Act_ChangeComSpeedExecute(56700);
        f->PgcMain->setCurrentIndex(7);
        f->chkPollAnomaly->setChecked(true);
        f->chkPollAnalogInput->setChecked(false);
        f->FindPage<orvan::pages::TPageMultiHead>()->chkMultiHPolling->setChecked(true);
        f->FormClose();
    }
    auto f = Start();
    EXPECT_EQ(f->Port().GetPortName(), "COM7");
    EXPECT_EQ(f->Port().GetBaudRate(), 56700);
    EXPECT_TRUE(f->PortCom[6]->isChecked());
    EXPECT_TRUE(f->PortSpeed[3]->isChecked());
    EXPECT_EQ(CheckedCount(PortActions(*f)), 1);
    EXPECT_EQ(f->PgcMain->currentIndex(), 7);
    EXPECT_TRUE(f->chkPollAnomaly->isChecked());
    EXPECT_FALSE(f->chkPollAnalogInput->isChecked());
    EXPECT_TRUE(f->FindPage<orvan::pages::TPageMultiHead>()->chkMultiHPolling->isChecked());
}

TEST_F(MainFormTest, OddStoredValues) {
    WriteText(SettingsFile(),
              "; kept\r\n[com]\r\nport=0\r\nspeed=12345\r\n[Polling]\r\nAnalog=5\r\nOptoIO=-1\r\n"
              "[PROGRAM]\r\nLastTab=99\r\nOther=keep me\r\n");
    auto f = Start();
    // Impossible values are replaced by their defaults, and said once.
    EXPECT_EQ(f->Port().GetPortName(), "COM1");
    EXPECT_EQ(f->Port().GetBaudRate(), 9600);
    EXPECT_EQ(CheckedCount(PortActions(*f)), 1);
    EXPECT_EQ(CheckedCount({f->PortSpeed.begin(), f->PortSpeed.end()}), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Speed=12345"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("Port=0"), std::string::npos) << messages[0];
    messages.clear();
    EXPECT_EQ(f->PgcMain->currentIndex(), 0);
    EXPECT_TRUE(f->chkPollAnalogInput->isChecked());
    EXPECT_TRUE(f->chkPollOptoIO->isChecked());
    f->FormClose();
    const std::string text = ReadText(SettingsFile());
    EXPECT_NE(text.find("Analog=1"), std::string::npos) << text;
    EXPECT_NE(text.find("OptoIO=1"), std::string::npos) << text;
    EXPECT_NE(text.find("Other=keep me"), std::string::npos) << text;
    EXPECT_NE(text.find("; kept"), std::string::npos) << text;
    EXPECT_NE(text.find("port=1"), std::string::npos) << text;
    EXPECT_NE(text.find("speed=9600"), std::string::npos) << text;
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainFormTest, UnwritableDirectoryFallsBackToTheUserDirectory) {
    // A program folder that cannot take the file (root ignores permission
    // bits, so a folder that is not there stands in for a read-only one).
    TStartOptions o;
    o.settingsDirectory = Dir() + "readonly/";
    o.fallbackDirectory = Dir() + "user/OrvanSuperV/";
    {
        auto f = Start(o);
        f->Act_ChangeComPortExecute(4);
        f->FormClose();
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(o.fallbackDirectory), std::string::npos) << messages[0];
    EXPECT_NE(ReadText(o.fallbackDirectory + kSettingsFileName).find("Port=4"), std::string::npos);
    messages.clear();
    auto f = Start(o);
    EXPECT_EQ(f->Port().GetPortName(), "COM4");
    f->FormClose();
    EXPECT_TRUE(messages.empty());  // told once, when the settings moved
}

TEST_F(MainFormTest, UnwritableFileIsReportedAndCloseCompletes) {
    TStartOptions o;
    o.settingsDirectory = Dir() + "missing/";
    auto f = Start(o);
    f->FormClose();
    EXPECT_TRUE(f->Closed());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("missing/OrvanSuperV.cfg"), std::string::npos) << messages[0];
    EXPECT_EQ(f->Protocol(), nullptr);
}

TEST_F(MainFormTest, ExchangeShowsInBothLogsAndPanelZero) {
    auto f = StartInMemory();
    auto* dbg = f->FindPage<orvan::pages::TPageComDebug>();
    auto exchange = [&] {
        const std::uint32_t before = Engine(*f).cycle.Cycle().RxCounter();
        (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x00, 0x00}));
        return Step(*f, [&] { return Engine(*f).cycle.Cycle().RxCounter() == before + 1; });
    };
    // Nothing is logged while the boxes are clear, but the counters run.
    ASSERT_TRUE(exchange());
    EXPECT_EQ(f->PanelText(0), "ACK");
    EXPECT_EQ(dbg->RxModel()->Count(), 0);
    EXPECT_EQ(dbg->TxModel()->Count(), 0);

    dbg->chkRxLogEnable->setChecked(true);
    dbg->chkTxLogEnable->setChecked(true);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(dbg->RxModel()->Count(), 1);
    ASSERT_EQ(dbg->TxModel()->Count(), 1);
    const std::string tx(dbg->TxModel()->Line(0));
    const std::string rx(dbg->RxModel()->Line(0));
    EXPECT_EQ(tx.rfind("[ 2 ", 0), 0u) << tx;
    EXPECT_NE(tx.find("] 0B 00 00 0B 00 "), std::string::npos) << tx;
    EXPECT_EQ(rx.rfind("[ 2 ", 0), 0u) << rx;
    EXPECT_NE(rx.find("] 06 0B 00 00 01 02 07"), std::string::npos) << rx;
    EXPECT_EQ(f->PanelText(0), "ACK");

    // Clearing keeps the numbering going.
    dbg->CmdClearTXLog->click();
    EXPECT_EQ(dbg->TxModel()->Count(), 0);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(dbg->TxModel()->Count(), 1);
    EXPECT_EQ(std::string(dbg->TxModel()->Line(0)).rfind("[ 3 ", 0), 0u);
    EXPECT_EQ(dbg->RxModel()->Count(), 2);
    emit dbg->LsbCOMRxLog->clicked(dbg->LsbCOMRxLog->currentIndex());
    EXPECT_EQ(dbg->TxtRxLogString->text().toStdString(), std::string(dbg->RxModel()->Line(1)));
}

TEST_F(MainFormTest, RefusalBoxHoldsTheExchangeWhileOpen) {
    auto f = StartInMemory();
    sim_.port.forceError = 5;
    bool timerRanDuringBox = true;
    dialogs.whileMessage = [&](const QString&, const QString&) {
        timerRanDuringBox = f->TmrGestCOMCMD->isActive();
        EXPECT_EQ(f->PanelText(0), "NACK");
    };
    (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x0B, 0x07}));
    (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x00, 0x00}));
    ASSERT_TRUE(Step(*f, [&] { return messages.size() >= 1; }));
    EXPECT_EQ(messages[0].rfind("Comunication error! | Unknown variable: ", 0), 0u) << messages[0];
    EXPECT_FALSE(timerRanDuringBox);
    EXPECT_TRUE(f->TmrGestCOMCMD->isActive());
    // The queue stays: the next command goes out after the box.
    sim_.port.forceError = 0;
    EXPECT_TRUE(Step(*f, [&] { return Engine(*f).cycle.Cycle().RxCounter() == 2; }));
    EXPECT_EQ(f->PanelText(0), "ACK");
}

TEST_F(MainFormTest, InfoShowsSerialNumberAndFirmware) {
    auto f = StartInMemory();
    f->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(Step(*f, [&] { return !f->PanelText(5).isEmpty() && !f->PanelText(4).isEmpty(); }));
    EXPECT_EQ(f->PanelText(5), "FW Ver. 1.02.07");
    EXPECT_EQ(f->PanelText(4), "SN: SIM-000001");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainFormTest, LiveStatusAnswersReachTheirPages) {
    auto f = StartInMemory();
    sim_.model.anomalies = 0x00000005;
    f->FindPage<orvan::pages::TPageWelderVelkor>()->fraAnomaly1->BuildIndicators(4);
    const std::uint32_t before = Engine(*f).cycle.Cycle().RxCounter();
    (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x00, 0x01}));  // AnomalyStatus
    (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x00, 0x02}));  // IoStatus
    ASSERT_TRUE(Step(*f, [&] { return Engine(*f).cycle.Cycle().RxCounter() == before + 2; }));
    const QColor red(255, 0, 0), lime(0, 255, 0), white(255, 255, 255);
    const auto* anomalies = f->FindPage<orvan::pages::TPageWelderVelkor>()->fraAnomaly1;
    const QColor shown[4] = {red, white, red, white};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(anomalies->Shape(i)->Fill(), shown[i]) << "anomaly " << i;
    // The simulator's inputs: CPU 0x005, expansion 1 0x321, expansion 2 0x654.
    const std::pair<orvan::frames::TfraIOStatus*, std::uint32_t> io[] = {
        {f->FindPage<orvan::pages::TPageIOStatus>()->fraBrentaOptoInputCPU, 0x005},
        {f->FindPage<orvan::pages::TPageIOStatus>()->fraBrentaOptoInputEXP1, 0x321},
        {f->FindPage<orvan::pages::TPageIOStatus>()->fraBrentaOptoInputEXP2, 0x654}};
    for (const auto& [frame, word] : io)
        for (int i = 0; i < orvan::frames::TfraIOStatus::kCount; ++i)
            EXPECT_EQ(frame->Colour(i), (word >> i) & 1 ? red : lime)
                << frame->objectName().toStdString() << " " << i;
}

TEST_F(MainFormTest, TimeOutStopsPollingAndEmptiesTheQueue) {
    auto f = StartInMemory();
    sim_.port.silent = true;
    f->cmdPollingClick();
    EXPECT_TRUE(f->Core()->Operations().BackgroundBusy());
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> STOP");
    for (int i = 0; i < 3; ++i)
        (void)Engine(*f).protocol.QueueCommand(orvan::link::TCmd(0x0B, {0x00, 0x00}));
    ASSERT_TRUE(Step(*f, [&] { return f->PanelText(0) == "RX TimeOut"; }));
    ASSERT_TRUE(Step(*f, [&] { return f->cmdPolling->text() == "Polling -> START"; }));
    EXPECT_FALSE(f->Core()->Operations().BackgroundBusy());
    EXPECT_EQ(f->Protocol()->QueueCount(), 0u);
    EXPECT_TRUE(messages.empty()) << "no box for a time-out";
}

TEST_F(MainFormTest, CloseStopsTheTimerAndPolling) {
    auto f = StartInMemory();
    f->cmdPollingClick();
    ASSERT_TRUE(f->Core()->Operations().BackgroundBusy());
    EXPECT_TRUE(f->close()) << "polling alone is no reason to ask";
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_FALSE(f->TmrGestCOMCMD->isActive());
    EXPECT_EQ(f->Core(), nullptr);
    // Timer slots after close find nothing to use and do nothing.
    f->TmrGestCOMCMDTimer();
    f->cmdPollingClick();
    f->Act_ChangeComPortExecute(3);
    EXPECT_FALSE(f->Port().IsOpen());
    EXPECT_TRUE(messages.empty());
}

}  // namespace
