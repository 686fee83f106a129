#pragma once
// The service report: one HTML file a technician sends back from the field,
// readable anywhere without the program (styles inline, no picture, no link
// to anything outside). It is gathered from the board in one run: who the
// board is, its clock, its hours counter and its configuration (compared with
// the newest backup of the same board), then the sections other features
// contribute (the logs...) and the last lines of traffic.
//
// A board that stops answering half way still gives a report: what could not
// be read is listed at its top and in its section, and the outcome says the
// report is incomplete. The file is written atomically.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "config/Cfgwelder.h"
#include "features/ConfigBackups.h"
#include "features/ConfigTransfer.h"
#include "features/EventLog.h"
#include "features/MachineNaming.h"
#include "features/StatusPolling.h"
#include "features/TuningLog.h"
#include "features/TypedInput.h"
#include "features/WelderLogs.h"
#include "link/Result.h"
#include "link/TrafficTail.h"

namespace orvan::features {

// Text for HTML: markup characters as entities, bytes that are not valid
// UTF-8 and control characters as \xNN, so nothing the board or a file holds
// can add markup or break the page.
std::string HtmlEscape(std::string_view text);

// Builds the body of a section; every text given is escaped here.
class THtmlWriter {
  public:
    void Paragraph(std::string_view text);
    // A line saying what is not in the report and why.
    void Missing(std::string_view text);
    // Two columns: what, value.
    void Facts(const std::vector<std::pair<std::string, std::string>>& rows);
    void Table(const std::vector<std::string>& header,
               const std::vector<std::vector<std::string>>& rows);
    void Preformatted(const std::vector<std::string>& lines);
    const std::string& Html() const { return out_; }

  private:
    std::string out_;
};

// One section of the report. Features add theirs to the report controller;
// a section only describes what its feature already holds (the report does
// not run its feature's sequences).
class IReportSection {
  public:
    virtual ~IReportSection() = default;
    virtual std::string Title() const = 0;
    // What this section could not show; listed at the top of the report.
    virtual std::vector<std::string> Missing() const { return {}; }
    virtual void Write(THtmlWriter& html) const = 0;
};

// What the run gathered from the board; nothing where it did not come.
struct TReportFacts {
    std::optional<std::uint16_t> boardType;
    std::optional<std::string> serial;
    std::optional<std::string> firmware;  // "1.02.07" as the board's answer shows it
    std::optional<std::string> protocol;
    std::string machineName;  // from the naming files; empty when unknown
    std::optional<TDate> clockDate;
    bool clockDateValid = true;
    std::optional<TTimeOfDay> clockTime;
    std::optional<bool> clockRunning;
    std::optional<std::uint32_t> hoursSeconds;
    std::optional<std::array<std::uint8_t, config::kImageSize>> configImage;
    // The newest backup of this board (path empty when none was found) and
    // how the board differs from it.
    std::string backupPath, backupTime, backupProblem;
    std::vector<TFieldDifference> sinceBackup;
    // The board history of this PC: whether one is kept, the last
    // configuration it saw of this board (record 0 when none: "what",
    // "Configuration read on 2026-12-08 11:20:30 by tecnico on banco-3")
    // and how the board differs from it.
    bool historyKept = false;
    std::string historyProblem;
    std::int64_t historyRecord = 0;
    std::string historyWhat;
    std::vector<TFieldDifference> sinceHistory;
    std::vector<std::string> traffic;
    std::vector<std::string> missing;  // one line per thing not read, with why
    std::string pcTime;                // when the report was made, "2026-12-08 11:20:30"
    std::string link;                  // the port and speed
};

// The whole HTML page: facts, then the sections in order, then the traffic.
std::string BuildServiceReportHtml(const TReportFacts& facts,
                                   const std::vector<const IReportSection*>& sections);

struct TReportOutcome {
    bool completed = false;                // everything was read and the file written
    bool written = false;                  // the file is there (complete or not)
    std::string path;                      // the file
    std::vector<std::string> missing;      // asked of the board and not read, with why
    std::vector<std::string> notIncluded;  // what the sections could not show
    std::string message;                   // one line for the user
};

class IServiceReportView {
  public:
    virtual ~IServiceReportView() = default;
    // "Identity", "Board clock"... as the run goes on.
    virtual void OnReportStep(const std::string& /*step*/) {}
    // Exactly once per started report.
    virtual void OnReportFinished(const TReportOutcome& /*outcome*/) {}
};

// Tuning log and event log, as they were last read in this session: the
// tuning log's raw bytes and its decoded entries, the event log's decoded
// lines; a "not read" line otherwise. The logs are not read by the report
// itself: reading the event log takes a dozen exchanges the technician may
// not want to wait for.
class TLogsReportSection : public IReportSection,
                           public IWelderLogView,
                           public ITuningLogView,
                           public IEventLogView {
  public:
    TLogsReportSection(TWelderLogs& logs, TTuningLog& tuning, TEventLog& events) {
        logs.Views().Add(*this);
        tuning.Views().Add(*this);
        events.Views().Add(*this);
    }
    std::string Title() const override { return "Logs"; }
    std::vector<std::string> Missing() const override;
    void Write(THtmlWriter& html) const override;
    void OnTuningLogRead(const TSequenceOutcome& outcome,
                         const std::array<std::uint8_t, commands::kTuningLogSize>& image) override;
    void OnTuningLogShown(const TTuningLogShown& shown) override;
    void OnEventLogRead(const TSequenceOutcome& outcome, const TEventLogDecode& log) override;

  private:
    std::optional<std::array<std::uint8_t, commands::kTuningLogSize>> tuning_;
    std::optional<TTuningLogShown> tuningShown_;
    std::optional<TEventLogDecode> events_;
};

class TServiceReport : public commands::IIdentityView,
                       public commands::IBoardClockView,
                       public commands::IStatusView,
                       public commands::IMemoryView,
                       public commands::ILinkView {
  public:
    TServiceReport(commands::TSession& session, const link::TTrafficTail& traffic,
                   const TConfigTransfer& transfer, TStatusPolling& polling,
                   const TMachineNaming& naming);

    commands::TFanout<IServiceReportView>& Views() { return views_; }
    // Sections of other features, shown in the order added after the
    // configuration. The section must outlive the report.
    void AddSection(const IReportSection& section);
    // Where to look for backups; empty (the default) for the folder
    // backupDirOf names (the operations' own).
    void SetBackupDir(std::string dir) { backupDir_ = std::move(dir); }
    std::function<std::string()> backupDirOf;
    // Fills the history's part of the facts (the core's board history);
    // unset, the report says no history is kept.
    std::function<void(TReportFacts&)> compareWithHistory;
    // "2026-12-08 11:20:30" of the PC (tests fix it).
    std::function<std::string()> pcTime;
    // The port and speed, for the report's head.
    std::string linkText;

    // Writes the report's text when set (the operation that reserved the
    // file); otherwise the file is saved atomically at the path.
    std::function<TResult(const std::string& html)> save;
    // Ends the run now, writing nothing (the views hear nothing more).
    void Abandon(const std::string& why);

    // Starts gathering; the file is written when the run ends (reported to
    // the views). Refused while another sequence uses the line or when the
    // path is empty. Status polling is held while the report runs (its reads
    // would keep the line busy for ever) and goes on after it.
    TResult Start(const std::string& outPath);
    bool Running() const { return step_ != Step::Idle; }
    // The exchange has nothing queued or in flight: the running step is over.
    void NoteExchangeIdle();

    const TReportFacts& Facts() const { return facts_; }

    // Board events.
    void OnBoardType(std::uint16_t boardType) override;
    void OnFirmwareVersion(std::uint8_t, std::uint8_t, std::uint8_t,
                           const std::string& text) override;
    void OnProtocolVersion(std::uint32_t, const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;
    void OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) override;
    void OnClockDate(int year, int month, int day, bool valid) override;
    void OnClockRun(bool running) override;
    void OnSourceWorkTime(std::uint32_t seconds) override;
    void OnConfigImageComplete(const std::array<std::uint8_t, 384>& image) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    void OnStopPolling() override;

  private:
    enum class Step : std::uint8_t { Idle, Identity, Clock, Hours, Config };
    void Begin(Step step);
    void EndStep();
    void Finish();
    void CompareWithBackup();
    std::string LineFailure() const;

    commands::TSession& session_;
    const link::TTrafficTail& traffic_;
    const TConfigTransfer& transfer_;
    TStatusPolling& polling_;
    const TMachineNaming& naming_;
    commands::TFanout<IServiceReportView> views_;
    std::vector<const IReportSection*> sections_;
    std::string backupDir_;
    std::string path_;
    Step step_ = Step::Idle;
    TReportFacts facts_;
    bool lineFailed_ = false;   // the board stopped answering during this run
    std::string chainStopped_;  // why the configuration read stopped
};

}  // namespace orvan::features
