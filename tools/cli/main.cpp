// orvan-cli: the command-line companion. It drives the same core as the
// window: the exchange engine on a serial device or on the built-in simulator.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "boardsim/PtyBoard.h"
#include "cli/Cli.h"
#include "link/Version.h"

namespace {

void Usage() {
    std::fprintf(
        stderr,
        "usage: orvan-cli [--device PATH | --simulate] [--speed N] [--fast] [--capture FILE]\n"
        "                 [--quiet] COMMAND [ARGS]\n"
        "       orvan-cli --version\n"
        "  --device PATH        the board's serial device (/dev/ttyUSB0, /dev/ttyS0, COM1, ...),\n"
        "                       or a serial device server: tcp://HOST:PORT (raw, the speed is\n"
        "                       set on the server) or rfc2217://HOST:PORT (speed set from here)\n"
        "  --simulate           talk to a built-in simulated board instead\n"
        "  --speed N            line speed in bit/s (default 56700)\n"
        "  --fast               fast exchange: each answer taken as soon as it is complete\n"
        "  --capture FILE       write the line traffic to FILE (for orvan-boardsim --replay)\n"
        "commands on a board:\n%s"
        "commands on files:\n%s",
        orvan::cli::DeviceUsage().c_str(), orvan::cli::OfflineUsage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    orvan::cli::Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--device" && i + 1 < argc) {
            opt.device = argv[++i];
        } else if (a == "--simulate") {
            opt.simulate = true;
        } else if (a == "--speed" && i + 1 < argc) {
            char* end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || v <= 0 || v > 4000000) {
                std::fprintf(stderr, "orvan-cli: bad speed %s\n", argv[i]);
                return 2;
            }
            opt.speed = static_cast<std::int32_t>(v);
        } else if (a == "--fast") {
            opt.fast = true;
        } else if (a == "--capture" && i + 1 < argc) {
            opt.capture = argv[++i];
            if (opt.capture.empty()) {
                std::fprintf(stderr, "orvan-cli: --capture wants a file name\n");
                return 2;
            }
        } else if (a == "--quiet") {
            opt.quiet = true;
        } else if (a == "--version") {
            std::printf("orvan-cli %s\n", orvan::kProgramVersion);
            return 0;
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (opt.args.empty() && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "orvan-cli: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        } else {
            opt.args.push_back(a);
        }
    }
    if (opt.args.empty()) {
        Usage();
        return 2;
    }
    const std::string& cmd = opt.args[0];
    if (orvan::cli::IsOfflineCommand(cmd)) return orvan::cli::RunOfflineCommand(opt);
    if (!orvan::cli::IsDeviceCommand(cmd)) {
        std::fprintf(stderr, "orvan-cli: unknown command %s\n", cmd.c_str());
        Usage();
        return 2;
    }
    if (opt.device.empty() && !opt.simulate) {
        std::fprintf(stderr, "orvan-cli: %s needs --device PATH or --simulate\n", cmd.c_str());
        return 2;
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
    return orvan::cli::RunDeviceCommand(opt);
}
