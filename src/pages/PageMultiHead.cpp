#include "pages/PageMultiHead.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "frames/Frahorizbit.h"

namespace orvan::pages {

namespace {

frames::TfraHorizBit* Framed(QVBoxLayout* column, const char* caption, const char* name,
                             QWidget* parent) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* l = new QVBoxLayout(box);
    auto* f = new frames::TfraHorizBit(box);
    f->setObjectName(QString::fromLatin1(name));
    f->SetIndicatorSpacing(TPageMultiHead::kHeadSpacing);
    l->addWidget(f);
    column->addWidget(box);
    return f;
}

}  // namespace

TPageMultiHead::TPageMultiHead(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshMultiHead"));
    auto* column = new QVBoxLayout(this);
    chkMultiHPolling = new QCheckBox(QStringLiteral("Heads anomaly polling"), this);
    column->addWidget(chkMultiHPolling);
    fraMultiHHeadsTout = Framed(column, " Timeout error ", "fraMultiHHeadsTout", this);
    fraMultiHErrPos = Framed(column, "Positioning Error", "fraMultiHErrPos", this);
    fraMultiHCRCPos = Framed(column, "CRC Error", "fraMultiHCRCPos", this);
    column->addStretch(1);
}

}  // namespace orvan::pages
