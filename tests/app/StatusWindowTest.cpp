// Status polling in the window, on the simulated board in memory and a manual
// clock: the first page and "IO Status" follow the board, machine names land
// in the frames, forcing reaches the board, a time-out stops polling.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "frames/Fraanomaly.h"
#include "frames/Fraiostatus.h"
#include "pages/LivePlot.h"
#include "pages/PageIOStatus.h"
#include "pages/PageWelderVelkor.h"

using namespace orvan::app;

namespace {

class StatusWindow : public ::testing::Test {
  protected:
    std::unique_ptr<TMainForm> Start(const std::string& namingDir = ORVAN_NAMING_DIR) {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.namingDirectory = namingDir;
        o.keepSettingsFile = true;
        board_.Connect(o);
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        f->chkPollOptoIO->setChecked(true);
        f->chkPollAnalogInput->setChecked(true);
        form_ = f.get();
        return f;
    }
    // Exchange ticks; the polling's own 150 ms cadence runs on the clock.
    void Run(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            form_->TmrGestCOMCMDTimer();
            board_.clock.Advance(TMainForm::kExchangeIntervalMs);
        }
        QCoreApplication::processEvents();
    }
    void Identify() {
        form_->Act_COMReqHWInfoExecute();
        ASSERT_TRUE(StepUntil(*form_, board_.clock, [&] {
            return form_->Protocol()->QueueCount() == 0 && !form_->Protocol()->InFlight();
        }));
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    TMainForm* form_ = nullptr;
    orvan::test::TRecordingDialogs dialogs;
};

TEST_F(StatusWindow, PollingFillsTheFirstPageAndIoStatus) {
    auto f = Start();
    Identify();
    auto* first = f->FindPage<orvan::pages::TPageWelderVelkor>();
    auto* io = f->FindPage<orvan::pages::TPageIOStatus>();
    EXPECT_EQ(first->stxBoardType->text(), "Orvan diode source");
    EXPECT_EQ(io->fraBrentaOptoInputCPU->Label(0)->text(), "Emergency stop OK");
    EXPECT_EQ(io->fraBrentaOptoOutputEXP2->Label(0)->text(), "Diode driver 1");
    EXPECT_EQ(first->fraAnomaly1->Count(), 12);

    f->chkPollAnomaly->setChecked(true);
    f->chkPollSourceTime->setChecked(true);
    f->cmdPollingClick();
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> STOP");
    EXPECT_TRUE(f->Core()->Operations().BackgroundBusy());
    Run(120);
    // Photodiode 40 counts: 0.1953125 V cut to six characters.
    const QString pd = first->LblAnalogValue[0]->text();
    EXPECT_TRUE(pd == "0.1953 V" || pd == "0.2001 V" || pd == "0.2050 V") << pd.toStdString();
    EXPECT_EQ(first->LblAnalogValue[5]->text(), "2.9785 V") << "word 3, 610 counts";
    EXPECT_EQ(first->CgaAnalog[3]->value(), 480) << "word 5 on the PT100 gauge";
    EXPECT_EQ(io->fraBrentaOptoInputCPU->Colour(0), QColor(Qt::red));
    EXPECT_EQ(io->fraBrentaOptoInputCPU->Colour(1), QColor(0x00, 0xFF, 0x00));
    EXPECT_EQ(io->stxOutRele->text(), "1");
    EXPECT_FALSE(first->stxSourceHours->text().isEmpty());
    EXPECT_EQ(first->stxOrvanPwPD->text(), "79.5 W") << "protocol 2.2.9 reports power";
    EXPECT_GT(f->Core()->Polling().CyclesCompleted(), 3u);
}

TEST_F(StatusWindow, ATimeOutStopsPollingAndOneClickRestartsIt) {
    auto f = Start();
    f->cmdPollingClick();
    Run(30);
    board_.port.silent = true;
    Run(150);
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> START");
    EXPECT_FALSE(f->Core()->Operations().BackgroundBusy());
    EXPECT_EQ(f->PanelText(0), "RX TimeOut");
    EXPECT_EQ(f->Protocol()->QueueCount(), 0u);
    EXPECT_TRUE(dialogs.messages.empty()) << "no box for a time-out";

    board_.port.silent = false;
    f->cmdPollingClick();
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> STOP");
    const auto cycles = f->Core()->Polling().CyclesCompleted();
    Run(60);
    EXPECT_GT(f->Core()->Polling().CyclesCompleted(), cycles);
}

TEST_F(StatusWindow, TheButtonStartsAndStopsTheCoresPolling) {
    auto f = Start();
    const auto analogReads = [&] {
        std::size_t n = 0;
        for (const auto& b : board_.port.bodies)
            n += b == std::vector<std::uint8_t>{0x0B, 0x01, 0x02} ? 1 : 0;
        return n;
    };
    f->cmdPollingClick();
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> STOP");
    Run(100);  // 3 s
    const std::size_t reads = analogReads();
    // One read a cycle, a cycle at most every 150 ms.
    EXPECT_GE(reads, 5u);
    EXPECT_LE(reads, 20u);

    f->cmdPollingClick();
    EXPECT_EQ(f->cmdPolling->text(), "Polling -> START");
    Run(10);
    EXPECT_FALSE(f->Core()->Operations().BackgroundBusy());
    const std::size_t sent = board_.port.bodies.size();
    Run(50);
    EXPECT_EQ(board_.port.bodies.size(), sent) << "nothing more after the stop";
    EXPECT_TRUE(dialogs.messages.empty()) << "a stop by the button is no news for a box";
    EXPECT_TRUE(f->statusBar()->currentMessage().startsWith("Status polling stopped"))
        << f->statusBar()->currentMessage().toStdString();

    // Started again, it polls again.
    f->cmdPollingClick();
    Run(30);
    EXPECT_GT(analogReads(), reads);
}

TEST_F(StatusWindow, ForcingReachesTheBoardAndResetClearsTheMarks) {
    auto f = Start();
    auto* io = f->FindPage<orvan::pages::TPageIOStatus>();
    io->fraBrentaOptoOutputCPU->IndicatorMouseDown(4, Qt::ControlModifier);
    io->edtReleLedForceON->setText("4");
    io->CmdSetIOForceStatus->click();
    f->cmdPollingClick();
    Run(40);
    EXPECT_EQ(io->stxOutRele->text(), "5") << "relay 2 forced on beside relay 0";
    EXPECT_EQ(io->fraBrentaOptoOutputCPU->Colour(4), QColor(Qt::black)) << "the mark stays";

    io->CmdResetIOForceStatus->click();
    EXPECT_EQ(io->edtReleLedForceON->text(), "00");
    EXPECT_EQ(io->fraBrentaOptoOutputCPU->ForcedOnMask(), 0u);
    // Behind the status reads already queued.
    Run(80);
    EXPECT_EQ(io->stxOutRele->text(), "1");

    // A relay value the board cannot hold is refused before anything is sent.
    f->cmdPollingClick();
    ASSERT_TRUE(StepUntil(*f, board_.clock, [&] {
        return f->Protocol()->QueueCount() == 0 && !f->Protocol()->InFlight();
    }));
    const std::size_t sent = board_.port.bodies.size();
    io->edtReleLedForceOFF->setText("300");
    io->CmdSetIOForceStatus->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Relay force OFF"), std::string::npos)
        << dialogs.messages[0];
    EXPECT_EQ(f->Protocol()->QueueCount(), 0u);
    Run(20);
    EXPECT_EQ(board_.port.bodies.size(), sent);
}

TEST_F(StatusWindow, AMissingNamingFileIsNamedWithoutABox) {
    QTemporaryDir empty;
    auto f = Start(empty.path().toStdString());
    Identify();
    EXPECT_EQ(f->FindPage<orvan::pages::TPageWelderVelkor>()->stxBoardType->text(), "Unknown");
    EXPECT_TRUE(f->statusBar()->currentMessage().contains("IOC_0100_10207.ini"))
        << f->statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(
        f->FindPage<orvan::pages::TPageIOStatus>()->fraBrentaOptoInputCPU->toolTip().contains(
            "IOC_0100_10207.ini"));
    EXPECT_EQ(f->FindPage<orvan::pages::TPageIOStatus>()->fraBrentaOptoInputCPU->Label(0)->text(),
              "");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StatusWindow, AnomalyMaskAndTheLivePlot) {
    auto f = Start();
    auto* first = f->FindPage<orvan::pages::TPageWelderVelkor>();
    board_.model.anomalies = 0x0F;
    first->edtAnomalyAndMask->setText("5");
    emit first->edtAnomalyAndMask->returnPressed();
    first->edtAnomalyAndMask->setText("five");
    emit first->edtAnomalyAndMask->returnPressed();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    emit first->AnomalyGroupClicked();
    Run(20);
    EXPECT_EQ(board_.model.anomalies, 0x0Au);
    EXPECT_EQ(first->fraAnomaly1->Count(), 0) << "no naming applied yet";

    first->cmdLivePlot->click();
    auto* plot = f->findChild<orvan::pages::TLivePlot*>();
    ASSERT_NE(plot, nullptr);
    f->cmdPollingClick();
    Run(100);
    EXPECT_GT(plot->Series().Samples().size(), 3u);
    plot->Redraw();
    plot->cmdPause->click();
    const auto n = plot->Series().Samples().size();
    Run(50);
    EXPECT_EQ(plot->Series().Samples().size(), n) << "paused";
    // A second click shows the same window.
    first->cmdLivePlot->click();
    EXPECT_EQ(f->findChildren<orvan::pages::TLivePlot*>().size(), 1);
}

}  // namespace
