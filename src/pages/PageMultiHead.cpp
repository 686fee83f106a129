#include "pages/PageMultiHead.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "frames/Frahorizbit.h"
#include "pages/ScrollBody.h"

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
    QWidget* body = ScrollBody(this);
    auto* column = new QVBoxLayout(body);
    chkMultiHPolling = new QCheckBox(QStringLiteral("Heads anomaly polling"), body);
    column->addWidget(chkMultiHPolling);
    fraMultiHHeadsTout = Framed(column, " Timeout error ", "fraMultiHHeadsTout", body);
    fraMultiHErrPos = Framed(column, "Positioning Error", "fraMultiHErrPos", body);
    fraMultiHCRCPos = Framed(column, "CRC Error", "fraMultiHCRCPos", body);
    column->addStretch(1);
}

}  // namespace orvan::pages
