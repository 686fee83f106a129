#include "pages/LogView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace orvan::pages {

TLogView::TLogView(QWidget* parent) : QAbstractItemView(parent) {
    rowHeight_ = fontMetrics().height() + 2;
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always shown, so a change of its range never has to post the scroll
    // area a request to show or hide it.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(rowHeight_);
}

int TLogView::Rows() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QRect TLogView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex()) return {};
    return QRect(0, index.row() * rowHeight_ - verticalOffset(), viewport()->width(), rowHeight_);
}

void TLogView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid()) return;
    SettleGeometry();
    const int top = index.row() * rowHeight_;
    const int view = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    int value = bar->value();
    switch (hint) {
        case PositionAtTop:
            value = top;
            break;
        case PositionAtBottom:
            value = top + rowHeight_ - view;
            break;
        case PositionAtCenter:
            value = top - (view - rowHeight_) / 2;
            break;
        case EnsureVisible:
            if (top < value)
                value = top;
            else if (top + rowHeight_ > value + view)
                value = top + rowHeight_ - view;
            break;
    }
    bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
}

QModelIndex TLogView::indexAt(const QPoint& point) const {
    if (!model() || point.y() < 0) return {};
    const long long row = (static_cast<long long>(point.y()) + verticalOffset()) / rowHeight_;
    if (row >= Rows()) return {};
    return model()->index(static_cast<int>(row), 0, rootIndex());
}

QModelIndex TLogView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = Rows();
    if (rows == 0) return {};
    const int cur = currentIndex().isValid() ? currentIndex().row() : 0;
    const int page = std::max(1, viewport()->height() / rowHeight_);
    int row = cur;
    switch (action) {
        case MoveUp:
            row = cur - 1;
            break;
        case MoveDown:
            row = cur + 1;
            break;
        case MovePageUp:
            row = cur - page;
            break;
        case MovePageDown:
            row = cur + page;
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        default:
            break;
    }
    return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

int TLogView::horizontalOffset() const {
    return 0;
}
int TLogView::verticalOffset() const {
    return verticalScrollBar()->value();
}
bool TLogView::isIndexHidden(const QModelIndex&) const {
    return false;
}

void TLogView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
    const QRect r = rect.normalized();
    const QModelIndex first = indexAt(QPoint(0, std::max(0, r.top())));
    QModelIndex last = indexAt(QPoint(0, r.bottom()));
    if (!first.isValid()) {
        selectionModel()->select(QItemSelection(), flags);
        return;
    }
    if (!last.isValid()) last = model()->index(Rows() - 1, 0, rootIndex());
    selectionModel()->select(QItemSelection(first, last), flags);
}

QRegion TLogView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const int top = range.top() * rowHeight_ - verticalOffset();
        const int bottom = (range.bottom() + 1) * rowHeight_ - verticalOffset();
        region += QRect(0, std::max(top, -1), viewport()->width(),
                        std::min(bottom, viewport()->height() + 1) - std::max(top, -1));
    }
    return region;
}

void TLogView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect area = event->rect();
    const int rows = Rows();
    if (rows == 0) return;
    const int first = std::max(0, (area.top() + verticalOffset()) / rowHeight_);
    const int last = std::min(rows - 1, (area.bottom() + verticalOffset()) / rowHeight_);
    const QPalette& pal = palette();
    const QModelIndex current = currentIndex();
    for (int row = first; row <= last; ++row) {
        const QModelIndex idx = model()->index(row, 0, rootIndex());
        const QRect r(0, row * rowHeight_ - verticalOffset(), viewport()->width(), rowHeight_);
        const bool selected = selectionModel() && selectionModel()->isSelected(idx);
        if (selected) p.fillRect(r, pal.brush(QPalette::Highlight));
        p.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   idx.data(Qt::DisplayRole).toString());
        if (idx == current && hasFocus()) {
            p.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
}

void TLogView::resizeEvent(QResizeEvent* event) {
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
}

void TLogView::updateGeometries() {
    const long long content = static_cast<long long>(Rows()) * rowHeight_;
    const long long span = std::max<long long>(0, content - viewport()->height());
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    const int maximum = static_cast<int>(std::min<long long>(span, INT_MAX));
    if (maximum >= bar->value()) {
        // Growing: the value stays, and the range signal would only post the
        // scroll area an event per line.
        const QSignalBlocker quiet(bar);
        bar->setRange(0, maximum);
    } else {
        bar->setRange(0, maximum);
    }
    QAbstractItemView::updateGeometries();
}

void TLogView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex()) return;
    // Every range change of the scroll bar posts an event to the scroll area;
    // a burst of lines between two passes of the event loop settles once.
    if (!geometryPending_) {
        geometryPending_ = true;
        QMetaObject::invokeMethod(this, &TLogView::SettleGeometry, Qt::QueuedConnection);
    }
    const QRect firstNew(0, start * rowHeight_ - verticalOffset(), viewport()->width(), rowHeight_);
    if (firstNew.top() < viewport()->height()) viewport()->update();
}

void TLogView::SettleGeometry() {
    if (!geometryPending_) return;
    geometryPending_ = false;
    updateGeometries();
}

void TLogView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    viewport()->update();
}

void TLogView::reset() {
    QAbstractItemView::reset();
    geometryPending_ = false;
    updateGeometries();
    viewport()->update();
}

// Repainted at the next pass of the event loop rather than moved at once:
// moving the pixels on every appended line costs more than drawing the few
// rows shown, once per pass.
void TLogView::scrollContentsBy(int, int) {
    viewport()->update();
}

}  // namespace orvan::pages
