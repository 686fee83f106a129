#include "pages/PageDiameter.h"
#include "pages/TabOrder.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvan::pages {

namespace {

struct PointRow {
    const char *mmCaption, *mmField, *vCaption, *vField;
};

// Tag order: the points' order on the board (0x0900 + tag).
constexpr PointRow kRows[4] = {
    {"Height max (mm)", "edtBirHeightMmMax", "Height max (V)", "edtBirHeightVMax"},
    {"Height min (mm)", "edtBirHeightMmMin", "Height min (V)", "edtBirHeightVMin"},
    {"Diameter max (mm)", "edtBirDiamMmMax", "Diameter max (V)", "edtBirDiamVmax"},
    {"Diameter min (mm)", "edtBirDiamMmMin", "Diameter min (V)", "edtBirDiamVmin"},
};

}  // namespace

TPageDiameter::TPageDiameter(QWidget* parent) : TVariantPage("tshDiameterHeight", parent) {
    auto* column = new QVBoxLayout(Content());
    column->setContentsMargins(0, 0, 0, 0);
    auto* sideBySide = new QHBoxLayout();
    column->addLayout(sideBySide);
    QGroupBox* groups[2] = {new QGroupBox(QStringLiteral("Height"), Content()),
                            new QGroupBox(QStringLiteral("Diameter"), Content())};
    QGridLayout* grids[2] = {new QGridLayout(groups[0]), new QGridLayout(groups[1])};
    for (int tag = 0; tag < 4; ++tag) {
        QGroupBox* box = groups[tag / 2];
        QGridLayout* g = grids[tag / 2];
        const int r = (tag % 2) * 2;
        const PointRow& p = kRows[tag];
        g->addWidget(new QLabel(QString::fromLatin1(p.mmCaption), box), r, 0);
        g->addWidget(Edit(box, p.mmField, "0"), r, 1);
        g->addWidget(new QLabel(QString::fromLatin1(p.vCaption), box), r + 1, 0);
        g->addWidget(Edit(box, p.vField, "0"), r + 1, 1);
        btnBirGet[tag] = new QPushButton(QStringLiteral("Get"), box);
        btnBirGet[tag]->setObjectName(QStringLiteral("btnBirGet%1").arg(tag));
        btnBirGet[tag]->setToolTip(tag < 2 ? QStringLiteral("Live voltage of analog channel 5")
                                           : QStringLiteral("Live voltage of analog channel 4"));
        btnBirWrVar[tag] = new QPushButton(QStringLiteral("Write"), box);
        btnBirWrVar[tag]->setObjectName(QStringLiteral("btnBirWrVar%1").arg(tag));
        // "Get" beside the voltage it fills, "Write" beside the whole point:
        // separate columns, so neither button lies over the other.
        g->addWidget(btnBirGet[tag], r + 1, 2);
        g->addWidget(btnBirWrVar[tag], r, 3, 2, 1);
    }
    sideBySide->addWidget(groups[0]);
    sideBySide->addWidget(groups[1]);
    sideBySide->addStretch(1);
    auto* buttons = new QHBoxLayout();
    btnBirLoadCfg = new QPushButton(QStringLiteral("Load CFG"), Content());
    btnBirLoadCfg->setObjectName(QStringLiteral("btnBirLoadCfg"));
    buttons->addWidget(btnBirLoadCfg);
    buttons->addStretch(1);
    column->addLayout(buttons);
    SetTabOrderByLayout(this);
}

}  // namespace orvan::pages
