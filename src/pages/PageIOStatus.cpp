#include "pages/PageIOStatus.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "frames/Fraiostatus.h"
#include "frames/IndicatorShape.h"
#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

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

QString U(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
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
    // An expansion output byte drives eight outputs: the last four
    // indicators of those frames stand for nothing and take no marks.
    for (frames::TfraIOStatus* f : {fraBrentaOptoOutputEXP1, fraBrentaOptoOutputEXP2})
        for (int i = 8; i < frames::TfraIOStatus::kCount; ++i) {
            f->Shape(i)->setEnabled(false);
            f->Shape(i)->setToolTip(QStringLiteral("Not wired: the expansion has 8 outputs"));
        }

    auto* force = new QGroupBox(QStringLiteral("Force "), body);
    auto* fl = new QFormLayout(force);
    stxOutRele = new QLabel(QStringLiteral("0"), force);
    stxOutRele->setObjectName(QStringLiteral("stxOutRele"));
    fl->addRow(QStringLiteral("Rele/LED"), stxOutRele);
    edtReleLedForceON = new QLineEdit(QStringLiteral("00"), force);
    edtReleLedForceON->setObjectName(QStringLiteral("edtReleLedForceON"));
    edtReleLedForceOFF = new QLineEdit(QStringLiteral("00"), force);
    edtReleLedForceOFF->setObjectName(QStringLiteral("edtReleLedForceOFF"));
    for (QLineEdit* e : {edtReleLedForceON, edtReleLedForceOFF}) e->setMaximumWidth(60);
    fl->addRow(QStringLiteral("Rele/LED force ON"), edtReleLedForceON);
    fl->addRow(QStringLiteral("Rele/LED force OFF"), edtReleLedForceOFF);
    CmdSetIOForceStatus = new QPushButton(QStringLiteral("Force I/O status"), force);
    CmdResetIOForceStatus = new QPushButton(QStringLiteral("Reset force status"), force);
    fl->addRow(CmdSetIOForceStatus);
    fl->addRow(CmdResetIOForceStatus);
    auto* hint =
        new QLabel(QStringLiteral("Ctrl+click: force on (black)\nShift+click: force off (white)\n"
                                  "Alt+click: not forced"),
                   force);
    fl->addRow(hint);
    cmdLoadHWInfo = new QPushButton(QStringLiteral("Load HW Info"), body);
    cmdLoadHWInfo->setObjectName(QStringLiteral("cmdLoadHWInfo"));
    cmdLoadHWInfo->setToolTip(QStringLiteral("Read the board type, serial number and versions"));
    auto* side = new QVBoxLayout();
    side->addWidget(cmdLoadHWInfo);
    side->addWidget(force);
    side->addWidget(BuildDac16(body));
    side->addStretch(1);
    grid->addLayout(side, 0, 3, 2, 1);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(2, 1);
    SetTabOrderByLayout(this);
}

QGroupBox* TPageIOStatus::BuildDac16(QWidget* body) {
    auto* dac = new QGroupBox(QStringLiteral("DAC 16 bit"), body);
    dac->setObjectName(QStringLiteral("grbDac16"));
    auto* dl = new QFormLayout(dac);
    chkDac16Force = new QCheckBox(QStringLiteral("Force"), dac);
    chkDac16Force->setObjectName(QStringLiteral("chkDac16Force"));
    dl->addRow(chkDac16Force);
    cspDac16 = new QSpinBox(dac);
    cspDac16->setObjectName(QStringLiteral("cspDac16"));
    cspDac16->setRange(0, 65535);
    // One write per value the user settles on, not one per key typed.
    cspDac16->setKeyboardTracking(false);
    dl->addRow(QStringLiteral("dgt (0-65535)"), cspDac16);
    edtDac16ValueVolt = new QLineEdit(QStringLiteral("0"), dac);
    edtDac16ValueVolt->setObjectName(QStringLiteral("edtDac16ValueVolt"));
    edtDac16ValueVolt->setMaximumWidth(80);
    dl->addRow(QStringLiteral("V"), edtDac16ValueVolt);
    cmdDac16Read = new QPushButton(QStringLiteral("Read"), dac);
    cmdDac16Read->setObjectName(QStringLiteral("cmdDac16Read"));
    dl->addRow(cmdDac16Read);
    EnableDac16Value(false);
    return dac;
}

void TPageIOStatus::EnableDac16Value(bool on) {
    cspDac16->setEnabled(on);
    edtDac16ValueVolt->setEnabled(on);
}

void TPageIOStatus::ShowValue(const std::string& field, double value) {
    if (field == "cspDac16") {
        const QSignalBlocker quiet(cspDac16);
        cspDac16->setValue(static_cast<int>(value));
        edtDac16ValueVolt->setText(QString::fromStdString(features::VariantNumberText(
            features::TDac16::CountsToVolts(value), 4, decimalSeparator)));
    } else if (field == "chkDac16Force") {
        const QSignalBlocker quiet(chkDac16Force);
        chkDac16Force->setChecked(value != 0);
        EnableDac16Value(value != 0);
    }
}

void TPageIOStatus::OnIoDisplay(const commands::IoStatusWords& w) {
    fraBrentaOptoInputCPU->ShowBitWord(w.cpuInputs);
    fraBrentaOptoInputEXP1->ShowBitWord(w.exp1Inputs);
    fraBrentaOptoInputEXP2->ShowBitWord(w.exp2Inputs);
    fraBrentaOptoOutputCPU->ShowBitWord(w.cpuOutputs);
    fraBrentaOptoOutputEXP1->ShowBitWord(w.exp1Outputs);
    fraBrentaOptoOutputEXP2->ShowBitWord(w.exp2Outputs);
    stxOutRele->setText(QString::number(w.relays));
}

void TPageIOStatus::OnMachineNames(const features::TMachineNames& names) {
    const auto frames = Frames();
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (int i = 0; i < frames::TfraIOStatus::kCount; ++i) {
            frames[f]->SelectIndicator(i);
            frames[f]->SetSelectedName(U(names.io[f][static_cast<std::size_t>(i)]));
        }
    // Blank captions need a reason the technician can see.
    const QString tip = names.found           ? QString()
                        : names.error.empty() ? QStringLiteral("No naming file: ") + U(names.path)
                                              : U(names.error);
    for (frames::TfraIOStatus* f : frames) f->setToolTip(tip);
}

features::TIoForceMarks TPageIOStatus::ForceMarks() const {
    features::TIoForceMarks m;
    const auto frames = Frames();
    for (std::size_t f = 0; f < frames.size(); ++f) {
        m.on[f] = frames[f]->ForcedOnMask();
        m.off[f] = frames[f]->ForcedOffMask();
    }
    return m;
}

void TPageIOStatus::ClearForceMarks() {
    for (frames::TfraIOStatus* f : Frames()) {
        f->ShowForcedOff(0);
        f->ShowForcedOn(0);
    }
    edtReleLedForceON->setText(QStringLiteral("00"));
    edtReleLedForceOFF->setText(QStringLiteral("00"));
}

}  // namespace orvan::pages
