// orvan-boardsim: a virtual controller board on a pseudo-terminal, or on a
// loopback TCP port as a serial device server in raw mode shows one.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

bool ParseBursts(std::string v, orvan::sim::BoardFaults* into) {
    long n = 0, gap = 20;
    const auto colon = v.find(':');
    if (colon != std::string::npos) {
        if (!ParseInt(v.substr(colon + 1).c_str(), 0, 10000, gap)) return false;
        v.resize(colon);
    }
    if (!ParseInt(v.c_str(), 1, 256, n)) return false;
    if (into != nullptr) {
        into->bursts = static_cast<int>(n);
        into->burstGapMs = static_cast<int>(gap);
    }
    return true;
}

// The colon-separated numbers of an option ("01:10:4:1"), at most `most` of
// them; each a whole word, so "01:10:4a" is refused, not read as 4.
bool SplitParts(const std::string& v, std::size_t most, std::vector<std::string>& parts) {
    parts.clear();
    std::size_t from = 0;
    for (;;) {
        const std::size_t colon = v.find(':', from);
        parts.push_back(
            v.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
        if (parts.back().empty() || parts.size() > most) return false;
        if (colon == std::string::npos) return true;
        from = colon + 1;
    }
}

// A COUNT: -1 for every one, or 1 and more.
bool ParseCount(const std::string& t, long& out) {
    return ParseInt(t.c_str(), -1, INT_MAX, out) && out != 0;
}

bool ParseErrorOn(const std::string& v, orvan::sim::ForcedError* into) {
    std::vector<std::string> p;
    long type = 0, code = 0, after = 0, count = -1;
    if (!SplitParts(v, 4, p) || p.size() < 2 || !ParseInt(p[0].c_str(), 0, 0xFF, type, 16) ||
        !ParseInt(p[1].c_str(), 1, 255, code) ||
        (p.size() > 2 && !ParseInt(p[2].c_str(), 0, INT_MAX, after)) ||
        (p.size() > 3 && !ParseCount(p[3], count)))
        return false;
    if (into != nullptr) {
        into->type = static_cast<int>(type);
        into->code = static_cast<std::uint8_t>(code);
        into->after = static_cast<int>(after);
        into->remaining = static_cast<int>(count);
    }
    return true;
}

bool ParseFlip(const std::string& v, orvan::sim::ReadCorruption* into) {
    std::vector<std::string> p;
    long after = 0, count = 1;
    if (!SplitParts(v, 2, p) || !ParseInt(p[0].c_str(), 0, INT_MAX, after) ||
        (p.size() > 1 && !ParseCount(p[1], count)))
        return false;
    if (into != nullptr) {
        into->after = static_cast<int>(after);
        into->remaining = static_cast<int>(count);
    }
    return true;
}

bool ParseLayout(const std::string& v, std::pair<std::uint8_t, std::uint16_t>* into) {
    unsigned version = 0, size = 0;
    char tail = 0;
    if (std::sscanf(v.c_str(), "%u:%u%c", &version, &size, &tail) != 2 || version > 255 ||
        size > 65535)
        return false;
    if (into != nullptr)
        *into = {static_cast<std::uint8_t>(version), static_cast<std::uint16_t>(size)};
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
    std::string tcpText, speedText, protocolText, firmwareText, boardTypeText, machine;
    std::string delayText, burstsText, errorText, errorOnText, flipText, fillerText, layoutText;
    std::string damageText, tuningMsText;
    std::vector<std::string> shortTexts;
    bool version = false, listMachines = false;

    CLI::App app{
        "A simulated controller board of a diode-laser welding source, for orvan-cli and\n"
        "orvan-supervisor: it prints its device path on stdout and answers until stopped.\n"
        "Options take their value as --name VALUE or --name=VALUE.",
        "orvan-boardsim"};
    app.allow_windows_style_options(false);
    app.get_formatter()->column_width(30);
    // Each value is checked by the reading that uses it below, so a value
    // the help names is one the board takes.
    auto checked = [](std::function<bool(const std::string&)> ok, std::string what) {
        return CLI::Validator(
            [ok, what](std::string& v) { return ok(v) ? std::string() : "wants " + what; }, "", "");
    };
    auto number = [](long lo, long hi, int base = 10) {
        return [lo, hi, base](const std::string& v) {
            long n = 0;
            return ParseInt(v.c_str(), lo, hi, n, base);
        };
    };
    auto versionOk = [](const std::string& v) {
        orvan::sim::Version3 x{};
        return ParseVersion(v.c_str(), x);
    };
    app.add_flag("--version", version, "print the release and exit");
    app.add_option("--eeprom", eeprom, "keep the 1024-byte EEPROM in FILE (created when absent)")
        ->type_name("FILE")
        ->check(checked([](const std::string& v) { return !v.empty(); }, "a file name"));
    app.add_option("--replay", replayFile,
                   "answer as the board of a line capture did (orvan-cli --capture)")
        ->type_name("FILE")
        ->check(checked([](const std::string& v) { return !v.empty(); }, "a capture file"));
    app.add_option("--link", link, "also make PATH a symbolic link to the device")
        ->type_name("PATH")
        ->check(checked([](const std::string& v) { return !v.empty(); }, "a path"));
    app.add_option("--tcp", tcpText,
                   "serve on 127.0.0.1:PORT (raw TCP) instead of a pseudo-terminal; 0 picks a "
                   "free port; the first line says tcp://127.0.0.1:PORT. One client at a time: a "
                   "second one is refused (told \"Port already in use\" and disconnected) while "
                   "the first is connected")
        ->type_name("PORT")
        ->check(checked(number(0, 65535), "a port number 0 to 65535"));
    app.add_option("--speed", speedText,
                   "with --tcp: the line speed the board answers at (default 56700)")
        ->type_name("BPS")
        ->check(checked(number(300, 4000000), "bit/s, 300 to 4000000"));
    app.add_option("--protocol", protocolText, "protocol version the board speaks (default 2.2.9)")
        ->type_name("X.Y.Z")
        ->check(checked(versionOk, "X.Y.Z with numbers up to 255"));
    app.add_option("--firmware", firmwareText, "firmware version (default 1.2.7)")
        ->type_name("X.Y.Z")
        ->check(checked(versionOk, "X.Y.Z with numbers up to 255"));
    app.add_option("--board-type", boardTypeText, "board type (default 0100)")
        ->type_name("HEX")
        ->check(checked(number(0, 0xFFFF, 16), "a hex number up to FFFF"));
    app.add_option("--machine", machine,
                   "board type and versions of a known machine (--list-machines)")
        ->type_name("NAME")
        ->check(checked(
            [](const std::string& v) { return orvan::sim::FindMachinePreset(v) != nullptr; },
            "a machine of --list-machines"));
    app.add_flag("--list-machines", listMachines, "list the known machines and exit");
    app.add_flag("--still", still, "fixed live values (analog, inputs, anomalies do not move)");
    const char* faultGroup = "Faults";
    app.add_option("--delay", delayText, "wait MS before each answer")
        ->type_name("MS")
        ->group(faultGroup)
        ->check(checked(number(0, 60000), "milliseconds, 0 to 60000"));
    app.add_option("--bursts", burstsText, "split each answer into N bursts GAP ms apart")
        ->type_name("N[:GAP]")
        ->group(faultGroup)
        ->check(checked([](const std::string& v) { return ParseBursts(v, nullptr); },
                        "N[:GAP], N 1 to 256, GAP 0 to 10000"));
    app.add_flag("--no-answer", faults.noAnswer, "never answer")->group(faultGroup);
    app.add_flag("--babble", faults.babble, "fill the line with endless random bytes")
        ->group(faultGroup);
    app.add_flag("--garbage", faults.garbage, "answer with random bytes")->group(faultGroup);
    app.add_flag("--overlong", faults.overlong, "answer with frames longer than 256 bytes")
        ->group(faultGroup);
    app.add_option("--error", errorText, "refuse every request with board error CODE")
        ->type_name("CODE")
        ->group(faultGroup)
        ->check(checked(number(1, 255), "a code 1 to 255"));
    app.add_option("--error-on", errorOnText,
                   "refuse requests of frame TYPE (hex) with CODE, after AFTER of them were "
                   "served, COUNT times (default: every one)")
        ->type_name("TYPE:CODE[:AFTER[:COUNT]]")
        ->group(faultGroup)
        ->check(checked([](const std::string& v) { return ParseErrorOn(v, nullptr); },
                        "TYPE:CODE[:AFTER[:COUNT]], e.g. 01:10:4:1"));
    app.add_option("--flip-read", flipText,
                   "flip one bit of the data of COUNT memory-read answers (default 1; -1 every "
                   "one) after AFTER were answered right")
        ->type_name("AFTER[:COUNT]")
        ->group(faultGroup)
        ->check(checked([](const std::string& v) { return ParseFlip(v, nullptr); },
                        "AFTER[:COUNT], e.g. 1:1"));
    app.add_option("--short-answer", shortTexts,
                   "answer variable VAR (hex code) one byte short of its layout (repeatable)")
        ->type_name("VAR")
        ->group(faultGroup)
        ->check(checked(number(0, 0xFFFF, 16), "a hex variable code"));
    const char* memory = "Board memory, changed in the EEPROM file at start";
    app.add_option("--filler", fillerText,
                   "the configuration image's filler bytes hold HEX, not FF")
        ->type_name("HEX")
        ->group(memory)
        ->check(checked(number(0, 0xFF, 16), "a hex byte"));
    app.add_option("--layout", layoutText, "the image says Version V, Size S (checksum made right)")
        ->type_name("V:S")
        ->group(memory)
        ->check(checked([](const std::string& v) { return ParseLayout(v, nullptr); },
                        "V:S, e.g. 2:128"));
    app.add_option("--damage-tuning-log", damageText,
                   "spoil the check of tuning-log copy A, B or both")
        ->type_name("a|b|both")
        ->group(memory)
        ->check(checked([](const std::string& v) { return v == "a" || v == "b" || v == "both"; },
                        "a, b or both"));
    app.add_option("--tuning-ms", tuningMsText, "a tuning runs MS of board time (default 4000)")
        ->type_name("MS")
        ->group(memory)
        ->check(checked(number(1, 600000), "milliseconds, 1 to 600000"));
    app.add_flag("--current-limited", currentLimited, "tunings end \"current limited\"")
        ->group(memory);
    app.footer(
        "Exit status: 0 stopped by SIGINT or SIGTERM (or --help, --version, --list-machines);\n"
        "1 the device, the EEPROM file or the capture could not be used; 2 bad arguments.");
    // "--eeprom=" is no file (the parser would take the next word as it).
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") break;
        if (a.size() > 3 && a.rfind("--", 0) == 0 && a.back() == '=') {
            std::fprintf(stderr, "orvan-boardsim: %s wants a value (see --help)\n",
                         a.substr(0, a.size() - 1).c_str());
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "orvan-boardsim: %s (see --help)\n", e.what());
        return 2;
    }
    if (version) {
        std::printf("orvan-boardsim %s\n", orvan::kProgramVersion);
        return 0;
    }
    if (listMachines) {
        for (const orvan::sim::TMachinePreset& p : orvan::sim::MachinePresets())
            std::printf("%-12s board type %04X, firmware %u.%02u.%02u, protocol %u.%02u.%02u: %s\n",
                        p.name, p.boardType, p.firmware.major, p.firmware.minor, p.firmware.patch,
                        p.protocol.major, p.protocol.minor, p.protocol.patch, p.description);
        return 0;
    }
    // The values were checked as they were read.
    long n = 0;
    if (!tcpText.empty()) (void)ParseInt(tcpText.c_str(), 0, 65535, tcpPort);
    if (!speedText.empty()) (void)ParseInt(speedText.c_str(), 300, 4000000, tcpSpeed);
    if (!machine.empty()) {
        const orvan::sim::TMachinePreset* p = orvan::sim::FindMachinePreset(machine);
        boardType = p->boardType;
        firmware = p->firmware;
        protocol = p->protocol;
    }
    // Given one by one, they win over the machine's.
    if (!protocolText.empty()) (void)ParseVersion(protocolText.c_str(), protocol);
    if (!firmwareText.empty()) (void)ParseVersion(firmwareText.c_str(), firmware);
    if (!boardTypeText.empty()) (void)ParseInt(boardTypeText.c_str(), 0, 0xFFFF, boardType, 16);
    if (!delayText.empty() && ParseInt(delayText.c_str(), 0, 60000, n))
        faults.answerDelayMs = static_cast<int>(n);
    if (!burstsText.empty()) (void)ParseBursts(burstsText, &faults);
    if (!errorText.empty() && ParseInt(errorText.c_str(), 1, 255, n))
        faults.forceError = static_cast<int>(n);
    if (!errorOnText.empty()) {
        orvan::sim::ForcedError e;
        (void)ParseErrorOn(errorOnText, &e);
        forced = e;
    }
    if (!flipText.empty()) {
        orvan::sim::ReadCorruption c;
        (void)ParseFlip(flipText, &c);
        corrupt = c;
    }
    for (const std::string& t : shortTexts)
        if (ParseInt(t.c_str(), 0, 0xFFFF, n, 16))
            shortAnswers.push_back(static_cast<std::uint16_t>(n));
    if (!fillerText.empty() && ParseInt(fillerText.c_str(), 0, 0xFF, n, 16))
        filler = static_cast<std::uint8_t>(n);
    if (!layoutText.empty()) {
        std::pair<std::uint8_t, std::uint16_t> l;
        (void)ParseLayout(layoutText, &l);
        layout = l;
    }
    if (!damageText.empty()) {
        damageA = damageText != "b";
        damageB = damageText != "a";
    }
    if (!tuningMsText.empty() && ParseInt(tuningMsText.c_str(), 1, 600000, n))
        tuningMs = static_cast<int>(n);

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
