#pragma once
// Shared pieces of orvan-cli. Commands come in two groups: those that work on
// files alone (CliOffline.cpp) and those that talk to a board (CliDevice.cpp).

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::cli {

struct Options {
    std::string device;
    bool simulate = false;
    std::int32_t speed = 56700;
    bool quiet = false;
    bool fast = false;              // fast exchange: answers taken at their delimiter
    std::string capture;            // write the line traffic to this file (empty: none)
    std::vector<std::string> args;  // the command and its arguments
};

// One line per command for the usage text.
std::string OfflineUsage();
std::string DeviceUsage();

// True when args[0] names a command that needs no board.
bool IsOfflineCommand(const std::string& name);
// Exit status: 0 success, 1 failure (reason on stderr), 2 bad arguments.
int RunOfflineCommand(const Options& opt);

bool IsDeviceCommand(const std::string& name);
// config-read, config-write, config-verify (CliTransfer.cpp).
std::string TransferUsage();
bool IsTransferCommand(const std::string& name);
int RunTransferCommand(const Options& opt);
// status (CliStatus.cpp).
std::string StatusUsage();
bool IsStatusCommand(const std::string& name);
int RunStatusCommand(const Options& opt);
// The board clock, identity and EEPROM commands (CliBoardTools.cpp).
std::string BoardToolUsage();
bool IsBoardToolCommand(const std::string& name);
int RunBoardToolCommand(const Options& opt);
// service-report (CliReport.cpp).
std::string ReportUsage();
bool IsReportCommand(const std::string& name);
int RunReportCommand(const Options& opt);
// event-log (CliEventLog.cpp).
std::string EventLogUsage();
bool IsEventLogCommand(const std::string& name);
int RunEventLogCommand(const Options& opt);
// tuning-log, diagnosis, tuning (CliTuning.cpp).
std::string TuningUsage();
bool IsTuningCommand(const std::string& name);
int RunTuningCommand(const Options& opt);

// Runs with the port already open on opt.device.
int RunDeviceCommand(const Options& opt);

}  // namespace orvan::cli
