// The termios side of Tserial. Kept apart from the engine so that the
// operating-system calls live in one file.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/CustomBaud.h"
#include "link/LineSettings.h"
#include "link/Tserial.h"

namespace orvan::link {

std::string ResolvePortName(const std::string& name) {
    if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0)) {
        const std::string digits = name.substr(3);
        bool allDigits = !digits.empty() && digits.size() <= 7;
        for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits) {
            const int n = std::atoi(digits.c_str());
            if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return name;
}

const char* OpenResultText(std::int32_t code) {
    switch (code) {
        case kOpenOk:
            return "port open";
        case kOpenFlushFailed:
            return "the port's pending data could not be discarded";
        case kOpenModeFailed:
            return "the port's read mode could not be set";
        case kOpenLineFailed:
            return "the line parameters were refused (not a serial device?)";
        case kOpenCannotOpen:
            return "the port cannot be opened (absent, busy or no access)";
        case kOpenNoName:
            return "no port name given";
        default:
            return "unknown result";
    }
}

namespace {

speed_t StandardSpeed(std::int32_t bps) {
    switch (bps) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return 0;
    }
}

// The standard rate nearest to bps, for drivers that refuse a custom rate.
speed_t NearestStandardSpeed(std::int32_t bps) {
    static const std::int32_t rates[] = {1200,  2400,  4800,   9600,  19200,
                                         38400, 57600, 115200, 230400};
    std::int32_t best = rates[0];
    for (std::int32_t r : rates)
        if (std::labs(static_cast<long>(r) - bps) < std::labs(static_cast<long>(best) - bps))
            best = r;
    return StandardSpeed(best);
}

}  // namespace

void MakeLineSettings(termios& tio, std::uint8_t parity) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (parity == 1 || parity == 2) {
        tio.c_cflag |= PARENB;
        if (parity == 1) tio.c_cflag |= PARODD;
        tio.c_iflag |= INPCK;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

Tserial::Tserial() = default;

Tserial::~Tserial() {
    Tserial::ClosePort();
}

bool Tserial::IsOpen() const {
    return Handle >= 0;
}

int Tserial::Descriptor() const {
    return Handle;
}

std::int32_t Tserial::OpenPort(const char* name, std::int32_t speed, std::uint8_t parity) {
    ClosePort();
    if (name == nullptr || name[0] == '\0') return kOpenNoName;

    PortName = name;
    // The ten-character limit belongs to "COMn" names; a device path is taken whole.
    if (PortName[0] != '/' && PortName.size() > kMaxComNameLength)
        PortName.resize(kMaxComNameLength);
    BaudRate = speed;
    Parity = parity;
    DevicePath = ResolvePortName(PortName);
    speedExact = false;

    std::int32_t result = kOpenOk;
    openError_.clear();
    lost_.clear();
    Handle = ::open(DevicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Handle < 0) {
        const int err = errno;
        const std::string reason = std::strerror(err);
        switch (err) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                openError_ = "absent: " + DevicePath + " does not exist (" + reason + ")";
                break;
            case EACCES:
            case EPERM:
            case EROFS:
                openError_ = "no access: " + DevicePath + " (" + reason +
                             "); the user needs read and write access to it, usually through "
                             "the dialout group";
                break;
            case EBUSY:
                openError_ = "busy: " + DevicePath + " is held by another program (" + reason + ")";
                break;
            default:
                openError_ = DevicePath + " cannot be opened: " + reason;
                break;
        }
        return kOpenCannotOpen;
    }

    // No sharing: a port another program holds is busy.
    if (::flock(Handle, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        openError_ =
            "busy: " + DevicePath + " is held by another program (" + std::strerror(err) + ")";
        ClosePort();
        return kOpenCannotOpen;
    }
    (void)::ioctl(Handle, TIOCEXCL);

    if (::tcflush(Handle, TCIOFLUSH) != 0) result = kOpenFlushFailed;

    const int flags = ::fcntl(Handle, F_GETFL);
    if (flags < 0 || ::fcntl(Handle, F_SETFL, flags | O_NONBLOCK) != 0) result = kOpenModeFailed;

    bool lineOk = false;
    termios tio{};
    if (::tcgetattr(Handle, &tio) == 0) {
        MakeLineSettings(tio, parity);
        const speed_t standard = StandardSpeed(speed);
        if (standard != 0) {
            ::cfsetispeed(&tio, standard);
            ::cfsetospeed(&tio, standard);
            lineOk = ::tcsetattr(Handle, TCSANOW, &tio) == 0;
            speedExact = lineOk;
        } else if (speed > 0) {
            // Rates outside the table (56700 among them) go through the
            // driver's custom-rate interface; a driver that refuses it gets the
            // nearest standard rate, which for 56700 is 57600 (1.6 % off, inside
            // what a UART tolerates).
            ::cfsetispeed(&tio, B38400);
            ::cfsetospeed(&tio, B38400);
            lineOk = ::tcsetattr(Handle, TCSANOW, &tio) == 0;
            if (lineOk && SetCustomBaud(Handle, static_cast<unsigned>(speed))) {
                speedExact = true;
            } else if (lineOk) {
                const speed_t nearest = NearestStandardSpeed(speed);
                ::cfsetispeed(&tio, nearest);
                ::cfsetospeed(&tio, nearest);
                lineOk = ::tcsetattr(Handle, TCSANOW, &tio) == 0;
            }
        }
    }
    if (!lineOk) result = kOpenLineFailed;

    // Modem lines held low, as the board expects with DTR and RTS control off.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(Handle, TIOCMBIC, &lines);

    if (result != kOpenOk) ClosePort();
    return result;
}

std::string Tserial::OpenErrorText(std::int32_t code) const {
    if (code == kOpenCannotOpen && !openError_.empty()) return openError_;
    return OpenResultText(code);
}

void Tserial::NoteLost(const char* what, int err) {
    if (!lost_.empty()) return;
    lost_ = "the device " + DevicePath + " is gone (" + what + ": " + std::strerror(err) + ")";
}

namespace {

// Errors after which the device will not come back on this handle.
bool DeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

}  // namespace

void Tserial::ClosePort() {
    if (Handle >= 0) {
        // Exclusivity outlives the handle while anyone else keeps the device
        // open (a simulator holds its pseudo-terminal); hand the port back.
        (void)::ioctl(Handle, TIOCNXCL);
        ::close(Handle);
        Handle = -1;
    }
}

void Tserial::WriteBytes(const std::uint8_t* data, std::size_t count) {
    if (Handle < 0 || data == nullptr) return;
    std::size_t done = 0;
    int stalls = 0;
    while (done < count) {
        const ssize_t n = ::write(Handle, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && DeviceGone(errno)) {
            NoteLost("write", errno);
            return;
        }
        // A full output queue gets a short wait; a line that stays blocked
        // drops the rest: the engine's receive time-out reports the failed
        // exchange.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls <= 20) {
            pollfd p{Handle, POLLOUT, 0};
            (void)::poll(&p, 1, 10);
            continue;
        }
        return;
    }
}

std::int32_t Tserial::ReadBytes(std::uint8_t* dest, std::int32_t count) {
    if (Handle < 0 || dest == nullptr || count <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(Handle, dest, static_cast<std::size_t>(count));
        if (n >= 0) return static_cast<std::int32_t>(n);
        if (errno == EINTR) continue;
        if (DeviceGone(errno)) NoteLost("read", errno);
        return 0;
    }
}

std::int32_t Tserial::BytesWaiting() {
    if (Handle < 0) return 0;
    int waiting = 0;
    if (::ioctl(Handle, FIONREAD, &waiting) != 0) {
        if (DeviceGone(errno)) NoteLost("status", errno);
        return 0;
    }
    if (waiting == 0 && lost_.empty()) {
        // A hung-up line (an unplugged adapter, the far end of a
        // pseudo-terminal closed) reads as quiet; poll tells it apart.
        pollfd p{Handle, POLLIN, 0};
        if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            lost_ = "the device " + DevicePath + " is gone (the line hung up)";
    }
    return waiting < 0 ? 0 : waiting;
}

}  // namespace orvan::link
