#pragma once
// What the companion asks of the console it runs in: stop requests (SIGINT,
// SIGTERM and SIGHUP on POSIX; Ctrl-C, Ctrl-Break and closing the console on
// Windows, numbered as the signals, link/StopSignals.h), whether a stream is
// a terminal, a typed answer read without blocking, and the program's own
// folder. Console_posix.cpp and Console_win.cpp answer.

#include <cstddef>
#include <string>

namespace orvan::cli {

// Catches the stop requests for as long as it lives; the exchange loop sees
// the first with StopRequest() on its next tick. A second one ends the
// program at once with 128 + its number.
class TStopRequests {
  public:
    TStopRequests();
    ~TStopRequests();
    TStopRequests(const TStopRequests&) = delete;
    TStopRequests& operator=(const TStopRequests&) = delete;
};

// The number of the first stop request caught, 0 while none came.
int StopRequest();
// "SIGINT (Ctrl-C)", "SIGTERM", "SIGHUP".
std::string StopRequestText(int number);

// A reader that went away (`| head`) is not a reason to stop half way: a
// write to it fails (and the command says so) instead of ending the program.
void KeepRunningWhenReaderGoes();

bool StdinIsTerminal();
bool StderrIsTerminal();

// Takes what was typed on standard input without waiting: the count read,
// 0 when nothing is there yet, -1 at its end or on an error.
long ReadTypedInput(char* buf, std::size_t size);

// The folder of the running program, ending in a separator; empty when
// unknown.
std::string ProgramFolder();

}  // namespace orvan::cli
