#include "frames/IndicatorShape.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvan::frames {

TShape::TShape(Kind kind, QColor fill, QWidget* parent)
    : QWidget(parent), kind_(kind), fill_(fill) {}

void TShape::SetFill(QColor c) {
    if (c == fill_) return;
    fill_ = c;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, kind_ == Kind::Circle);
    p.setPen(QPen(kBlack, 1));
    p.setBrush(fill_);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (kind_ == Kind::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

void TShape::mousePressEvent(QMouseEvent* event) {
    emit Pressed(tag_, event->modifiers());
    QWidget::mousePressEvent(event);
}

}  // namespace orvan::frames
