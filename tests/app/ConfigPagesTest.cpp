#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <random>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/Cfgwelder.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderTuning.h"
#include "pages/PageWelderVelkor.h"

using orvan::config::TWelderCfgBlank;
using orvan::pages::TPageWelderCfg;

namespace {

TWelderCfgBlank RandomRecord(unsigned seed) {
    std::mt19937 rng(seed);
    TWelderCfgBlank c;
    for (const auto& f : orvan::config::Fields())
        f.setRaw(c, f.index, std::uniform_int_distribution<std::int32_t>(f.Min(), f.Max())(rng));
    return c;
}

class ConfigPages : public ::testing::Test {
  protected:
    ConfigPages() {
        page.SetUpPages();
        cfg = orvan::config::DefaultConfiguration();
    }
    void Show() { page.ShowConfig(cfg); }
    orvan::pages::TWriteBackResult ReadBack() { return page.ReadPagesIntoConfig(cfg); }
    static QString Cell(QTableWidget* g, int c, int r) { return TPageWelderCfg::Cell(g, c, r); }

    TPageWelderCfg page;
    TWelderCfgBlank cfg;
};

TEST_F(ConfigPages, UntouchedPagesLeaveEveryFieldBitIdentical) {
    for (char sep : {'.', ','}) {
        page.SetDecimalSeparator(sep);
        for (unsigned seed = 0; seed < 20; ++seed) {
            cfg = seed == 0 ? orvan::config::DefaultConfiguration() : RandomRecord(seed);
            const TWelderCfgBlank before = cfg;
            Show();
            const auto r = ReadBack();
            ASSERT_TRUE(r.ok) << r.why.toStdString();
            EXPECT_EQ(r.stored, 0) << "seed " << seed;
            EXPECT_TRUE(cfg == before) << "seed " << seed << " separator " << sep;
        }
    }
}

TEST_F(ConfigPages, FixedCaptionsAndShownValues) {
    cfg.SetAlimVolt2Ampere(0);
    cfg.SetTimer(0, 25);
    cfg.SetCurrentDiodeMax(4000);
    cfg.SetStandByPower(6553);
    Show();
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 0, 3), "Corrente massima diodi (Fine vita)");
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 2, 5), "mV");
    EXPECT_EQ(Cell(page.StrGridAnOffsetAverage, 3, 0), "Gain");
    EXPECT_EQ(Cell(page.StrGridAnOffsetAverage, 0, 4), "PT 100");
    EXPECT_EQ(Cell(page.StrGridTemperature, 0, 2), "Lavoro - Temperatura di funzinamento");
    EXPECT_EQ(Cell(page.StrGridTemperature, 0, 5), "");
    EXPECT_EQ(Cell(page.StrGridOptoInFilter, 0, 0), "Filtro (ms)");
    EXPECT_EQ(Cell(page.stgPDTable, 1, 0), "V");
    EXPECT_EQ(page.PgcWelderCfg->tabText(2), "Gestione refrigeratore");
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 1, 4), "0");
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 1, 3), "40");
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 1, 0), "4");
    EXPECT_EQ(Cell(page.StrGridAnomaly, 1, 0), "2");
    EXPECT_EQ(page.StrGridAnalogOut->columnWidth(0), 299);  // 65 % of 460
    EXPECT_TRUE(page.memTableWA->isHidden());
}

TEST_F(ConfigPages, EndOfLifeCurrentChangeKeepsTheAmperesShown) {
    cfg.SetCurrentDiodeMax(4000);
    cfg.SetStandByPower(6553);
    Show();
    TPageWelderCfg::SetCell(page.StrGridAnalogOut, 1, 3, "50");
    const TWelderCfgBlank before = cfg;
    ASSERT_TRUE(ReadBack().ok);
    EXPECT_EQ(cfg.GetCurrentDiodeMax(), 5000);
    TWelderCfgBlank expected;
    expected.SetCurrentDiodeMax(5000);
    ASSERT_TRUE(expected.SetStandByPowerValue(4.0).ok());
    EXPECT_EQ(cfg.GetStandByPower(), expected.GetStandByPower());
    EXPECT_NE(cfg.GetStandByPower(), before.GetStandByPower());
    EXPECT_DOUBLE_EQ(cfg.GetStandByPowerValue(), 4.0);
    // The table currents are rescaled the same way.
    for (int i = 0; i < 6; ++i)
        EXPECT_DOUBLE_EQ(cfg.GetWATableAValue(i), before.GetWATableAValue(i)) << i;
}

TEST_F(ConfigPages, TypedValuesGoThroughTheSetters) {
    page.SetDecimalSeparator(',');
    Show();
    TPageWelderCfg::SetCell(page.StrGridAnomaly, 1, 0, "2,5");
    TPageWelderCfg::SetCell(page.stgWATable, 0, 1, "1,5");
    TPageWelderCfg::SetCell(page.StrGridPIDSetting, 1, 6, "1234");
    page.edtTempCoeffQ->setText("-17");
    page.edtPMCoeffQ->setText("-120");
    const auto r = ReadBack();
    ASSERT_TRUE(r.ok) << r.why.toStdString();
    EXPECT_EQ(r.stored, 5);
    EXPECT_TRUE(r.limited.isEmpty());
    EXPECT_EQ(cfg.GetTimer(0), 25);
    EXPECT_EQ(cfg.GetWATableW(0), 150);
    EXPECT_EQ(cfg.GetPeriod(), 1234);
    EXPECT_EQ(cfg.GetTempCoeffQ(), -17);
    EXPECT_EQ(cfg.GetPMCoeffQ(), -12);
}

TEST_F(ConfigPages, ValuesBeyondTheFieldAreLimitedAndListed) {
    Show();
    TPageWelderCfg::SetCell(page.StrGridAnOffsetAverage, 1, 2, "300");  // an 8-bit offset
    TPageWelderCfg::SetCell(page.stgWATable, 1, 3, "1000");             // above Imax
    const auto r = ReadBack();
    ASSERT_TRUE(r.ok) << r.why.toStdString();
    EXPECT_EQ(cfg.GetADCOffset(1), 255);
    EXPECT_EQ(cfg.GetWATableA(2), 65535);
    EXPECT_EQ(r.limited.size(), 2);
}

TEST_F(ConfigPages, LimitedValuesAreShownAsStored) {
    cfg.SetCurrentDiodeMax(4000);  // Imax 40 A
    Show();
    TPageWelderCfg::SetCell(page.StrGridAnOffsetAverage, 1, 2, "300");  // an 8-bit offset
    TPageWelderCfg::SetCell(page.StrGridAnalogOut, 1, 0, "100");        // stand-by above Imax
    TPageWelderCfg::SetCell(page.StrGridAnOffsetAverage, 2, 3, "7");    // in range: kept as typed
    const auto r = page.ReadPagesIntoConfig(cfg, true);
    ASSERT_TRUE(r.ok) << r.why.toStdString();
    EXPECT_EQ(cfg.GetADCOffset(1), 255);
    EXPECT_EQ(cfg.GetStandByPower(), 65535);
    // The cells show what the record holds, still marked as not yet written.
    EXPECT_EQ(Cell(page.StrGridAnOffsetAverage, 1, 2), "255");
    EXPECT_EQ(Cell(page.StrGridAnalogOut, 1, 0), "40");
    EXPECT_EQ(Cell(page.StrGridAnOffsetAverage, 2, 3), "7");
    EXPECT_EQ(page.UnwrittenEditCount(), 3);
    ASSERT_EQ(r.limited.size(), 2);
    EXPECT_EQ(r.limited[0].toStdString(),
              "Welder CFG > Gestione potenza > Uscita analogica > Corrente di stand-by: 100 A "
              "typed, 40 A stored (raw 65535)");
    EXPECT_EQ(r.limited[1].toStdString(),
              "Welder CFG > Gestione ingressi > Ingressi analogici > Power meter, Offset: 300 "
              "typed, 255 stored (raw 255)");
    // Read back again, nothing differs any more.
    const auto again = ReadBack();
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.stored, 0);
}

TEST_F(ConfigPages, ConversionErrorsNameThePageTheGroupAndTheRow) {
    struct Row {
        QTableWidget* grid;
        QLineEdit* edit;
        int col, row;
        const char* text;
        const char* message;
    };
    const Row rows[] = {
        {page.StrGridTemperature, nullptr, 1, 0, "abc",
         "Welder CFG > Gestione refrigeratore > Regolazione temperatura > Lavoro - Temperatura "
         "massima: 'abc' is not a valid floating point value"},
        {page.StrGridAnOffsetAverage, nullptr, 1, 2, "x",
         "Welder CFG > Gestione ingressi > Ingressi analogici > Power meter, Offset: 'x' is not a "
         "valid integer value"},
        {page.StrGridOptoInFilter, nullptr, 3, 0, "q",
         "Welder CFG > Gestione ingressi > Ingressi optoisolati > Filtro (ms), column 3: 'q' is "
         "not a valid integer value"},
        {page.stgWATable, nullptr, 0, 2, "w",
         "Welder CFG > Gestione potenza > Linearizzazione corrente in uscita > row 2, W: 'w' is "
         "not a valid floating point value"},
        {page.StrGridAnalogAnomaly, nullptr, 1, 1, "z",
         "Welder CFG > Gestione potenza > Gestione anomalie segnali di feed-back > Tolleranza "
         "feed-back fotodiodo: 'z' is not a valid integer value"},
        {nullptr, page.edtPMCoeffM, 0, 0, "m?",
         "Welder CFG > Feedback analogici > Power Meter > m: 'm?' is not a valid integer value"},
    };
    for (const Row& r : rows) {
        Show();
        const TWelderCfgBlank before = cfg;
        if (r.grid)
            TPageWelderCfg::SetCell(r.grid, r.col, r.row, QString::fromLatin1(r.text));
        else
            r.edit->setText(QString::fromLatin1(r.text));
        const auto res = ReadBack();
        EXPECT_FALSE(res.ok) << r.text;
        EXPECT_EQ(res.why.toStdString(), r.message);
        EXPECT_TRUE(cfg == before) << r.text;
    }
    EXPECT_EQ(page.FieldPlace("TempCoeff_q").toStdString(),
              "Welder CFG > Gestione refrigeratore > Sensore di temperatura > q");
    EXPECT_EQ(page.FieldPlace("Version"), QString()) << "not on the pages";
}

TEST_F(ConfigPages, NumericComparisonForTolerances) {
    Show();
    TPageWelderCfg::SetCell(page.StrGridAnalogAnomaly, 1, 0, " 0800");
    auto r = ReadBack();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.stored, 0);
    TPageWelderCfg::SetCell(page.StrGridAnalogAnomaly, 1, 1, "501");
    r = ReadBack();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(cfg.GetPowerTolerance(), 501);
}

TEST_F(ConfigPages, ConversionErrorStopsAtThatCell) {
    Show();
    const TWelderCfgBlank before = cfg;
    TPageWelderCfg::SetCell(page.StrGridAnalogOut, 1, 6, "777");      // before grid 7: stored
    TPageWelderCfg::SetCell(page.StrGridTemperature, 1, 1, "caldo");  // stops here
    TPageWelderCfg::SetCell(page.StrGridAnomaly, 1, 2, "9");          // after: untouched
    TPageWelderCfg::SetCell(page.StrGridPIDSetting, 1, 0, "9");
    const auto r = ReadBack();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.why.toStdString().find("'caldo'"), std::string::npos);
    EXPECT_EQ(cfg.GetTimeAlimSlope(), 777);
    EXPECT_EQ(cfg.GetTempWorkCooling(), before.GetTempWorkCooling());
    EXPECT_EQ(cfg.GetTempWorkErrRetry(), before.GetTempWorkErrRetry());
    EXPECT_EQ(cfg.GetCoolPIDKP(), before.GetCoolPIDKP());
    EXPECT_EQ(page.PgcWelderCfg->currentWidget(), page.TshCfgTemperature);
    EXPECT_TRUE(page.HasUnwrittenEdits());
}

TEST_F(ConfigPages, NothingShownYetStopsAtTheFirstCell) {
    const TWelderCfgBlank before = cfg;
    const auto r = ReadBack();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.stored, 0);
    EXPECT_TRUE(cfg == before);
    EXPECT_EQ(page.StrGridAnalogOut->currentRow(), 3);
}

TEST_F(ConfigPages, BadRealsAreRefused) {
    page.SetDecimalSeparator(',');
    for (const char* bad : {"", "2.5", "1,2,3", "inf", "nan", "1e999", "--1", "0x10", "4 A"}) {
        Show();
        TPageWelderCfg::SetCell(page.StrGridAnalogOut, 1, 5, QString::fromLatin1(bad));
        const TWelderCfgBlank before = cfg;
        EXPECT_FALSE(ReadBack().ok) << bad;
        EXPECT_TRUE(cfg == before) << bad;
    }
}

TEST_F(ConfigPages, EditsAreMarkedUntilWrittenBack) {
    Show();
    EXPECT_FALSE(page.HasUnwrittenEdits());
    TPageWelderCfg::SetCell(page.strGainAdj, 1, 1, "4,98");  // a reading, not the record
    EXPECT_FALSE(page.HasUnwrittenEdits());
    TPageWelderCfg::SetCell(page.StrGridOptoInFilter, 3, 0, "25");
    page.edtIAlimCoeffM->setText("12");
    emit page.edtIAlimCoeffM->textEdited("12");
    EXPECT_EQ(page.UnwrittenEditCount(), 2);
    ASSERT_TRUE(ReadBack().ok);
    EXPECT_FALSE(page.HasUnwrittenEdits());
    TPageWelderCfg::SetCell(page.StrGridOptoInFilter, 3, 0, "26");
    EXPECT_TRUE(page.HasUnwrittenEdits());
    Show();
    EXPECT_FALSE(page.HasUnwrittenEdits());
}

TEST_F(ConfigPages, RedMarksArePainted) {
    Show();
    page.resize(900, 600);
    auto pixelAtCell = [](QTableWidget* g, int col, int row, double fy) {
        const QImage img = g->viewport()->grab().toImage();
        const QRect r = g->visualItemRect(g->item(row, col));
        return img.pixelColor(r.center().x(), r.top() + static_cast<int>(r.height() * fy));
    };
    EXPECT_EQ(pixelAtCell(page.StrGridAnalogOut, 1, 1, 0.5), QColor(255, 0, 0));
    EXPECT_EQ(pixelAtCell(page.StrGridAnalogOut, 1, 7, 0.5), QColor(255, 0, 0));
    EXPECT_NE(pixelAtCell(page.StrGridAnalogOut, 1, 0, 0.5), QColor(255, 0, 0));
    auto struck = [&](int row) {
        const QImage img = page.stgWATable->viewport()->grab().toImage();
        const QRect r = page.stgWATable->visualItemRect(page.stgWATable->item(row, 1));
        const int y = r.top() + r.height() / 2;
        return img.pixelColor(r.right() - 2, y) == QColor(255, 0, 0);
    };
    EXPECT_FALSE(struck(3));
    page.SetWATableStruck(true);
    EXPECT_TRUE(struck(3));
    EXPECT_FALSE(struck(1));
}

class WindowConfig : public ::testing::Test {
  protected:
    std::unique_ptr<orvan::app::TMainForm> Start() {
        orvan::app::TStartOptions o;
        o.settingsDirectory = dir.path().toStdString() + "/";
        o.device = "/no/such/port";
        auto f = std::make_unique<orvan::app::TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        f->Core()->Document().New();
        return f;
    }
    QTemporaryDir dir;
    orvan::test::TRecordingDialogs dialogs;
    std::vector<std::string>& messages = dialogs.messages;
    bool& answer = dialogs.answer;
    int Questions() const { return static_cast<int>(dialogs.questions.size()); }
    void SetUp() override { answer = false; }
};

TEST_F(WindowConfig, ShowConfigFillsTheDependentDisplays) {
    auto f = Start();
    EXPECT_TRUE(f->PanelText(2).isEmpty());
    f->ShowConfig();
    EXPECT_TRUE(f->ConfigLoaded());
    EXPECT_EQ(f->PanelText(2), "Cfg V.3");
    EXPECT_EQ(f->PanelText(3), "Cfg Size=218");
    EXPECT_EQ(f->FindPage<orvan::pages::TPageWelderTuning>()->stxFactoryTuningImax->text(), "48 A");
    EXPECT_EQ(f->FindPage<orvan::pages::TPageWelderVelkor>()->lblPowerMin->text(), "6 A");
    EXPECT_EQ(f->FindPage<orvan::pages::TPageWelderVelkor>()->cgaPowerSet->maximum(), 48);
}

TEST_F(WindowConfig, SwappedTemperatureLimitsDoNotStopShowConfig) {
    auto f = Start();
    // As a board may hold them: set behind the document's back.
    auto* rec = &Engine(*f).record;
    const auto hot = rec->GetTempWorkMax();
    rec->SetTempWorkMax(rec->GetTempWorkMin());
    rec->SetTempWorkMin(hot);
    f->ShowConfig();
    EXPECT_TRUE(f->ConfigLoaded());
    const QRect canvas = f->FindPage<orvan::pages::TPageWelderVelkor>()->pnlTemperature->rect();
    EXPECT_TRUE(canvas.contains(
        f->FindPage<orvan::pages::TPageWelderVelkor>()->lblTempDiodeMin->geometry()));
    EXPECT_TRUE(canvas.contains(
        f->FindPage<orvan::pages::TPageWelderVelkor>()->lblTempDiodeMax->geometry()));
    // Equal limits leave no span at all.
    rec->SetTempWorkMin(rec->GetTempWorkMax());
    f->ShowConfig();
    rec->SetTempWorkMin(
        static_cast<std::uint16_t>(rec->GetTempWorkMax() - 300));  // 36 degrees above the maximum
    f->ShowConfig();
    EXPECT_TRUE(canvas.contains(
        f->FindPage<orvan::pages::TPageWelderVelkor>()->lblTempDiodeMin->geometry()));
    // Sound limits place the labels by temperature again.
    static_cast<TWelderCfgBlank&>(*rec) = orvan::config::DefaultConfiguration();
    f->ShowConfig();
    EXPECT_LT(f->FindPage<orvan::pages::TPageWelderVelkor>()->lblTempDiodeMax->y(),
              f->FindPage<orvan::pages::TPageWelderVelkor>()->lblTempDiodeMin->y());
}

TEST_F(WindowConfig, ConversionErrorIsShownAndRefused) {
    auto f = Start();
    f->ShowConfig();
    TPageWelderCfg::SetCell(f->FindPage<orvan::pages::TPageWelderCfg>()->StrGridTemperature, 1, 0,
                            "abc");
    EXPECT_FALSE(f->ReadPagesIntoConfig());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("'abc' is not a valid floating point value"), std::string::npos)
        << messages[0];
    EXPECT_EQ(f->PgcMain->currentWidget(), f->FindPage<orvan::pages::TPageWelderCfg>());
}

TEST_F(WindowConfig, ClosingOverUnwrittenEditsAsksFirst) {
    auto f = Start();
    f->ShowConfig();
    EXPECT_TRUE(f->close());  // nothing edited: no question
    EXPECT_EQ(Questions(), 0);
    auto g = Start();
    g->ShowConfig();
    TPageWelderCfg::SetCell(g->FindPage<orvan::pages::TPageWelderCfg>()->StrGridOptoInFilter, 2, 0,
                            "33");
    answer = false;
    EXPECT_FALSE(g->close());
    EXPECT_EQ(Questions(), 1);
    EXPECT_FALSE(g->Closed());
    answer = true;
    EXPECT_TRUE(g->close());
    EXPECT_TRUE(g->Closed());
}

}  // namespace
