#include "frames/Fraanomaly.h"

#include <QLabel>
#include <algorithm>

#include "frames/IndicatorShape.h"

namespace orvan::frames {

TfraAnomaly::TfraAnomaly(QWidget* parent) : TBitRowFrame(kCapacity, QPoint(0, 1), parent) {
    setFixedSize(178, 342);
    shpTemplate_ = new TShape(TShape::Kind::Rectangle, kWhite, this);
    shpTemplate_->setGeometry(8, 0, 13, 13);
    lblTemplate_ = new QLabel(QStringLiteral("lblDefaultAnomaly"), this);
    // As tall as the font, so that no descender is cut.
    lblTemplate_->setGeometry(25, 0, width() - 25, std::max(13, fontMetrics().height()));
    shpTemplate_->hide();
    lblTemplate_->hide();
    SetIndicatorSpacing(17);
}

}  // namespace orvan::frames
