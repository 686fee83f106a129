// orvan-cli board tools: the board clock, the serial number, the hours
// counter and the factory tuning date, run through the same controllers as
// the window's pages. Arguments are checked before the port is opened; a
// write that the board refuses or never answers ends with status 1 and the
// reason.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "commands/Builders.h"
#include "features/BoardClock.h"
#include "features/Identity.h"
#include "features/TypedInput.h"

namespace orvan::cli {

namespace {

using namespace orvan::features;

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

// What a command will do once the port is open; built from the arguments
// alone, so their mistakes are told before anything touches the line.
using Plan = std::function<int(TToolRunner&)>;

int Started(const TToolResult& r) {
    if (r) return 0;
    Fail(r.message.empty() ? "nothing to do" : r.message);
    return 1;
}

int ClockGet(TToolRunner& run) {
    TBoardClock& clock = run.Core().BoardClock();
    if (Started(clock.Read()) != 0) return 1;
    if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
    for (const std::string& p : clock.Problems()) Fail(p);
    if (!clock.BoardDate() || !clock.BoardTime() || !clock.Running()) {
        if (clock.Problems().empty()) Fail("the board did not tell its clock" + run.IgnoredNote());
        return 1;
    }
    std::printf("date: %s\n", DateText(*clock.BoardDate()).c_str());
    std::printf("time: %s\n", TimeText(*clock.BoardTime()).c_str());
    std::printf("running: %s\n", *clock.Running() ? "yes" : "no");
    return 0;
}

std::optional<Plan> ClockSetPlan(const std::vector<std::string>& a) {
    if (a.size() == 2 && a[1] == "--from-pc") {
        return Plan([](TToolRunner& run) {
            const TLocalNow now = run.Core().BoardClock().PcTime();
            if (Started(run.Core().BoardClock().Set(now.date, now.time)) != 0) return 1;
            if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
            std::printf("board clock set to %s %s (PC time)\n", DateText(now.date).c_str(),
                        TimeText(now.time).c_str());
            return 0;
        });
    }
    if (a.size() != 3) {
        Fail("clock-set takes --from-pc, or DATE TIME as YYYY-MM-DD HH:MM:SS");
        return std::nullopt;
    }
    TDate d;
    TTimeOfDay t;
    std::string why;
    if (!ParseDateWord(a[1], d, &why) || !ParseTimeWord(a[2], t, &why)) {
        Fail("clock-set: " + why);
        return std::nullopt;
    }
    if (d.year < 2000 || d.year > 2255) {
        Fail("clock-set: the board clock holds dates from 2000-01-01 to 2255-12-31");
        return std::nullopt;
    }
    return Plan([d, t](TToolRunner& run) {
        if (Started(run.Core().BoardClock().Set(d, t)) != 0) return 1;
        if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
        std::printf("board clock set to %s %s\n", DateText(d).c_str(), TimeText(t).c_str());
        return 0;
    });
}

std::optional<Plan> ClockRunPlan(const std::vector<std::string>& a) {
    if (a.size() != 2 || (a[1] != "on" && a[1] != "off")) {
        Fail("clock-run takes on or off");
        return std::nullopt;
    }
    const bool on = a[1] == "on";
    return Plan([on](TToolRunner& run) {
        if (Started(run.Core().BoardClock().SetRunning(on)) != 0) return 1;
        if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
        std::printf("board clock %s\n", on ? "running" : "halted");
        return 0;
    });
}

class SerialWait : public ISerialListener {
  public:
    void OnSerialNumberWritten(const TSerialOutcome& o) override { outcome = o; }
    std::optional<TSerialOutcome> outcome;
};

std::optional<Plan> SetSerialPlan(const std::vector<std::string>& a) {
    if (a.size() != 2) {
        Fail("set-serial takes one text (quote it when it holds blanks)");
        return std::nullopt;
    }
    if (const std::string p = SerialNumberProblem(a[1]); !p.empty()) {
        Fail("set-serial: " + p);
        return std::nullopt;
    }
    const std::string text = a[1];
    return Plan([text](TToolRunner& run) {
        SerialWait wait;
        run.Core().Identity().SetListener(&wait);
        if (Started(run.Core().Identity().SetSerialNumber(text)) != 0) return 1;
        const int rc = run.RunUntilIdle();
        run.Core().Identity().SetListener(nullptr);
        if (rc != 0) return rc;
        if (!wait.outcome) {
            Fail("the serial number was not read back" + run.IgnoredNote());
            return 1;
        }
        if (!wait.outcome->completed) {
            Fail(wait.outcome->message);
            return 1;
        }
        std::printf("%s\n", wait.outcome->message.c_str());
        return 0;
    });
}

std::optional<Plan> SetHoursPlan(const std::vector<std::string>& a) {
    if (a.size() != 2) {
        Fail("set-hours takes the number of hours (decimals with '.' or ',')");
        return std::nullopt;
    }
    double hours = 0;
    if (!ParseTypedDecimal(a[1], '.', hours) && !ParseTypedDecimal(a[1], ',', hours)) {
        Fail("set-hours: '" + a[1] + "' is not a number of hours");
        return std::nullopt;
    }
    std::string why;
    const auto seconds = HoursToSeconds(hours, &why);
    if (!seconds) {
        Fail("set-hours: " + why);
        return std::nullopt;
    }
    const std::uint32_t s = *seconds;
    return Plan([s](TToolRunner& run) {
        if (Started(run.Core().Identity().SetHoursSeconds(s)) != 0) return 1;
        // Read back: the counter runs on, so it may be a little ahead.
        (void)commands::SendReadVariable(run.Core().Protocol(), commands::SourceWorkTime);
        if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
        const auto back = run.LastSourceWorkTime();
        if (!back || *back < s || *back - s > 60) {
            Fail("the board holds " + (back ? std::to_string(*back) + " s" : "no answer") +
                 " after " + std::to_string(s) + " s was written");
            return 1;
        }
        std::printf("hours counter: %u s (%.2f h)\n", *back, *back / 3600.0);
        return 0;
    });
}

std::optional<Plan> SetTuningDatePlan(const std::vector<std::string>& a) {
    if (a.size() != 2 && a.size() != 3) {
        Fail("set-tuning-date takes DATE [TIME] as YYYY-MM-DD HH:MM:SS");
        return std::nullopt;
    }
    TDate d;
    TTimeOfDay t;
    std::string why;
    if (!ParseDateWord(a[1], d, &why) || (a.size() == 3 && !ParseTimeWord(a[2], t, &why))) {
        Fail("set-tuning-date: " + why);
        return std::nullopt;
    }
    if (!CalendarSeconds(d, t)) {
        Fail("set-tuning-date: outside 1970-01-01 00:00:00 .. 2106-02-07 06:28:15");
        return std::nullopt;
    }
    return Plan([d, t](TToolRunner& run) {
        const TToolResult r = run.Core().Identity().SetFactoryTuningDate(d, t);
        if (Started(r) != 0) return 1;
        if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
        std::printf("%s\n", r.message.c_str());
        return 0;
    });
}

std::optional<Plan> MakePlan(const std::vector<std::string>& a) {
    const std::string& cmd = a[0];
    if (cmd == "clock-get") {
        if (a.size() != 1) {
            Fail("clock-get takes no arguments");
            return std::nullopt;
        }
        return Plan(ClockGet);
    }
    if (cmd == "clock-set") return ClockSetPlan(a);
    if (cmd == "clock-run") return ClockRunPlan(a);
    if (cmd == "set-serial") return SetSerialPlan(a);
    if (cmd == "set-hours") return SetHoursPlan(a);
    if (cmd == "set-tuning-date") return SetTuningDatePlan(a);
    if (IsVariantCommand(cmd)) return VariantPlan(a);
    return EepromPlan(a);
}

}  // namespace

std::string BoardToolUsage() {
    return "  clock-get            the board clock's date, time and whether it runs\n"
           "  clock-set --from-pc | DATE TIME\n"
           "                       set the board clock (DATE YYYY-MM-DD, TIME HH:MM:SS)\n"
           "  clock-run on|off     start or halt the board clock\n"
           "  set-serial TEXT      write the serial number (at most 15 characters), read it back\n"
           "  set-hours N          set the source hours counter (decimals allowed)\n"
           "  set-tuning-date DATE [TIME]\n"
           "                       set the factory tuning date (TIME defaults to 00:00:00)\n" +
           EepromUsage() + VariantUsage();
}

bool IsBoardToolCommand(const std::string& name) {
    return name == "clock-get" || name == "clock-set" || name == "clock-run" ||
           name == "set-serial" || name == "set-hours" || name == "set-tuning-date" ||
           IsEepromCommand(name) || IsVariantCommand(name);
}

int RunBoardToolCommand(const Options& opt) {
    const std::optional<Plan> plan = MakePlan(opt.args);
    if (!plan) return 2;
    TToolRunner run;
    if (const int rc = run.Open(opt); rc != 0) return rc;
    return (*plan)(run);
}

}  // namespace orvan::cli
