#include "frames/Fraiostatus.h"

#include <QLabel>

#include "frames/IndicatorShape.h"

namespace orvan::frames {

TfraIOStatus::TfraIOStatus(QWidget* parent) : QFrame(parent) {
    setFixedSize(165, 298);
    shpTemplate_ = new TShape(TShape::Kind::Circle, kLime, this);
    shpTemplate_->setGeometry(0, 8, 17, 17);
    lblTemplate_ = new QLabel(QStringLiteral("012346789"), this);
    lblTemplate_->move(24, 10);
    for (int i = 0; i < kCount; ++i) {
        auto* lbl = new QLabel(QStringLiteral("I/O"), this);
        lbl->move(lblTemplate_->x(), lblTemplate_->y() + kStep * i);
        lbl->resize(width() - lbl->x(), 17);
        labels_[i] = lbl;
        auto* shp = new TShape(shpTemplate_->GetKind(), shpTemplate_->Fill(), this);
        shp->setGeometry(shpTemplate_->x(), shpTemplate_->y() + kStep * i, shpTemplate_->width(),
                         shpTemplate_->height());
        shp->SetTag(i);
        connect(shp, &TShape::Pressed, this, &TfraIOStatus::IndicatorMouseDown);
        shapes_[i] = shp;
    }
    shpTemplate_->hide();
    lblTemplate_->hide();
}

QColor TfraIOStatus::Colour(int i) const {
    return Shape(i) ? Shape(i)->Fill() : QColor();
}

void TfraIOStatus::ShowBitWord(std::uint32_t word) {
    for (int i = 0; i < kCount; ++i) {
        const QColor c = shapes_[i]->Fill();
        if (c == kWhite || c == kBlack) continue;
        shapes_[i]->SetFill(((word >> i) & 1u) ? kRed : kLime);
    }
}

void TfraIOStatus::SelectIndicator(int index) {
    selected_ = index;
}

void TfraIOStatus::SetSelectedName(const QString& text) {
    if (QLabel* l = Label(selected_)) l->setText(text);
}

std::uint32_t TfraIOStatus::ForcedOnMask() const {
    std::uint32_t m = 0;
    for (int i = 0; i < kCount; ++i)
        if (shapes_[i]->Fill() == kBlack) m |= 1u << i;
    return m;
}

std::uint32_t TfraIOStatus::ForcedOffMask() const {
    std::uint32_t m = 0;
    for (int i = 0; i < kCount; ++i)
        if (shapes_[i]->Fill() == kWhite) m |= 1u << i;
    return m;
}

void TfraIOStatus::ShowForcedOff(std::uint32_t mask) {
    for (int i = 0; i < kCount; ++i) {
        if (shapes_[i]->Fill() == kBlack) continue;
        shapes_[i]->SetFill(((mask >> i) & 1u) ? kWhite : kLime);
    }
}

void TfraIOStatus::ShowForcedOn(std::uint32_t mask) {
    for (int i = 0; i < kCount; ++i) {
        if (shapes_[i]->Fill() == kWhite) continue;
        shapes_[i]->SetFill(((mask >> i) & 1u) ? kBlack : kLime);
    }
}

void TfraIOStatus::IndicatorMouseDown(int tag, Qt::KeyboardModifiers modifiers) {
    TShape* s = Shape(tag);
    if (!s) return;
    if (modifiers & Qt::ShiftModifier)
        s->SetFill(kWhite);
    else if (modifiers & Qt::ControlModifier)
        s->SetFill(kBlack);
    else if (modifiers & Qt::AltModifier)
        s->SetFill(kLime);
}

}  // namespace orvan::frames
