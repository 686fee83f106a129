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
#include "features/ConfigTransfer.h"
#include "features/EepromManager.h"
#include "features/EepromTools.h"
#include "features/EventLog.h"
#include "features/Flanging.h"
#include "features/Identity.h"
#include "features/MachineNaming.h"
#include "features/PowerProcedures.h"
#include "features/StatusPolling.h"
#include "features/TuningLog.h"
#include "features/WelderLogs.h"
#include "link/Clock.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/SerialPort.h"

namespace orvan::features {

class TSupervisorCore {
  public:
    // `line` (may be null) sees the link state, the log lines and the raw
    // answers, as the debug page and the companion's printer do.
    TSupervisorCore(link::ISerialPort& port, const link::IClock& clock,
                    commands::INotifier& notifier, link::IExchangeListener* line = nullptr);
    TSupervisorCore(const TSupervisorCore&) = delete;
    TSupervisorCore& operator=(const TSupervisorCore&) = delete;

    // One tick of the exchange timer.
    link::PollState Tick();
    // Nothing queued and nothing in flight.
    bool Idle() const { return cycle_.Idle(); }

    link::TComProtocol& Protocol() { return protocol_; }
    commands::TBoardEvents& Events() { return events_; }
    commands::TSession& Session() { return session_; }
    commands::TSessionCycle& SessionCycle() { return cycle_; }
    link::TExchangeCycle& Cycle() { return cycle_.Cycle(); }
    config::TCfgWelderRW& Record() { return record_; }
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
    // The EEPROM page's sequences: dump to a file, format after a dump,
    // restore with its read-back (built on the EEPROM tools).
    TEepromManager& EepromManager() { return eepromManager_; }

  private:
    // Declared in the order they depend on each other; destroyed in reverse,
    // so the controllers go before the session and the engine they use.
    link::TComProtocol protocol_;
    commands::TBoardEvents events_;
    commands::TSession session_;
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
    TEepromManager eepromManager_;
    TAnalogCalibration calibration_{record_, polling_};
};

}  // namespace orvan::features
