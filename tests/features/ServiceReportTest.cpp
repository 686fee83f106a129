// The service report against the in-memory board: what the board holds is
// in the file, differences from the newest backup of the same board, a board
// that goes silent half way, sections of other features, and text that could
// otherwise break the page.

#include <gtest/gtest.h>

#include <regex>

#include "TransferRig.h"
#include "features/ServiceReport.h"
#include "link/TrafficTail.h"

using namespace orvan;
using namespace orvan::features;

namespace {

struct ReportRecorder : IServiceReportView {
    void OnReportStep(const std::string& step) override {
        steps.push_back(step);
        if (onStep) onStep(step);
    }
    void OnReportFinished(const TReportOutcome& o) override { outcomes.push_back(o); }
    std::vector<std::string> steps;
    std::vector<TReportOutcome> outcomes;
    std::function<void(const std::string&)> onStep;
};

struct ReportRig : test::TransferRig {
    ReportRecorder recorder;
    TServiceReport& report = core.Report();
    std::string out = dir.File("report.html");
    ReportRig() {
        report.Views().Add(recorder);
        report.pcTime = [] { return std::string("2026-12-08 11:00:00"); };
        report.linkText = "/dev/ttyUSB0 at 56700 bit/s";
        // The board's clock and hours counter count from its power-on, taken
        // on the steady clock: the fake clock runs on from there.
        using namespace std::chrono;
        const std::int64_t poweredAt =
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        model.nowMs = [this, poweredAt] { return poweredAt + clock.MonotonicMs(); };
        // 2026-12-08 09:05:30 on the board's clock.
        model.clockBase = 1796720730;
    }
    const TReportOutcome& Make(int limit = 20000) {
        const TResult r = report.Start(out);
        EXPECT_TRUE(r) << r.why;
        for (int n = 0; n < limit && recorder.outcomes.empty(); ++n) {
            core.Tick();
            clock.Advance(30);
        }
        static const TReportOutcome none{};
        return recorder.outcomes.empty() ? none : recorder.outcomes.back();
    }
    std::string Html() const { return test::ReadText(out); }
};

bool Has(const std::string& html, const std::string& part) {
    return html.find(part) != std::string::npos;
}

TEST(ServiceReport, HoldsWhatTheBoardHolds) {
    ReportRig rig;
    const TReportOutcome& o = rig.Make();
    ASSERT_TRUE(o.completed) << o.message;
    EXPECT_TRUE(o.written);
    const std::string html = rig.Html();
    EXPECT_TRUE(Has(html, "<th>Serial number</th><td>SIM-000001</td>"));
    EXPECT_TRUE(Has(html, "<th>Firmware version</th><td>1.02.07</td>"));
    EXPECT_TRUE(Has(html, "<th>Protocol version</th><td>2.02.09</td>"));
    EXPECT_TRUE(Has(html, "<th>Board type</th><td>0x0100</td>"));
    EXPECT_TRUE(Has(html, "<th>Board clock</th><td>2026-12-08 09:05:3"));
    EXPECT_TRUE(Has(html, ", running</td>"));
    ASSERT_TRUE(rig.report.Facts().hoursSeconds.has_value());
    EXPECT_GE(*rig.report.Facts().hoursSeconds, 123456u);
    EXPECT_LE(*rig.report.Facts().hoursSeconds, 123456u + 30u);
    EXPECT_TRUE(Has(html, "Everything asked of the board was read."));
    EXPECT_TRUE(Has(html,
                    "Not in this report:</p>\n<pre>Logs: tuning log not read\nLogs: event log not "
                    "read\n</pre>"));

    // Every field of the board's configuration, with its engineering value
    // and unit where it has one.
    config::TWelderCfgBlank board;
    board.LoadFromImage(rig.model.Eeprom().data() + 16);
    for (const config::TFieldInfo& f : config::Fields()) {
        const std::string value =
            f.getValue ? link::FormatReal(f.Value(board), '.') : std::to_string(f.Raw(board));
        const std::string row = "<td>" + std::string(f.section) + "</td><td>" + f.key +
                                "</td><td>" + value + "</td><td>" +
                                (f.getValue ? std::string(f.unit) : std::string()) + "</td>";
        EXPECT_TRUE(Has(html, row)) << row;
    }
    EXPECT_TRUE(Has(html, "No backup of this board was found."));
    // The traffic ends the page; nothing refers outside it.
    EXPECT_TRUE(Has(html, "<h2>Last lines of traffic</h2>\n<pre>TX "));
    EXPECT_FALSE(Has(html, "src="));
    EXPECT_FALSE(Has(html, "href="));
    EXPECT_FALSE(Has(html, "http"));
    // The logs were not read in this session: said, not counted as missing
    // from the board.
    EXPECT_TRUE(Has(html, "Tuning log: not read in this session."));
    EXPECT_EQ(rig.recorder.steps, (std::vector<std::string>{"Identity", "Board clock",
                                                            "Hours counter", "Configuration"}));
}

TEST(ServiceReport, DifferencesFromTheNewestBackupOfThatBoard) {
    ReportRig rig;
    config::TWelderCfgBlank board;
    board.LoadFromImage(rig.model.Eeprom().data() + 16);
    config::TWelderCfgBlank older = board, newer = board, other = board;
    const config::TFieldInfo* f = config::FindField("MinPower");
    ASSERT_NE(f, nullptr);
    f->setRaw(older, f->index, f->Raw(board) + 5);
    f->setRaw(newer, f->index, f->Raw(board) + 1);
    f->setRaw(other, f->index, f->Raw(board) + 9);
    const auto t0 = TBackupClock::from_time_t(1796703540);
    ASSERT_TRUE(SaveBackup(rig.backups, "SIM-000001", older, t0));
    ASSERT_TRUE(SaveBackup(rig.backups, "SIM-000001", newer, t0 + std::chrono::hours(1)));
    // Another board's backup, newer still, is not this board's.
    ASSERT_TRUE(SaveBackup(rig.backups, "OTHER-1", other, t0 + std::chrono::hours(2)));

    const TReportOutcome& o = rig.Make();
    ASSERT_TRUE(o.completed) << o.message;
    const auto& diff = rig.report.Facts().sinceBackup;
    ASSERT_EQ(diff.size(), 1u);
    EXPECT_EQ(diff[0].key, f->key);
    EXPECT_EQ(diff[0].pcRaw, f->Raw(board) + 1);
    EXPECT_EQ(diff[0].boardRaw, f->Raw(board));
    const std::string html = rig.Html();
    EXPECT_TRUE(Has(html, "SIM-000001_20261208-051900.wcf")) << "the newest backup is named";
    EXPECT_TRUE(Has(html, "<th>Backup</th><th>Board</th>"));
}

TEST(ServiceReport, ABoardGoingSilentHalfWaySaysWhatIsMissing) {
    struct Case {
        const char* silentFrom;
        std::vector<std::string> missing;  // prefixes, in order
    };
    const Case cases[] = {
        {"Board clock", {"board clock", "source hours counter", "configuration"}},
        {"Configuration", {"configuration"}},
    };
    for (const Case& c : cases) {
        ReportRig rig;
        rig.recorder.onStep = [&](const std::string& step) {
            if (step == c.silentFrom) rig.port.silent = true;
        };
        const TReportOutcome& o = rig.Make();
        ASSERT_EQ(rig.recorder.outcomes.size(), 1u) << c.silentFrom;
        EXPECT_FALSE(o.completed);
        EXPECT_TRUE(o.written) << o.message;
        ASSERT_EQ(o.missing.size(), c.missing.size()) << c.silentFrom;
        EXPECT_EQ(o.notIncluded.size(), 2u) << "the logs";
        for (std::size_t i = 0; i < c.missing.size(); ++i) {
            EXPECT_EQ(o.missing[i].rfind(c.missing[i] + ": not read (", 0), 0u) << o.missing[i];
            EXPECT_TRUE(Has(o.missing[i], "RX TimeOut")) << o.missing[i];
        }
        EXPECT_TRUE(Has(o.message, "Incomplete service report")) << o.message;
        const std::string html = rig.Html();
        EXPECT_TRUE(Has(html, "Incomplete report: "));
        // What came before the silence is there.
        EXPECT_TRUE(Has(html, "<td>SIM-000001</td>"));
        EXPECT_TRUE(Has(html, "Configuration: not read."));
        EXPECT_TRUE(Has(html, "-- RX TimeOut"));
    }
}

TEST(ServiceReport, RefusesWhatItCannotDoAndSendsNothing) {
    ReportRig rig;
    EXPECT_FALSE(rig.report.Start(""));
    ASSERT_TRUE(rig.transfer.Read(false));
    const TResult busy = rig.report.Start(rig.out);
    EXPECT_FALSE(busy);
    EXPECT_TRUE(Has(busy.why, "another operation")) << busy.why;
    rig.Drain();
    EXPECT_TRUE(rig.recorder.outcomes.empty());

    // A folder that is not there: the report says so and nothing is left.
    ReportRig rig2;
    rig2.out = rig2.dir.File("no/such/folder/report.html");
    const TReportOutcome& o = rig2.Make();
    EXPECT_FALSE(o.written);
    EXPECT_FALSE(o.completed);
    EXPECT_TRUE(Has(o.message, "could not be written")) << o.message;
}

TEST(ServiceReport, PollingIsHeldAndGoesOnAfter) {
    ReportRig rig;
    rig.core.Polling().Start();
    ASSERT_TRUE(rig.core.Polling().Running());
    ASSERT_TRUE(rig.report.Start(rig.out).ok);
    std::size_t queuedWhileHeld = 0;
    for (int n = 0; n < 20000 && rig.recorder.outcomes.empty(); ++n) {
        queuedWhileHeld += rig.core.Polling().RefreshTick();
        rig.core.Tick();
        rig.clock.Advance(30);
    }
    ASSERT_EQ(rig.recorder.outcomes.size(), 1u);
    EXPECT_TRUE(rig.recorder.outcomes[0].completed) << rig.recorder.outcomes[0].message;
    EXPECT_EQ(queuedWhileHeld, 0u) << "no status read while the report ran";
    EXPECT_TRUE(rig.core.Polling().Running()) << "on all along";
    EXPECT_GT(rig.core.Polling().RefreshTick(), 0u) << "and reading again after";
}

TEST(ServiceReport, LogsSectionShowsWhatWasRead) {
    ReportRig rig;
    ASSERT_TRUE(rig.core.Logs().StartTuningLogRead());
    rig.Drain();
    const TReportOutcome& o = rig.Make();
    ASSERT_TRUE(o.completed) << o.message;
    const std::string html = rig.Html();
    EXPECT_TRUE(Has(html, "Tuning log (board memory 400, 320 bytes):"));
    EXPECT_TRUE(Has(html, "<pre>0190  "));
    EXPECT_TRUE(Has(html, "Event log: not read in this session."));
    EXPECT_TRUE(o.missing.empty());
    EXPECT_EQ(o.notIncluded, (std::vector<std::string>{"Logs: event log not read"}));
}

TEST(ServiceReport, LogsSectionShowsBothLogsDecoded) {
    ReportRig rig;
    ASSERT_TRUE(rig.core.Logs().StartTuningLogRead());
    rig.Drain();
    ASSERT_TRUE(rig.core.EventLog().StartEventLogRead());
    rig.Drain();
    const TReportOutcome& o = rig.Make();
    ASSERT_TRUE(o.completed) << o.message;
    EXPECT_TRUE(o.notIncluded.empty());
    const std::string html = rig.Html();
    // The simulator's factory log: copy chosen, entries listed by date.
    EXPECT_TRUE(Has(html, "Tuning log, copy ")) << html;
    EXPECT_TRUE(Has(html, "<th>Current (A)</th>"));
    // Values at the tuning page's precision: no cell carries more than three
    // decimals (a converter-scaled current would print sixteen).
    EXPECT_FALSE(std::regex_search(html, std::regex("<td>-?[0-9]+\\.[0-9]{4,}</td>"))) << html;
    // Every event the board holds is a row of its own, decoded.
    const features::TEventLogDecode events = features::DecodeEventLog(std::span<const std::uint8_t>(
        rig.model.Eeprom().data() + link::kEventLogAddress, commands::kEventLogSize));
    ASSERT_FALSE(events.lines.empty());
    EXPECT_TRUE(Has(html, "(board memory " + std::to_string(link::kEventLogAddress) + ", " +
                              std::to_string(events.lines.size()) + " events)"));
    for (const features::TEventLine& l : events.lines)
        EXPECT_TRUE(Has(html, "<td>" + l.dateTime + "</td>")) << l.dateTime;
}

TEST(ServiceReport, SectionsOfOtherFeaturesComeAfterTheConfiguration) {
    struct Extra : IReportSection {
        std::string Title() const override { return "Calibration <x>"; }
        std::vector<std::string> Missing() const override { return {"gains not measured"}; }
        void Write(THtmlWriter& h) const override { h.Facts({{"Gain", "1.5 & more"}}); }
    } extra;
    ReportRig rig;
    rig.report.AddSection(extra);
    rig.report.AddSection(extra);  // once only
    rig.Make();
    const std::string html = rig.Html();
    const auto cfg = html.find("<h2>Configuration</h2>");
    const auto mine = html.find("<h2>Calibration &lt;x&gt;</h2>");
    ASSERT_NE(mine, std::string::npos);
    EXPECT_LT(cfg, mine);
    EXPECT_EQ(html.find("<h2>Calibration &lt;x&gt;</h2>", mine + 1), std::string::npos);
    EXPECT_TRUE(Has(html, "<td>1.5 &amp; more</td>"));
    EXPECT_TRUE(Has(html, "Calibration &lt;x&gt;: gains not measured"));
}

TEST(ServiceReport, TextFromTheBoardCannotAddMarkup) {
    ReportRig rig;
    const std::string serial = "<b>&\"x'\xFF";
    std::copy(serial.begin(), serial.end(), rig.model.Eeprom().begin());
    rig.model.Eeprom()[serial.size()] = 0;
    rig.Make();
    const std::string html = rig.Html();
    EXPECT_FALSE(Has(html, "<b>"));
    EXPECT_TRUE(Has(html, "&lt;b&gt;&amp;&quot;x&#39;\\xFF")) << "serial escaped";
}

TEST(HtmlEscape, MarkupControlsAndBrokenUtf8) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"plain 12.5 W", "plain 12.5 W"},
        {"<script>a&b</script>", "&lt;script&gt;a&amp;b&lt;/script&gt;"},
        {"\"'", "&quot;&#39;"},
        {"Temperatura \xC3\xA8 alta", "Temperatura \xC3\xA8 alta"},  // è kept
        {"\xFF\xFE", "\\xFF\\xFE"},
        {"\xC3", "\\xC3"},                    // cut short
        {"\xC0\xBC", "\\xC0\\xBC"},           // overlong '<'
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // surrogate
        {std::string("a\0b\x1B", 4), "a\\x00b\\x1B"},
        {"\x7F", "\\x7F"},
    };
    for (const Case& c : cases) EXPECT_EQ(HtmlEscape(c.in), c.out) << c.in;
}

TEST(TrafficTail, KeepsTheLastLinesAndPassesEverythingOn) {
    struct Next : link::IExchangeListener {
        void OnLinkState(std::string_view t) override { seen.push_back(std::string(t)); }
        void OnTxLog(const std::string& l) override { seen.push_back("tx " + l); }
        void OnRxLog(const std::string& l) override { seen.push_back("rx " + l); }
        void OnAnswer(const std::uint8_t*, std::uint8_t n) override {
            seen.push_back("answer " + std::to_string(n));
        }
        void OnRxTimeout() override { seen.push_back("timeout"); }
        std::vector<std::string> seen;
    } next;
    link::TTrafficTail tail(&next, 3);
    tail.OnTxLog("1");
    tail.OnRxLog("2");
    tail.OnLinkState("ACK");
    const std::uint8_t a[] = {6};
    tail.OnAnswer(a, 5);
    tail.OnRxTimeout();
    tail.OnTxLog("3");
    tail.OnPortLost("gone");
    EXPECT_EQ(tail.Lines(),
              (std::vector<std::string>{"-- RX TimeOut", "TX 3", "-- Port lost: gone"}));
    // The port loss reaches a listener that does not tell it apart as a time-out.
    EXPECT_EQ(next.seen, (std::vector<std::string>{"tx 1", "rx 2", "ACK", "answer 5", "timeout",
                                                   "tx 3", "timeout"}));
}

}  // namespace
