#include "frames/Fraanomaly.h"

#include <QLabel>

#include "frames/IndicatorShape.h"

namespace orvan::frames {

TfraAnomaly::TfraAnomaly(QWidget* parent) : TBitRowFrame(kCapacity, QPoint(0, 1), parent) {
    setFixedSize(178, 342);
    shpTemplate_ = new TShape(TShape::Kind::Rectangle, kWhite, this);
    shpTemplate_->setGeometry(8, 0, 13, 13);
    lblTemplate_ = new QLabel(QStringLiteral("lblDefaultAnomaly"), this);
    lblTemplate_->setGeometry(25, 0, width() - 25, 13);
    shpTemplate_->hide();
    lblTemplate_->hide();
    SetIndicatorSpacing(17);
}

}  // namespace orvan::frames
