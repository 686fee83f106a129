#include "pages/TabOrder.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLayout>
#include <QScrollArea>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <vector>

namespace orvan::pages {

namespace {

// Where an item sits in its layout: the rows and columns it covers.
struct Cell {
    int row0, row1, col0, col1;
    QLayoutItem* item;
    bool Group() const { return qobject_cast<QGroupBox*>(item->widget()) != nullptr; }
};

// Reading order between two cells. Controls: wholly above, or beside in the
// same rows and to the left. Groups stand in columns: wholly to the left, or
// in the same columns and above.
bool Before(const Cell& a, const Cell& b) {
    if (a.Group() && b.Group()) {
        if (a.col1 < b.col0) return true;
        if (b.col1 < a.col0) return false;
        return a.row1 < b.row0;
    }
    if (a.row1 < b.row0) return true;
    if (b.row1 < a.row0) return false;
    return a.col1 < b.col0;
}

std::vector<Cell> Cells(QLayout* layout) {
    std::vector<Cell> cells;
    const int n = layout->count();
    auto* grid = qobject_cast<QGridLayout*>(layout);
    auto* form = qobject_cast<QFormLayout*>(layout);
    auto* box = qobject_cast<QBoxLayout*>(layout);
    const bool across = box && (box->direction() == QBoxLayout::LeftToRight ||
                                box->direction() == QBoxLayout::RightToLeft);
    const bool reversed = box && (box->direction() == QBoxLayout::RightToLeft ||
                                  box->direction() == QBoxLayout::BottomToTop);
    for (int i = 0; i < n; ++i) {
        Cell c{0, 0, 0, 0, layout->itemAt(i)};
        if (grid) {
            int r = 0, col = 0, rs = 1, cs = 1;
            grid->getItemPosition(i, &r, &col, &rs, &cs);
            c = {r, r + rs - 1, col, col + cs - 1, c.item};
        } else if (form) {
            int r = 0;
            QFormLayout::ItemRole role = QFormLayout::LabelRole;
            form->getItemPosition(i, &r, &role);
            const int col = role == QFormLayout::FieldRole ? 1 : 0;
            c = {r, r, col, role == QFormLayout::SpanningRole ? 1 : col, c.item};
        } else {
            const int at = reversed ? n - 1 - i : i;
            c = across ? Cell{0, 0, at, at, c.item} : Cell{at, at, 0, 0, c.item};
        }
        cells.push_back(c);
    }
    // Each step takes, of the cells nothing still waiting comes before, the
    // top-left one; a grid's cells are only partly ordered by rows and columns.
    std::vector<Cell> ordered;
    while (!cells.empty()) {
        std::size_t pick = cells.size();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            bool free = true;
            for (std::size_t k = 0; k < cells.size() && free; ++k)
                free = k == i || !Before(cells[k], cells[i]);
            if (!free) continue;
            if (pick == cells.size() || cells[i].row0 < cells[pick].row0 ||
                (cells[i].row0 == cells[pick].row0 && cells[i].col0 < cells[pick].col0))
                pick = i;
        }
        if (pick == cells.size()) pick = 0;
        ordered.push_back(cells[pick]);
        cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(pick));
    }
    return ordered;
}

class TChain {
  public:
    void Widget(QWidget* w) {
        if (w == nullptr || seen_.contains(w)) return;
        seen_.insert(w);
        if (auto* view = qobject_cast<QAbstractItemView*>(w)) view->setTabKeyNavigation(false);
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            Add(tabs->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly));
            for (int i = 0; i < tabs->count(); ++i) Widget(tabs->widget(i));
            return;
        }
        Add(w);
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            Widget(area->widget());
            return;
        }
        // A compound control (a spin box, a calendar, a grid) keeps its own
        // inner order.
        if (w->focusProxy() != nullptr || qobject_cast<QAbstractScrollArea*>(w)) return;
        if (w->layout() != nullptr) Layout(w->layout());
        // Children placed by hand, after those the layout places.
        for (QObject* o : w->children())
            if (auto* child = qobject_cast<QWidget*>(o); child && !child->isWindow()) Widget(child);
    }

    void Layout(QLayout* layout) {
        for (const Cell& c : Cells(layout)) {
            if (QWidget* w = c.item->widget())
                Widget(w);
            else if (QLayout* inner = c.item->layout())
                Layout(inner);
        }
    }

    void Apply() const {
        for (std::size_t i = 1; i < order_.size(); ++i)
            QWidget::setTabOrder(order_[i - 1], order_[i]);
    }

  private:
    void Add(QWidget* w) {
        if (w != nullptr && w->focusPolicy() != Qt::NoFocus) order_.push_back(w);
    }
    QSet<QWidget*> seen_;
    std::vector<QWidget*> order_;
};

}  // namespace

void SetTabOrderByLayout(QWidget* root) {
    if (root == nullptr) return;
    TChain chain;
    chain.Widget(root);
    chain.Apply();
}

}  // namespace orvan::pages
