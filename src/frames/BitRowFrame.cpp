#include "frames/BitRowFrame.h"

#include <QLabel>
#include <algorithm>

#include "frames/IndicatorShape.h"

namespace orvan::frames {

TBitRowFrame::TBitRowFrame(int capacity, QPoint step, QWidget* parent)
    : QFrame(parent), capacity_(capacity), step_(step) {}

TShape* TBitRowFrame::Shape(int i) const {
    return (i >= 0 && i < static_cast<int>(shapes_.size())) ? shapes_[static_cast<std::size_t>(i)]
                                                            : nullptr;
}

QLabel* TBitRowFrame::Label(int i) const {
    return (i >= 0 && i < static_cast<int>(labels_.size())) ? labels_[static_cast<std::size_t>(i)]
                                                            : nullptr;
}

void TBitRowFrame::BuildIndicators(int count) {
    for (TShape* s : shapes_) delete s;
    for (QLabel* l : labels_) delete l;
    shapes_.clear();
    labels_.clear();
    const int n = std::clamp(count, 0, capacity_);
    for (int i = 0; i < n; ++i) {
        const QPoint off = step_ * (i * spacing_);
        auto* lbl = new QLabel(QString::number(i), this);
        lbl->setGeometry(QRect(lblTemplate_->pos() + off, lblTemplate_->size()));
        lbl->show();
        labels_.push_back(lbl);
        auto* shp = new TShape(shpTemplate_->GetKind(), shpTemplate_->Fill(), this);
        shp->setGeometry(QRect(shpTemplate_->pos() + off, shpTemplate_->size()));
        shp->SetTag(i);
        shp->show();
        shapes_.push_back(shp);
    }
    shpTemplate_->hide();
    lblTemplate_->hide();
    count_ = static_cast<std::uint8_t>(n);
}

void TBitRowFrame::SetIndicatorName(int index, const QString& text) {
    QLabel* l = Label(index);
    if (l == nullptr) return;
    l->setText(text);
    // A long name is shown whole: its label, and the frame with it, grow.
    const int needs = l->sizeHint().width();
    if (needs <= l->width()) return;
    l->resize(needs, l->height());
    if (l->geometry().right() >= width()) setFixedWidth(l->geometry().right() + 1);
}

void TBitRowFrame::ShowBitWord(std::uint64_t word) {
    for (int i = 0; i < count_; ++i)
        shapes_[static_cast<std::size_t>(i)]->SetFill(((word >> i) & 1u) ? kRed : kWhite);
}

}  // namespace orvan::frames
