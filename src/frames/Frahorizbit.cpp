#include "frames/Frahorizbit.h"

#include <QLabel>

#include "frames/IndicatorShape.h"

namespace orvan::frames {

TfraHorizBit::TfraHorizBit(QWidget* parent) : TBitRowFrame(kCapacity, QPoint(1, 0), parent) {
    setFixedSize(822, 67);
    lblTemplate_ = new QLabel(QStringLiteral("lblDefaultBit"), this);
    lblTemplate_->setGeometry(1, 0, 20, 16);
    shpTemplate_ = new TShape(TShape::Kind::Rectangle, kWhite, this);
    shpTemplate_->setGeometry(0, 16, 13, 13);
    shpTemplate_->hide();
    lblTemplate_->hide();
}

}  // namespace orvan::frames
