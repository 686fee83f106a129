// The Win32 side of Tserial: a comm handle opened for overlapped I/O, so that
// reads return what waits at once and fast exchange sleeps on the port's
// comm events instead of asking again and again.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "link/Tserial.h"
#include "link/WinComm.h"
#include "link/WinText.h"

namespace orvan::link {

namespace win {

std::optional<unsigned> ParseComNumber(const std::string& name) {
    std::string rest = name;
    if (rest.rfind("\\\\.\\", 0) == 0) rest.erase(0, 4);
    if (rest.size() < 4 || rest.size() > 7) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(rest[i])) != "COM"[i]) return std::nullopt;
    unsigned n = 0;
    for (std::size_t i = 3; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(rest[i] - '0');
    }
    if (rest[3] == '0' || n == 0) return std::nullopt;
    return n;
}

void FillLineDcb(DCB& dcb, std::uint32_t speed, std::uint8_t parity) {
    dcb.DCBlength = sizeof dcb;
    // The DCB holds any rate: whether the driver takes it is SetCommState's
    // answer.
    dcb.BaudRate = speed;
    dcb.fBinary = TRUE;
    dcb.fParity = (parity == 1 || parity == 2) ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;  // a zero byte is data
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // A framing or parity error must not stop every later read until it is
    // cleared: the frame's checksum tells the exchange what was lost.
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = parity == 1 ? ODDPARITY : parity == 2 ? EVENPARITY : NOPARITY;
    dcb.StopBits = ONESTOPBIT;
}

std::uint32_t NearestStandardRate(std::uint32_t bps) {
    static const std::uint32_t rates[] = {1200,  2400,  4800,   9600,  19200,
                                          38400, 57600, 115200, 230400};
    std::uint32_t best = rates[0];
    const auto d = [bps](std::uint32_t x) { return x > bps ? x - bps : bps - x; };
    for (std::uint32_t r : rates)
        if (d(r) < d(best)) best = r;
    return best;
}

bool CommErrorMeansGone(DWORD err) {
    switch (err) {
        case ERROR_ACCESS_DENIED:  // USB serial drivers, once unplugged
        case ERROR_BAD_COMMAND:    // the device no longer takes commands
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_OPERATION_ABORTED:  // the driver ended every pending operation
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
        case ERROR_INVALID_HANDLE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_BROKEN_PIPE:
            return true;
        default:
            return false;
    }
}

std::string SystemErrorText(DWORD err) {
    // The serial messages carry the code too, so a technician can look it up.
    const std::string code = "error " + std::to_string(err);
    const std::string text = link::SystemErrorText(err);
    return text == code ? code : text + " (" + code + ")";
}

std::string OpenFailureText(DWORD err, const std::string& portName) {
    const std::string reason = SystemErrorText(err);
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEVICE_NOT_CONNECTED:
            return "absent: " + portName + " does not exist (" + reason + ")";
        // Every program opens a port without sharing, so a port someone
        // holds answers "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return "busy: " + portName + " is held by another program (" + reason + ")";
        default:
            return portName + " cannot be opened: " + reason;
    }
}

}  // namespace win

std::string ResolvePortName(const std::string& name) {
    const std::optional<unsigned> n = win::ParseComNumber(name);
    return n ? "\\\\.\\COM" + std::to_string(*n) : std::string();
}

const char* OpenResultText(std::int32_t code) {
    switch (code) {
        case kOpenOk:
            return "port open";
        case kOpenFlushFailed:
            return "the port's pending data could not be discarded";
        case kOpenModeFailed:
            return "the port's read time-outs could not be set";
        case kOpenLineFailed:
            return "the line parameters were refused (not a serial port?)";
        case kOpenCannotOpen:
            return "the port cannot be opened (absent, busy or no access)";
        case kOpenNoName:
            return "no port name given";
        default:
            return "unknown result";
    }
}

struct Tserial::TWin {
    HANDLE comm = INVALID_HANDLE_VALUE;
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    HANDLE waitEvent = nullptr;
    // A comm-event wait still running from an earlier WaitReadable; the
    // system writes its OVERLAPPED and mask until it ends.
    bool waitPending = false;
    bool waitBroken = false;  // the driver cannot wait on comm events
    OVERLAPPED waitOv{};
    DWORD waitMask = 0;

    ~TWin() {
        for (HANDLE e : {readEvent, writeEvent, waitEvent})
            if (e != nullptr) ::CloseHandle(e);
    }
};

namespace {

// What a user reads for the port: "COM5" rather than "\\.\COM5".
std::string ShortName(const std::string& devicePath) {
    return devicePath.rfind("\\\\.\\", 0) == 0 ? devicePath.substr(4) : devicePath;
}

// A name as it may be quoted: control characters and non-ASCII bytes shown
// as '?', long names cut.
std::string Shown(const std::string& name) {
    std::string s;
    for (const char c : name.substr(0, 60))
        s +=
            static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F ? c : '?';
    if (name.size() > 60) s += "...";
    return s;
}

// Ends an overlapped operation begun on `h`: waits at most `limitMs` for it,
// cancels it past that. False with `err` set when it failed or was cancelled.
bool Finish(HANDLE h, OVERLAPPED& ov, DWORD limitMs, DWORD& done, DWORD& err) {
    if (::WaitForSingleObject(ov.hEvent, limitMs) != WAIT_OBJECT_0) {
        ::CancelIo(h);
        // After CancelIo the operation ends at once, done or aborted.
        (void)::GetOverlappedResult(h, &ov, &done, TRUE);
        err = WAIT_TIMEOUT;
        return false;
    }
    if (!::GetOverlappedResult(h, &ov, &done, FALSE)) {
        err = ::GetLastError();
        return false;
    }
    return true;
}

}  // namespace

Tserial::Tserial() = default;

Tserial::~Tserial() {
    Tserial::ClosePort();
}

bool Tserial::IsOpen() const {
    return win_ != nullptr && win_->comm != INVALID_HANDLE_VALUE;
}

int Tserial::Descriptor() const {
    // Kernel handles fit in 32 bits, also in a 64-bit process.
    return IsOpen() ? static_cast<int>(reinterpret_cast<std::intptr_t>(win_->waitEvent)) : -1;
}

std::int32_t Tserial::OpenPort(const char* name, std::int32_t speed, std::uint8_t parity) {
    ClosePort();
    if (name == nullptr || name[0] == '\0') return kOpenNoName;

    PortName = name;
    BaudRate = speed;
    Parity = parity;
    DevicePath = ResolvePortName(PortName);
    speedExact = false;
    openError_.clear();
    lost_.clear();
    if (DevicePath.empty()) {
        openError_ = "not a serial port name: \"" + Shown(PortName) +
                     "\"; give the port as Windows names it: COM1, COM2, ... (or \\\\.\\COM12)";
        return kOpenCannotOpen;
    }
    const std::string shown = ShortName(DevicePath);
    if (speed <= 0) {
        openError_ = "no speed given for " + shown;
        return kOpenLineFailed;
    }

    auto w = std::make_unique<TWin>();
    const std::wstring wide(DevicePath.begin(), DevicePath.end());  // ASCII by construction
    // No sharing: a port another program holds is busy.
    w->comm = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (w->comm == INVALID_HANDLE_VALUE) {
        openError_ = win::OpenFailureText(::GetLastError(), shown);
        return kOpenCannotOpen;
    }
    w->readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w->writeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w->waitEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    win_ = std::move(w);
    if (win_->readEvent == nullptr || win_->writeEvent == nullptr || win_->waitEvent == nullptr) {
        openError_ = shown + " cannot be used: " + win::SystemErrorText(::GetLastError());
        ClosePort();
        return kOpenCannotOpen;
    }
    const HANDLE h = win_->comm;

    std::int32_t result = kOpenOk;
    (void)::SetupComm(h, 4096, 4096);
    if (!::PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        result = kOpenFlushFailed;

    // Reads return at once with what waits; a write the line does not take
    // within a second (plus its transmission time) ends there.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 2;
    t.WriteTotalTimeoutConstant = 1000;
    if (!::SetCommTimeouts(h, &t)) {
        result = kOpenModeFailed;
        openError_ = "the read time-outs of " + shown + " were refused (" +
                     win::SystemErrorText(::GetLastError()) + ")";
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool lineOk = false;
    if (!::GetCommState(h, &dcb)) {
        openError_ = "the line settings of " + shown + " cannot be read (" +
                     win::SystemErrorText(::GetLastError()) + ")";
    } else {
        const auto want = static_cast<std::uint32_t>(speed);
        win::FillLineDcb(dcb, want, parity);
        lineOk = ::SetCommState(h, &dcb) != 0;
        DWORD err = lineOk ? 0 : ::GetLastError();
        const std::uint32_t nearest = win::NearestStandardRate(want);
        if (!lineOk && nearest != want) {
            // Rates outside the standard ones (56700 among them) are taken
            // by most USB adapters; a driver that refuses gets the nearest
            // standard rate, as on Linux.
            dcb.BaudRate = nearest;
            lineOk = ::SetCommState(h, &dcb) != 0;
            err = lineOk ? 0 : ::GetLastError();
        }
        if (!lineOk) {
            openError_ = "the line settings (" + std::to_string(speed) + " bit/s, 8N1) of " +
                         shown + " were refused (" + win::SystemErrorText(err) + ")";
        } else {
            DCB check{};
            check.DCBlength = sizeof check;
            speedExact = ::GetCommState(h, &check) != 0 && check.BaudRate == want;
        }
    }
    if (!lineOk) result = kOpenLineFailed;
    // Modem lines held low, as the board expects with DTR and RTS control off.
    (void)::EscapeCommFunction(h, CLRDTR);
    (void)::EscapeCommFunction(h, CLRRTS);
    if (result == kOpenOk && !::SetCommMask(h, EV_RXCHAR)) {
        result = kOpenModeFailed;
        openError_ = "the receive events of " + shown + " cannot be waited on (" +
                     win::SystemErrorText(::GetLastError()) + ")";
    }

    if (result != kOpenOk) {
        ClosePort();
        return result;
    }
    Rearm(0);
    return kOpenOk;
}

std::string Tserial::OpenErrorText(std::int32_t code) const {
    if (code != kOpenOk && !openError_.empty()) return openError_;
    return OpenResultText(code);
}

void Tserial::NoteLost(const char* what, unsigned long err) {
    if (!lost_.empty()) return;
    lost_ = "the device " + ShortName(DevicePath) + " is gone (" + what + ": " +
            win::SystemErrorText(err) + ")";
    // A line that is gone stays "readable": the waiter wakes and the tick
    // finds out why.
    if (win_ && win_->waitEvent != nullptr) ::SetEvent(win_->waitEvent);
}

void Tserial::ClosePort() {
    if (!win_) return;
    if (win_->comm != INVALID_HANDLE_VALUE) {
        if (win_->waitPending) {
            // A new mask ends the pending wait; it must be over before its
            // OVERLAPPED goes away.
            (void)::SetCommMask(win_->comm, 0);
            DWORD n = 0;
            if (::WaitForSingleObject(win_->waitEvent, 1000) != WAIT_OBJECT_0)
                (void)::CancelIo(win_->comm);
            (void)::GetOverlappedResult(win_->comm, &win_->waitOv, &n, TRUE);
            win_->waitPending = false;
        }
        ::CloseHandle(win_->comm);
    }
    win_.reset();
}

void Tserial::WriteBytes(const std::uint8_t* data, std::size_t count) {
    if (!IsOpen() || data == nullptr || !lost_.empty()) return;
    std::size_t sent = 0;
    while (sent < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - sent, 65536));
        OVERLAPPED ov{};
        ov.hEvent = win_->writeEvent;
        ::ResetEvent(ov.hEvent);
        DWORD done = 0;
        if (!::WriteFile(win_->comm, data + sent, chunk, &done, &ov)) {
            DWORD err = ::GetLastError();
            // The line's own write time-out ends the operation first; this
            // limit only guards against a driver that ignores it.
            if (err != ERROR_IO_PENDING || !Finish(win_->comm, ov, 5000, done, err)) {
                if (win::CommErrorMeansGone(err)) NoteLost("write", err);
                // A line that stays blocked drops the rest: the engine's
                // receive time-out reports the failed exchange.
                return;
            }
        }
        if (done == 0) return;
        sent += done;
    }
}

std::int32_t Tserial::ReadBytes(std::uint8_t* dest, std::int32_t count) {
    if (!IsOpen() || dest == nullptr || count <= 0 || !lost_.empty()) return 0;
    OVERLAPPED ov{};
    ov.hEvent = win_->readEvent;
    ::ResetEvent(ov.hEvent);
    DWORD done = 0;
    if (!::ReadFile(win_->comm, dest, static_cast<DWORD>(count), &done, &ov)) {
        DWORD err = ::GetLastError();
        // The time-outs make a read end at once; the limit guards against a
        // driver that lets it wait anyway.
        if (err != ERROR_IO_PENDING || !Finish(win_->comm, ov, 200, done, err)) {
            if (win::CommErrorMeansGone(err)) NoteLost("read", err);
            return done > 0 ? static_cast<std::int32_t>(done) : 0;
        }
    }
    // Fewer than asked: the queue is empty now, and the event must say so.
    if (done < static_cast<DWORD>(count)) Rearm(0);
    return static_cast<std::int32_t>(done);
}

std::int32_t Tserial::BytesWaiting() {
    if (!IsOpen() || !lost_.empty()) return 0;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(win_->comm, &errors, &stat)) {
        const DWORD err = ::GetLastError();
        if (win::CommErrorMeansGone(err)) NoteLost("status", err);
        return 0;
    }
    const auto queued = static_cast<std::int32_t>(std::min<DWORD>(stat.cbInQue, 0x7FFFFFFF));
    Rearm(queued);
    return queued;
}

// A comm-event wait that failed: the line is lost when the port itself no
// longer answers; otherwise the driver cannot wait (some cannot tell modem
// lines, as on a pseudo-terminal behind an emulation layer), and fast
// exchange goes by the tick instead.
void Tserial::WaitFailed() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(win_->comm, &errors, &stat)) {
        const DWORD statusErr = ::GetLastError();
        if (win::CommErrorMeansGone(statusErr)) {
            NoteLost("wait", statusErr);
            return;
        }
    }
    win_->waitBroken = true;
}

void Tserial::Rearm(std::int32_t queued) {
    TWin& w = *win_;
    if (queued > 0 || !lost_.empty()) {
        ::SetEvent(w.waitEvent);
        return;
    }
    ::ResetEvent(w.waitEvent);
    if (w.waitBroken) return;
    // Whatever ends from here on signals the event again by itself.
    if (w.waitPending && HasOverlappedIoCompleted(&w.waitOv)) {
        DWORD n = 0;
        w.waitPending = false;
        if (!::GetOverlappedResult(w.comm, &w.waitOv, &n, FALSE)) {
            WaitFailed();
            if (w.waitBroken || !lost_.empty()) return;
        }
    }
    if (!w.waitPending) {
        w.waitOv = OVERLAPPED{};
        w.waitOv.hEvent = w.waitEvent;
        w.waitMask = 0;
        if (::WaitCommEvent(w.comm, &w.waitMask, &w.waitOv)) {
            ::SetEvent(w.waitEvent);  // a byte came already
            return;
        }
        if (::GetLastError() != ERROR_IO_PENDING) {
            WaitFailed();
            return;
        }
        w.waitPending = true;
    }
    // A byte that came between the caller's count and the wait's start
    // raised no event: it is looked for once more.
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(w.comm, &errors, &stat) && stat.cbInQue > 0) ::SetEvent(w.waitEvent);
}

}  // namespace orvan::link
