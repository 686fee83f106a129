#include "features/SupervisorCore.h"

#include "commands/Builders.h"
#include "features/BoardOperations.h"

namespace orvan::features {

TSupervisorCore::TSupervisorCore(link::ISerialPort& port, const link::IClock& clock,
                                 commands::INotifier& notifier, link::IExchangeListener* line)
    : clock_source_(clock),
      protocol_(port, clock),
      session_(protocol_, events_, notifier),
      traffic_(line),
      cycle_(session_, clock, &traffic_),
      transfer_(session_, record_),
      polling_(session_, record_, clock),
      naming_(events_, std::string()),
      clock_(session_),
      identity_(session_),
      report_(session_, traffic_, transfer_, polling_, naming_),
      reconnection_(session_, polling_, clock) {
    events_.Subscribe(transfer_);
    events_.Subscribe(eeprom_);
    events_.Subscribe(logs_);
    events_.Subscribe(flanging_);
    events_.Subscribe(procedures_);
    events_.Subscribe(clock_);
    events_.Subscribe(identity_);
    events_.Subscribe(operations_);
    report_.backupDirOf = [this] { return operations_.BackupDir(); };
    report_.compareWithHistory = [this](TReportFacts& f) { CompareWithHistory(f); };
    // Polling the line stopped goes on as an operation of its own.
    reconnection_.resumePolling = [this] {
        return operations_.BackgroundBusy() || operations_.Start(PollingOperation(*this, {}));
    };
    events_.Subscribe(report_);
    events_.Subscribe(reconnection_);
    report_.AddSection(logsSection_);
    events_.Subscribe(flanging_.Form());
    events_.Subscribe(dac16_.Form());
    events_.Subscribe(pelta_);
    events_.Subscribe(pelta_.Form());
    events_.Subscribe(multiHead_);
    events_.Subscribe(multiHead_.Form());
    events_.Subscribe(diameterHeight_.Form());
    events_.Subscribe(eventLog_);
    events_.Subscribe(calibration_);
}

link::PollState TSupervisorCore::Tick() {
    const link::PollState state = cycle_.Tick();
    // The answer's handler has queued what follows; it need not wait a tick.
    if (state == link::PollState::Answer && protocol_.FastMode()) (void)cycle_.Tick();
    logs_.NoteTick();
    procedures_.NoteTick(cycle_.Idle());
    // An operation whose next request was never queued would wait for ever.
    operations_.Tick(cycle_.Idle());
    if (cycle_.Idle()) report_.NoteExchangeIdle();
    reconnection_.Tick();
    return state;
}

void TSupervisorCore::SetCapturing(bool on) {
    capturing_ = on;
    protocol_.SetTap(on ? &capture_ : nullptr);
    if (!on) capture_.Flush();
}

TResult TSupervisorCore::ReserveCaptureFile(const std::string& path, bool replace) {
    return ReserveOutput({path, TFileKind::Capture, "the capture file", replace, false},
                         captureFile_);
}

TResult TSupervisorCore::WriteCaptureFile() {
    if (!captureFile_.Held()) return TResult::Fail("no capture file was reserved");
    capture_.Flush();
    const config::SaveResult r = captureFile_.Commit(capture_.Text());
    captureFile_.Release();
    return r ? TResult::Ok() : TResult::Fail("the capture was not written: " + r.why);
}

TResult TSupervisorCore::SaveCapture(const std::string& path, bool replace, bool replaceOtherKind) {
    config::TReservedFile file;
    if (const TResult r = ReserveOutput(
            {path, TFileKind::Capture, "the capture file", replace, replaceOtherKind}, file);
        !r)
        return r;
    capture_.Flush();
    const config::SaveResult r = file.Commit(capture_.Text());
    return r ? TResult::Ok() : TResult::Fail("the capture was not written: " + r.why);
}

void TSupervisorCore::SetTrafficLog(bool rx, bool tx) {
    cycle_.Cycle().SetRxLogEnabled(rx);
    cycle_.Cycle().SetTxLogEnabled(tx);
}

TResult TSupervisorCore::SetSecurityCode(bool on) {
    return commands::SendSecurityCode(protocol_, on);
}

link::PollState TSupervisorCore::OnLineReadable() {
    if (!protocol_.FastMode()) return link::PollState::Idle;
    return Tick();
}

// The report runs before its own outcome is recorded: the last
// configuration the history holds is the one seen before this visit.
void TSupervisorCore::CompareWithHistory(TReportFacts& f) {
    f.historyKept = history_.On();
    if (!f.historyKept) {
        if (!history_.Path().empty())
            f.historyProblem = "the board history \"" + history_.Path() + "\" cannot be used";
        return;
    }
    THistoryRecord last;
    bool found = false;
    if (const THistoryResult r = history_.LastConfiguration(*f.serial, last, found); !r) {
        f.historyProblem = "The board history could not be read: " + r.why;
        return;
    }
    const THistorySnapshot* s = found ? ConfigurationOf(last) : nullptr;
    if (s == nullptr || !f.configImage) return;
    f.historyRecord = last.id;
    f.historyWhat = last.operation + " on " + HistoryTimeText(last.timeMs) + " by " + last.user +
                    (last.host.empty() ? std::string() : " on " + last.host);
    f.sinceHistory = SnapshotDifferences(s->image, {f.configImage->begin(), f.configImage->end()});
}

}  // namespace orvan::features
