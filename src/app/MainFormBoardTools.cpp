// The board tools: the "Date / Time" page, the identity items of the Config
// menu and the "EEPROM Manager" page. Each slot reads its controls, calls the
// feature's controller and shows why nothing was sent when it refused.

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "pages/PageTimeKeep.h"

namespace orvan::app {

namespace {

// The caption of the box that says a typed value did not convert.
QString InputCaption() {
    return QString::fromLatin1(kApplicationTitle);
}

}  // namespace

void TMainForm::BuildBoardTools() {
    features::TBoardClock& clock = core_->BoardClock();
    clock.SetPage(tshTimeKeep);
    core_->Identity().SetListener(this);

    pages::TPageTimeKeep* t = tshTimeKeep;
    connect(t->cmdGetOrvanTime, &QPushButton::clicked, this, &TMainForm::cmdGetOrvanTimeClick);
    connect(t->cmdGetPcTime, &QPushButton::clicked, this, &TMainForm::cmdGetPcTimeClick);
    connect(t->cmdSetOrvanTime, &QPushButton::clicked, this, &TMainForm::cmdSetOrvanTimeClick);
    connect(t->cmdSetTKClockHalt, &QPushButton::clicked, this, &TMainForm::cmdSetTKClockHaltClick);

    connect(SetSerialNumberItem, &QAction::triggered, this, &TMainForm::SetSerialNumberClick);
    connect(SetHoursCounterItem, &QAction::triggered, this,
            &TMainForm::SetWelderSourceWorkTimeClick);
    connect(SetFactoryTuningDateItem, &QAction::triggered, this,
            &TMainForm::SetWelderFactTuningDTClick);
}

void TMainForm::cmdGetOrvanTimeClick() {
    if (!core_) return;
    if (const auto r = core_->BoardClock().Read(); !r) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::cmdGetPcTimeClick() {
    if (core_) tshTimeKeep->ShowPcTime(core_->BoardClock().PcTime());
}

void TMainForm::cmdSetOrvanTimeClick() {
    if (!core_) return;
    const auto r = core_->BoardClock().Set(tshTimeKeep->Date(), tshTimeKeep->TimeTexts());
    if (!r) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::cmdSetTKClockHaltClick() {
    if (!core_) return;
    const auto r = core_->BoardClock().SetRunning(tshTimeKeep->chkTKClockEN->isChecked());
    if (!r) ShowMessage(InputCaption(), Q(r.message));
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
    const auto r = core_->Identity().SetSerialNumber(typed->toStdString());
    if (!r && !r.message.empty()) ShowMessage(QStringLiteral("Serial Number"), Q(r.message));
}

void TMainForm::OnSerialNumberWritten(const features::TSerialOutcome& outcome) {
    if (outcome.completed) return;  // the status bar shows the new one
    // After the tick: a box must not open inside the answer's handling.
    const QString text = Q(outcome.message);
    QTimer::singleShot(0, this,
                       [this, text] { ShowMessage(QStringLiteral("Serial Number"), text); });
}

void TMainForm::SetWelderSourceWorkTimeClick() {
    if (!core_) return;
    const auto typed = dialogs_->InputText(QStringLiteral("Velkor Welder"),
                                           QStringLiteral("Source hours counter"), QString());
    if (!typed) return;
    const auto r = core_->Identity().SetHoursCounter(typed->toStdString(), decimal_);
    if (!r && !r.message.empty()) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::SetWelderFactTuningDTClick() {
    if (!core_) return;
    if (!Confirm(QStringLiteral("Factory tuning Date/Time"),
                 QStringLiteral("Procedere con la scrittura della data/ora del tuning di "
                                "fabbrica?")))
        return;
    const auto r =
        core_->Identity().SetFactoryTuningDate(tshTimeKeep->Date(), tshTimeKeep->TimeTexts());
    if (!r) ShowMessage(InputCaption(), Q(r.message));
}

}  // namespace orvan::app
