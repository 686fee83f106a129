#include "pages/PageIOStatus.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "frames/Fraiostatus.h"
#include "pages/ScrollBody.h"

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
    QWidget* body = ScrollBody(this);
    auto* grid = new QGridLayout(body);
    fraBrentaOptoInputCPU = Framed(grid, 0, "Opto Input CPU ", "fraBrentaOptoInputCPU", body);
    fraBrentaOptoInputEXP1 =
        Framed(grid, 1, "Opto Input Espansione ", "fraBrentaOptoInputEXP1", body);
    fraBrentaOptoInputEXP2 =
        Framed(grid, 2, "Opto Input Easpansione ", "fraBrentaOptoInputEXP2", body);
    fraBrentaOptoOutputCPU = Framed(grid, 3, "Opto Output CPU", "fraBrentaOptoOutputCPU", body);
    fraBrentaOptoOutputEXP1 =
        Framed(grid, 4, "Opto Output Espansione ", "fraBrentaOptoOutputEXP1", body);
    fraBrentaOptoOutputEXP2 =
        Framed(grid, 5, "Opto Output Espansione ", "fraBrentaOptoOutputEXP2", body);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(1, 1);
}

void TPageIOStatus::OnIoStatus(const commands::IoStatusWords& w) {
    fraBrentaOptoInputCPU->ShowBitWord(w.cpuInputs);
    fraBrentaOptoInputEXP1->ShowBitWord(w.exp1Inputs);
    fraBrentaOptoInputEXP2->ShowBitWord(w.exp2Inputs);
    fraBrentaOptoOutputCPU->ShowBitWord(w.cpuOutputs);
    fraBrentaOptoOutputEXP1->ShowBitWord(w.exp1Outputs);
    fraBrentaOptoOutputEXP2->ShowBitWord(w.exp2Outputs);
}

}  // namespace orvan::pages
