// orvan-cli: the command-line companion. It drives the same core as the
// window: the exchange engine on a serial device or on the built-in simulator.

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "boardsim/PtyBoard.h"
#include "cli/Cli.h"
#include "link/Version.h"

namespace {

void Usage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: orvan-cli [--device PATH | --simulate] [--speed N] [--fast] [--capture FILE]\n"
        "                 [--backup-dir DIR] [--force] [--quiet] COMMAND [ARGS]\n"
        "       orvan-cli --version\n"
        "  --device PATH        the board's serial device (/dev/ttyUSB0, /dev/ttyS0, COM1, ...),\n"
        "                       or a serial device server: tcp://HOST:PORT (raw, the speed is\n"
        "                       set on the server) or rfc2217://HOST:PORT (speed set from here)\n"
        "  --simulate           talk to a built-in simulated board instead\n"
        "  --speed N            line speed in bit/s (default 56700)\n"
        "  --fast               fast exchange: each answer taken as soon as it is complete\n"
        "  --capture FILE       keep the line traffic in FILE (for orvan-boardsim --replay),\n"
        "                       written at the end whatever the outcome\n"
        "  --backup-dir DIR     keep copies of what the board held in DIR (default\n"
        "                       ~/.local/share/orvan-supervisor/backups)\n"
        "  --force              replace an existing file of the same kind (the capture, the\n"
        "                       command's own file); a file of another kind never is\n"
        "  --quiet              no progress, no notes on stderr\n"
        "Questions are answered yes by the flag they name (--yes, --force), asked on a\n"
        "terminal, and taken as no when standard input is not one.\n"
        "%s",
        orvan::cli::UsageText().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away (`| head`) is not a reason to stop half way:
    // a write to it fails and the command goes on to its end.
    (void)std::signal(SIGPIPE, SIG_IGN);

    orvan::cli::Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool global = opt.args.empty();
        const bool hasValue = i + 1 < argc;
        if (global && a == "--device" && hasValue) {
            opt.device = argv[++i];
        } else if (global && a == "--simulate") {
            opt.simulate = true;
        } else if (global && a == "--speed" && hasValue) {
            const auto v = orvan::cli::ParseWhole(argv[++i], 1, 4000000);
            if (!v) {
                std::fprintf(stderr, "orvan-cli: bad speed %s\n", argv[i]);
                return 2;
            }
            opt.speed = static_cast<std::int32_t>(*v);
        } else if (global && a == "--fast") {
            opt.fast = true;
        } else if (global && a == "--force") {
            opt.force = true;
        } else if (a == "--capture" && hasValue) {
            opt.capture = argv[++i];
            if (opt.capture.empty()) {
                std::fprintf(stderr, "orvan-cli: --capture wants a file name\n");
                return 2;
            }
        } else if (a == "--backup-dir" && hasValue) {
            // Also after the command, where config-write always took it.
            opt.backupDir = argv[++i];
            if (opt.backupDir.empty()) {
                std::fprintf(stderr, "orvan-cli: --backup-dir wants a folder\n");
                return 2;
            }
        } else if (global && a == "--quiet") {
            opt.quiet = true;
        } else if (global && a == "--version") {
            std::printf("orvan-cli %s\n", orvan::kProgramVersion);
            return 0;
        } else if (global && (a == "-h" || a == "--help")) {
            Usage(stdout);
            return 0;
        } else if (global && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "orvan-cli: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        } else {
            opt.args.push_back(a);
        }
    }
    if (opt.args.empty()) {
        Usage(stderr);
        return 2;
    }
    const orvan::cli::TCommand* command = orvan::cli::FindCommand(opt.args[0]);
    if (command == nullptr) {
        std::fprintf(stderr, "orvan-cli: unknown command %s (orvan-cli --help lists them)\n",
                     opt.args[0].c_str());
        return 2;
    }
    if (command->board && opt.device.empty() && !opt.simulate) {
        std::fprintf(stderr, "orvan-cli: %s needs --device PATH or --simulate\n", command->name);
        return 2;
    }
    const orvan::cli::TPlan plan = command->read(opt);
    if (!plan.board) {
        // The result of a file command that could not be written fails it.
        if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && plan.exit == 0) {
            std::fprintf(stderr, "orvan-cli: the result could not be written to standard output\n");
            return 1;
        }
        return plan.exit;
    }

    std::unique_ptr<orvan::sim::TPtyBoard> board;
    if (opt.simulate) {
        board = std::make_unique<orvan::sim::TPtyBoard>();
        std::string error;
        if (!board->Open(&error) || !board->LoadOrCreateEeprom(&error)) {
            std::fprintf(stderr, "orvan-cli: simulator: %s\n", error.c_str());
            return 1;
        }
        board->WithModel(
            [](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) { m.liveValues = true; });
        board->Start();
        opt.device = board->DevicePath();
        if (!opt.quiet) std::fprintf(stderr, "simulated board on %s\n", opt.device.c_str());
    }
    return orvan::cli::RunOnBoard(opt, plan);
}
