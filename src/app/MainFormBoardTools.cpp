// The board tools: the "Date / Time" page, the identity items of the Config
// menu and the "EEPROM Manager" page. Reads that change nothing are plain
// calls of the controllers; whatever changes the board is an operation of
// the core, which keeps what it overwrites and asks before it touches the
// serial number or the configuration.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"
#include "features/EepromOperations.h"
#include "pages/PageEeprom.h"
#include "pages/PageTimeKeep.h"

namespace orvan::app {

namespace {

const QString kDumpFilter = QStringLiteral("EEPROM dump (*.bin)");
const QString kFormatCaption = QStringLiteral("Formatting EEPROM");

// The caption of the box that says a typed value did not convert.
QString InputCaption() {
    return QString::fromLatin1(kApplicationTitle);
}

}  // namespace

void TMainForm::BuildBoardTools() {
    pages::TPageTimeKeep* t = tshTimeKeep;
    connect(t->cmdGetOrvanTime, &QPushButton::clicked, this, &TMainForm::cmdGetOrvanTimeClick);
    connect(t->cmdGetPcTime, &QPushButton::clicked, this, &TMainForm::cmdGetPcTimeClick);
    connect(t->cmdSetOrvanTime, &QPushButton::clicked, this, &TMainForm::cmdSetOrvanTimeClick);
    connect(t->cmdSetTKClockHalt, &QPushButton::clicked, this, &TMainForm::cmdSetTKClockHaltClick);

    pages::TPageEeprom* e = tshEEPROM;
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
    if (const auto r = core_->BoardClock().Read(); !r) ShowMessage(InputCaption(), Q(r.why));
}

void TMainForm::cmdGetPcTimeClick() {
    if (core_) tshTimeKeep->ShowPcTime(core_->BoardClock().PcTime());
}

void TMainForm::cmdSetOrvanTimeClick() {
    if (core_)
        Run(features::ClockSetOperation(*core_, tshTimeKeep->Date(), tshTimeKeep->TimeTexts()));
}

void TMainForm::cmdSetTKClockHaltClick() {
    if (core_) Run(features::ClockRunOperation(*core_, tshTimeKeep->chkTKClockEN->isChecked()));
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

void TMainForm::SetWelderFactTuningDTClick() {
    if (!core_) return;
    if (!Confirm(QStringLiteral("Factory tuning Date/Time"),
                 QStringLiteral("Procedere con la scrittura della data/ora del tuning di "
                                "fabbrica?")))
        return;
    Run(features::TuningDateOperation(*core_, tshTimeKeep->Date(), tshTimeKeep->TimeTexts()));
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
    // The core asks before the serial number or the configuration is
    // overwritten, saying what is there now.
    Run(features::EepromWriteOperation(
            *core_, {tshEEPROM->RowAddress(row).toStdString(),
                     std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))}),
        TTold::Box,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

void TMainForm::cmdE2PReadBytesClick() {
    if (!core_) return;
    Run(features::EepromReadOperation(*core_,
                                      {tshEEPROM->TxtEEPROMReadAddress->text().toStdString(),
                                       tshEEPROM->TxtEEPROMReadLength->text().toStdString()}),
        TTold::QuietWhenDone,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

void TMainForm::cmdE2PDumpAllClick() {
    if (!core_) return;
    tshEEPROM->ClearListing();
    Run(features::EepromDumpOperation(*core_, {}), TTold::QuietWhenDone,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

void TMainForm::cmdE2PSaveDumpClick() {
    if (!core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save EEPROM dump");
    req.filters = {kDumpFilter};
    req.defaultSuffix = QStringLiteral("bin");
    const auto file = ChooseOutput(req, features::TFileKind::ConfigImage);
    if (!file) return;
    tshEEPROM->ClearListing();
    Run(features::EepromDumpOperation(*core_, {file->path, true, file->replaceOtherKind}),
        TTold::Box,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

void TMainForm::cmdE2PFormatClick() {
    if (!core_) return;
    if (!Confirm(kFormatCaption,
                 QString::fromUtf8("!!! Attenzione !!!\nQuesto comando cancellerà tutto il "
                                   "contenuto della memoria non volatile,\nConfigurazione, "
                                   "autotuning log, contaore, etc etc\nContinuare con "
                                   "l'operazione?\n")))
        return;
    // No dump, no format: the memory is kept in a file first; one of another
    // kind is never replaced, an older dump only as the dialog asked.
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save the EEPROM before formatting it");
    req.filters = {kDumpFilter};
    req.defaultSuffix = QStringLiteral("bin");
    const auto file = dialogs_->ChooseFile(req);
    if (!file || file->path.isEmpty()) return;
    tshEEPROM->ClearListing();
    Run(features::EepromFormatOperation(*core_, {file->path.toStdString(), true}), TTold::Box,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

void TMainForm::cmdE2PRestoreDumpClick() {
    if (!core_) return;
    TFileRequest req;
    req.caption = QStringLiteral("Write EEPROM dump to board");
    req.filters = {kDumpFilter};
    const auto file = dialogs_->ChooseFile(req);
    if (!file || file->path.isEmpty()) return;
    tshEEPROM->ClearListing();
    Run(features::EepromRestoreOperation(*core_, {file->path.toStdString()}), TTold::Box,
        [this](const features::TOperationOutcome& o) { tshEEPROM->ShowStatus(Q(o.message)); });
}

}  // namespace orvan::app
