// "&Help": the technician's manual built into the program, its search, a
// word on how to use it, and About.

#include <QtGlobal>
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "app/HelpBrowser.h"
#include "app/MainForm.h"
#include "features/MachineNaming.h"
#include "link/NumberText.h"
#include "link/Version.h"

namespace orvan::app {

namespace {

THelpBrowser& Browser(TMainForm& form, THelpBrowser*& slot) {
    if (!slot) slot = new THelpBrowser(&form);
    return *slot;
}

}  // namespace

void TMainForm::HelpContentsClick() {
    Browser(*this, helpWindow_).ShowContents();
}

void TMainForm::HelpSearchClick() {
    Browser(*this, helpWindow_).ShowSearch();
}

void TMainForm::HelpHowToClick() {
    dialogs_->Message(
        QStringLiteral("How to Use Help"),
        QStringLiteral(
            "Help > Contents opens the technician's manual at its start; scroll it or use "
            "the links.\n\n"
            "Help > Search for Help On... opens it with the search box ready: type one or "
            "more words (for example \"time-out\" or \"dump\") and press Enter. The sections "
            "holding every word are listed on the left; click one to go to it.\n\n"
            "The manual window stays open beside the program while you work. The same "
            "manual is installed as %1 for reading or printing away from the program.")
            .arg(QStringLiteral("/usr/share/doc/orvan-supervisor/MANUAL.md")));
}

QString TMainForm::AboutText() const {
    QString board;
    const commands::TSession* s = core_ ? &core_->Session() : nullptr;
    const bool known =
        s && (s->boardType != 0 || s->firmwareVersion != std::array<std::uint8_t, 3>{} ||
              s->protocolVersion != std::array<std::uint8_t, 3>{});
    if (!known) {
        board = QStringLiteral("No board has told its versions yet (Info on the toolbar asks it).");
    } else {
        auto version = [](const std::array<std::uint8_t, 3>& v) {
            return QString::fromStdString(link::VersionText(v[0], v[1], v[2]));
        };
        board = QStringLiteral("Board type %1 (%2)\nFirmware %3, protocol %4\nSerial number %5")
                    .arg(QString::fromStdString(features::MachineTypeKey(s->boardType)))
                    .arg(QString::fromStdString(core_->Naming().MachineName().empty()
                                                    ? std::string(features::kUnknownMachine)
                                                    : core_->Naming().MachineName()))
                    .arg(version(s->firmwareVersion))
                    .arg(version(s->protocolVersion))
                    .arg(s->serialNumber.empty() ? QStringLiteral("not read")
                                                 : QString::fromStdString(s->serialNumber));
    }
    return QStringLiteral(
               "Orvan SuperVisor %1\n"
               "Service and set-up tool for the laser welding source's controller board.\n\n"
               "Connected board:\n%2\n\n"
               "Libraries used:\n"
               "- Qt %3 (Widgets, Charts): GNU Lesser General Public License v3\n"
               "- libjpeg-turbo (libjpeg API %4): IJG License and modified BSD License\n"
               "- GNU C++ library: GNU GPL v3 with the GCC Runtime Library Exception")
        .arg(QString::fromLatin1(kProgramVersion))
        .arg(board)
        .arg(QString::fromLatin1(qVersion()))
        .arg(JPEG_LIB_VERSION / 10.0, 0, 'f', 1);
}

void TMainForm::HelpAboutClick() {
    dialogs_->Message(QStringLiteral("About Orvan SuperVisor"), AboutText());
}

}  // namespace orvan::app
