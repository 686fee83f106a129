// orvan-supervisor: the service and set-up window for the welding source's
// controller board.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "app/Config.h"
#include "app/InstallLayout.h"
#include "app/MainForm.h"
#include "app/Screenshots.h"
#include "boardsim/PtyBoard.h"
#include "link/Version.h"

namespace {

// An error escaping an event handler is shown and the program goes on.
class TApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(),
                                  QString::fromLatin1(orvan::app::kApplicationTitle),
                                  QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};

void Usage(std::FILE* to = stderr) {
    std::fprintf(
        to,
        "usage: orvan-supervisor [--device PATH | --simulate] [--fast] [--screenshots DIR]\n"
        "       orvan-supervisor --version\n"
        "  (no option)        open the port of the settings file\n"
        "  --device PATH      use this serial device for this run (/dev/ttyUSB0, a pty)\n"
        "  --simulate         run the board simulator in-process and connect to it\n"
        "  --fast             fast exchange for this run (Settings > Fast exchange)\n"
        "  --screenshots DIR  render each main page to DIR/NN-caption.png and exit\n"
        "  --version          print the release and where the naming files are found\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string device;
    std::string shots;
    bool simulate = false;
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--simulate") == 0) {
            simulate = true;
        } else if (std::strcmp(a, "--fast") == 0) {
            fast = true;
        } else if (std::strcmp(a, "--device") == 0 && i + 1 < argc) {
            device = argv[++i];
        } else if (std::strcmp(a, "--screenshots") == 0 && i + 1 < argc) {
            shots = argv[++i];
        } else if (std::strcmp(a, "--version") == 0) {
            std::printf("orvan-supervisor %s\nnaming files: %s\n", orvan::kProgramVersion,
                        orvan::app::NamingDirectory(orvan::app::ProgramDirectory()).c_str());
            return 0;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "orvan-supervisor: unknown argument '%s'\n", a);
            Usage();
            return 2;
        }
    }
    if (!shots.empty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(orvan::app::kApplicationTitle));
    try {
        orvan::app::TStartOptions options;
        options.settingsDirectory = QCoreApplication::applicationDirPath().toStdString() + "/";
        options.fallbackDirectory = orvan::app::UserConfigDirectory();
        options.namingDirectory = orvan::app::NamingDirectory(options.settingsDirectory);
        options.device = device;
        options.fast = fast;
        options.keepSettingsFile = !shots.empty();
        std::unique_ptr<orvan::sim::TPtyBoard> board;
        if (simulate && device.empty()) {
            board = std::make_unique<orvan::sim::TPtyBoard>();
            std::string error;
            if (!board->Open(&error) || !board->LoadOrCreateEeprom(&error)) {
                std::fprintf(stderr, "orvan-supervisor: simulator: %s\n", error.c_str());
                return 1;
            }
            board->WithModel(
                [](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) { m.liveValues = true; });
            board->Start();
            options.device = board->DevicePath();
            options.lineNote = "Simulated board on " + board->DevicePath();
        }
        orvan::app::TMainForm window(options);
        if (!shots.empty()) {
            const int n =
                orvan::app::RenderScreenshots(window, QString::fromLocal8Bit(shots.c_str()));
            window.close();
            if (n < 0) {
                std::fprintf(stderr, "orvan-supervisor: cannot create %s\n", shots.c_str());
                return 1;
            }
            std::printf("%d pages rendered to %s\n", n, shots.c_str());
            return 0;
        }
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromLatin1(orvan::app::kApplicationTitle),
                              QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
