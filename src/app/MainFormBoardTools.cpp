// The identity items of the Config menu: the hardware information is a plain
// read; the serial number, hours counter and tuning date change the board,
// so each is an operation of the core, which keeps what it overwrites.

#include <QAction>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"

namespace orvan::app {

void TMainForm::BuildBoardTools() {
    connect(SetSerialNumberItem, &QAction::triggered, this, &TMainForm::SetSerialNumberClick);
    connect(SetHoursCounterItem, &QAction::triggered, this,
            &TMainForm::SetWelderSourceWorkTimeClick);
    connect(SetFactoryTuningDateItem, &QAction::triggered, this,
            &TMainForm::SetWelderFactTuningDTClick);
}

void TMainForm::Act_COMReqHWInfoExecute() {
    if (core_) (void)core_->Identity().RequestInfo();
}

void TMainForm::SetSerialNumberClick() {
    if (!core_) return;
    const auto typed = dialogs_->InputText(QStringLiteral("Serial Number"),
                                           QStringLiteral("Max 15 character"), QString());
    if (!typed || typed->isEmpty()) return;
    // The board keeps one byte per character.
    for (const QChar c : *typed) {
        if (c.unicode() > 0x7E) {
            ShowMessage(QStringLiteral("Serial Number"),
                        QStringLiteral("'%1' cannot be kept by the board: a serial number holds "
                                       "letters, digits and signs of the ASCII set; nothing sent")
                            .arg(c));
            return;
        }
    }
    Run(features::SerialNumberOperation(*core_, typed->toStdString()));
}

void TMainForm::SetWelderSourceWorkTimeClick() {
    if (!core_) return;
    const auto typed = dialogs_->InputText(QStringLiteral("Velkor Welder"),
                                           QStringLiteral("Source hours counter"), QString());
    if (!typed || typed->isEmpty()) return;
    Run(features::HoursCounterOperation(*core_, typed->toStdString(), decimal_));
}

// The date and time typed on the page that shows the board's clock.
void TMainForm::SetWelderFactTuningDTClick() {
    if (core_) emit pageSignals_.FactoryTuningDateRequested();
}

}  // namespace orvan::app
