#include "pages/PageIOStatus.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "frames/Fraiostatus.h"

namespace orvan::pages {

namespace {

frames::TfraIOStatus* Framed(QGridLayout* grid, int col, const char* caption, const char* name,
                             QWidget* parent) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* l = new QVBoxLayout(box);
    auto* f = new frames::TfraIOStatus(box);
    f->setObjectName(QString::fromLatin1(name));
    l->addWidget(f);
    grid->addWidget(box, 0, col);
    return f;
}

}  // namespace

TPageIOStatus::TPageIOStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TshBrenta"));
    auto* grid = new QGridLayout(this);
    fraBrentaOptoInputCPU = Framed(grid, 0, "Opto Input CPU ", "fraBrentaOptoInputCPU", this);
    fraBrentaOptoInputEXP1 =
        Framed(grid, 1, "Opto Input Espansione ", "fraBrentaOptoInputEXP1", this);
    fraBrentaOptoInputEXP2 =
        Framed(grid, 2, "Opto Input Easpansione ", "fraBrentaOptoInputEXP2", this);
    fraBrentaOptoOutputCPU = Framed(grid, 3, "Opto Output CPU", "fraBrentaOptoOutputCPU", this);
    fraBrentaOptoOutputEXP1 =
        Framed(grid, 4, "Opto Output Espansione ", "fraBrentaOptoOutputEXP1", this);
    fraBrentaOptoOutputEXP2 =
        Framed(grid, 5, "Opto Output Espansione ", "fraBrentaOptoOutputEXP2", this);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(1, 1);
}

}  // namespace orvan::pages
