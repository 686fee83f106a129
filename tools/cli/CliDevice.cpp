#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliLine.h"
#include "commands/Builders.h"
#include "commands/Catalogue.h"
#include "commands/Session.h"
#include "features/ConfigBackups.h"
#include "features/MachineVariants.h"
#include "features/SupervisorCore.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/LinkPort.h"
#include "link/TickDriver.h"

namespace orvan::cli {

namespace {

using namespace orvan::commands;

// Longest a command-line exchange may take: a few answers, each bounded by
// the receive time-out.
constexpr std::int64_t kRunLimitMs = 20000;

// Prints what the engine does, as the window's debug page shows it.
class PrintingListener : public link::IExchangeListener {
  public:
    explicit PrintingListener(bool printTraffic) : print_(printTraffic) {}
    void OnLinkState(std::string_view text) override { state = std::string(text); }
    void OnTxLog(const std::string& line) override {
        if (print_) std::printf("TX %s\n", line.c_str());
    }
    void OnRxLog(const std::string& line) override {
        if (print_) std::printf("RX %s\n", line.c_str());
    }
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override {
        answers.emplace_back(data, data + (lengthLow >= 4 ? lengthLow - 4 : 0));
    }
    void OnRxTimeout() override { ++timeouts; }

    std::string state;
    std::vector<std::vector<std::uint8_t>> answers;
    int timeouts = 0;

  private:
    bool print_;
};

// The board facts and message boxes of a command-line run: kept for printing.
class CliView : public IIdentityView, public IVariableView, public ILinkView, public INotifier {
  public:
    void OnVariable(const DecodedVariable& v) override { variables.push_back(v); }
    void OnSerialNumber(const std::string& text) override {
        serial = text;
        serialRead = true;
    }
    void OnAnswerIgnored(const std::string& why) override { ignored.push_back(why); }
    void ShowRefusal(std::string_view, std::string_view text) override {
        refusals.push_back("refused by the board: " + std::string(text));
    }
    void ShowMissingAck(std::string_view, std::string_view text) override {
        refusals.push_back("corrupted answer from the board (" + std::string(text) + ")");
    }

    std::vector<DecodedVariable> variables;
    std::vector<std::string> refusals;
    std::vector<std::string> ignored;
    std::string serial;
    bool serialRead = false;
};

struct Link {
    link::TComProtocol& protocol;
    TSession& session;
    features::TSupervisorCore& core;
    PrintingListener& out;
    CliView& view;
    TLineOptions& line;
};

// Runs the exchange until nothing is queued or in flight. Returns 0, or 1
// with the reason printed when the board refused or did not answer.
int RunUntilIdle(Link& l) {
    l.line.Run(
        [&] {
            l.core.Tick();
            return !l.core.Idle();
        },
        kRunLimitMs);
    if (!l.view.refusals.empty()) {
        std::fprintf(stderr, "orvan-cli: %s\n", l.view.refusals.front().c_str());
        return 1;
    }
    if (l.out.timeouts > 0) {
        // A line that went says why (a server that closed, and its words).
        const std::string lost = l.core.Protocol().Port().LostReason();
        std::fprintf(stderr, "orvan-cli: no answer from the board (%s)\n",
                     lost.empty() ? l.out.state.c_str() : ("Port lost: " + lost).c_str());
        return 1;
    }
    if (!l.core.Idle()) {
        std::fprintf(stderr, "orvan-cli: the exchange did not finish within %lld ms\n",
                     static_cast<long long>(kRunLimitMs));
        return 1;
    }
    return 0;
}

int RunDemo(Link& l) {
    const std::uint16_t codes[] = {FirmwareVersion, ProtocolVersion, BoardType};
    for (std::uint16_t c : codes) (void)SendReadVariable(l.protocol, c);
    const int rc = RunUntilIdle(l);
    if (rc != 0) return rc;
    for (const DecodedVariable& v : l.view.variables) {
        const char* label = v.code == FirmwareVersion   ? "firmware version"
                            : v.code == ProtocolVersion ? "protocol version"
                                                        : "board type";
        if (!v.fields.empty()) std::printf("%s: %s\n", label, v.fields[0].text.c_str());
    }
    return 0;
}

int RunInfo(Link& l) {
    l.session.RequestHardwareInfo();
    const int rc = RunUntilIdle(l);
    if (rc != 0) return rc;
    std::string fw, proto, type;
    for (const DecodedVariable& v : l.view.variables) {
        if (v.fields.empty()) continue;
        if (v.code == FirmwareVersion) fw = v.fields[0].text;
        if (v.code == ProtocolVersion) proto = v.fields[0].text;
        if (v.code == BoardType) type = v.fields[0].text;
    }
    if (fw.empty() || proto.empty() || type.empty() || !l.view.serialRead) {
        std::fprintf(stderr, "orvan-cli: the board did not tell its identity%s%s\n",
                     l.view.ignored.empty() ? "" : ": ",
                     l.view.ignored.empty() ? "" : l.view.ignored.front().c_str());
        return 1;
    }
    std::printf("firmware version: %s\n", fw.c_str());
    std::printf("protocol version: %s\n", proto.c_str());
    std::printf("board type: %s\n", type.c_str());
    // Raw bytes (a blank board's are fifteen 0xFF) would break a terminal or
    // a script reading the output as text.
    std::printf("serial number: %s\n", features::SerialNumberText(l.view.serial).c_str());
    return 0;
}

int RunReadVar(Link& l, const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "orvan-cli: read-var takes one variable, by name or hex code\n");
        return 2;
    }
    const auto code = ParseVariableCode(args[1]);
    if (!code) {
        std::fprintf(stderr, "orvan-cli: %s is neither a variable name nor a hex code\n",
                     args[1].c_str());
        return 2;
    }
    (void)SendReadVariable(l.protocol, *code);
    const int rc = RunUntilIdle(l);
    if (rc != 0) return rc;
    for (const DecodedVariable& v : l.view.variables) {
        if (v.code != *code) continue;
        for (const DecodedField& f : v.fields)
            std::printf("%s: %s\n", f.field.c_str(), f.text.c_str());
        return 0;
    }
    if (const VariableInfo* known = FindVariable(*code); known != nullptr && known->readable) {
        // A variable of the catalogue whose answer could not be decoded (too
        // short for its layout): no value to print.
        std::fprintf(stderr, "orvan-cli: no usable answer for %s%s%s\n", CodeText(*code).c_str(),
                     l.view.ignored.empty() ? "" : ": ",
                     l.view.ignored.empty() ? "" : l.view.ignored.front().c_str());
        return 1;
    }
    // Not a variable this program decodes: show the value bytes as they came.
    for (const auto& a : l.out.answers) {
        if (a.size() >= 4 && a[0] == kAck && a[1] == kReadVariable &&
            (a[2] | (a[3] << 8)) == *code) {
            std::string hex = link::FormatHexBytes(a.data() + 4, a.size() - 4);
            if (!hex.empty()) hex.pop_back();
            std::printf("value: %s\n", hex.c_str());
            return 0;
        }
    }
    std::fprintf(stderr, "orvan-cli: no usable answer for %s%s%s\n", CodeText(*code).c_str(),
                 l.view.ignored.empty() ? "" : ": ",
                 l.view.ignored.empty() ? "" : l.view.ignored.front().c_str());
    return 1;
}

// A number as typed: decimal with '.' or ',' as the separator, or 0x hex.
bool ParseNumber(std::string text, double& out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long v = std::strtoull(text.c_str() + 2, &end, 16);
        if (errno != 0 || end == text.c_str() + 2 || *end != '\0' || v > 0xFFFFFFFFull)
            return false;
        out = static_cast<double>(v);
        return true;
    }
    for (char& c : text)
        if (c == ',') c = '.';
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == '\0';
}

// Values of a write as typed; false with the reason printed.
bool ParseWriteValues(const VariableInfo& v, const std::vector<std::string>& typed,
                      std::vector<double>& values) {
    if (v.code == ClockDate && typed.size() == 1) {
        int y = 0, m = 0, d = 0;
        char tail = 0;
        std::string why;
        if (std::sscanf(typed[0].c_str(), "%d-%d-%d%c", &y, &m, &d, &tail) != 3 ||
            !ClockDateValues(y, m, d, values, &why)) {
            std::fprintf(stderr, "orvan-cli: ClockDate wants YYYY-MM-DD%s%s\n",
                         why.empty() ? "" : ": ", why.c_str());
            return false;
        }
        return true;
    }
    std::vector<std::string> parts = typed;
    if (v.code == ClockTime && typed.size() == 1) {
        parts.clear();
        std::string cur;
        for (char c : typed[0] + ":") {
            if (c == ':') {
                parts.push_back(cur);
                cur.clear();
            } else {
                cur.push_back(c);
            }
        }
    }
    values.clear();
    for (const std::string& p : parts) {
        double x = 0;
        if (!ParseNumber(p, x)) {
            std::fprintf(stderr, "orvan-cli: \"%s\" is not a number; nothing sent\n", p.c_str());
            return false;
        }
        values.push_back(x);
    }
    return true;
}

// The values of a write-var, checked against what the variable can hold;
// false with the reason printed (nothing is sent then).
bool WriteVarValues(const std::vector<std::string>& args, const VariableInfo*& v,
                    std::vector<double>& values) {
    v = args.size() >= 3 ? FindVariable(args[1]) : nullptr;
    if (v == nullptr || !v->writable) {
        std::fprintf(stderr,
                     "orvan-cli: write-var takes a variable this program writes and its "
                     "value(s)\n");
        return false;
    }
    if (!ParseWriteValues(*v, std::vector<std::string>(args.begin() + 2, args.end()), values))
        return false;
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!EncodeWriteValue(*v, values, bytes, &why)) {
        std::fprintf(stderr, "orvan-cli: %s\n", why.c_str());
        return false;
    }
    return true;
}

int RunWriteVar(Link& l, const std::vector<std::string>& args) {
    const VariableInfo* v = nullptr;
    std::vector<double> values;
    if (!WriteVarValues(args, v, values)) return 2;
    if (features::TVariableForm* form = features::VariantFormFor(l.core, v->code)) {
        // A machine page's variable: the board type first, then the page's
        // own checks (the board serves the page, every value in its range).
        (void)SendReadVariable(l.protocol, BoardType);
        if (const int rc = RunUntilIdle(l); rc != 0) return rc;
        const features::TToolResult r = features::WriteVariantValues(*form, v->code, values);
        if (!r) {
            std::fprintf(stderr, "orvan-cli: %s\n", r.message.c_str());
            return 2;
        }
        return RunUntilIdle(l);
    }
    const SendResult sent = SendWriteVariable(l.protocol, v->code, values);
    if (!sent) {
        std::fprintf(stderr, "orvan-cli: %s\n", sent.why.c_str());
        return 2;
    }
    return RunUntilIdle(l);
}

}  // namespace

std::string DeviceUsage() {
    return "  demo                 ask the board for firmware version, protocol version and board "
           "type,\n"
           "                       printing every line sent and received\n"
           "  info                 firmware version, protocol version, board type and serial "
           "number\n"
           "  read-var VAR         read a variable (name such as ClockTime, or hex code such as "
           "0x0300)\n"
           "  write-var VAR VALUE...  write a variable: one value per field of its layout\n"
           "                       (ClockDate also as YYYY-MM-DD, ClockTime as HH:MM:SS)\n" +
           TransferUsage() + StatusUsage() + BoardToolUsage() + ReportUsage() + TuningUsage() +
           EventLogUsage();
}

bool IsDeviceCommand(const std::string& name) {
    return name == "demo" || name == "info" || name == "read-var" || name == "write-var" ||
           IsTransferCommand(name) || IsStatusCommand(name) || IsBoardToolCommand(name) ||
           IsReportCommand(name) || IsTuningCommand(name) || IsEventLogCommand(name);
}

int RunDeviceCommand(const Options& opt) {
    const std::string& cmd = opt.args[0];
    if (IsTransferCommand(cmd)) return RunTransferCommand(opt);
    if (IsStatusCommand(cmd)) return RunStatusCommand(opt);
    if (IsBoardToolCommand(cmd)) return RunBoardToolCommand(opt);
    if (IsReportCommand(cmd)) return RunReportCommand(opt);
    if (IsTuningCommand(cmd)) return RunTuningCommand(opt);
    if (IsEventLogCommand(cmd)) return RunEventLogCommand(opt);
    // Argument mistakes are told before the port is touched.
    if (cmd == "read-var" && (opt.args.size() != 2 || !ParseVariableCode(opt.args[1]))) {
        std::fprintf(stderr, "orvan-cli: read-var takes one variable, by name or hex code\n");
        return 2;
    }
    if (cmd == "write-var") {
        const VariableInfo* v = nullptr;
        std::vector<double> values;
        if (!WriteVarValues(opt.args, v, values)) return 2;
    }
    if (cmd == "info" && opt.args.size() != 1) {
        std::fprintf(stderr, "orvan-cli: info takes no arguments\n");
        return 2;
    }

    link::TLinkPort port;
    const std::int32_t rc = port.OpenPort(opt.device.c_str(), opt.speed, 0);
    if (rc != link::kOpenOk) {
        std::fprintf(stderr, "orvan-cli: %s: %s\n", opt.device.c_str(),
                     port.OpenErrorText(rc).c_str());
        return 1;
    }
    link::SystemClock clock;
    PrintingListener out(cmd == "demo" && !opt.quiet);
    CliView view;
    features::TSupervisorCore core(port, clock, view, &out);
    core.Events().Subscribe(view);
    TLineOptions line(opt, core, port, clock);
    Link l{core.Protocol(), core.Session(), core, out, view, line};
    if (cmd == "demo") return RunDemo(l);
    if (cmd == "info") return RunInfo(l);
    if (cmd == "read-var") return RunReadVar(l, opt.args);
    if (cmd == "write-var") return RunWriteVar(l, opt.args);
    return 2;
}

}  // namespace orvan::cli
