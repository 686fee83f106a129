// "EEPROM Manager": every tool that changes the board is an operation of the
// core, which keeps what it overwrites and asks before it touches the serial
// number or the configuration. The page says under its buttons how far its
// tool is and how it ended.

#include <QLineEdit>
#include <QPushButton>

#include "app/PageWirings.h"
#include "app/QtText.h"
#include "features/EepromOperations.h"
#include "pages/PageEeprom.h"

namespace orvan::app {

namespace {

const QString kDumpFilter = QStringLiteral("EEPROM dump (*.bin)");
const QString kFormatCaption = QStringLiteral("Formatting EEPROM");

bool EepromTool(const std::string& operation) {
    return operation.rfind("EEPROM", 0) == 0;
}

class TEepromWiring : public TPageWiring, public features::IOperationView {
  public:
    TEepromWiring(pages::TPageEeprom& page, IPageContext& c)
        : page_(page),
          c_(c),
          pageAttached_(*c.Core(), page),
          attached_(*c.Core(), *this),
          starts_(*c.Core()) {
        for (QWidget* dump : {static_cast<QWidget*>(page.cmdE2PDumpAll),
                              static_cast<QWidget*>(page.cmdE2PSaveDump)})
            starts_.Add("EEPROM dump", dump);
        connect(page.cmdE2PWriteBytes, &QPushButton::clicked, this, [this] { WriteBytes(); });
        connect(page.cmdE2PReadBytes, &QPushButton::clicked, this, [this] { ReadBytes(); });
        connect(page.cmdE2PDumpAll, &QPushButton::clicked, this, [this] { DumpAll(); });
        connect(page.cmdE2PFormat, &QPushButton::clicked, this, [this] { Format(); });
        connect(page.cmdE2PSaveDump, &QPushButton::clicked, this, [this] { SaveDump(); });
        connect(page.cmdE2PRestoreDump, &QPushButton::clicked, this, [this] { RestoreDump(); });
    }

  private:
    void OnOperationProgress(const features::TProgress& p) override {
        if (!EepromTool(p.operation)) return;
        page_.ShowStatus(
            Q(p.operation + ": " + p.phase) +
            (p.total > 0 ? QStringLiteral(" %1/%2").arg(p.done).arg(p.total) : QString()));
    }
    void OnOperationQuestion(const features::TQuestion& q) override {
        if (EepromTool(q.operation))
            page_.ShowStatus(Q(q.operation) + QStringLiteral(": waiting for your answer"));
    }

    void Start(std::unique_ptr<features::TOperation> op, TTold told) {
        c_.Run(std::move(op), told,
               [this](const features::TOperationOutcome& o) { page_.ShowStatus(Q(o.message)); });
    }

    void WriteBytes() {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        const int row = page_.SelectedRow();
        const QString text = page_.RowText(row);
        // One byte per character, as the board keeps them.
        for (const QChar ch : text) {
            if (ch.unicode() > 0xFF) {
                c_.Dialogs().Message(
                    QString::fromLatin1(kApplicationTitle),
                    QStringLiteral("'%1' cannot be written as one byte; nothing sent").arg(ch));
                return;
            }
        }
        const QByteArray bytes = text.toLatin1();
        // The core asks before the serial number or the configuration is
        // overwritten, saying what is there now.
        Start(features::EepromWriteOperation(
                  *core, {page_.RowAddress(row).toStdString(),
                          std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))}),
              TTold::Box);
    }

    void ReadBytes() {
        if (features::TSupervisorCore* core = c_.Core())
            Start(features::EepromReadOperation(*core,
                                                {page_.TxtEEPROMReadAddress->text().toStdString(),
                                                 page_.TxtEEPROMReadLength->text().toStdString()}),
                  TTold::QuietWhenDone);
    }

    void DumpAll() {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        page_.ClearListing();
        Start(features::EepromDumpOperation(*core, {}), TTold::QuietWhenDone);
    }

    void SaveDump() {
        if (!c_.Core()) return;
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save EEPROM dump");
        req.filters = {kDumpFilter};
        req.defaultSuffix = QStringLiteral("bin");
        const auto file = c_.ChooseOutput(req, features::TFileKind::ConfigImage);
        features::TSupervisorCore* core = c_.Core();
        if (!file || !core) return;
        page_.ClearListing();
        Start(features::EepromDumpOperation(*core, {file->path, true, file->replaceOtherKind}),
              TTold::Box);
    }

    void Format() {
        if (!c_.Core()) return;
        if (!c_.Dialogs().Question(
                kFormatCaption,
                QString::fromUtf8("!!! Attenzione !!!\nQuesto comando cancellerà tutto il "
                                  "contenuto della memoria non volatile,\nConfigurazione, "
                                  "autotuning log, contaore, etc etc\nContinuare con "
                                  "l'operazione?\n")))
            return;
        // No dump, no format: the memory is kept in a file first; one of
        // another kind is never replaced, an older dump only as the dialog
        // asked.
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save the EEPROM before formatting it");
        req.filters = {kDumpFilter};
        req.defaultSuffix = QStringLiteral("bin");
        const auto file = c_.Dialogs().ChooseFile(req);
        features::TSupervisorCore* core = c_.Core();
        if (!file || file->path.isEmpty() || !core) return;
        page_.ClearListing();
        Start(features::EepromFormatOperation(*core, {file->path.toStdString(), true}), TTold::Box);
    }

    void RestoreDump() {
        if (!c_.Core()) return;
        TFileRequest req;
        req.caption = QStringLiteral("Write EEPROM dump to board");
        req.filters = {kDumpFilter};
        const auto file = c_.Dialogs().ChooseFile(req);
        features::TSupervisorCore* core = c_.Core();
        if (!file || file->path.isEmpty() || !core) return;
        page_.ClearListing();
        Start(features::EepromRestoreOperation(*core, {file->path.toStdString()}), TTold::Box);
    }

    pages::TPageEeprom& page_;
    IPageContext& c_;
    features::TAttachment<pages::TPageEeprom> pageAttached_;
    features::TAttachment<TEepromWiring> attached_;
    TStartControls starts_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireEepromPage(pages::TPageEeprom& page, IPageContext& c) {
    return std::make_unique<TEepromWiring>(page, c);
}

}  // namespace orvan::app
