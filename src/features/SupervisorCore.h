#pragma once
// The core of the supervisor, assembled in one place: given the line, the
// time source and the message boxes, it builds and owns the protocol engine,
// the board-event registry, the session, the exchange cycle, the
// configuration record and every feature controller. The window, orvan-cli,
// the test rigs and the benchmarks all construct this; nothing else wires the
// core together, so a new feature's controller is added here once: a member,
// an accessor, and its Subscribe in the constructor.
//
// Tick() is the whole work of one 30 ms exchange tick: the exchange itself,
// then the watchdog that stops a feature sequence whose next request was
// never queued (it would otherwise wait for ever).

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "commands/SessionCycle.h"
#include "config/Cfgwelderrw.h"
#include "features/AnalogCalibration.h"
#include "features/BoardClock.h"
#include "features/ConfigDocument.h"
#include "features/ConfigTransfer.h"
#include "features/Dac16.h"
#include "features/DiameterHeight.h"
#include "features/EepromTools.h"
#include "features/EventLog.h"
#include "features/Flanging.h"
#include "features/History.h"
#include "features/Identity.h"
#include "features/MachineNaming.h"
#include "features/MultiHead.h"
#include "features/Operations.h"
#include "features/Pelta.h"
#include "features/PowerProcedures.h"
#include "features/Reconnection.h"
#include "features/ServiceReport.h"
#include "features/StatusPolling.h"
#include "features/TuningLog.h"
#include "features/WelderLogs.h"
#include "link/Clock.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/LineCapture.h"
#include "link/SerialPort.h"
#include "link/TrafficTail.h"

#include <functional>
#include <tuple>
#include <type_traits>

namespace orvan::features {

class TSupervisorCore {
  public:
    // `line` (may be null) sees the link state, the log lines and the raw
    // answers, as the debug page and the companion's printer do.
    TSupervisorCore(link::ISerialPort& port, const link::IClock& clock,
                    commands::INotifier& notifier, link::IExchangeListener* line = nullptr);
    TSupervisorCore(const TSupervisorCore&) = delete;
    TSupervisorCore& operator=(const TSupervisorCore&) = delete;

    // One tick of the exchange timer. In fast exchange an answer taken on
    // the tick lets the next queued request go out at once.
    link::PollState Tick();
    // The port has bytes to read: in fast exchange the answer is taken at
    // once (and the next request sent); otherwise the tick will see them.
    link::PollState OnLineReadable();
    void SetFastMode(bool on) { protocol_.SetFastMode(on); }
    bool FastMode() const { return protocol_.FastMode(); }
    // Nothing queued and nothing in flight.
    bool Idle() const { return cycle_.Idle(); }
    const link::IClock& Clock() const { return clock_source_; }

    // Every long or board-changing sequence runs here (features/Operation.h).
    TOperations& Operations() { return operations_; }
    // The configuration on the pages.
    TConfigDocument& Document() { return document_; }

    // The traffic capture (the "COM Debug" page's, orvan-cli --capture): on
    // while capturing, its frames kept in memory.
    link::TLineCapture& Capture() { return capture_; }
    void SetCapturing(bool on);
    bool Capturing() const { return capturing_; }
    // A file for the capture, reserved now (under the rules of every output
    // file); WriteCaptureFile writes what was captured into it.
    [[nodiscard]] TResult ReserveCaptureFile(const std::string& path, bool replace);
    [[nodiscard]] TResult WriteCaptureFile();
    // "Save capture...": reserved and written at once.
    [[nodiscard]] TResult SaveCapture(const std::string& path, bool replace, bool replaceOtherKind);
    // The log lines of the traffic (the "COM Debug" lists).
    void SetTrafficLog(bool rx, bool tx);
    // "Security code ON" / "OFF" of the menu.
    [[nodiscard]] TResult SetSecurityCode(bool on);
    // A view hears every board event and every feature's news it implements
    // an interface of: this is the one way to attach. Detach before the view
    // goes (or use TAttachment).
    template <typename T>
    void Attach(T& view);
    template <typename T>
    void Detach(T& view);

    // The engine itself, for the core's own operations and the tests; front
    // ends use the read-only views below and never this (a source check
    // holds them to it).
    struct TEngine {
        link::TComProtocol& protocol;
        commands::TSession& session;
        commands::TSessionCycle& cycle;
        config::TCfgWelderRW& record;
    };
    TEngine Engine() { return {protocol_, session_, cycle_, record_}; }
    // The time that names backups (tests fix it).
    std::function<TBackupClock::time_point()> backupNow = [] { return TBackupClock::now(); };
    TBackupClock::time_point BackupTime() const { return backupNow(); }

    // The board-event registry. Front ends attach with Attach; the core's
    // own parts and the tests may subscribe single areas here.
    commands::TBoardEvents& Events() { return events_; }
    // Read-only views of the engine and the record.
    const link::TComProtocol& Protocol() const { return protocol_; }
    const commands::TSession& Session() const { return session_; }
    const config::TCfgWelderRW& Record() const { return record_; }
    TConfigTransfer& Transfer() { return transfer_; }
    // Status polling: its timer (150 ms) belongs to the front end, which
    // calls RefreshTick.
    TStatusPolling& Polling() { return polling_; }
    // Machine naming: the front end sets the folder of the naming files.
    TMachineNaming& Naming() { return naming_; }
    TEepromTools& Eeprom() { return eeprom_; }
    TWelderLogs& Logs() { return logs_; }
    TEventLog& EventLog() { return eventLog_; }
    // Calibration values from the live readings, into the record.
    TAnalogCalibration& Calibration() { return calibration_; }
    TFlanging& Flanging() { return flanging_; }
    TPowerProcedures& Procedures() { return procedures_; }
    // The tuning log decoded for the "Welder Tuning" page and its ".log" file.
    TTuningLog& TuningLog() { return tuningLog_; }
    TBoardClock& BoardClock() { return clock_; }
    TIdentity& Identity() { return identity_; }
    // The service report; its logs section is added already, other features
    // add theirs with AddSection.
    TServiceReport& Report() { return report_; }
    // Reconnection after the port's device vanished and came back; off
    // until the front end tells it how to reopen the port.
    TReconnection& Reconnection() { return reconnection_; }
    // The last lines of traffic (whatever front end listens to the line).
    const link::TTrafficTail& Traffic() const { return traffic_; }
    // The machine-variant pages (TFlanging above is the flanging one).
    // The board history: every outcome is recorded there (off until the
    // front end opens it, with DefaultHistoryPath()).
    THistory& History() { return history_; }
    TDac16& Dac16() { return dac16_; }
    TPelta& Pelta() { return pelta_; }
    TMultiHead& MultiHead() { return multiHead_; }
    TDiameterHeight& DiameterHeight() { return diameterHeight_; }

  private:
    void CompareWithHistory(TReportFacts& f);
    const link::IClock& clock_source_;
    // Declared in the order they depend on each other; destroyed in reverse,
    // so the controllers go before the session and the engine they use.
    link::TComProtocol protocol_;
    commands::TBoardEvents events_;
    commands::TSession session_;
    link::TTrafficTail traffic_;
    commands::TSessionCycle cycle_;
    config::TCfgWelderRW record_;
    TConfigTransfer transfer_;
    TStatusPolling polling_;
    TMachineNaming naming_;
    TEepromTools eeprom_{session_};
    TWelderLogs logs_{session_};
    TEventLog eventLog_{session_};
    TFlanging flanging_{session_};
    TPowerProcedures procedures_{session_, record_, logs_};
    TTuningLog tuningLog_{session_, record_, logs_};
    TBoardClock clock_;
    TIdentity identity_;
    TServiceReport report_;
    TLogsReportSection logsSection_{logs_, tuningLog_, eventLog_};
    TReconnection reconnection_;
    TDac16 dac16_{session_};
    TPelta pelta_{session_};
    TMultiHead multiHead_{session_};
    TDiameterHeight diameterHeight_{session_};
    TAnalogCalibration calibration_{record_, polling_};
    TConfigDocument document_{session_, record_};
    link::TLineCapture capture_{clock_source_};
    bool capturing_ = false;
    config::TReservedFile captureFile_;
    THistory history_;
    // Last: it stops the operations before any controller they use goes.
    TOperations operations_{*this, session_};

    // Every feature fan-out a view may join.
    auto Fanouts() {
        return std::tie(transfer_.Views(), polling_.Views(), naming_.Views(), eeprom_.Views(),
                        logs_.Views(), eventLog_.Views(), flanging_.Views(), procedures_.Views(),
                        tuningLog_.Views(), clock_.Views(), identity_.Views(), report_.Views(),
                        reconnection_.Views(), dac16_.Views(), pelta_.Views(), multiHead_.Views(),
                        diameterHeight_.Views(), calibration_.Views(), operations_.Views());
    }
    template <typename IView, typename T>
    static void AddIf(commands::TFanout<IView>& f, T& view) {
        if constexpr (std::is_base_of_v<IView, T>) f.Add(static_cast<IView&>(view));
    }
    template <typename IView, typename T>
    static void RemoveIf(commands::TFanout<IView>& f, T& view) {
        if constexpr (std::is_base_of_v<IView, T>) f.Remove(static_cast<IView&>(view));
    }
};

template <typename T>
void TSupervisorCore::Attach(T& view) {
    events_.Subscribe(view);
    std::apply([&](auto&... f) { (AddIf(f, view), ...); }, Fanouts());
}

template <typename T>
void TSupervisorCore::Detach(T& view) {
    events_.Unsubscribe(view);
    std::apply([&](auto&... f) { (RemoveIf(f, view), ...); }, Fanouts());
}

// Attached for as long as this lives.
template <typename T>
class TAttachment {
  public:
    TAttachment(TSupervisorCore& core, T& view) : core_(core), view_(view) { core_.Attach(view_); }
    ~TAttachment() { core_.Detach(view_); }
    TAttachment(const TAttachment&) = delete;
    TAttachment& operator=(const TAttachment&) = delete;

  private:
    TSupervisorCore& core_;
    T& view_;
};

template <typename Derived>
void TAttachedOperation<Derived>::Attach(TSupervisorCore& core) {
    core.Attach(static_cast<Derived&>(*this));
}
template <typename Derived>
void TAttachedOperation<Derived>::Detach(TSupervisorCore& core) {
    core.Detach(static_cast<Derived&>(*this));
}

}  // namespace orvan::features
