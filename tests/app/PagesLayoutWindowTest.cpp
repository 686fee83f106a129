// What a technician sees on each page at 1024x768, on each simulated machine
// and in both number formats: no control lying over another, no caption cut
// where there is room for it, fields that keep their format through an arrow
// click, the whole flanging table, and charts that keep the last run.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <set>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "features/LiveSeries.h"
#include "pages/LivePlot.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PagePelta.h"
#include "pages/PageWelderTuning.h"

using namespace orvan::app;

namespace {

struct Case {
    const char* machine;
    bool comma;
};

class PagesAt1024 : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        QLocale::setDefault(GetParam().comma ? QLocale(QLocale::Italian, QLocale::Italy)
                                             : QLocale::c());
        const orvan::sim::TMachinePreset* p = orvan::sim::FindMachinePreset(GetParam().machine);
        ASSERT_NE(p, nullptr);
        type_ = p->boardType;
        board_.Become(*p);
        form_ = board_.StartWindow(dir_.path().toStdString(), dialogs_);
        ASSERT_TRUE(Idle());
        form_->resize(1024, 768);
        form_->show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    bool Idle() {
        return StepUntil(*form_, board_.clock, [&] { return Settled(*form_); });
    }
    // The page in front, laid out as the user sees it.
    void Show(QWidget* page) {
        QTabWidget& tabs = *form_->PgcMain;
        tabs.setTabVisible(tabs.indexOf(page), true);
        tabs.setTabEnabled(tabs.indexOf(page), true);
        tabs.setCurrentWidget(page);
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    char Separator() const { return GetParam().comma ? ',' : '.'; }

    std::uint16_t type_ = 0;
    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
};

// Each "Get" and its "Write" side by side, both whole.
TEST_P(PagesAt1024, DiameterButtonsDoNotCoverEachOther) {
    orvan::pages::TPageDiameter& d = *form_->FindPage<orvan::pages::TPageDiameter>();
    Show(&d);
    std::vector<QRect> all;
    for (int tag = 0; tag < 4; ++tag) {
        for (QPushButton* b : {d.btnBirGet[tag], d.btnBirWrVar[tag]}) {
            ASSERT_TRUE(b->isVisible());
            EXPECT_GE(b->width(), b->minimumSizeHint().width()) << b->objectName().toStdString();
            all.push_back(QRect(b->mapTo(&d, QPoint(0, 0)), b->size()));
        }
    }
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t k = i + 1; k < all.size(); ++k)
            EXPECT_FALSE(all[i].intersects(all[k])) << i << " over " << k;
}

// No caption, button or check box on any page is cut while the page has
// room: what the widget is given is at least what its text asks for.
TEST_P(PagesAt1024, NoTextIsCutOnAnyPage) {
    QTabWidget& tabs = *form_->PgcMain;
    for (int i = 0; i < tabs.count(); ++i) {
        QWidget* page = tabs.widget(i);
        Show(page);
        for (QLabel* l : page->findChildren<QLabel*>()) {
            if (!l->isVisibleTo(page) || l->wordWrap() || l->text().isEmpty() ||
                !l->pixmap().isNull())
                continue;
            EXPECT_GE(l->width(), l->minimumSizeHint().width())
                << tabs.tabText(i).toStdString() << ": " << l->objectName().toStdString() << " '"
                << l->text().toStdString() << "'";
        }
        for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
            if (!b->isVisibleTo(page) || b->text().isEmpty()) continue;
            // A push button's own hint has a floor of its style's width;
            // what matters is the text and a little room around it.
            const int needs = qobject_cast<QPushButton*>(b)
                                  ? b->fontMetrics().horizontalAdvance(b->text()) + 8
                                  : b->minimumSizeHint().width();
            EXPECT_GE(b->width(), needs)
                << tabs.tabText(i).toStdString() << ": " << b->objectName().toStdString() << " '"
                << b->text().toStdString() << "'";
        }
    }
}

// Inside a window frame on a 1024x768 screen with a task bar the window has
// 1000x690: every page but "IO Status" (six indicator frames of a fixed
// size) shows whole there, without scroll bars.
TEST_P(PagesAt1024, PagesNeedNoScrollingInAFramedWindow) {
    form_->resize(1000, 690);
    QTabWidget& tabs = *form_->PgcMain;
    EXPECT_FALSE(tabs.tabBar()->findChild<QToolButton*>() &&
                 tabs.tabBar()->findChild<QToolButton*>()->isVisible())
        << "the tab strip scrolls";
    for (int i = 0; i < tabs.count(); ++i) {
        QWidget* page = tabs.widget(i);
        if (page == form_->FindPage<orvan::pages::TPageIOStatus>()) continue;
        Show(page);
        auto* area = page->findChild<QScrollArea*>(page->objectName() + "Scroll",
                                                   Qt::FindDirectChildrenOnly);
        if (!area) continue;
        EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << tabs.tabText(i).toStdString();
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << tabs.tabText(i).toStdString();
    }
}

// The flanging table shows every profile the board has, without scrolling.
TEST_P(PagesAt1024, FlangingTableShowsEveryProfileRow) {
    orvan::pages::TPageFlanging& f = *form_->FindPage<orvan::pages::TPageFlanging>();
    Show(&f);
    const int profiles = type_ == orvan::features::kBoardFlanging16 ? 16 : 8;
    ASSERT_EQ(f.stgFlangProgiles->rowCount(), profiles);
    EXPECT_FALSE(f.stgFlangProgiles->verticalScrollBar()->isVisible());
    const QRect view = f.stgFlangProgiles->viewport()->rect();
    for (int r = 0; r < profiles; ++r) {
        const QRect row = f.stgFlangProgiles->visualRect(f.stgFlangProgiles->model()->index(r, 0));
        EXPECT_TRUE(view.contains(row)) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, PagesAt1024,
                         ::testing::Values(Case{"source", false}, Case{"source", true},
                                           Case{"pelta", false}, Case{"pelta", true},
                                           Case{"multihead", false}, Case{"multihead", true},
                                           Case{"flanging", false}, Case{"flanging", true}),
                         [](const auto& info) {
                             return std::string(info.param.machine) +
                                    (info.param.comma ? "_comma" : "_point");
                         });

// Decimals after the separator of a field's text (-1: no such separator).
int Decimals(const QString& text, char separator) {
    const qsizetype at = text.indexOf(QLatin1Char(separator));
    return at < 0 ? 0 : static_cast<int>(text.size() - at - 1);
}

class PeltaArrows : public ::testing::TestWithParam<bool> {};

// An arrow click leaves each field with the decimals and the separator it had.
TEST_P(PeltaArrows, FieldsKeepTheirFormatThroughAnArrowClick) {
    const bool comma = GetParam();
    const char sep = comma ? ',' : '.';
    QLocale::setDefault(comma ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c());
    QTemporaryDir dir;
    TInProcessBoard board;
    board.model.boardType = orvan::features::kBoardPelta;
    TStartOptions o;
    o.settingsDirectory = dir.path().toStdString() + "/";
    o.keepSettingsFile = true;
    board.Connect(o);
    TMainForm form(o);
    orvan::test::TRecordingDialogs dialogs;
    form.SetDialogs(&dialogs);
    form.FormActivate();
    form.Act_COMReqHWInfoExecute();
    auto idle = [&] { return StepUntil(form, board.clock, [&] { return Settled(form); }); };
    ASSERT_TRUE(idle());
    orvan::pages::TPagePelta& p = *form.FindPage<orvan::pages::TPagePelta>();
    struct Row {
        const char* field;
        int decimals;
    };
    const Row rows[] = {{"edtPeltaWork_f", 2},     {"edtPeltaWork_d", 1},
                        {"edtPeltaLaserPulse", 3}, {"edtPeltaStrobeDelay", 2},
                        {"edtPeltaPreion1_d", 3},  {"edtPeltaPreion2_f", 2}};
    for (const Row& r : rows) {
        QLineEdit* e = p.EditOf(r.field);
        ASSERT_NE(e, nullptr) << r.field;
        const QString before = e->text();
        EXPECT_EQ(Decimals(before, sep), r.decimals) << r.field << " " << before.toStdString();
        ASSERT_TRUE(p.upDowns.count(r.field)) << r.field;
        p.upDowns[r.field]->up->click();
        ASSERT_TRUE(idle());
        const QString after = e->text();
        EXPECT_NE(after, before) << r.field;
        EXPECT_EQ(Decimals(after, sep), r.decimals) << r.field << " " << after.toStdString();
        EXPECT_FALSE(after.contains(QLatin1Char(comma ? '.' : ','))) << after.toStdString();
    }
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    QLocale::setDefault(QLocale::c());
}

INSTANTIATE_TEST_SUITE_P(Formats, PeltaArrows, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "comma" : "point"; });

// 1, 2 or 5 times a power of ten.
bool RoundStep(double step) {
    if (step <= 0) return false;
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (std::abs(mantissa - m) < 1e-9) return true;
    return false;
}

// A tuning the board refused keeps the diagnosis on the chart; the axes step
// in round numbers and carry their whole titles.
TEST(TuningChart, RefusedTuningKeepsTheDiagnosisOnRoundAxes) {
    using orvan::features::TPowerPoint;
    using orvan::features::TProcedure;
    orvan::pages::TPageWelderTuning page;
    page.resize(1000, 700);
    page.show();
    const double measured[] = {23.1, 47.6, 71.0, 96.3};
    for (int step = 1; step <= 4; ++step) {
        TPowerPoint q;
        q.step = step;
        q.expected = 24.5 * step;
        q.measured = measured[step - 1];
        page.OnPowerPoint(TProcedure::MeterDiagnosis, q);
    }
    ASSERT_EQ(page.ChartPoints().size(), 4u);
    // The board says no; a live reading taken meanwhile is no tuning point.
    TPowerPoint stray;
    stray.step = 0;
    stray.expected = 98;
    stray.measured = 0.4;
    page.OnPowerPoint(TProcedure::FactoryTuning, stray);
    orvan::features::TProcedureOutcome refused;
    refused.text = "Tuning not started";
    refused.outcome.why = "the board refused to start: busy";
    page.OnProcedureFinished(refused);
    ASSERT_EQ(page.ChartPoints().size(), 4u);
    EXPECT_EQ(page.ChartProcedure(), TProcedure::MeterDiagnosis);

    // An anomaly's stop is said once, not twice in other words.
    orvan::features::TProcedureOutcome anomaly;
    anomaly.text = "Tuning interrupted by anomaly!";
    anomaly.outcome.why = "interrupted by an anomaly";
    page.OnProcedureFinished(anomaly);
    EXPECT_EQ(page.stxPMView->text(), QStringLiteral("Stopped: Tuning interrupted by anomaly!"));

    auto axes = page.chvPowerPoints->chart()->axes();
    ASSERT_EQ(axes.size(), 2);
    for (QAbstractAxis* a : axes) {
        auto* v = qobject_cast<QValueAxis*>(a);
        ASSERT_NE(v, nullptr);
        EXPECT_GE(v->max(), 96.3);
        EXPECT_TRUE(RoundStep((v->max() - v->min()) / (v->tickCount() - 1)))
            << v->min() << ".." << v->max() << " in " << v->tickCount() - 1;
        EXPECT_TRUE(v->titleText().endsWith(QStringLiteral("(W)"))) << v->titleText().toStdString();
    }
}

// Six lines in six colours; converted values go to the axis of their unit.
TEST(LivePlot, EachSeriesItsColourAndEachUnitItsAxis) {
    orvan::link::ManualClock clock;
    orvan::pages::TLivePlot plot(clock);
    plot.Redraw();
    std::set<QRgb> colours;
    for (std::size_t c = 0; c < orvan::features::kChannels; ++c) {
        colours.insert(plot.Line(c)->color().rgb());
        ASSERT_NE(plot.AxisOf(c), nullptr);
        EXPECT_TRUE(plot.AxisOf(c)->titleText().contains(QStringLiteral("(V)")));
    }
    EXPECT_EQ(colours.size(), orvan::features::kChannels);
    // A minute of readings: the time axis ticks on round seconds.
    for (int k = 0; k < 130; ++k) {
        plot.OnAnalogDisplay(orvan::features::TAnalogDisplay{});
        clock.Advance(500);
    }
    plot.Redraw();
    for (QAbstractAxis* a : plot.chartView->chart()->axes(Qt::Horizontal)) {
        auto* x = qobject_cast<QValueAxis*>(a);
        ASSERT_NE(x, nullptr);
        EXPECT_TRUE(RoundStep(x->tickInterval())) << x->tickInterval();
    }
    plot.chkConverted->setChecked(true);
    for (std::size_t c = 0; c < orvan::features::kChannels; ++c) {
        const std::string_view caption = orvan::features::kConvertedCaptions[c];
        const QString name = plot.Line(c)->name();
        EXPECT_EQ(name.toStdString(), caption);
        QValueAxis* axis = plot.AxisOf(c);
        ASSERT_NE(axis, nullptr);
        const bool degrees = caption.find("degC") != std::string_view::npos;
        const QString unit =
            degrees ? QStringLiteral("(°C)") : name.mid(name.indexOf(QLatin1Char('(')));
        EXPECT_TRUE(axis->titleText().endsWith(unit))
            << caption << " on " << axis->titleText().toStdString();
        EXPECT_TRUE(axis->isVisible());
    }
}

}  // namespace
