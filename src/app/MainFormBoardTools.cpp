// The board tools: the "Date / Time" page, the identity items of the Config
// menu and the "EEPROM Manager" page. Each slot reads its controls, calls the
// feature's controller and shows why nothing was sent when it refused.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "pages/PageEeprom.h"
#include "pages/PageTimeKeep.h"

namespace orvan::app {

namespace {

const QString kDumpFilter = QStringLiteral("EEPROM dump (*.bin)");
const QString kFormatCaption = QStringLiteral("Formatting EEPROM");

// A serial number as the board holds it: an erased memory has none.
QString SerialText(const std::string& s) {
    if (s.empty() || s.find_first_not_of('\xFF') == std::string::npos)
        return QStringLiteral("(none)");
    return QStringLiteral("\"%1\"").arg(
        QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())));
}

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

    pages::TPageEeprom* e = tshEEPROM;
    core_->Events().Subscribe(*e);
    core_->Eeprom().Views().Add(*e);
    core_->EepromManager().SetListener(this);
    connect(e->cmdE2PWriteBytes, &QPushButton::clicked, this, &TMainForm::cmdE2PWriteBytesClick);
    connect(e->cmdE2PReadBytes, &QPushButton::clicked, this, &TMainForm::cmdE2PReadBytesClick);
    connect(e->cmdE2PDumpAll, &QPushButton::clicked, this, &TMainForm::cmdE2PDumpAllClick);
    connect(e->cmdE2PFormat, &QPushButton::clicked, this, &TMainForm::cmdE2PFormatClick);
    connect(e->cmdE2PSaveDump, &QPushButton::clicked, this, &TMainForm::cmdE2PSaveDumpClick);
    connect(e->cmdE2PRestoreDump, &QPushButton::clicked, this, &TMainForm::cmdE2PRestoreDumpClick);

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

void TMainForm::cmdE2PWriteBytesClick() {
    if (!core_) return;
    const int row = tshEEPROM->SelectedRow();
    const QString text = tshEEPROM->RowText(row);
    // One byte per character, as the board keeps them.
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            ShowMessage(InputCaption(),
                        QStringLiteral("'%1' cannot be written as one byte; nothing sent").arg(c));
            return;
        }
    }
    const QByteArray bytes = text.toLatin1();
    const auto r =
        core_->EepromManager().WriteText(tshEEPROM->RowAddress(row).toStdString(),
                                         std::string_view(bytes.constData(), bytes.size()));
    if (!r) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::cmdE2PReadBytesClick() {
    if (!core_) return;
    const auto r =
        core_->EepromManager().ReadRaw(tshEEPROM->TxtEEPROMReadAddress->text().toStdString(),
                                       tshEEPROM->TxtEEPROMReadLength->text().toStdString());
    if (!r) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::cmdE2PDumpAllClick() {
    if (!core_) return;
    tshEEPROM->ClearListing();
    if (const auto r = core_->EepromManager().Dump(); !r) ShowMessage(InputCaption(), Q(r.message));
}

void TMainForm::cmdE2PSaveDumpClick() {
    if (!core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save EEPROM dump");
    req.filters = {kDumpFilter};
    req.defaultSuffix = QStringLiteral("bin");
    const auto file = dialogs_->ChooseFile(req);
    if (!file) return;
    tshEEPROM->ClearListing();
    if (const auto r = core_->EepromManager().Dump(file->path.toStdString()); !r)
        ShowMessage(req.caption, Q(r.message));
}

void TMainForm::cmdE2PFormatClick() {
    if (!core_) return;
    if (!Confirm(kFormatCaption,
                 QString::fromUtf8("!!! Attenzione !!!\nQuesto comando cancellerà tutto il "
                                   "contenuto della memoria non volatile,\nConfigurazione, "
                                   "autotuning log, contaore, etc etc\nContinuare con "
                                   "l'operazione?\n")))
        return;
    // No dump, no format: the memory is kept in a file first.
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save the EEPROM before formatting it");
    req.filters = {kDumpFilter};
    req.defaultSuffix = QStringLiteral("bin");
    const auto file = dialogs_->ChooseFile(req);
    if (!file) return;
    tshEEPROM->ClearListing();
    if (const auto r = core_->EepromManager().Format(file->path.toStdString()); !r)
        ShowMessage(kFormatCaption, Q(r.message));
}

void TMainForm::cmdE2PRestoreDumpClick() {
    if (!core_) return;
    TFileRequest req;
    req.caption = QStringLiteral("Write EEPROM dump to board");
    req.filters = {kDumpFilter};
    const auto file = dialogs_->ChooseFile(req);
    if (!file) return;
    tshEEPROM->ClearListing();
    if (const auto r = core_->EepromManager().Restore(file->path.toStdString()); !r)
        ShowMessage(req.caption, Q(r.message));
}

void TMainForm::OnEepromProgress(features::TEepromOp op, features::TEepromPhase phase, int done,
                                 int total) {
    static const char* phases[] = {"serial number", "confirmation", "reading",
                                   "saving",        "writing",      "reading back"};
    tshEEPROM->ShowStatus(QStringLiteral("%1: %2 %3/%4")
                              .arg(QString::fromLatin1(features::EepromOpText(op)),
                                   QString::fromLatin1(phases[static_cast<int>(phase)]))
                              .arg(done)
                              .arg(total));
}

void TMainForm::OnRestoreNeedsConfirmation(const std::string& boardSerial,
                                           const std::string& dumpSerial) {
    const QString text = QStringLiteral(
                             "The board's serial number is %1, the dump's is %2.\nWrite the "
                             "dump over this board?")
                             .arg(SerialText(boardSerial), SerialText(dumpSerial));
    QTimer::singleShot(0, this, [this, text] {
        const bool go = Confirm(QStringLiteral("Write EEPROM dump to board"), text);
        if (core_) core_->EepromManager().ContinueRestore(go);
    });
}

void TMainForm::OnEepromFinished(const features::TEepromOutcome& o) {
    const QString text = Q(o.message);
    tshEEPROM->ShowStatus(text);
    // A plain dump speaks through the listing; the others end with a box.
    if (o.op == features::TEepromOp::Dump && o.completed && o.dumpPath.empty()) return;
    const QString caption = o.op == features::TEepromOp::Format
                                ? kFormatCaption
                                : QString::fromLatin1(features::EepromOpText(o.op));
    QTimer::singleShot(0, this, [this, caption, text] { ShowMessage(caption, text); });
}

}  // namespace orvan::app
