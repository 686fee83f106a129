#pragma once
// A list view for traffic logs of any length. Qt's stock item views lay out
// every row again when one is appended, which costs milliseconds once a log
// holds a million lines; this view has rows of one fixed height, so placing,
// scrolling and appending cost the same at any length.

#include <QAbstractItemView>

namespace orvan::pages {

class TLogView : public QAbstractItemView {
    Q_OBJECT
  public:
    explicit TLogView(QWidget* parent = nullptr);

    int RowHeight() const { return rowHeight_; }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void reset() override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    int Rows() const;
    // Applies a geometry update that rows inserted since left pending.
    void SettleGeometry();
    int rowHeight_;
    bool geometryPending_ = false;
};

}  // namespace orvan::pages
