#pragma once
// The operations on the board's identity, clock, procedures, logs, machine
// pages and the service report, and status polling. Each runs under the
// core's rules (features/Operation.h): what it overwrites is read first and
// kept (a memory area in a file, a variable's value in the outcome), and it
// ends with one outcome that says what the board holds.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "features/Operation.h"
#include "features/PowerProcedures.h"
#include "features/TypedInput.h"

namespace orvan::features {

// "Info": board type, serial number, firmware and protocol versions; the
// details say each.
std::unique_ptr<TOperation> InfoOperation(TSupervisorCore& core);
// Reads variables (by code); the details give each field of each, or the
// value bytes of a variable this program does not decode.
std::unique_ptr<TOperation> VariableReadOperation(TSupervisorCore& core,
                                                  std::vector<std::uint16_t> codes);
// Writes one variable with values in the order of its write layout: what it
// holds is read first; a machine page's variable passes its page's checks
// (the board serves the page, each value in its range) once the board type
// is known.
std::unique_ptr<TOperation> VariableWriteOperation(TSupervisorCore& core, std::uint16_t code,
                                                   std::vector<double> values);

// "Set Serial Number": addresses 0..15 kept, the text written, read back.
std::unique_ptr<TOperation> SerialNumberOperation(TSupervisorCore& core, std::string text);
// "Set welder hours counter": hours as typed, with the decimal separator.
std::unique_ptr<TOperation> HoursCounterOperation(TSupervisorCore& core, std::string typedHours,
                                                  char decimalSeparator);
std::unique_ptr<TOperation> HoursSecondsOperation(TSupervisorCore& core, std::uint32_t seconds);
// "Set welder factory tuning Date/Time".
std::unique_ptr<TOperation> TuningDateOperation(TSupervisorCore& core, TDate date, TTimeTexts time);
// "Set board Data/Time": time and date together or not at all.
std::unique_ptr<TOperation> ClockSetOperation(TSupervisorCore& core, TDate date, TTimeTexts time);
// "Set" of "Time keeper Enable".
std::unique_ptr<TOperation> ClockRunOperation(TSupervisorCore& core, bool running);

struct TProcedureRequest {
    TProcedure procedure = TProcedure::None;
    // Answers yes beforehand to the factory tuning's confirmation.
    bool confirmed = false;
};
// Diagnosis and tuning, followed to their end. The board cannot be told to
// stop one: a cancel stops following it and says so.
std::unique_ptr<TOperation> ProcedureOperation(TSupervisorCore& core, TProcedureRequest r);

struct TLogSaveRequest {
    std::string path;
    bool replace = false;
    bool replaceOtherKind = false;
};
// "Get tuning log" (needs a configuration), saved as ".log" when a path is
// given.
std::unique_ptr<TOperation> TuningLogReadOperation(TSupervisorCore& core, TLogSaveRequest save);
// "Save tuning log": the log last read, as a ".log" text.
std::unique_ptr<TOperation> TuningLogSaveOperation(TSupervisorCore& core, TLogSaveRequest save);
// The event log read and decoded (its lines are the outcome's details).
std::unique_ptr<TOperation> EventLogReadOperation(TSupervisorCore& core);

// "Save profile" of the flanging page: the profile's four bytes kept, the
// wave stored as the selected profile, the table read again.
std::unique_ptr<TOperation> FlangingSaveOperation(TSupervisorCore& core);

struct TReportRequest {
    std::string path;
    bool replace = false;
    bool replaceOtherKind = false;
};
std::unique_ptr<TOperation> ServiceReportOperation(TSupervisorCore& core, TReportRequest r);

struct TPollingRequest {
    std::uint64_t cycles = 0;  // stop after this many complete cycles; 0: until stopped
};
// Status polling, in the background beside other operations.
std::unique_ptr<TOperation> PollingOperation(TSupervisorCore& core, TPollingRequest r);

}  // namespace orvan::features
