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

namespace {

// Words wrapped to `width` columns, every line after the first indented.
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

}  // namespace

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
    return "commands on a board:\n" + board + "commands on files:\n" + files +
           "exit status:\n"
           "  0    done\n"
           "  1    the board or the line failed, a file could not be written, or done with a\n"
           "       warning (config-verify found differences, a damaged image was read)\n"
           "  2    bad arguments or refused input: nothing was sent (a file of another kind,\n"
           "       a name taken, a value out of range, a question answered no)\n"
           "  130  interrupted by Ctrl-C (SIGINT), 143 by SIGTERM, 129 by SIGHUP: stopped after\n"
           "       the request in flight; what the board holds and the kept copies are said\n";
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
    for (std::size_t i = 1; i < opt.args.size(); ++i) {
        const std::string& a = opt.args[i];
        const bool flag = a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9');
        if (!flag) {
            w.names_.push_back(a);
        } else if (in(flags, a)) {
            w.flags_.emplace_back(a, std::string());
        } else if (in(valued, a)) {
            if (i + 1 >= opt.args.size() || opt.args[i + 1].empty()) {
                (void)Usage(opt.args[0], a + " needs a value");
                return std::nullopt;
            }
            w.flags_.emplace_back(a, opt.args[++i]);
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
