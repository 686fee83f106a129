#include "features/SupervisorCore.h"

namespace orvan::features {

TSupervisorCore::TSupervisorCore(link::ISerialPort& port, const link::IClock& clock,
                                 commands::INotifier& notifier, link::IExchangeListener* line)
    : protocol_(port, clock),
      session_(protocol_, events_, notifier),
      cycle_(session_, clock, line),
      transfer_(session_, record_),
      polling_(session_, record_, clock),
      naming_(events_, std::string()),
      clock_(session_),
      identity_(session_),
      eepromManager_(session_, eeprom_) {
    events_.Subscribe(transfer_);
    events_.Subscribe(eeprom_);
    events_.Subscribe(logs_);
    events_.Subscribe(flanging_);
    events_.Subscribe(procedures_);
    events_.Subscribe(clock_);
    events_.Subscribe(identity_);
    events_.Subscribe(eepromManager_);
    events_.Subscribe(eventLog_);
    events_.Subscribe(calibration_);
}

link::PollState TSupervisorCore::Tick() {
    const link::PollState state = cycle_.Tick();
    logs_.NoteTick();
    procedures_.NoteTick(cycle_.Idle());
    // A transfer whose next request was never queued would wait for ever.
    if (cycle_.Idle()) {
        transfer_.NoteExchangeIdle();
        eepromManager_.NoteExchangeIdle();
    }
    return state;
}

}  // namespace orvan::features
