#include "pages/PageIOStatus.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "frames/Fraiostatus.h"
#include "pages/ScrollBody.h"

namespace orvan::pages {

namespace {

frames::TfraIOStatus* Framed(QGridLayout* grid, int row, int col, const char* caption,
                             const char* name, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(6, 4, 6, 4);
    auto* f = new frames::TfraIOStatus(box);
    // Down to its last indicator (top 8, 12 rows 21 apart, 17 high): two
    // rows of frames then fit a 768-pixel screen.
    f->setFixedHeight(8 + 11 * 21 + 17 + 4);
    f->setObjectName(QString::fromLatin1(name));
    l->addWidget(f);
    grid->addWidget(box, row, col);
    return f;
}

}  // namespace

TPageIOStatus::TPageIOStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TshBrenta"));
    QWidget* body = ScrollBody(this);
    auto* grid = new QGridLayout(body);
    // Inputs above, outputs below: six frames side by side would not fit a
    // 1024-pixel screen.
    fraBrentaOptoInputCPU = Framed(grid, 0, 0, "Opto Input CPU ", "fraBrentaOptoInputCPU", body);
    fraBrentaOptoInputEXP1 =
        Framed(grid, 0, 1, "Opto Input Espansione ", "fraBrentaOptoInputEXP1", body);
    fraBrentaOptoInputEXP2 =
        Framed(grid, 0, 2, "Opto Input Easpansione ", "fraBrentaOptoInputEXP2", body);
    fraBrentaOptoOutputCPU = Framed(grid, 1, 0, "Opto Output CPU", "fraBrentaOptoOutputCPU", body);
    fraBrentaOptoOutputEXP1 =
        Framed(grid, 1, 1, "Opto Output Espansione ", "fraBrentaOptoOutputEXP1", body);
    fraBrentaOptoOutputEXP2 =
        Framed(grid, 1, 2, "Opto Output Espansione ", "fraBrentaOptoOutputEXP2", body);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
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
