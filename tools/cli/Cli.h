#pragma once
// Shared pieces of orvan-cli: the options before the command, what a command
// makes of its words, and the command table (CliCommands.h) that main reads.
//
// A board command is a small function that reads its words and returns the
// plan of its work: the operations of the core it runs, one after the other,
// on the one runner (TBoard, CliRunner.h). The core keeps every rule (what is
// checked, kept, asked, and what an outcome says); the command only builds
// requests and renders results.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvan::cli {

struct Options {
    std::string device;
    bool simulate = false;
    std::int32_t speed = 56700;
    bool quiet = false;
    bool fast = false;              // fast exchange: answers taken at their delimiter
    bool force = false;             // replace an existing file of the same kind
    std::string capture;            // the line traffic into this file (empty: none)
    std::string backupDir;          // copies of what the board held (empty: the default)
    bool trace = false;             // every frame sent and received, with its meaning, on stderr
    bool progress = false;          // progress on stderr even when it is no terminal
    std::vector<std::string> args;  // the command and its arguments
};

// The options before the command: one row each, read by the parser, the
// usage text and the manual page alike.
struct TGlobalOption {
    const char* names;  // "-v,--trace"
    const char* value;  // "PATH"; empty for a flag
    const char* text;
};
const std::vector<TGlobalOption>& GlobalOptions();
// The exit statuses, one row each: the same in --help and the manual page.
struct TExitStatus {
    const char* code;
    const char* text;
};
const std::vector<TExitStatus>& ExitStatuses();
// The speeds the board talks, in bit/s.
inline constexpr std::int32_t kLineSpeeds[] = {9600, 19200, 38400, 56700};

class TBoard;

// What a command makes of its words: done already (the file commands, and
// every refusal of the words: `exit`), or work on a board.
struct TPlan {
    int exit = 0;
    std::function<int(TBoard&)> board;
};
// The words are wrong: said on stderr with the command's usage, exit 2,
// nothing sent.
TPlan Usage(const std::string& command, const std::string& why);
TPlan Done(int exit);
TPlan OnBoard(std::function<int(TBoard&)> work);

// The words after a command: the names it takes, and the flags it allows
// (`valued` ones take the next word). A word that starts with '-' and is no
// number is a flag.
class TWords {
  public:
    // Nothing, with the mistake and the command's usage said (the command
    // then exits with 2), when a flag is not allowed or the count of names is
    // outside min..max.
    static std::optional<TWords> Split(const Options& opt,
                                       std::initializer_list<std::string_view> flags,
                                       std::initializer_list<std::string_view> valued,
                                       std::size_t minNames, std::size_t maxNames);
    bool Has(std::string_view flag) const;
    // The word after a valued flag; empty when not given.
    std::string Value(std::string_view flag) const;
    const std::vector<std::string>& Names() const { return names_; }
    const std::string& Name(std::size_t i) const { return names_.at(i); }

  private:
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, std::string>> flags_;
};

// A whole number in lo..hi as typed; nothing when it is not one.
std::optional<long long> ParseWhole(const std::string& text, long long lo, long long hi);

// A row of the command table (CliCommands.h): one line per command.
struct TCommand {
    const char* name;
    TPlan (*read)(const Options&);
    bool board;        // needs --device or --simulate
    const char* args;  // "IN.wcf [--force]"
    const char* text;  // what it does
};
const std::vector<TCommand>& Commands();
const TCommand* FindCommand(std::string_view name);
// Every command with its arguments and what it does, and the exit statuses.
std::string UsageText();
// The whole --help text of orvan-cli.
std::string HelpText();
// One command's --help: its usage line and what it does.
std::string CommandHelpText(const TCommand& c);
// Words wrapped to `width` columns, every line after the first indented.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t first,
                    std::size_t width);

// Runs a board command's plan: the port opened, the core built and the
// printer attached, the signals caught, the capture written at the end.
int RunOnBoard(const Options& opt, const TPlan& plan);

}  // namespace orvan::cli
