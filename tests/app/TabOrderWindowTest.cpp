// Tab walks every page as the technician reads it, on each simulated
// machine: every control that takes Tab is reached once before Tab leaves
// the page, a group before the next, and inside a group a control before
// those wholly below it and after those to its left in the same rows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "pages/PageWelderCfg.h"

using namespace orvan::app;

namespace {

// Pixels two neighbours may share and still be read one after the other.
constexpr int kTolerance = 2;
// More Tab presses than any page has controls.
constexpr int kMaxPresses = 400;

std::string NameOf(const QWidget* w) {
    const QString name = w->objectName();
    return (name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name)
        .toStdString();
}

QRect RectIn(const QWidget* w, const QWidget* page) {
    return QRect(w->mapTo(page, QPoint(0, 0)), w->size());
}

// What a control is read as, outermost first: the group boxes around it,
// then the control itself or the compound control (calendar, spin box) it
// is part of.
std::vector<const QWidget*> Blocks(const QWidget* w, const QWidget* page) {
    const QWidget* leaf = w;
    for (const QWidget* p = w->parentWidget(); p && p != page; p = p->parentWidget())
        if (p->focusProxy() != nullptr && p->isAncestorOf(p->focusProxy())) leaf = p;
    std::vector<const QWidget*> blocks{leaf};
    for (const QWidget* p = leaf->parentWidget(); p && p != page; p = p->parentWidget())
        if (qobject_cast<const QGroupBox*>(p)) blocks.insert(blocks.begin(), p);
    return blocks;
}

// Whether `a` is read before `b`, at the first level where their blocks
// differ. Two groups are read column by column: a's wholly to the left, or in
// the same columns and wholly above. Otherwise row by row: a's block wholly
// above b's, or beside it in the same rows and to its left.
bool ReadBefore(const QWidget* a, const QWidget* b, const QWidget* page) {
    const auto ba = Blocks(a, page);
    const auto bb = Blocks(b, page);
    std::size_t k = 0;
    while (k < ba.size() && k < bb.size() && ba[k] == bb[k]) ++k;
    if (k == ba.size() || k == bb.size()) return false;  // one compound control
    const QRect ra = RectIn(ba[k], page);
    const QRect rb = RectIn(bb[k], page);
    const auto above = [](const QRect& x, const QRect& y) {
        return x.bottom() < y.top() + kTolerance;
    };
    const auto left = [](const QRect& x, const QRect& y) {
        return x.right() < y.left() + kTolerance;
    };
    if (qobject_cast<const QGroupBox*>(ba[k]) && qobject_cast<const QGroupBox*>(bb[k])) {
        if (left(ra, rb)) return true;
        if (left(rb, ra)) return false;
        return above(ra, rb);
    }
    if (above(ra, rb)) return true;
    if (above(rb, ra)) return false;
    return left(ra, rb);
}

// Of a set of exclusive radio buttons, Tab stops at the checked one only
// (the arrows move between them).
bool PassedByTab(const QWidget* w) {
    const auto* radio = qobject_cast<const QRadioButton*>(w);
    if (radio == nullptr || !radio->autoExclusive() || radio->isChecked()) return false;
    for (const QRadioButton* other :
         w->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (other->autoExclusive() && other->isChecked()) return true;
    return false;
}

// The controls of the page in front that Tab may reach.
std::set<QWidget*> TabStops(QWidget* page) {
    std::set<QWidget*> stops;
    for (QWidget* w : page->findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && w->focusProxy() == nullptr &&
            (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !PassedByTab(w))
            stops.insert(w);
    return stops;
}

class TabOrderWindow : public ::testing::Test {
  protected:
    void Start(const char* machine) {
        const orvan::sim::TMachinePreset* p = orvan::sim::FindMachinePreset(machine);
        ASSERT_NE(p, nullptr);
        board_.Become(*p);
        form_ = board_.StartWindow(dir_.path().toStdString(), dialogs_);
        ASSERT_TRUE(StepUntil(*form_, board_.clock, [&] { return Settled(*form_); }));
        form_->resize(1024, 768);
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    // Tab from the page itself until the focus leaves it: the controls in
    // the order Tab reached them (none when Tab never left the page).
    std::optional<std::vector<QWidget*>> Walk(QWidget* page) {
        page->setFocus(Qt::OtherFocusReason);
        std::vector<QWidget*> reached;
        for (int press = 0; press < kMaxPresses; ++press) {
            QWidget* at = form_->focusWidget();
            if (at == nullptr) return std::nullopt;
            QTest::keyClick(at, Qt::Key_Tab);
            QWidget* now = form_->focusWidget();
            if (now == nullptr || !page->isAncestorOf(now)) return reached;
            reached.push_back(now);
        }
        return std::nullopt;
    }

    void Check(QWidget* page, const std::string& where) {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        const std::set<QWidget*> stops = TabStops(page);
        const std::optional<std::vector<QWidget*>> walked = Walk(page);
        ASSERT_TRUE(walked.has_value()) << where << ": Tab never left the page";
        const std::vector<QWidget*>& reached = *walked;
        std::string twice, missing, order;
        std::set<QWidget*> seen;
        for (QWidget* w : reached)
            if (!seen.insert(w).second) twice += " " + NameOf(w);
        for (QWidget* w : stops)
            if (!seen.count(w)) missing += " " + NameOf(w);
        int faults = 0;
        for (std::size_t i = 0; i < reached.size() && faults < 6; ++i)
            for (std::size_t k = i + 1; k < reached.size() && faults < 6; ++k)
                if (ReadBefore(reached[k], reached[i], page)) {
                    order += " " + NameOf(reached[k]) + " before " + NameOf(reached[i]) + ";";
                    ++faults;
                }
        EXPECT_EQ(twice, "") << where << ": reached twice";
        EXPECT_EQ(missing, "") << where << ": never reached";
        EXPECT_EQ(order, "") << where << ": out of reading order";
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
};

class TabOrderOnMachine : public TabOrderWindow, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

TEST_P(TabOrderOnMachine, TabFollowsEveryPage) {
    QTabWidget& tabs = *form_->PgcMain;
    for (int i = 0; i < tabs.count(); ++i) {
        QWidget* page = tabs.widget(i);
        tabs.setTabVisible(i, true);
        tabs.setCurrentIndex(i);
        const std::string where = GetParam() + std::string(" ") + tabs.tabText(i).toStdString();
        const auto inner = page->findChildren<QTabWidget*>();
        if (inner.isEmpty()) Check(page, where);
        for (QTabWidget* sub : inner)
            for (int s = 0; s < sub->count(); ++s) {
                sub->setCurrentIndex(s);
                Check(page, where + " / " + sub->tabText(s).toStdString());
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, TabOrderOnMachine,
                         ::testing::Values("source", "pelta", "multihead", "flanging"),
                         [](const auto& info) { return std::string(info.param); });

// A grid holds Tab only while a cell is typed in: Tab keeps the typed value
// and types on in the next cell of the row; once typing ends, Tab moves on.
TEST_F(TabOrderWindow, GridKeepsTabOnlyWhileACellIsTyped) {
    ASSERT_NO_FATAL_FAILURE(Start("source"));
    auto* cfg = form_->FindPage<orvan::pages::TPageWelderCfg>();
    ASSERT_NE(cfg, nullptr);
    form_->PgcMain->setCurrentWidget(cfg);
    cfg->PgcWelderCfg->setCurrentWidget(cfg->TshCfgInput);
    QTableWidget* grid = cfg->StrGridOptoInFilter;
    QCoreApplication::processEvents();
    grid->setFocus(Qt::TabFocusReason);
    grid->setCurrentCell(0, 1);
    // A cell's editor has the focus inside the grid.
    const auto typing = [&] {
        QWidget* at = form_->focusWidget();
        return at != grid && grid->isAncestorOf(at);
    };
    QTest::keyClicks(grid, QStringLiteral("7"));
    ASSERT_TRUE(typing());
    QTest::keyClick(form_->focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("7"));
    EXPECT_EQ(grid->currentColumn(), 2);
    EXPECT_TRUE(typing());
    QTest::keyClick(form_->focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(form_->focusWidget(), grid);
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_NE(form_->focusWidget(), grid);
    EXPECT_EQ(grid->currentColumn(), 2);
}

}  // namespace
