// orvan-boardsim: a virtual controller board on a pseudo-terminal, or on a
// loopback TCP port as a serial device server in raw mode shows one.

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/BoardReplay.h"
#include "boardsim/BoardTuningLog.h"
#include "boardsim/PtyBoard.h"
#include "config/AtomicFile.h"
#include "link/Version.h"

namespace {

char g_link[4096];

// EEPROM saves are atomic, so the board may be stopped at any moment; only the
// convenience link is tidied away.
void OnSignal(int) {
    if (g_link[0] != '\0') ::unlink(g_link);
    std::_Exit(0);
}

void Usage(std::FILE* to = stderr) {
    std::fprintf(
        to,
        "usage: orvan-boardsim [OPTIONS]\n"
        "A simulated controller board of a diode-laser welding source, for orvan-cli and\n"
        "orvan-supervisor: it prints its device path on stdout and answers until stopped.\n"
        "Options take their value as --name VALUE or --name=VALUE.\n"
        "  --version            print the release and exit\n"
        "  --eeprom FILE        keep the 1024-byte EEPROM in FILE (created when absent)\n"
        "  --replay FILE        answer as the board of a line capture did (orvan-cli --capture)\n"
        "  --link PATH          also make PATH a symbolic link to the device\n"
        "  --tcp PORT           serve on 127.0.0.1:PORT (raw TCP) instead of a pseudo-terminal;\n"
        "                       0 picks a free port; the first line says tcp://127.0.0.1:PORT.\n"
        "                       One client at a time: a second one is refused (told \"Port\n"
        "                       already in use\" and disconnected) while the first is connected\n"
        "  --speed BPS          with --tcp: the line speed the board answers at (default 56700)\n"
        "  --protocol X.Y.Z     protocol version the board speaks (default 2.2.9)\n"
        "  --firmware X.Y.Z     firmware version (default 1.2.7)\n"
        "  --board-type HEX     board type (default 0100)\n"
        "  --machine NAME       board type and versions of a known machine (--list-machines)\n"
        "  --still              fixed live values (analog, inputs, anomalies do not move)\n"
        "Faults:\n"
        "  --delay MS           wait MS before each answer\n"
        "  --bursts N[:GAP]     split each answer into N bursts GAP ms apart\n"
        "  --no-answer          never answer\n"
        "  --babble             fill the line with endless random bytes\n"
        "  --garbage            answer with random bytes\n"
        "  --overlong           answer with frames longer than 256 bytes\n"
        "  --error CODE         refuse every request with board error CODE\n"
        "  --error-on TYPE:CODE[:AFTER[:COUNT]]\n"
        "                       refuse requests of frame TYPE (hex) with CODE, after AFTER of\n"
        "                       them were served, COUNT times (default: every one)\n"
        "  --flip-read AFTER[:COUNT]\n"
        "                       flip one bit of the data of COUNT memory-read answers (default\n"
        "                       1; -1 every one) after AFTER were answered right\n"
        "  --short-answer VAR   answer variable VAR (hex code) one byte short of its layout\n"
        "Board memory, changed in the EEPROM file at start:\n"
        "  --filler HEX         the configuration image's filler bytes hold HEX, not FF\n"
        "  --layout V:S         the image says Version V, Size S (checksum made right)\n"
        "  --damage-tuning-log a|b|both\n"
        "                       spoil the check of tuning-log copy A, B or both\n"
        "  --tuning-ms MS       a tuning runs MS of board time (default 4000)\n"
        "  --current-limited    tunings end \"current limited\"\n");
}

bool ParseVersion(const char* s, orvan::sim::Version3& v) {
    unsigned a = 0, b = 0, c = 0;
    if (std::sscanf(s, "%u.%u.%u", &a, &b, &c) != 3 || a > 255 || b > 255 || c > 255) return false;
    v = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c)};
    return true;
}

bool ParseInt(const char* s, long lo, long hi, long& out, int base = 10) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, base);
    if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string eeprom, link, replayFile;
    orvan::sim::BoardFaults faults;
    orvan::sim::Version3 protocol{2, 2, 9}, firmware{1, 2, 7};
    long boardType = 0x0100;
    std::optional<orvan::sim::ForcedError> forced;
    bool still = false;
    std::optional<orvan::sim::ReadCorruption> corrupt;
    std::vector<std::uint16_t> shortAnswers;
    std::optional<std::uint8_t> filler;
    std::optional<std::pair<std::uint8_t, std::uint16_t>> layout;
    bool damageA = false, damageB = false, currentLimited = false;
    int tuningMs = 4000;
    long tcpPort = -1, tcpSpeed = 56700;
    // --name=VALUE is --name VALUE.
    std::vector<std::string> args(argv, argv + argc);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::size_t eq = args[i].find('=');
        if (args[i].rfind("--", 0) != 0 || eq == std::string::npos) continue;
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args[i].substr(eq + 1));
        args[i].resize(eq);
        ++i;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string a = args[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                std::fprintf(stderr, "orvan-boardsim: %s needs %s\n", a.c_str(), what);
                std::exit(2);
            }
            return args[++i].c_str();
        };
        long n = 0;
        if (a == "--eeprom") {
            eeprom = value("a file name");
        } else if (a == "--replay") {
            replayFile = value("a capture file");
        } else if (a == "--link") {
            link = value("a path");
        } else if (a == "--tcp") {
            if (!ParseInt(value("a port number"), 0, 65535, tcpPort)) {
                std::fprintf(stderr, "orvan-boardsim: --tcp wants a port number 0 to 65535\n");
                return 2;
            }
        } else if (a == "--speed") {
            if (!ParseInt(value("bit/s"), 300, 4000000, tcpSpeed)) {
                std::fprintf(stderr, "orvan-boardsim: --speed wants bit/s, 300 to 4000000\n");
                return 2;
            }
        } else if (a == "--protocol" || a == "--firmware") {
            if (!ParseVersion(value("X.Y.Z"), a == "--protocol" ? protocol : firmware)) {
                std::fprintf(stderr, "orvan-boardsim: %s wants X.Y.Z with numbers up to 255\n",
                             a.c_str());
                return 2;
            }
        } else if (a == "--board-type") {
            if (!ParseInt(value("a hex number"), 0, 0xFFFF, boardType, 16)) {
                std::fprintf(stderr,
                             "orvan-boardsim: --board-type wants a hex number up to FFFF\n");
                return 2;
            }
        } else if (a == "--machine") {
            const char* name = value("a machine name");
            const orvan::sim::TMachinePreset* p = orvan::sim::FindMachinePreset(name);
            if (p == nullptr) {
                std::fprintf(stderr, "orvan-boardsim: no machine '%s' (see --list-machines)\n",
                             name);
                return 2;
            }
            boardType = p->boardType;
            firmware = p->firmware;
            protocol = p->protocol;
        } else if (a == "--list-machines") {
            for (const orvan::sim::TMachinePreset& p : orvan::sim::MachinePresets())
                std::printf(
                    "%-12s board type %04X, firmware %u.%02u.%02u, protocol %u.%02u.%02u: %s\n",
                    p.name, p.boardType, p.firmware.major, p.firmware.minor, p.firmware.patch,
                    p.protocol.major, p.protocol.minor, p.protocol.patch, p.description);
            return 0;
        } else if (a == "--still") {
            still = true;
        } else if (a == "--delay") {
            if (!ParseInt(value("milliseconds"), 0, 60000, n)) return Usage(), 2;
            faults.answerDelayMs = static_cast<int>(n);
        } else if (a == "--bursts") {
            std::string v = value("N[:GAP]");
            long gap = 20;
            const auto colon = v.find(':');
            if (colon != std::string::npos) {
                if (!ParseInt(v.substr(colon + 1).c_str(), 0, 10000, gap)) return Usage(), 2;
                v.resize(colon);
            }
            if (!ParseInt(v.c_str(), 1, 256, n)) return Usage(), 2;
            faults.bursts = static_cast<int>(n);
            faults.burstGapMs = static_cast<int>(gap);
        } else if (a == "--no-answer") {
            faults.noAnswer = true;
        } else if (a == "--babble") {
            faults.babble = true;
        } else if (a == "--garbage") {
            faults.garbage = true;
        } else if (a == "--overlong") {
            faults.overlong = true;
        } else if (a == "--error") {
            if (!ParseInt(value("a code"), 1, 255, n)) return Usage(), 2;
            faults.forceError = static_cast<int>(n);
        } else if (a == "--error-on") {
            unsigned type = 0, code = 0;
            int after = 0, count = -1;
            const char* arg = value("TYPE:CODE[:AFTER[:COUNT]]");
            const int got = std::sscanf(arg, "%x:%u:%d:%d", &type, &code, &after, &count);
            if (got < 2 || type > 0xFF || code < 1 || code > 255 || after < 0 || count == 0 ||
                count < -1) {
                std::fprintf(
                    stderr,
                    "orvan-boardsim: --error-on wants TYPE:CODE[:AFTER[:COUNT]], e.g. 01:10:4:1\n");
                return 2;
            }
            orvan::sim::ForcedError e;
            e.type = static_cast<int>(type);
            e.code = static_cast<std::uint8_t>(code);
            e.after = after;
            e.remaining = count;
            forced = e;
        } else if (a == "--flip-read") {
            int after = 0, count = 1;
            const int got = std::sscanf(value("AFTER[:COUNT]"), "%d:%d", &after, &count);
            if (got < 1 || after < 0 || count == 0 || count < -1) {
                std::fprintf(stderr, "orvan-boardsim: --flip-read wants AFTER[:COUNT], e.g. 1:1\n");
                return 2;
            }
            orvan::sim::ReadCorruption c;
            c.after = after;
            c.remaining = count;
            corrupt = c;
        } else if (a == "--short-answer") {
            if (!ParseInt(value("a hex variable code"), 0, 0xFFFF, n, 16)) return Usage(), 2;
            shortAnswers.push_back(static_cast<std::uint16_t>(n));
        } else if (a == "--filler") {
            if (!ParseInt(value("a hex byte"), 0, 0xFF, n, 16)) return Usage(), 2;
            filler = static_cast<std::uint8_t>(n);
        } else if (a == "--layout") {
            unsigned v = 0, sz = 0;
            char tail = 0;
            if (std::sscanf(value("V:S"), "%u:%u%c", &v, &sz, &tail) != 2 || v > 255 ||
                sz > 65535) {
                std::fprintf(stderr, "orvan-boardsim: --layout wants V:S, e.g. 2:128\n");
                return 2;
            }
            layout = {static_cast<std::uint8_t>(v), static_cast<std::uint16_t>(sz)};
        } else if (a == "--version") {
            std::printf("orvan-boardsim %s\n", orvan::kProgramVersion);
            return 0;
        } else if (a == "--damage-tuning-log") {
            const std::string which = value("a, b or both");
            if (which != "a" && which != "b" && which != "both") {
                std::fprintf(stderr, "orvan-boardsim: --damage-tuning-log wants a, b or both\n");
                return 2;
            }
            damageA = which != "b";
            damageB = which != "a";
        } else if (a == "--tuning-ms") {
            if (!ParseInt(value("milliseconds"), 1, 600000, n, 10)) return Usage(), 2;
            tuningMs = static_cast<int>(n);
        } else if (a == "--current-limited") {
            currentLimited = true;
        } else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "orvan-boardsim: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }

    // A new memory of a flanging board holds its profiles.
    const bool freshMemory = eeprom.empty() || ::access(eeprom.c_str(), F_OK) != 0;
    orvan::sim::TPtyBoard board(eeprom);
    std::string error;
    if (tcpPort >= 0 && !link.empty()) {
        std::fprintf(stderr, "orvan-boardsim: --link names a device; --tcp has none\n");
        return 2;
    }
    const bool opened = tcpPort >= 0 ? board.OpenTcp(static_cast<std::uint16_t>(tcpPort),
                                                     static_cast<unsigned>(tcpSpeed), &error)
                                     : board.Open(&error);
    if (!opened || !board.LoadOrCreateEeprom(&error)) {
        std::fprintf(stderr, "orvan-boardsim: %s\n", error.c_str());
        return 1;
    }
    board.WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults& f) {
        m.protocol = protocol;
        m.firmware = firmware;
        m.boardType = static_cast<std::uint16_t>(boardType);
        m.liveValues = !still;
        if (forced) m.ForceError(*forced);
        if (corrupt) m.CorruptReads(*corrupt);
        m.shortAnswers.insert(shortAnswers.begin(), shortAnswers.end());
        f = faults;
    });
    if (freshMemory && boardType == 0x0A00) {
        board.WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
            orvan::sim::SeedFlangingProfiles(m.Eeprom());
            if (m.onEepromWritten) m.onEepromWritten();
        });
    }
    board.WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        m.tuningMs = tuningMs;
        m.tuningCurrentLimited = currentLimited;
        if (damageA) orvan::sim::DamageTuningCopy(m.Eeprom(), 0);
        if (damageB) orvan::sim::DamageTuningCopy(m.Eeprom(), 1);
        if ((damageA || damageB) && m.onEepromWritten) m.onEepromWritten();
    });
    if (filler || layout) {
        board.WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
            if (filler) orvan::sim::SetImageFiller(m.Eeprom(), *filler);
            if (layout) orvan::sim::SetImageLayout(m.Eeprom(), layout->first, layout->second);
            if (m.onEepromWritten) m.onEepromWritten();  // into the EEPROM file
        });
    }
    orvan::sim::TBoardReplay replay;
    if (!replayFile.empty()) {
        std::string text;
        std::vector<orvan::link::TCaptureFrame> frames;
        if (!orvan::config::ReadWholeFile(replayFile, text, &error)) {
            std::fprintf(stderr, "orvan-boardsim: %s\n", error.c_str());
            return 1;
        }
        orvan::TResult r = orvan::link::ParseCapture(text, frames);
        if (r) r = replay.Load(frames);
        if (!r) {
            std::fprintf(stderr, "orvan-boardsim: %s: %s\n", replayFile.c_str(), r.why.c_str());
            return 1;
        }
        std::fprintf(stderr, "orvan-boardsim: replaying %zu exchanges of %s\n",
                     replay.Exchanges().size(), replayFile.c_str());
        board.SetResponder([&replay](const std::vector<std::uint8_t>& body) {
            auto answer = replay.Answer(body);
            if (!answer)
                std::fprintf(stderr, "orvan-boardsim: unmatched %s\n",
                             replay.Unmatched().back().c_str());
            return answer;
        });
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(board.DevicePath().c_str(), link.c_str()) != 0)
            std::fprintf(stderr, "orvan-boardsim: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
    }
    // The device path alone on the first line, for scripts.
    std::printf("%s\n", board.DevicePath().c_str());
    std::fflush(stdout);
    std::fprintf(
        stderr,
        "orvan-boardsim: board type %04lX, firmware %u.%02u.%02u, protocol %u.%02u.%02u on %s\n",
        boardType, firmware.major, firmware.minor, firmware.patch, protocol.major, protocol.minor,
        protocol.patch, board.DevicePath().c_str());
    std::snprintf(g_link, sizeof g_link, "%s", link.c_str());
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    board.Serve();
    return 0;
}
