#include "pages/ResponsePicture.h"

#include <QPainter>
#include <cmath>

namespace orvan::pages {

TResponsePicture::TResponsePicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgPowerMeter"));
    setFixedSize(kWidth, kHeight);
    setToolTip(
        QStringLiteral("Power meter response: P (W) against the feedback V; "
                       "\"Get m,q\" draws the line through the two points"));
}

void TResponsePicture::ShowLine(double v1, double w1, double v2, double w2) {
    line_ = TLine{v1, w1, v2, w2};
    update();
}

void TResponsePicture::ClearLine() {
    line_.reset();
    update();
}

// 25.5 pixels a volt from x 50; 2 pixels a watt up from 30 above the bottom.
QPoint TResponsePicture::At(double volts, double watts) {
    const int px = static_cast<int>(std::trunc(volts * 255 * 0.1)) + 50;
    const int py = static_cast<int>(std::trunc(watts * 200 * 0.01 + 30));
    return {px, kHeight - py};
}

void TResponsePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int h = height();
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(50, h - 20, 50, h - 255);   // P axis
    p.drawLine(40, h - 30, 330, h - 30);   // V axis
    p.drawLine(305, h - 20, 305, h - 30);  // 10 V
    p.drawLine(40, h - 230, 50, h - 230);  // 100 W
    // The axis grid at round steps: every volt, every 10 W.
    p.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 1, Qt::DotLine));
    for (int v = 1; v <= 10; ++v) p.drawLine(At(v, 0).x(), h - 31, At(v, 0).x(), h - 230);
    for (int w = 10; w <= 100; w += 10) p.drawLine(51, At(0, w).y(), 305, At(0, w).y());
    p.setPen(Qt::black);
    const QFontMetrics fm(font());
    auto text = [&](int x, int y, const QString& t) { p.drawText(x, y, t); };
    text(40, h - 270 + fm.ascent(), QStringLiteral("P(w)"));
    text(std::min(330, width() - fm.horizontalAdvance(QStringLiteral("V(v)")) - 1), h - 33,
         QStringLiteral("V(v)"));
    text(300, h - 20 + fm.ascent(), QStringLiteral("10"));
    text(45, h - 20 + fm.ascent(), QStringLiteral("0"));
    text(40 - 2 - fm.horizontalAdvance(QStringLiteral("100")), h - 230 + fm.ascent() / 2,
         QStringLiteral("100"));
    text(40 - 2 - fm.horizontalAdvance(QStringLiteral("0")), h - 30 + fm.ascent() / 2,
         QStringLiteral("0"));
    if (!line_) return;
    p.setClipRect(QRect(QPoint(51, h - 250), QPoint(330, h - 31)));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(At(line_->v1, line_->w1), At(line_->v2, line_->w2));
}

}  // namespace orvan::pages
