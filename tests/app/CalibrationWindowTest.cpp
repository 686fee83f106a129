// Calibration and the event log in the window, on the simulated board in
// memory and a manual clock: a calibrated value lands in its cell marked as
// an unwritten edit (and in the record, not on the board); a refusal says why
// and marks nothing; the event log page lists the board's events.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderLog.h"

using namespace orvan::app;

namespace {

class CalibrationWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.keepSettingsFile = true;
        board_.Connect(o);
        // Fixed analog words (answer order), so the captured values are known.
        orvan::sim::Variable& v = board_.model.Variables()[0x0201];
        v.onRead = nullptr;
        v.value.clear();
        for (std::uint16_t x : {40, 12, 210, 610, 512, 480}) {
            v.value.push_back(static_cast<std::uint8_t>(x));
            v.value.push_back(static_cast<std::uint8_t>(x >> 8));
        }
        form_ = std::make_unique<TMainForm>(o);
        form_->SetDialogs(&dialogs_);
        form_->FormActivate();
        form_->chkPollOptoIO->setChecked(false);
        form_->chkPollAnalogInput->setChecked(true);
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            form_->TmrGestCOMCMDTimer();
            board_.clock.Advance(TMainForm::kExchangeIntervalMs);
        }
        QCoreApplication::processEvents();
    }
    void ReadConfiguration() {
        const std::size_t before = dialogs_.messages.size();
        form_->ConfigUploadClick();
        ASSERT_TRUE(StepUntil(*form_, board_.clock, [&] {
            return dialogs_.messages.size() > before && form_->Protocol()->QueueCount() == 0 &&
                   !form_->Protocol()->InFlight();
        }));
    }
    // Polling on, until one more analog reading has come.
    void NextReading() {
        if (!form_->Core()->Operations().BackgroundBusy()) form_->cmdPollingClick();
        const auto before = form_->Core()->Calibration().Readings();
        for (int i = 0; i < 200 && form_->Core()->Calibration().Readings() == before; ++i) Run(1);
        ASSERT_GT(form_->Core()->Calibration().Readings(), before);
    }
    static bool Marked(QTableWidget* g, int col, int row) {
        return g->item(row, col)->background().color() == QColor(0xFF, 0xF0, 0xA0);
    }
    static bool Marked(QLineEdit* e) {
        return e->palette().color(QPalette::Base) == QColor(0xFF, 0xF0, 0xA0);
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    std::unique_ptr<TMainForm> form_;
    orvan::test::TRecordingDialogs dialogs_;
};

TEST_F(CalibrationWindow, CalibratedCellsAreUnwrittenEdits) {
    ReadConfiguration();
    orvan::pages::TPageWelderCfg* cfg = form_->FindPage<orvan::pages::TPageWelderCfg>();
    ASSERT_FALSE(cfg->HasUnwrittenEdits());
    const int writesBefore = board_.model.requestsByType[0x01];

    // A capture with polling off is refused, and nothing is marked.
    const std::size_t boxes = dialogs_.messages.size();
    cfg->btnGetPD[3]->click();
    ASSERT_EQ(dialogs_.messages.size(), boxes + 1);
    EXPECT_NE(dialogs_.messages.back().find("Attenzione! | Polling is not running"),
              std::string::npos)
        << dialogs_.messages.back();
    EXPECT_FALSE(cfg->HasUnwrittenEdits());

    // The simulator's photodiode reads 40 counts: 0.1953125 V, 40 raw.
    NextReading();
    cfg->btnGetPD[3]->click();
    EXPECT_EQ(dialogs_.messages.size(), boxes + 1);
    EXPECT_EQ(form_->Record()->GetPDTableV(3), 40);
    EXPECT_EQ(orvan::pages::TPageWelderCfg::Cell(cfg->stgPDTable, 1, 4), "0.196");
    EXPECT_TRUE(Marked(cfg->stgPDTable, 1, 4));
    EXPECT_FALSE(Marked(cfg->stgPDTable, 1, 5));

    // The power-meter line from typed points: m and q shown from the record
    // and marked.
    cfg->edtPMx1->setText(QStringLiteral("0.2"));
    cfg->edtPMx2->setText(QStringLiteral("4.6"));
    cfg->edtPMy1->setText(QStringLiteral("3"));
    cfg->edtPMy2->setText(QStringLiteral("150"));
    cfg->btnPMGenCoeff->click();
    EXPECT_EQ(cfg->edtPMCoeffM->text(), "1632");
    EXPECT_EQ(cfg->edtPMCoeffQ->text(), "-36820");
    EXPECT_TRUE(Marked(cfg->edtPMCoeffM));
    EXPECT_TRUE(Marked(cfg->edtPMCoeffQ));

    // Two identical points: told, nothing changes.
    cfg->edtIAlimx1->setText(QStringLiteral("1"));
    cfg->edtIAlimx2->setText(QStringLiteral("1"));
    cfg->edtIAlimy1->setText(QStringLiteral("0"));
    cfg->edtIAlimy2->setText(QStringLiteral("10"));
    const auto mBefore = form_->Record()->GetIAlimCoeffM();
    cfg->btnIAlimCoeff->click();
    EXPECT_NE(dialogs_.messages.back().find("same voltage"), std::string::npos);
    EXPECT_EQ(form_->Record()->GetIAlimCoeffM(), mBefore);
    EXPECT_FALSE(Marked(cfg->edtIAlimCoeffM));

    // Gain: "Get" fills the gain grid (not an edit of the record), "Copy"
    // marks the analog table's cell.
    NextReading();
    cfg->btnGetGainAdj[2]->click();  // supply current: 210 counts, 1.025 V
    EXPECT_EQ(orvan::pages::TPageWelderCfg::Cell(cfg->strGainAdj, 1, 3), "1.025");
    EXPECT_EQ(orvan::pages::TPageWelderCfg::Cell(cfg->strGainAdj, 2, 3), "0.488");
    EXPECT_FALSE(Marked(cfg->StrGridAnOffsetAverage, 3, 3));
    cfg->btnADGain2Table[2]->click();
    EXPECT_EQ(form_->Record()->GetADCGain(2), 488);
    EXPECT_EQ(orvan::pages::TPageWelderCfg::Cell(cfg->StrGridAnOffsetAverage, 3, 3), "0.488");
    EXPECT_TRUE(Marked(cfg->StrGridAnOffsetAverage, 3, 3));

    cfg->btnTempGenCoeff->click();
    EXPECT_EQ(cfg->edtTempCoeffM->text(), "-119");
    EXPECT_EQ(cfg->edtTempCoeffQ->text(), "-98");
    EXPECT_TRUE(Marked(cfg->edtTempCoeffQ));

    // Nothing went to the board; the marks stay until the configuration is
    // written, and the values survive the pages' read-back.
    EXPECT_EQ(board_.model.requestsByType[0x01], writesBefore);
    EXPECT_EQ(cfg->UnwrittenEditCount(), 6);
    ASSERT_TRUE(form_->ReadPagesIntoConfig(true));
    EXPECT_EQ(form_->Record()->GetPMCoeffQ(), -3682);
    EXPECT_EQ(form_->Record()->GetPDTableV(3), 40);
    EXPECT_EQ(form_->Record()->GetTempCoeffM(), -119);
}

TEST_F(CalibrationWindow, EventLogPageListsTheBoardsEvents) {
    orvan::pages::TPageWelderLog* page = form_->FindPage<orvan::pages::TPageWelderLog>();
    page->btnReadEventLog->click();
    ASSERT_TRUE(
        StepUntil(*form_, board_.clock, [&] { return page->strWelderLog->rowCount() > 2; }));
    QTableWidget* g = page->strWelderLog;
    ASSERT_EQ(g->rowCount(), 10);
    EXPECT_EQ(g->item(0, 1)->text(), "Data/Time");
    EXPECT_EQ(g->item(1, 0)->text(), "0");
    EXPECT_EQ(g->item(1, 1)->text(), "15/01/2026 10:00:00");
    EXPECT_EQ(g->item(1, 3)->text(), "Factory tuning");
    EXPECT_EQ(g->item(3, 2)->text(), "10.5% | 40A (4.2 A) | 120 ore");
    EXPECT_EQ(g->item(9, 0)->text(), "8");
    EXPECT_EQ(page->lblEventLogNote->text(), "9 events.");

    // A shorter log later: the rows of the earlier one do not linger.
    auto& e = board_.model.Eeprom();
    std::fill(e.begin() + 784 + 22, e.begin() + 1015, 0xFF);
    page->btnReadEventLog->click();
    ASSERT_TRUE(StepUntil(*form_, board_.clock, [&] { return g->rowCount() == 3; }));
    EXPECT_EQ(g->item(2, 3)->text(), "Regolazione corrente massima (EEPROM)");

    // A read the board never answers leaves the rows and says why.
    board_.port.silent = true;
    page->btnReadEventLog->click();
    ASSERT_TRUE(StepUntil(*form_, board_.clock,
                          [&] { return page->lblEventLogNote->text().contains("RX TimeOut"); }));
    EXPECT_EQ(g->rowCount(), 3);
}

}  // namespace
