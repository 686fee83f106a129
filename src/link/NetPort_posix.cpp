// The POSIX socket calls under TNetPort.

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/NetSocket.h"

namespace orvan::link::netsys {

TErrorKind Kind(int err) {
    switch (err) {
        case ECONNREFUSED:
            return TErrorKind::kRefused;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return TErrorKind::kUnreachable;
        case ETIMEDOUT:
            return TErrorKind::kTimedOut;
        case EACCES:
        case EPERM:
            return TErrorKind::kAccess;
        case ECONNRESET:
        case EPIPE:
            return TErrorKind::kReset;
        default:
            return TErrorKind::kOther;
    }
}

std::string ErrorText(int err) {
    return std::strerror(err);
}

std::string ResolveErrorText(int rc) {
    return ::gai_strerror(rc);
}

std::string Startup() {
    return {};
}

TSocket Connect(const TSocketAddress& s, int limitMs, int& err, bool& timedOut) {
    timedOut = false;
    const int fd = ::socket(s.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        err = errno;
        return kNoSocket;
    }
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&s.address), s.length);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        for (;;) {
            // A signal shortens the wait; the connection gets no more time for it.
            const int r = limitMs > 0 ? ::poll(&p, 1, limitMs) : 0;
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                errno = ETIMEDOUT;
                timedOut = true;
                break;
            }
            int soErr = 0;
            socklen_t len = sizeof soErr;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len) != 0) soErr = errno;
            errno = soErr;
            rc = soErr == 0 ? 0 : -1;
            break;
        }
    }
    if (rc == 0) return fd;
    err = errno;
    timedOut = timedOut || err == ETIMEDOUT;
    ::close(fd);
    return kNoSocket;
}

void Configure(TSocket s) {
    const int fd = static_cast<int>(s);
    const int one = 1;
    // Frames are small and each waits for its answer: no coalescing delay.
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A connection whose other end vanished without a word (a cable pulled,
    // the server's power cut) is found out within seconds, not hours.
    (void)::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    const int idle = 5, interval = 2, count = 3;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    const unsigned userTimeoutMs = 10000;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

void Shutdown(TSocket s) {
    (void)::shutdown(static_cast<int>(s), SHUT_RDWR);
}

void Close(TSocket s) {
    ::close(static_cast<int>(s));
}

TIo Receive(TSocket s, std::uint8_t* data, std::size_t size, std::size_t& done, int& err) {
    for (;;) {
        const ssize_t n = ::recv(static_cast<int>(s), data, size, MSG_DONTWAIT);
        if (n > 0) {
            done = static_cast<std::size_t>(n);
            return TIo::kDone;
        }
        if (n == 0) return TIo::kClosed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return TIo::kWouldBlock;
        err = errno;
        return TIo::kFailed;
    }
}

TIo Send(TSocket s, const std::uint8_t* data, std::size_t size, std::size_t& done, int& err) {
    for (;;) {
        const ssize_t n = ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done = static_cast<std::size_t>(n);
            return TIo::kDone;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return TIo::kWouldBlock;
        err = n < 0 ? errno : EPIPE;
        return TIo::kFailed;
    }
}

void Wait(TSocket s, bool writable, int ms) {
    pollfd p{static_cast<int>(s), static_cast<short>(POLLIN | (writable ? POLLOUT : 0)), 0};
    (void)::poll(&p, 1, ms);
}

// A socket is its own descriptor here: nothing to raise.
std::intptr_t MakeWake(TSocket) {
    return -1;
}
void SetWake(std::intptr_t, bool) {}
void DropWake(std::intptr_t) {}

int WaitHandle(TSocket s, std::intptr_t) {
    return static_cast<int>(s);
}

}  // namespace orvan::link::netsys
