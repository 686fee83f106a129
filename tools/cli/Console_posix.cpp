#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>

#include "cli/Console.h"
#include "link/StopSignals.h"

namespace orvan::cli {

namespace {

static_assert(SIGINT == link::kSignalInterrupt && SIGTERM == link::kSignalTerminate &&
              SIGHUP == link::kSignalHangUp);

volatile std::sig_atomic_t g_signal = 0;

void OnStopSignal(int sig) {
    if (g_signal != 0) {
        // The user insists: end now. Only async-signal-safe calls here.
        static const char kNote[] =
            "orvan-cli: a second signal: ended at once; the board may be part way (the kept "
            "copies are where the first note said)\n";
        (void)!::write(STDERR_FILENO, kNote, sizeof kNote - 1);
        ::_exit(128 + sig);
    }
    g_signal = sig;
}

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, 3> g_old{};

}  // namespace

TStopRequests::TStopRequests() {
    g_signal = 0;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        (void)::sigaction(kSignals[i], &sa, &g_old[i]);
}

TStopRequests::~TStopRequests() {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        (void)::sigaction(kSignals[i], &g_old[i], nullptr);
}

int StopRequest() {
    return g_signal;
}

std::string StopRequestText(int sig) {
    return link::StopSignalText(sig);
}

void KeepRunningWhenReaderGoes() {
    (void)std::signal(SIGPIPE, SIG_IGN);
}

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

long ReadTypedInput(char* buf, std::size_t size) {
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0) return 0;
    const ssize_t n = ::read(STDIN_FILENO, buf, size);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;  // asked again next tick
    return n > 0 ? static_cast<long>(n) : -1;
}

std::string ProgramFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace orvan::cli
