// orvan-cli board identity, variables, clock and counters: each command
// builds one operation of the core from its words. What a write replaces is
// read first and said in the outcome; a value the board cannot hold is
// refused by the operation's own checks before the port is opened.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "cli/CliRunner.h"
#include "commands/BoardView.h"
#include "commands/Catalogue.h"
#include "commands/VariableFields.h"
#include "features/BoardClock.h"
#include "features/BoardOperations.h"
#include "features/TypedInput.h"

namespace orvan::cli {

namespace {

using features::TOperationOutcome;

// The identity lines, the operation's message on stderr; with `json` one
// object, its keys the lines' names ("board_type", "serial_number").
int Identity(TBoard& b, bool json = false) {
    const TOperationOutcome o =
        b.Run(features::InfoOperation(b.Core()), {TSay::Stderr, !json, false});
    if (json && o.Completed()) {
        TJson j = TJson::object();
        for (const std::string& d : o.details) {
            const std::size_t colon = d.find(": ");
            if (colon == std::string::npos) continue;
            std::string key = d.substr(0, colon);
            for (char& c : key)
                if (c == ' ') c = '_';
            j[key] = d.substr(colon + 2);
        }
        b.Out(JsonText(j));
    }
    return features::ExitCode(o);
}

// The variable read, as it came: decoded fields or the bare value bytes.
class TVariableLines : public commands::IVariableView {
  public:
    explicit TVariableLines(std::uint16_t code) : code_(code) {}
    void OnVariable(const commands::DecodedVariable& v) override {
        if (v.code == code_) decoded = v;
    }
    void OnUndecodedVariable(std::uint16_t code, std::span<const std::uint8_t> bytes) override {
        if (code == code_) raw.assign(bytes.begin(), bytes.end());
    }
    std::optional<commands::DecodedVariable> decoded;
    std::vector<std::uint8_t> raw;

  private:
    std::uint16_t code_;
};

// A field as its caption, the text the window shows, and the unit when the
// text does not carry it: "Estimate I max: 12.34 A", "Filtro: 1 ms".
std::string FieldLine(const commands::DecodedField& f) {
    const commands::VariableField* row = commands::FindVariableField(f.field);
    std::string line = commands::VariableFieldCaption(f.field) + ": " + f.text;
    if (row != nullptr && !row->unit.empty() && !f.text.ends_with(row->unit))
        line += " " + std::string(row->unit);
    return line;
}

// The caption, the raw number the board sent, the engineering value exactly
// (the decimal it is; a ratio without an end as the nearest double), its
// unit, and the text as the window shows it.
TJson FieldJson(const commands::DecodedField& f) {
    const commands::VariableField* row = commands::FindVariableField(f.field);
    TJson j = TJson::object();
    j["field"] = commands::VariableFieldCaption(f.field);
    j["name"] = f.field;
    j["raw"] = f.raw;
    const std::int64_t num = row != nullptr ? row->num : 1, den = row != nullptr ? row->den : 1;
    if (const auto exact = commands::ExactDecimal(f.raw, num, den))
        j["value"] = TJson::parse(*exact);
    else
        j["value"] =
            static_cast<double>(f.raw) * static_cast<double>(num) / static_cast<double>(den);
    if (row != nullptr && !row->unit.empty()) j["unit"] = std::string(row->unit);
    j["text"] = f.text;
    return j;
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

// The typed values of a write, in the variable's write order; the words'
// mistake, or empty.
std::string WriteValues(std::uint16_t code, const std::vector<std::string>& typed,
                        std::vector<double>& values) {
    std::string why;
    if (code == commands::ClockDate && typed.size() == 1) {
        features::TDate d;
        if (!features::ParseDateWord(typed[0], d, &why))
            return "ClockDate wants YYYY-MM-DD: " + why;
        values = features::ClockDateFields(d);
        return {};
    }
    if (code == commands::ClockTime && typed.size() == 1 &&
        typed[0].find(':') != std::string::npos) {
        features::TTimeOfDay t;
        if (!features::ParseTimeWord(typed[0], t, &why)) return "ClockTime wants HH:MM:SS: " + why;
        values = features::ClockTimeValues(t);
        return {};
    }
    values.clear();
    for (const std::string& p : typed) {
        double x = 0;
        if (!ParseNumber(p, x)) return "\"" + p + "\" is not a number";
        values.push_back(x);
    }
    return {};
}

features::TTimeTexts Texts(const features::TTimeOfDay& t) {
    return {std::to_string(t.hours), std::to_string(t.minutes), std::to_string(t.seconds)};
}

// Runs one write operation; its message (what the board held and holds now)
// on stdout.
TPlan Write(std::function<std::unique_ptr<features::TOperation>(features::TSupervisorCore&)> make) {
    return OnBoard([make](TBoard& b) {
        return features::ExitCode(b.Run(make(b.Core()), {TSay::Stdout, true}));
    });
}

}  // namespace

TPlan Demo(const Options& opt) {
    if (!TWords::Split(opt, {}, {}, 0, 0)) return Done(2);
    return OnBoard([](TBoard& b) {
        b.PrintTraffic(true);
        return Identity(b);
    });
}

TPlan Info(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 0);
    if (!w) return Done(2);
    const bool json = w->Has("--json");
    return OnBoard([json](TBoard& b) { return Identity(b, json); });
}

TPlan ReadVar(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 1, 1);
    if (!w) return Done(2);
    const auto code = commands::ParseVariableCode(w->Name(0));
    if (!code) return Usage(opt.args[0], w->Name(0) + " is neither a variable name nor a hex code");
    const std::uint16_t c = *code;
    const bool json = w->Has("--json");
    return OnBoard([c, json](TBoard& b) {
        TVariableLines seen(c);
        features::TAttachment<TVariableLines> attached(b.Core(), seen);
        const TOperationOutcome o =
            b.Run(features::VariableReadOperation(b.Core(), {c}), {TSay::Stderr, false, false});
        if (!o.Completed()) return features::ExitCode(o);
        const commands::VariableInfo* info = commands::FindVariable(c);
        TJson j = TJson::object();
        j["variable"] = info != nullptr ? std::string(info->name) : std::string();
        j["code"] = commands::CodeText(c);
        if (seen.decoded) {
            j["fields"] = TJson::array();
            for (const commands::DecodedField& f : seen.decoded->fields) {
                j["fields"].push_back(FieldJson(f));
                if (!json) b.Out(FieldLine(f));
            }
        } else {
            std::string hex;
            j["raw"] = seen.raw;
            for (std::uint8_t x : seen.raw) {
                char t[4];
                std::snprintf(t, sizeof t, "%s%02X", hex.empty() ? "" : " ", x);
                hex += t;
            }
            if (!json) b.Out("value: " + hex);
        }
        if (json) b.Out(JsonText(j));
        return features::ExitCode(o);
    });
}

TPlan WriteVar(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 2, 64);
    if (!w) return Done(2);
    const commands::VariableInfo* v = commands::FindVariable(w->Name(0));
    if (v == nullptr || !v->writable)
        return Usage(opt.args[0], w->Name(0) + " is not a variable this program writes");
    std::vector<double> values;
    if (const std::string why = WriteValues(
            v->code, std::vector<std::string>(w->Names().begin() + 1, w->Names().end()), values);
        !why.empty())
        return Usage(opt.args[0], why + "; nothing sent");
    const std::uint16_t code = v->code;
    return Write([code, values](features::TSupervisorCore& core) {
        return features::VariableWriteOperation(core, code, values);
    });
}

TPlan ClockGet(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 0);
    if (!w) return Done(2);
    const bool json = w->Has("--json");
    return OnBoard([json](TBoard& b) {
        // The clock controller hears the answers and checks they are a time
        // and a date that exist.
        struct TClockLines : features::IBoardClockPage {
            std::vector<std::string> problems;
            void ShowClockProblem(const std::string& text) override { problems.push_back(text); }
        } view;
        features::TAttachment<TClockLines> attached(b.Core(), view);
        const TOperationOutcome o =
            b.Run(features::VariableReadOperation(
                      b.Core(), {commands::ClockTime, commands::ClockDate, commands::ClockRun}),
                  {TSay::Nothing, false});
        if (!o.Completed()) return features::ExitCode(o);
        const features::TBoardClock& clock = b.Core().BoardClock();
        for (const std::string& p : view.problems) b.Say(p);
        if (!clock.BoardDate() || !clock.BoardTime() || !clock.Running()) return 1;
        if (json) {
            TJson j = TJson::object();
            j["date"] = features::DateText(*clock.BoardDate());
            j["time"] = features::TimeText(*clock.BoardTime());
            j["running"] = *clock.Running();
            b.Out(JsonText(j));
            return 0;
        }
        b.Out("date: " + features::DateText(*clock.BoardDate()));
        b.Out("time: " + features::TimeText(*clock.BoardTime()));
        b.Out(std::string("running: ") + (*clock.Running() ? "yes" : "no"));
        return 0;
    });
}

TPlan ClockSet(const Options& opt) {
    const auto w = TWords::Split(opt, {"--from-pc"}, {}, 0, 2);
    if (!w) return Done(2);
    if (w->Has("--from-pc")) {
        if (!w->Names().empty()) return Usage(opt.args[0], "--from-pc takes no date or time");
        return Write([](features::TSupervisorCore& core) {
            const features::TLocalNow now = core.BoardClock().PcTime();
            return features::ClockSetOperation(core, now.date, Texts(now.time));
        });
    }
    if (w->Names().size() != 2) return Usage(opt.args[0], "give DATE and TIME, or --from-pc");
    features::TDate d;
    features::TTimeOfDay t;
    std::string why;
    if (!features::ParseDateWord(w->Name(0), d, &why) ||
        !features::ParseTimeWord(w->Name(1), t, &why))
        return Usage(opt.args[0], why);
    return Write([d, t](features::TSupervisorCore& core) {
        return features::ClockSetOperation(core, d, Texts(t));
    });
}

TPlan ClockRun(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 1, 1);
    if (!w) return Done(2);
    if (w->Name(0) != "on" && w->Name(0) != "off") return Usage(opt.args[0], "on or off");
    const bool on = w->Name(0) == "on";
    return Write(
        [on](features::TSupervisorCore& core) { return features::ClockRunOperation(core, on); });
}

TPlan SetSerial(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 1, 1);
    if (!w) return Done(2);
    const std::string text = w->Name(0);
    return Write([text](features::TSupervisorCore& core) {
        return features::SerialNumberOperation(core, text);
    });
}

TPlan SetHours(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 1, 1);
    if (!w) return Done(2);
    const std::string typed = w->Name(0);
    // Either separator, as a technician types it.
    const char separator = typed.find(',') != std::string::npos ? ',' : '.';
    return Write([typed, separator](features::TSupervisorCore& core) {
        return features::HoursCounterOperation(core, typed, separator);
    });
}

TPlan SetTuningDate(const Options& opt) {
    const auto w = TWords::Split(opt, {}, {}, 1, 2);
    if (!w) return Done(2);
    features::TDate d;
    features::TTimeOfDay t;
    std::string why;
    if (!features::ParseDateWord(w->Name(0), d, &why) ||
        (w->Names().size() == 2 && !features::ParseTimeWord(w->Name(1), t, &why)))
        return Usage(opt.args[0], why);
    return Write([d, t](features::TSupervisorCore& core) {
        return features::TuningDateOperation(core, d, Texts(t));
    });
}

}  // namespace orvan::cli
