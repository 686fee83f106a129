// The command table, its usage text, and the reading of a command's words.

#include "cli/CliCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/Cli.h"

namespace orvan::cli {

#define ORVAN_CLI_DECLARE(name, read, board, args, text) TPlan read(const Options&);
ORVAN_CLI_COMMANDS(ORVAN_CLI_DECLARE)
#undef ORVAN_CLI_DECLARE

std::string Wrapped(const std::string& text, std::size_t indent, std::size_t first,
                    std::size_t width) {
    std::string out;
    std::size_t column = first;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        if (column > indent && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        at = end + 1;
    }
    return out;
}

const std::vector<TGlobalOption>& GlobalOptions() {
    static const std::vector<TGlobalOption> kTable{
        {"--device", "PATH",
         "the board's serial device (/dev/ttyUSB0, /dev/ttyS0, ...), or a serial device server: "
         "tcp://HOST:PORT (raw, the speed is set on the server) or rfc2217://HOST:PORT (speed set "
         "from here). Default: $ORVAN_DEVICE, else the port of the window's settings file"},
        {"--simulate", "", "talk to a built-in simulated board instead"},
        {"--speed", "N", "line speed in bit/s: 9600, 19200, 38400 or 56700 (default 56700)"},
        {"--fast", "", "fast exchange: each answer taken as soon as it is complete"},
        {"--capture", "FILE",
         "keep the line traffic in FILE (for orvan-boardsim --replay), written at the end "
         "whatever the outcome"},
        {"--backup-dir", "DIR",
         "keep copies of what the board held in DIR (default "
         "~/.local/share/orvan-supervisor/backups)"},
        {"--force", "",
         "replace an existing file of the same kind (the capture, the command's own file); a "
         "file of another kind never is"},
        {"-v,--trace", "", "every frame sent and received, with its meaning, on stderr"},
        {"--progress", "", "progress on stderr even when it is not a terminal"},
        {"-q,--quiet", "", "no progress, no notes on stderr"},
        {"--version", "", "print the release and exit"},
        {"-h,--help", "", "this text; COMMAND --help tells one command"},
    };
    return kTable;
}

const std::vector<TExitStatus>& ExitStatuses() {
    static const std::vector<TExitStatus> kTable{
        {"0", "done"},
        {"1",
         "the board or the line failed, a file could not be written, or done with a warning "
         "(config-verify found differences, a damaged image was read)"},
        {"2",
         "bad arguments or refused input: nothing was sent (a file of another kind, a name "
         "taken, a value out of range, a question answered no)"},
        {"130",
         "interrupted by Ctrl-C (SIGINT), 143 by SIGTERM, 129 by SIGHUP: stopped after the "
         "request in flight; what the board holds and the kept copies are said"},
    };
    return kTable;
}

const std::vector<TCommand>& Commands() {
#define ORVAN_CLI_ROW(name, read, board, args, text) TCommand{name, &read, board, args, text},
    static const std::vector<TCommand> kTable{ORVAN_CLI_COMMANDS(ORVAN_CLI_ROW)};
#undef ORVAN_CLI_ROW
    return kTable;
}

const TCommand* FindCommand(std::string_view name) {
    for (const TCommand& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

std::string UsageText() {
    constexpr std::size_t kIndent = 25, kWidth = 100;
    std::string board, files;
    for (const TCommand& c : Commands()) {
        std::string line = std::string("  ") + c.name + (*c.args ? " " : "") + c.args;
        if (line.size() + 2 > kIndent) {
            line += "\n" + std::string(kIndent, ' ');
        } else {
            line += std::string(kIndent - line.size(), ' ');
        }
        line += Wrapped(c.text, kIndent, kIndent, kWidth) + "\n";
        (c.board ? board : files) += line;
    }
    std::string exits;
    for (const TExitStatus& e : ExitStatuses()) {
        std::string line = std::string("  ") + e.code;
        line += std::string(7 - line.size(), ' ');
        exits += line + Wrapped(e.text, 7, 7, kWidth) + "\n";
    }
    return "Commands on a board:\n" + board + "Commands on files and this machine:\n" + files +
           "Exit status:\n" + exits;
}

std::string HelpText() {
    constexpr std::size_t kIndent = 25, kWidth = 100;
    std::string text =
        "usage: orvan-cli [OPTIONS] COMMAND [ARGS]\n"
        "       orvan-cli COMMAND --help\n"
        "Services the controller board of a diode-laser welding source: the same core as the\n"
        "window orvan-supervisor, on a serial device, a serial device server or a simulated\n"
        "board. Options go before the command; a command's own options after it, as\n"
        "--name VALUE or --name=VALUE; words after -- are the command's, even when they begin\n"
        "with '-'.\n"
        "Options:\n";
    for (const TGlobalOption& o : GlobalOptions()) {
        std::string names = o.names;
        if (names.find(',') != std::string::npos) names.replace(names.find(','), 1, ", ");
        std::string line = "  " + names + (*o.value ? std::string(" ") + o.value : "");
        line += line.size() + 2 > kIndent ? "\n" + std::string(kIndent, ' ')
                                          : std::string(kIndent - line.size(), ' ');
        text += line + Wrapped(o.text, kIndent, kIndent, kWidth) + "\n";
    }
    text +=
        "Questions are answered yes by the flag they name (--yes, --force), asked on a\n"
        "terminal, and taken as no when standard input is not one.\n";
    return text + UsageText();
}

std::string CommandHelpText(const TCommand& c) {
    std::string text = std::string("usage: orvan-cli [OPTIONS] ") + c.name + (*c.args ? " " : "") +
                       c.args + "\n  " + Wrapped(c.text, 2, 2, 100) + "\n";
    if (c.board)
        text +=
            "  It talks to the board of --device, $ORVAN_DEVICE or the window's settings, or\n"
            "  to --simulate.\n";
    text += "Exit status:";
    for (const TExitStatus& e : ExitStatuses()) text += std::string(" ") + e.code;
    return text + " (orvan-cli --help tells them)\n";
}

TPlan Usage(const std::string& command, const std::string& why) {
    const TCommand* c = FindCommand(command);
    std::fprintf(stderr, "orvan-cli: %s: %s (usage: %s%s%s)\n", command.c_str(), why.c_str(),
                 command.c_str(), c && *c->args ? " " : "", c ? c->args : "");
    return Done(2);
}

TPlan Done(int exit) {
    TPlan p;
    p.exit = exit;
    return p;
}

TPlan OnBoard(std::function<int(TBoard&)> work) {
    TPlan p;
    p.board = std::move(work);
    return p;
}

std::optional<TWords> TWords::Split(const Options& opt,
                                    std::initializer_list<std::string_view> flags,
                                    std::initializer_list<std::string_view> valued,
                                    std::size_t minNames, std::size_t maxNames) {
    const auto in = [](std::initializer_list<std::string_view> set, const std::string& w) {
        for (std::string_view f : set)
            if (w == f) return true;
        return false;
    };
    TWords w;
    bool onlyNames = false;
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        std::string a = opt.args[i];
        const bool flag =
            !onlyNames && a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9');
        // --name=VALUE is --name VALUE.
        std::optional<std::string> given;
        if (flag && a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            given = a.substr(a.find('=') + 1);
            a.resize(a.find('='));
        }
        if (!flag) {
            w.names_.push_back(a);
        } else if (a == "--") {
            onlyNames = true;
        } else if (in(flags, a)) {
            if (given) {
                (void)Usage(opt.args[0], a + " takes no value");
                return std::nullopt;
            }
            w.flags_.emplace_back(a, std::string());
        } else if (in(valued, a)) {
            if (!given && i + 1 < opt.args.size()) given = opt.args[++i];
            if (!given || given->empty()) {
                (void)Usage(opt.args[0], a + " needs a value");
                return std::nullopt;
            }
            w.flags_.emplace_back(a, *given);
        } else {
            (void)Usage(opt.args[0], "unknown option " + a);
            return std::nullopt;
        }
    }
    if (w.names_.size() < minNames || w.names_.size() > maxNames) {
        (void)Usage(opt.args[0],
                    w.names_.size() < minNames ? "too few arguments" : "too many arguments");
        return std::nullopt;
    }
    return w;
}

bool TWords::Has(std::string_view flag) const {
    for (const auto& f : flags_)
        if (f.first == flag) return true;
    return false;
}

std::string TWords::Value(std::string_view flag) const {
    for (const auto& f : flags_)
        if (f.first == flag) return f.second;
    return {};
}

std::optional<long long> ParseWhole(const std::string& text, long long lo, long long hi) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < lo || v > hi) return std::nullopt;
    return v;
}

}  // namespace orvan::cli
