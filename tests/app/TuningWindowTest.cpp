// "Welder Tuning" through the window's handlers on the simulated board in
// memory: a factory tuning run ends with the new tuning log on the page, the
// diagnosis fills its cells and the chart, a run stopped by the line says so,
// and the ".log" the page saves is the very file orvan-cli writes.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdlib>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/AtomicFile.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderTuning.h"

using namespace orvan::app;

namespace {

class TuningWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.backupDirectory = o.settingsDirectory + "backups";
        o.keepSettingsFile = true;
        board_.Connect(o);
        board_.model.securityCodeOn = true;
        form_ = std::make_unique<TMainForm>(o);
        form_->SetDialogs(&dialogs);
        form_->FormActivate();
    }
    bool Until(const std::function<bool()>& done, int ticks = 5000) {
        return StepUntil(*form_, board_.clock, done, ticks);
    }
    // "Read" from the board: the configuration, then the tuning log.
    void ReadConfiguration() {
        form_->ConfigUploadClick();
        ASSERT_TRUE(Until([&] { return form_->ConfigLoaded() && form_->Core()->Idle(); }));
    }
    orvan::pages::TPageWelderTuning& Page() {
        return *form_->FindPage<orvan::pages::TPageWelderTuning>();
    }
    int LogRows() {
        int n = 0;
        while (n < Page().strTuningLog->rowCount() && Page().strTuningLog->item(n, 3) &&
               !Page().strTuningLog->item(n, 3)->text().isEmpty())
            ++n;
        return n;
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(TuningWindow, FactoryTuningEndsWithTheNewTuningLogShown) {
    ReadConfiguration();
    EXPECT_EQ(LogRows(), 3) << "the factory log read with the configuration";
    EXPECT_EQ(Page().stxFactoryTuningDT->text(), QStringLiteral("15/01/2026 10:00:00"));
    EXPECT_TRUE(form_->FindPage<orvan::pages::TPageWelderCfg>()->WATableStruck());

    dialogs.answer = false;
    form_->FindPage<orvan::pages::TPageWelderTuning>()->cmdPwFactoryTuing->click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_NE(dialogs.questions[0].find("!!! Attenzione !!!"), std::string::npos);
    EXPECT_TRUE(form_->Core()->Idle()) << "Cancel sends nothing";

    dialogs.answer = true;
    form_->FindPage<orvan::pages::TPageWelderTuning>()->cmdPwFactoryTuing->click();
    ASSERT_TRUE(Until([&] { return Page().stxPMView->text().startsWith("Running..."); }));
    ASSERT_TRUE(Until([&] { return LogRows() == 4 && Settled(*form_); }));
    EXPECT_EQ(Page().stxPMView->text(), QStringLiteral("Terminated"));
    EXPECT_NE(Page().lblTuningLogState->text().indexOf(QStringLiteral("Copy B")), -1);
    EXPECT_FALSE(Page().stgTuningWA->item(5, 1)->text().isEmpty());
    EXPECT_GT(Page().ChartPoints().size(), 2u);
}

TEST_F(TuningWindow, DiagnosisFillsTheCellsAndTheChartAndSavesItsPoints) {
    ReadConfiguration();
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnPwDiagnosis->click();
    // Once the board's protocol version is known, the run starts.
    ASSERT_TRUE(Until([&] { return Page().stxPwPM[0]->text() == QStringLiteral("..."); }));
    ASSERT_TRUE(Until([&] {
        return Page().stxPMView->text() == QStringLiteral("Diagnosis terminated") &&
               Settled(*form_);
    }));
    EXPECT_EQ(Page().stxPwMath[3]->text(), QStringLiteral("80"));
    EXPECT_EQ(Page().stxPwPM[0]->text(), QStringLiteral("20.4"));
    EXPECT_EQ(Page().stxPwErr[0]->text(), QStringLiteral("2"));
    ASSERT_EQ(Page().ChartPoints().size(), 4u);
    dialogs.chosen = dir_.filePath(QStringLiteral("points.csv")).toStdString();
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnSavePointsCsv->click();
    std::string csv;
    ASSERT_TRUE(orvan::config::ReadWholeFile(dialogs.chosen, csv));
    EXPECT_NE(csv.find("1;20;20.4;2;yes\n"), std::string::npos) << csv;
}

TEST_F(TuningWindow, ARunStoppedByTheLineIsShownStopped) {
    ReadConfiguration();
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnPwDiagnosisPD->click();
    ASSERT_TRUE(Until([&] { return Page().stxPMView->text() == QStringLiteral("Executing..."); }));
    board_.port.silent = true;
    ASSERT_TRUE(Until([&] { return Page().stxPMView->text().startsWith("Stopped"); }));
    EXPECT_NE(Page().stxPMView->text().indexOf(QStringLiteral("RX TimeOut")), -1);
}

TEST_F(TuningWindow, NothingSavedBeforeAReadAndTheImaxReachesTheConfigurationGrid) {
    dialogs.chosen = dir_.filePath(QStringLiteral("early.log")).toStdString();
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnSaveTuningLog->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Get tuning log"), std::string::npos);
    EXPECT_TRUE(dialogs.requests.empty()) << "no dialog for nothing";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dialogs.chosen)));

    form_->FindPage<orvan::pages::TPageWelderTuning>()->cmdTuningLog->click();
    EXPECT_NE(dialogs.messages.back().find("Leggere la configurazione"), std::string::npos);

    ReadConfiguration();
    Page().edtImax->setText(QStringLiteral("30"));
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnWriteImax->click();
    ASSERT_TRUE(Until([&] { return form_->Core()->Idle(); }));
    EXPECT_EQ(Page().edtImax->text(), QStringLiteral("30"));
    EXPECT_EQ(orvan::pages::TPageWelderCfg::Cell(
                  form_->FindPage<orvan::pages::TPageWelderCfg>()->stgWATable, 1, 6),
              QStringLiteral("30"));
}

// The page's ".log" and orvan-cli's, from the same simulated board.
TEST_F(TuningWindow, SavedLogEqualsTheCompanionsFile) {
    ReadConfiguration();
    const QString pagePath = dir_.filePath(QStringLiteral("page.log"));
    dialogs.chosen = pagePath.toStdString();
    form_->FindPage<orvan::pages::TPageWelderTuning>()->btnSaveTuningLog->click();
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].filterIndex, 2);
    std::string page;
    ASSERT_TRUE(orvan::config::ReadWholeFile(pagePath.toStdString(), page));

    const std::string cliPath = dir_.filePath(QStringLiteral("cli.log")).toStdString();
    const std::string command = std::string(ORVAN_CLI_PATH) + " --simulate --quiet tuning-log '" +
                                cliPath + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string cli;
    ASSERT_TRUE(orvan::config::ReadWholeFile(cliPath, cli));
    EXPECT_EQ(page, cli);
    EXPECT_EQ(page.rfind("Velkor Laser technology\n", 0), 0u);
}

}  // namespace
