// orvan-supervisor: the service and set-up window for the welding source's
// controller board.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "app/Config.h"
#include "app/InstallLayout.h"
#include "app/MainForm.h"
#include "app/Screenshots.h"
#ifndef _WIN32
#include "boardsim/PtyBoard.h"
#endif
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

// The options, read by QCommandLineParser before any window exists, so
// --help and --version work on a box without a display.
struct TArguments {
    std::string device, shots;
    bool simulate = false, fast = false, help = false, version = false;
    QString helpText;
};

// 0 to go on; otherwise the exit status (2: a usage error, said on stderr).
int ReadArguments(int argc, char** argv, TArguments& out) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "The service and set-up window for the controller board of a diode-laser welding "
        "source.\nWithout options it opens the port of its settings file."));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("use this serial device for this run (/dev/ttyUSB0, a pty, "
                       "tcp://HOST:PORT, rfc2217://HOST:PORT)"),
        QStringLiteral("PATH"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"), QStringLiteral("run the board simulator in-process and connect "
                                                   "to it"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("fast exchange for this run (Settings > Fast "
                                                 "exchange)"));
    const QCommandLineOption shots(
        QStringLiteral("screenshots"),
        QStringLiteral("render each main page to DIR/NN-caption.png and exit"),
        QStringLiteral("DIR"));
    const QCommandLineOption version(
        QStringLiteral("version"),
        QStringLiteral("print the release and where the naming files are found"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("print this text"));
    for (const QCommandLineOption* o : {&device, &simulate, &fast, &shots, &version, &help})
        p.addOption(*o);
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    auto refuse = [](const QString& why) {
        std::fprintf(stderr, "orvan-supervisor: %s (orvan-supervisor --help tells the options)\n",
                     why.toLocal8Bit().constData());
        return 2;
    };
    if (!p.parse(args)) return refuse(p.errorText());
    if (!p.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments()[0]));
    for (const QCommandLineOption* o : {&device, &shots}) {
        if (p.values(*o).size() > 1)
            return refuse(QStringLiteral("--%1 given twice").arg(o->names().constFirst()));
        if (p.isSet(*o) && p.value(*o).isEmpty())
            return refuse(QStringLiteral("--%1 wants a value").arg(o->names().constFirst()));
    }
    out.device = p.value(device).toLocal8Bit().toStdString();
    out.shots = p.value(shots).toLocal8Bit().toStdString();
    out.simulate = p.isSet(simulate);
    out.fast = p.isSet(fast);
    out.version = p.isSet(version);
    out.help = p.isSet(help);
    if (!out.device.empty() && out.simulate)
        return refuse(QStringLiteral("--device and --simulate exclude each other"));
    // No application object yet: the usage line names the program itself.
    out.helpText = p.helpText();
    const qsizetype eol = out.helpText.indexOf(QLatin1Char('\n'));
    out.helpText.replace(0, eol, QStringLiteral("Usage: orvan-supervisor [options]"));
    out.helpText += QStringLiteral(
        "\nExit status: 0 closed normally; 1 the window could not start (or the screenshots "
        "could not be written); 2 bad arguments.\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TArguments a;
    if (const int status = ReadArguments(argc, argv, a); status != 0) return status;
    if (a.help) {
        std::fputs(a.helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (a.version) {
        std::printf("orvan-supervisor %s\nnaming files: %s\n", orvan::kProgramVersion,
                    orvan::app::NamingDirectory(orvan::app::ProgramDirectory()).c_str());
        return 0;
    }
    const std::string& device = a.device;
    const std::string& shots = a.shots;
    const bool simulate = a.simulate;
    const bool fast = a.fast;
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
#ifdef _WIN32
        // The simulator serves a pseudo-terminal, which Windows does not have.
        if (simulate && device.empty()) {
            std::fprintf(stderr,
                         "orvan-supervisor: --simulate needs a pseudo-terminal; run orvan-boardsim "
                         "--tcp PORT on a Linux machine and give --device tcp://HOST:PORT\n");
            return 2;
        }
#else
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
#endif
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
