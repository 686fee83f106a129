#include "features/ServiceReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "commands/Builders.h"
#include "commands/Catalogue.h"
#include "config/AtomicFile.h"
#include "link/NumberText.h"

namespace orvan::features {

namespace {

using namespace orvan::commands;

// Length of the UTF-8 sequence starting at s[i], 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    unsigned cp = b0 & (0xFFu >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

const char* const kStyle =
    "body{font-family:sans-serif;font-size:13px;margin:16px;color:#111}"
    "h1{font-size:20px}h2{font-size:16px;border-bottom:1px solid #999;margin-top:24px}"
    "table{border-collapse:collapse;margin:6px 0}"
    "td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top}"
    "th{background:#eee}td.num{text-align:right}"
    ".missing{color:#a00;font-weight:bold}"
    "pre{font-size:11px;background:#f6f6f6;padding:6px;overflow-x:auto}";

std::string HexRows(const std::uint8_t* data, std::size_t n, std::uint16_t base,
                    std::vector<std::string>& out) {
    for (std::size_t i = 0; i < n; i += 16) {
        char head[16];
        std::snprintf(head, sizeof head, "%04X  ", static_cast<unsigned>(base + i));
        std::string line = head;
        for (std::size_t k = i; k < i + 16 && k < n; ++k) {
            char b[4];
            std::snprintf(b, sizeof b, "%02X ", data[k]);
            line += b;
        }
        out.push_back(line);
    }
    return {};
}

std::string DefaultPcTime() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string ValueCell(std::int32_t raw, double value, bool engineering) {
    // As the configuration pages show it (15 significant digits): the
    // shortest form would keep a product's last-bit noise ("2.9330000000000003").
    return engineering ? link::FormatReal(value, '.') : std::to_string(raw);
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t n = Utf8Length(text, i);
            if (n > 0) {
                out.append(text.substr(i, n));
                i += n;
                continue;
            }
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char b[8];
                    std::snprintf(b, sizeof b, "\\x%02X", c);
                    out += b;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out;
}

void THtmlWriter::Paragraph(std::string_view text) {
    out_ += "<p>" + HtmlEscape(text) + "</p>\n";
}

void THtmlWriter::Missing(std::string_view text) {
    out_ += "<p class=\"missing\">" + HtmlEscape(text) + "</p>\n";
}

void THtmlWriter::Facts(const std::vector<std::pair<std::string, std::string>>& rows) {
    out_ += "<table>\n";
    for (const auto& [what, value] : rows)
        out_ += "<tr><th>" + HtmlEscape(what) + "</th><td>" + HtmlEscape(value) + "</td></tr>\n";
    out_ += "</table>\n";
}

void THtmlWriter::Table(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows) {
    out_ += "<table>\n<tr>";
    for (const std::string& h : header) out_ += "<th>" + HtmlEscape(h) + "</th>";
    out_ += "</tr>\n";
    for (const auto& row : rows) {
        out_ += "<tr>";
        for (const std::string& cell : row) out_ += "<td>" + HtmlEscape(cell) + "</td>";
        out_ += "</tr>\n";
    }
    out_ += "</table>\n";
}

void THtmlWriter::Preformatted(const std::vector<std::string>& lines) {
    out_ += "<pre>";
    for (const std::string& l : lines) out_ += HtmlEscape(l) + "\n";
    out_ += "</pre>\n";
}

// --- the page ------------------------------------------------------------

namespace {

void WriteBoard(const TReportFacts& f, THtmlWriter& h) {
    auto orMissing = [](const std::optional<std::string>& v) {
        return v ? *v : std::string("not read");
    };
    std::string type = "not read";
    if (f.boardType) {
        char b[16];
        std::snprintf(b, sizeof b, "0x%04X", *f.boardType);
        type = b;
    }
    std::string clock = "not read";
    if (f.clockDate || f.clockTime) {
        clock = f.clockDate ? DateText(*f.clockDate) : std::string("(date not read)");
        if (f.clockDate && !f.clockDateValid) clock += " (not a real date)";
        clock += " ";
        clock += f.clockTime ? TimeText(*f.clockTime) : std::string("(time not read)");
        if (f.clockRunning) clock += *f.clockRunning ? ", running" : ", halted";
    }
    std::string hours = "not read";
    if (f.hoursSeconds)
        hours = link::RoundedText(*f.hoursSeconds / 3600.0, 2) + " h (" +
                std::to_string(*f.hoursSeconds) + " s)";
    h.Facts({
        {"Serial number", f.serial ? SerialNumberText(*f.serial) : "not read"},
        {"Firmware version", orMissing(f.firmware)},
        {"Protocol version", orMissing(f.protocol)},
        {"Board type", type},
        {"Machine", f.machineName.empty() ? std::string("unknown") : f.machineName},
        {"Board clock", clock},
        {"Source hours counter", hours},
    });
}

void WriteConfiguration(const TReportFacts& f, THtmlWriter& h) {
    if (!f.configImage) {
        h.Missing("Configuration: not read.");
        return;
    }
    const auto& img = *f.configImage;
    if (!config::ImageChecksumOk(img.data()))
        h.Missing(
            "The board's configuration failed its checksum: the values below may be "
            "damaged.");
    if (const std::string other = OtherLayoutText(img); !other.empty()) h.Missing(other);
    config::TWelderCfgBlank cfg;
    cfg.LoadFromImage(img.data());
    std::vector<std::vector<std::string>> rows;
    for (const config::TFieldInfo& fi : config::Fields()) {
        const bool eng = fi.getValue != nullptr;
        rows.push_back({fi.section, fi.key, ValueCell(fi.Raw(cfg), fi.Value(cfg), eng),
                        eng ? std::string(fi.unit) : std::string(), std::to_string(fi.Raw(cfg))});
    }
    h.Table({"Section", "Field", "Value", "Unit", "Raw"}, rows);
}

void WriteDifferences(const TReportFacts& f, THtmlWriter& h) {
    if (!f.configImage) {
        h.Missing("No comparison: the configuration was not read.");
        return;
    }
    if (!f.backupProblem.empty()) {
        h.Missing(f.backupProblem);
        return;
    }
    if (f.backupPath.empty()) {
        h.Paragraph("No backup of this board was found.");
        return;
    }
    h.Paragraph("Newest backup: " + f.backupPath + " (" + f.backupTime + ").");
    if (f.sinceBackup.empty()) {
        h.Paragraph("The board holds the same configuration as that backup.");
        return;
    }
    std::vector<std::vector<std::string>> rows;
    for (const TFieldDifference& d : f.sinceBackup)
        rows.push_back({d.section, d.key, ValueCell(d.pcRaw, d.pcValue, d.engineering),
                        ValueCell(d.boardRaw, d.boardValue, d.engineering), d.unit});
    h.Table({"Section", "Field", "Backup", "Board", "Unit"}, rows);
}

// A word a shell takes as it is, else quoted.
std::string ShellWord(const std::string& w) {
    const bool plain = !w.empty() && std::all_of(w.begin(), w.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
               c == '/' || c == '+';
    });
    if (plain) return w;
    std::string q = "'";
    for (char c : w) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

void WriteHistory(const TReportFacts& f, THtmlWriter& h) {
    if (!f.serial || f.serial->empty()) {
        h.Missing("The board's serial number was not read: the board history cannot show it.");
        return;
    }
    h.Facts({{"Timeline", "orvan-cli history " + ShellWord(*f.serial)},
             {"In the window", "File > Board history... (opens on the board seen last)"}});
    if (!f.historyKept) {
        h.Paragraph("No board history is kept on this PC" +
                    (f.historyProblem.empty() ? std::string(".") : ": " + f.historyProblem));
        return;
    }
    if (!f.historyProblem.empty()) {
        h.Missing(f.historyProblem);
        return;
    }
    if (!f.configImage) {
        h.Missing("No comparison: the configuration was not read.");
        return;
    }
    if (f.historyRecord == 0) {
        h.Paragraph("The history holds no earlier configuration of this board.");
        return;
    }
    h.Paragraph("Last configuration seen: record " + std::to_string(f.historyRecord) + ", " +
                f.historyWhat + " (orvan-cli history diff " + std::to_string(f.historyRecord) +
                " ID compares it with another record).");
    if (f.sinceHistory.empty()) {
        h.Paragraph("The board holds that same configuration.");
        return;
    }
    std::vector<std::vector<std::string>> rows;
    for (const TFieldDifference& d : f.sinceHistory)
        rows.push_back({d.section, d.key, ValueCell(d.pcRaw, d.pcValue, d.engineering),
                        ValueCell(d.boardRaw, d.boardValue, d.engineering), d.unit});
    h.Table({"Section", "Field", "Then", "Board", "Unit"}, rows);
}

}  // namespace

std::string BuildServiceReportHtml(const TReportFacts& f,
                                   const std::vector<const IReportSection*>& sections) {
    std::vector<std::string> notHere;
    for (const IReportSection* s : sections)
        for (std::string& m : s->Missing()) notHere.push_back(s->Title() + ": " + m);

    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Service report " +
        HtmlEscape(f.serial ? SerialNumberText(*f.serial) : std::string("(board not identified)")) +
        "</title>\n<style>" + kStyle + "</style>\n</head><body>\n<h1>Velkor Orvan SuperVisor - " +
        "service report</h1>\n";
    THtmlWriter head;
    head.Facts({{"Made", f.pcTime}, {"Line", f.link}});
    if (f.missing.empty()) {
        head.Paragraph("Everything asked of the board was read.");
    } else {
        head.Missing("Incomplete report: " + std::to_string(f.missing.size()) +
                     " item(s) could not be read from the board.");
        head.Preformatted(f.missing);
    }
    if (!notHere.empty()) {
        head.Paragraph("Not in this report:");
        head.Preformatted(notHere);
    }
    page += head.Html();

    auto section = [&page](const std::string& title, const std::string& body) {
        page += "<h2>" + HtmlEscape(title) + "</h2>\n" + body;
    };
    THtmlWriter board, cfg, diff;
    WriteBoard(f, board);
    section("Board", board.Html());
    WriteConfiguration(f, cfg);
    section("Configuration", cfg.Html());
    WriteDifferences(f, diff);
    section("Differences from the newest backup", diff.Html());
    THtmlWriter history;
    WriteHistory(f, history);
    section("Board history", history.Html());
    for (const IReportSection* s : sections) {
        THtmlWriter w;
        s->Write(w);
        section(s->Title(), w.Html());
    }
    THtmlWriter traffic;
    if (f.traffic.empty())
        traffic.Paragraph("No traffic was logged (the line's logging was off).");
    else
        traffic.Preformatted(f.traffic);
    section("Last lines of traffic", traffic.Html());
    page += "</body></html>\n";
    return page;
}

// --- the logs section ------------------------------------------------------

std::vector<std::string> TLogsReportSection::Missing() const {
    std::vector<std::string> m;
    if (!tuning_) m.push_back("tuning log not read");
    if (!events_) m.push_back("event log not read");
    return m;
}

void TLogsReportSection::Write(THtmlWriter& html) const {
    if (tuning_) {
        if (tuningShown_ && tuningShown_->problem.empty()) {
            html.Paragraph(std::string("Tuning log, copy ") +
                           (tuningShown_->validCopy == 1 ? "A" : "B") + "; factory tuning " +
                           tuningShown_->factoryTuningTime + ":");
            std::vector<std::vector<std::string>> rows;
            for (const tuninglog& e : tuningShown_->entries)
                // The precision the tuning page shows: the log's currents come
                // from a converter scale and would otherwise print 16 digits.
                rows.push_back({e.dateTime, link::RoundedText(e.current, 2),
                                link::RoundedText(e.power, 2), link::RoundedText(e.hours, 3)});
            html.Table({"Date", "Current (A)", "Power (W)", "Work time (h)"}, rows);
        } else if (tuningShown_) {
            html.Missing("Tuning log: " + tuningShown_->problem);
        }
        html.Paragraph("Tuning log (board memory " + std::to_string(kTuningLogAddress) + ", " +
                       std::to_string(kTuningLogSize) + " bytes):");
        std::vector<std::string> rows;
        HexRows(tuning_->data(), tuning_->size(), kTuningLogAddress, rows);
        html.Preformatted(rows);
    } else {
        html.Missing("Tuning log: not read in this session.");
    }
    if (events_) {
        html.Paragraph("Event log (board memory " + std::to_string(kEventLogAddress) + ", " +
                       std::to_string(events_->lines.size()) + " events):");
        std::vector<std::vector<std::string>> rows;
        for (const TEventLine& l : events_->lines)
            rows.push_back(
                {std::to_string(l.n), l.dateTime,
                 l.description.empty() ? "type " + std::to_string(l.record.type) : l.description,
                 l.value});
        html.Table({"N", "Date", "Event", "Value"}, rows);
        if (!events_->problem.empty()) html.Missing("Event log: " + events_->problem);
    } else {
        html.Missing("Event log: not read in this session.");
    }
}

void TLogsReportSection::OnTuningLogRead(
    const TSequenceOutcome& outcome,
    const std::array<std::uint8_t, commands::kTuningLogSize>& image) {
    // Every completed read is also decoded by TTuningLog, which tells
    // OnTuningLogShown, so the two never describe different reads.
    if (outcome.completed) tuning_ = image;
}

void TLogsReportSection::OnTuningLogShown(const TTuningLogShown& shown) {
    if (shown.outcome.completed) tuningShown_ = shown;
}

void TLogsReportSection::OnEventLogRead(const TSequenceOutcome& outcome,
                                        const TEventLogDecode& log) {
    if (outcome.completed) events_ = log;
}

// --- the run -------------------------------------------------------------

TServiceReport::TServiceReport(commands::TSession& session, const link::TTrafficTail& traffic,
                               const TConfigTransfer& transfer, TStatusPolling& polling,
                               const TMachineNaming& naming)
    : session_(session),
      traffic_(traffic),
      transfer_(transfer),
      polling_(polling),
      naming_(naming) {
    pcTime = DefaultPcTime;
}

void TServiceReport::AddSection(const IReportSection& section) {
    for (const IReportSection* s : sections_)
        if (s == &section) return;
    sections_.push_back(&section);
}

TResult TServiceReport::Start(const std::string& outPath) {
    if (outPath.empty()) return TResult::Fail("no file named for the service report");
    if (Running()) return TResult::Fail("a service report is already being made");
    if (transfer_.Busy() || session_.ChainRunning() || session_.WritePending() ||
        session_.downloadActive)
        return TResult::Fail(
            "another operation is using the line; make the report when it has finished");
    path_ = outPath;
    facts_ = TReportFacts{};
    facts_.pcTime = pcTime ? pcTime() : std::string();
    facts_.link = linkText;
    lineFailed_ = false;
    chainStopped_.clear();
    // Polling is held meanwhile: its reads would keep the line busy for ever.
    polling_.held = true;
    Begin(Step::Identity);
    return TResult::Ok();
}

void TServiceReport::Abandon(const std::string& why) {
    if (!Running()) return;
    if (session_.ChainRunning() && session_.readPurpose == commands::kPurposeConfigUpload)
        session_.ResetChain();
    chainStopped_ = why;
    step_ = Step::Idle;
    polling_.held = false;
}

void TServiceReport::Begin(Step step) {
    step_ = step;
    switch (step) {
        case Step::Identity:
            views_.Notify(&IServiceReportView::OnReportStep, std::string("Identity"));
            // The session keeps the last serial number when the board's
            // first byte is zero; the report must not name another board.
            session_.serialNumber.clear();
            session_.RequestHardwareInfo();
            break;
        case Step::Clock:
            views_.Notify(&IServiceReportView::OnReportStep, std::string("Board clock"));
            (void)SendReadVariable(session_.Protocol(), ClockTime);
            (void)SendReadVariable(session_.Protocol(), ClockDate);
            (void)SendReadVariable(session_.Protocol(), ClockRun);
            break;
        case Step::Hours:
            views_.Notify(&IServiceReportView::OnReportStep, std::string("Hours counter"));
            (void)SendReadVariable(session_.Protocol(), SourceWorkTime);
            break;
        case Step::Config:
            views_.Notify(&IServiceReportView::OnReportStep, std::string("Configuration"));
            session_.StartConfigUpload(false);
            break;
        case Step::Idle:
            break;
    }
}

std::string TServiceReport::LineFailure() const {
    const std::string lost = session_.Protocol().Port().LostReason();
    return lost.empty() ? "the board stopped answering (RX TimeOut)" : lost;
}

void TServiceReport::NoteExchangeIdle() {
    if (Running()) EndStep();
}

void TServiceReport::EndStep() {
    const std::string why = lineFailed_ ? LineFailure() : std::string("no usable answer");
    auto need = [&](bool have, const char* what) {
        if (!have) facts_.missing.push_back(std::string(what) + ": not read (" + why + ")");
    };
    Step next = Step::Idle;
    switch (step_) {
        case Step::Identity:
            need(facts_.serial.has_value(), "serial number");
            need(facts_.firmware.has_value(), "firmware version");
            need(facts_.protocol.has_value(), "protocol version");
            need(facts_.boardType.has_value(), "board type");
            next = Step::Clock;
            break;
        case Step::Clock:
            need(facts_.clockDate.has_value() && facts_.clockTime.has_value(), "board clock");
            next = Step::Hours;
            break;
        case Step::Hours:
            need(facts_.hoursSeconds.has_value(), "source hours counter");
            next = Step::Config;
            break;
        case Step::Config:
            if (!facts_.configImage)
                facts_.missing.push_back(
                    "configuration: not read (" +
                    (lineFailed_ || chainStopped_.empty() ? why : chainStopped_) + ")");
            break;
        case Step::Idle:
            return;
    }
    if (lineFailed_ && next != Step::Idle) {
        // A silent board would cost one time-out per step; say what was not
        // asked instead.
        const char* rest[] = {"board clock", "source hours counter", "configuration"};
        const int from = next == Step::Clock ? 0 : next == Step::Hours ? 1 : 2;
        for (int i = from; i < 3; ++i)
            facts_.missing.push_back(std::string(rest[i]) + ": not read (" + why + ")");
        next = Step::Idle;
    }
    if (next != Step::Idle) {
        Begin(next);
        return;
    }
    Finish();
}

void TServiceReport::CompareWithBackup() {
    if (!facts_.configImage || !facts_.serial) return;
    const std::string part = BackupSerialPart(*facts_.serial);
    const std::string& dir =
        backupDir_.empty() ? (backupDirOf ? backupDirOf() : DefaultBackupDir()) : backupDir_;
    for (const TBackupEntry& e : ListBackups(dir)) {
        if (e.serial != part) continue;
        facts_.backupPath = e.path;
        facts_.backupTime = e.timeText;
        config::TCfgWelderRW backup;
        const config::TFileResult r = RestoreBackup(e.path, backup);
        if (!r.ok) {
            facts_.backupProblem = "The newest backup " + e.path + " could not be read: " + r.why;
            return;
        }
        config::TWelderCfgBlank board;
        board.LoadFromImage(facts_.configImage->data());
        facts_.sinceBackup = CompareConfigurations(backup, board);
        return;
    }
}

void TServiceReport::Finish() {
    step_ = Step::Idle;
    facts_.machineName = facts_.boardType ? naming_.MachineName() : std::string();
    CompareWithBackup();
    if (compareWithHistory && facts_.serial) compareWithHistory(facts_);
    facts_.traffic = traffic_.Lines();
    std::vector<const IReportSection*> sections = sections_;
    const std::string html = BuildServiceReportHtml(facts_, sections);

    TReportOutcome out;
    out.path = path_;
    out.missing = facts_.missing;
    for (const IReportSection* s : sections)
        for (std::string& m : s->Missing()) out.notIncluded.push_back(s->Title() + ": " + m);
    config::SaveResult saved;
    if (save) {
        const TResult r = save(html);
        saved = config::SaveResult{{r.ok, r.why}, false};
    } else {
        saved = config::SaveFileAtomically(path_, html);
    }
    out.written = saved.ok;
    // The logs are extras: the report is complete when the board told
    // everything the report asks of it.
    out.completed = saved.ok && facts_.missing.empty();
    if (!saved.ok)
        out.message = "The service report could not be written: " + saved.why;
    else if (facts_.missing.empty())
        out.message = "Service report written to " + path_ + ".";
    else
        out.message = "Incomplete service report written to " + path_ + ": " +
                      std::to_string(facts_.missing.size()) + " item(s) not read (" +
                      facts_.missing.front() + (facts_.missing.size() > 1 ? ", ...)" : ")");
    polling_.held = false;
    views_.Notify(&IServiceReportView::OnReportFinished, out);
}

// --- board events ------------------------------------------------------------

void TServiceReport::OnBoardType(std::uint16_t boardType) {
    if (Running()) facts_.boardType = boardType;
}

void TServiceReport::OnFirmwareVersion(std::uint8_t, std::uint8_t, std::uint8_t,
                                       const std::string& text) {
    if (Running()) facts_.firmware = text;
}

void TServiceReport::OnProtocolVersion(std::uint32_t, const std::string& text) {
    if (Running()) facts_.protocol = text;
}

void TServiceReport::OnSerialNumber(const std::string&) {
    // The raw bytes, not the text shown (which keeps the last one when the
    // board's first byte is zero).
    if (Running()) facts_.serial = session_.serialNumber;
}

void TServiceReport::OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) {
    if (Running()) facts_.clockTime = TTimeOfDay{h, m, s};
}

void TServiceReport::OnClockDate(int year, int month, int day, bool valid) {
    if (!Running()) return;
    facts_.clockDate = TDate{year, month, day};
    facts_.clockDateValid = valid;
}

void TServiceReport::OnClockRun(bool running) {
    if (Running()) facts_.clockRunning = running;
}

void TServiceReport::OnSourceWorkTime(std::uint32_t seconds) {
    if (Running()) facts_.hoursSeconds = seconds;
}

void TServiceReport::OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) {
    if (step_ == Step::Config) facts_.configImage = image;
}

void TServiceReport::OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) {
    if (step_ == Step::Config && s == commands::Sequence::MemoryChain &&
        purpose == kPurposeConfigUpload)
        chainStopped_ = why;
}

void TServiceReport::OnStopPolling() {
    if (Running()) lineFailed_ = true;
}

}  // namespace orvan::features
