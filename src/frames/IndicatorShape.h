#pragma once
// One indicator of a frame: a small circle or square with a solid fill, a
// black outline and an index tag, reporting mouse presses with the keys held.

#include <QColor>
#include <QWidget>

namespace orvan::frames {

// The only colours the frames use.
inline const QColor kRed{255, 0, 0};
inline const QColor kLime{0, 255, 0};
inline const QColor kWhite{255, 255, 255};
inline const QColor kBlack{0, 0, 0};

class TShape : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { Circle, Rectangle };

    TShape(Kind kind, QColor fill, QWidget* parent);

    Kind GetKind() const { return kind_; }
    QColor Fill() const { return fill_; }
    void SetFill(QColor c);
    int Tag() const { return tag_; }
    void SetTag(int t) { tag_ = t; }

  signals:
    void Pressed(int tag, Qt::KeyboardModifiers modifiers);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    Kind kind_;
    QColor fill_;
    int tag_ = 0;
};

}  // namespace orvan::frames
