#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include "cli/Console.h"
#include "link/StopSignals.h"
#include "link/WinText.h"

namespace orvan::cli {

namespace {

std::atomic<int> g_signal{0};

int NumberOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return link::kSignalInterrupt;
        case CTRL_BREAK_EVENT:
            return link::kSignalTerminate;
        default:  // the console closed, the user logs off, the system shuts down
            return link::kSignalHangUp;
    }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int sig = NumberOf(event);
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, sig)) {
        // The user insists: end now.
        static const char kNote[] =
            "orvan-cli: a second stop: ended at once; the board may be part way (the kept "
            "copies are where the first note said)\n";
        DWORD written = 0;
        (void)::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kNote, sizeof kNote - 1, &written,
                          nullptr);
        ::ExitProcess(static_cast<UINT>(128 + sig));
    }
    if (sig == link::kSignalHangUp) {
        // The system ends the program once this returns (or after a few
        // seconds): the time is given to the exchange loop to stop the
        // operation and say where things stand; its end ends the process.
        ::Sleep(4500);
    }
    return TRUE;
}

// Standard input read on a thread of its own: a console read waits for a
// whole line, which the exchange loop must not.
struct TTypedInput {
    std::mutex lock;
    std::deque<char> typed;
    bool ended = false;
    bool started = false;
};

TTypedInput& Typed() {
    static TTypedInput* t = new TTypedInput;  // outlives the detached reader
    return *t;
}

void ReadStdin() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    char buf[128];
    for (;;) {
        DWORD n = 0;
        const BOOL ok = ::ReadFile(in, buf, sizeof buf, &n, nullptr);
        std::lock_guard<std::mutex> hold(Typed().lock);
        if (!ok || n == 0) {
            Typed().ended = true;
            return;
        }
        Typed().typed.insert(Typed().typed.end(), buf, buf + n);
    }
}

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

}  // namespace

TStopRequests::TStopRequests() {
    g_signal = 0;
    (void)::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TStopRequests::~TStopRequests() {
    (void)::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

int StopRequest() {
    return g_signal.load();
}

std::string StopRequestText(int sig) {
    return link::StopSignalText(sig);
}

void KeepRunningWhenReaderGoes() {
    // Windows has no SIGPIPE: a write to a closed pipe fails, as wanted.
}

bool StdinIsTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}

bool StderrIsTerminal() {
    // Not _isatty: it says yes for NUL too.
    return IsConsole(STD_ERROR_HANDLE);
}

long ReadTypedInput(char* buf, std::size_t size) {
    TTypedInput& t = Typed();
    std::lock_guard<std::mutex> hold(t.lock);
    if (!t.started) {
        t.started = true;
        std::thread(ReadStdin).detach();
        return 0;
    }
    if (t.typed.empty()) return t.ended ? -1 : 0;
    std::size_t n = 0;
    while (n < size && !t.typed.empty()) {
        buf[n++] = t.typed.front();
        t.typed.pop_front();
    }
    return static_cast<long>(n);
}

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() > 32768) return {};
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : link::Narrow(path.substr(0, slash + 1));
}

}  // namespace orvan::cli
