// The window on a workshop laptop's 1024x768 screen: its minimum size, pages
// that scroll rather than widen it, status panels that stay put, hints and
// menu items as the user meets them, units on the first page.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>

#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/Cfgwelder.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderVelkor.h"

using orvan::app::TMainForm;

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

class WindowFit : public ::testing::Test {
  protected:
    std::unique_ptr<TMainForm> Start(const std::string& lineNote = {}) {
        orvan::app::TStartOptions o;
        o.settingsDirectory = dir.path().toStdString() + "/";
        o.device = "/no/such/port";
        o.lineNote = lineNote;
        o.keepSettingsFile = true;
        o.backupDirectory = dir.path().toStdString() + "/backups";
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->resize(kScreenWidth, kScreenHeight);
        f->show();
        Settle();
        return f;
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    static std::vector<QRect> PanelGeometries(const TMainForm& f) {
        std::vector<QRect> g;
        for (int i = 0; i < TMainForm::kPanelCount; ++i)
            g.push_back(f.statusBar()
                            ->findChild<QLabel*>(QStringLiteral("StbMainPanel%1").arg(i))
                            ->geometry());
        return g;
    }

    QTemporaryDir dir;
    orvan::test::TRecordingDialogs dialogs;
};

TEST_F(WindowFit, MinimumSizeFitsTheScreen) {
    auto f = Start("Simulated board on /dev/pts/12");
    const QSize least = f->minimumSizeHint().expandedTo(f->minimumSize());
    EXPECT_LE(least.width(), kScreenWidth);
    EXPECT_LE(least.height(), kScreenHeight);
    EXPECT_EQ(f->size(), QSize(kScreenWidth, kScreenHeight)) << "the window took the screen size";
    // Every tab stays reachable: the tab bar scrolls rather than widening.
    EXPECT_TRUE(f->PgcMain->usesScrollButtons());
}

TEST_F(WindowFit, EveryPageFitsItsWidthOrScrolls) {
    auto f = Start();
    // Page by page (and each configuration sub-page): its controls need no
    // more width than the screen gives; what is taller scrolls.
    std::vector<std::pair<QWidget*, QString>> pages;
    for (int i = 0; i < f->PgcMain->count(); ++i)
        pages.emplace_back(f->PgcMain->widget(i), f->PgcMain->tabText(i));
    QTabWidget* sub = f->FindPage<orvan::pages::TPageWelderCfg>()->PgcWelderCfg;
    for (int i = 0; i < sub->count(); ++i) pages.emplace_back(sub->widget(i), sub->tabText(i));
    for (const auto& [page, caption] : pages) {
        SCOPED_TRACE(caption.toStdString());
        if (auto* tabs = page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr)
            if (auto* t = qobject_cast<QTabWidget*>(tabs)) t->setCurrentWidget(page);
        f->PgcMain->setCurrentWidget(
            page == f->FindPage<orvan::pages::TPageWelderCfg>() || sub->indexOf(page) >= 0
                ? static_cast<QWidget*>(f->FindPage<orvan::pages::TPageWelderCfg>())
                : page);
        Settle();
        QScrollArea* area = page->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
        if (page == f->FindPage<orvan::pages::TPageWelderCfg>()) {
            EXPECT_EQ(area, nullptr) << "its sub-pages scroll, the sub-page tabs stay";
            continue;
        }
        ASSERT_NE(area, nullptr);
        EXPECT_TRUE(area->widgetResizable());
        EXPECT_LE(area->widget()->minimumSizeHint().width(), area->viewport()->width());
        EXPECT_LE(page->minimumSizeHint().width(), 200)
            << "the page itself never widens the window";
    }
}

TEST_F(WindowFit, StatusPanelsStayInPlaceWhileATransferRuns) {
    const std::string note = "Simulated board on /dev/pts/12";
    auto f = Start(note);
    f->FormActivate();
    Settle();
    const std::vector<QRect> before = PanelGeometries(*f);
    ASSERT_FALSE(f->cgaTransfer->isVisible());
    f->ConfigUploadClick();  // no board: it runs until its time-out
    Settle();
    ASSERT_TRUE(f->Core()->Operations().Busy());
    ASSERT_TRUE(f->cgaTransfer->isVisible());
    EXPECT_EQ(PanelGeometries(*f), before);
    for (int i = 0; i < TMainForm::kPanelCount; ++i)
        EXPECT_LE(before[static_cast<std::size_t>(i)].right(), f->cgaTransfer->geometry().left())
            << "panel " << i << " left of the bar";
    // The line's note is read whole in panel 6.
    QLabel* six = f->statusBar()->findChild<QLabel*>(QStringLiteral("StbMainPanel6"));
    EXPECT_EQ(six->text().toStdString(), note);
    EXPECT_GE(six->contentsRect().width(),
              six->fontMetrics().horizontalAdvance(QString::fromStdString(note)));
    EXPECT_LE(f->cgaTransfer->geometry().right(), kScreenWidth);
    // A text longer than a fixed panel holds ends in an ellipsis and is whole
    // in its tooltip; the panels do not move.
    const QString phase = QStringLiteral("keeping what the board holds before the write");
    f->SetPanelText(1, phase);
    QLabel* one = f->statusBar()->findChild<QLabel*>(QStringLiteral("StbMainPanel1"));
    EXPECT_EQ(f->PanelText(1), phase);
    EXPECT_EQ(one->toolTip(), phase);
    EXPECT_TRUE(one->text().endsWith(QChar(0x2026))) << one->text().toStdString();
    EXPECT_LE(one->fontMetrics().horizontalAdvance(one->text()), one->contentsRect().width());
    EXPECT_EQ(PanelGeometries(*f), before);
}

TEST_F(WindowFit, SpeedButtonHintsShowTheShortPart) {
    struct Row {
        const char* hint;
        const char* shortHint;
        const char* longHint;
    };
    const Row rows[] = {{"New|", "New", ""},
                        {"Open|Open an existing file", "Open", "Open an existing file"},
                        {"Plain", "Plain", "Plain"},
                        {"|Only long", "", "Only long"}};
    for (const Row& r : rows) {
        const auto [s, l] = TMainForm::SplitHint(QString::fromLatin1(r.hint));
        EXPECT_EQ(s, r.shortHint) << r.hint;
        EXPECT_EQ(l, r.longHint) << r.hint;
    }
    auto f = Start();
    QStringList tips;
    for (QAction* a : f->SpeedBar->actions())
        if (!a->isSeparator() && a->text() != QStringLiteral("Info")) tips << a->toolTip();
    EXPECT_EQ(tips, QStringList({"New", "Open", "Save", "Save As"}));
    for (QAction* a : f->SpeedBar->actions()) EXPECT_FALSE(a->toolTip().contains(u'|'));
    // The status bar gets the File menu's longer hint.
    EXPECT_EQ(f->SpeedBar->actions().back()->statusTip(), f->FileSaveAsItem->statusTip());
}

TEST_F(WindowFit, ItemsOfLaterFeaturesAreDisabledOthersEnabled) {
    auto f = Start();
    struct Row {
        QAction* item;
        const char* caption;
        bool enabled;
    };
    const Row rows[] = {
        {f->SetSerialNumberItem, "Set Serial Number", true},
        {f->SetHoursCounterItem, "Set welder hours counter", true},
        {f->SetFactoryTuningDateItem, "Set welder factory tuning Date/Time", true},
        {f->HelpItems.at(0), "&Contents", true},
        {f->HelpItems.at(3), "&About...", true},
        {f->ConfigDownload, "WRITE    PC  -->  Board", true},
        {f->FileBackupsItem, "Backups...", true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.item->text(), r.caption);
        EXPECT_EQ(r.item->isEnabled(), r.enabled) << r.caption;
    }
    EXPECT_EQ(f->HelpItems.size(), 4u);
}

TEST_F(WindowFit, PrintDialogsGoThroughTheDialogs) {
    auto f = Start();
    f->FilePrint();
    f->FilePrintSetup();
    f->FilePrint();
    EXPECT_EQ(dialogs.prints, 2);
    EXPECT_EQ(dialogs.printSetups, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WindowFit, FirstPageGaugesCarryUnits) {
    auto f = Start();
    f->Core()->Document().New();
    f->ShowConfig();
    const auto* p = f->FindPage<orvan::pages::TPageWelderVelkor>();
    const std::pair<QLabel*, const char*> rows[] = {
        {p->lblPowerMin, " A"},
        {p->lblPowerMax, " A"},
        {p->lblFeedBackAlimCurrMax, " A"},
        {p->lblPowerMeterMax, " W"},
        {p->lblFeedbackPDMax, " W"},
        {p->lblTempDiodeMin, " °C"},
        {p->lblTempDiodeMax, " °C"},
        {p->LblAnalogValue[0], " V"},
    };
    for (const auto& [label, unit] : rows)
        EXPECT_TRUE(label->text().endsWith(QString::fromUtf8(unit))) << label->text().toStdString();
    EXPECT_EQ(p->lblPowerMax->text(), "48 A");
    // The photodiode gauge counts milliwatts; its label says watts.
    EXPECT_EQ(p->cgaFeedbackPD->maximum(), f->Record()->GetPDiodeMax() * 10);
    EXPECT_EQ(p->lblFeedbackPDMax->text(),
              QString::number(f->Record()->GetPDiodeMax() / 100) + QStringLiteral(" W"));
}

}  // namespace
