// The Winsock calls under TNetPort. Besides the socket, each connection has
// an event that Winsock raises when bytes arrive or the server closes: a
// socket is no descriptor the waiters of fast exchange can wait on, the
// event is.

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
// clang-format on

#include <algorithm>
#include <mutex>

#include "link/NetSocket.h"
#include "link/WinComm.h"

namespace orvan::link::netsys {

namespace {

SOCKET Raw(TSocket s) {
    return static_cast<SOCKET>(s);
}

WSAEVENT RawEvent(std::intptr_t wake) {
    return reinterpret_cast<WSAEVENT>(wake);
}

}  // namespace

TErrorKind Kind(int err) {
    switch (err) {
        case WSAECONNREFUSED:
            return TErrorKind::kRefused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAEHOSTDOWN:
        case WSAENETDOWN:
            return TErrorKind::kUnreachable;
        case WSAETIMEDOUT:
            return TErrorKind::kTimedOut;
        case WSAEACCES:
            return TErrorKind::kAccess;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAESHUTDOWN:
            return TErrorKind::kReset;
        default:
            return TErrorKind::kOther;
    }
}

std::string ErrorText(int err) {
    return win::SystemErrorText(static_cast<DWORD>(err));
}

std::string ResolveErrorText(int rc) {
    // getaddrinfo's results are Winsock error codes.
    return win::SystemErrorText(static_cast<DWORD>(rc));
}

std::string Startup() {
    // Once per process, never undone: the library is needed until the end.
    static std::once_flag once;
    static int rc = 0;
    std::call_once(once, [] {
        WSADATA data{};
        rc = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return rc == 0 ? std::string() : "the network library did not start (" + ErrorText(rc) + ")";
}

TSocket Connect(const TSocketAddress& s, int limitMs, int& err, bool& timedOut) {
    timedOut = false;
    if (const std::string why = Startup(); !why.empty()) {
        err = WSASYSNOTREADY;
        return kNoSocket;
    }
    const SOCKET fd = ::WSASocketW(s.address.ss_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                   WSA_FLAG_NO_HANDLE_INHERIT);
    if (fd == INVALID_SOCKET) {
        err = ::WSAGetLastError();
        return kNoSocket;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(fd, FIONBIO, &nonBlocking) != 0) {
        err = ::WSAGetLastError();
        ::closesocket(fd);
        return kNoSocket;
    }
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&s.address), s.length);
    if (rc != 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        // A refused connection shows in the exception set, not the write set.
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(fd, &writable);
        FD_SET(fd, &failed);
        timeval tv{limitMs / 1000, (limitMs % 1000) * 1000};
        const int r = limitMs > 0 ? ::select(0, nullptr, &writable, &failed, &tv) : 0;
        if (r <= 0) {
            timedOut = true;
            err = WSAETIMEDOUT;
            ::closesocket(fd);
            return kNoSocket;
        }
        int soErr = 0;
        int len = sizeof soErr;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soErr), &len) != 0)
            soErr = ::WSAGetLastError();
        if (soErr == 0 && FD_ISSET(fd, &failed)) soErr = WSAECONNREFUSED;
        rc = soErr == 0 ? 0 : -1;
        if (rc != 0) ::WSASetLastError(soErr);
    }
    if (rc == 0) return static_cast<TSocket>(fd);
    err = ::WSAGetLastError();
    timedOut = err == WSAETIMEDOUT;
    ::closesocket(fd);
    return kNoSocket;
}

void Configure(TSocket s) {
    const BOOL one = TRUE;
    // Frames are small and each waits for its answer: no coalescing delay.
    (void)::setsockopt(Raw(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                       sizeof one);
    // A connection whose other end vanished without a word (a cable pulled,
    // the server's power cut) is found out within seconds, not hours.
    tcp_keepalive keep{1, 5000, 2000};
    DWORD returned = 0;
    (void)::WSAIoctl(Raw(s), SIO_KEEPALIVE_VALS, &keep, sizeof keep, nullptr, 0, &returned, nullptr,
                     nullptr);
}

void Shutdown(TSocket s) {
    (void)::shutdown(Raw(s), SD_BOTH);
}

void Close(TSocket s) {
    ::closesocket(Raw(s));
}

TIo Receive(TSocket s, std::uint8_t* data, std::size_t size, std::size_t& done, int& err) {
    const int n = ::recv(Raw(s), reinterpret_cast<char*>(data),
                         static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n > 0) {
        done = static_cast<std::size_t>(n);
        return TIo::kDone;
    }
    if (n == 0) return TIo::kClosed;
    err = ::WSAGetLastError();
    return err == WSAEWOULDBLOCK ? TIo::kWouldBlock : TIo::kFailed;
}

TIo Send(TSocket s, const std::uint8_t* data, std::size_t size, std::size_t& done, int& err) {
    const int n = ::send(Raw(s), reinterpret_cast<const char*>(data),
                         static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n > 0) {
        done = static_cast<std::size_t>(n);
        return TIo::kDone;
    }
    err = n < 0 ? ::WSAGetLastError() : WSAECONNRESET;
    return err == WSAEWOULDBLOCK ? TIo::kWouldBlock : TIo::kFailed;
}

void Wait(TSocket s, bool writable, int ms) {
    fd_set in, out;
    FD_ZERO(&in);
    FD_ZERO(&out);
    FD_SET(Raw(s), &in);
    if (writable) FD_SET(Raw(s), &out);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    (void)::select(0, &in, writable ? &out : nullptr, nullptr, &tv);
}

std::intptr_t MakeWake(TSocket s) {
    const WSAEVENT e = ::WSACreateEvent();
    if (e == WSA_INVALID_EVENT) return -1;
    // The socket stays non-blocking: WSAEventSelect makes it so anyway.
    if (::WSAEventSelect(Raw(s), e, FD_READ | FD_CLOSE) != 0) {
        ::WSACloseEvent(e);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(e);
}

void SetWake(std::intptr_t wake, bool raised) {
    if (wake == -1) return;
    if (raised)
        ::WSASetEvent(RawEvent(wake));
    else
        ::WSAResetEvent(RawEvent(wake));
}

void DropWake(std::intptr_t wake) {
    if (wake != -1) ::WSACloseEvent(RawEvent(wake));
}

int WaitHandle(TSocket, std::intptr_t wake) {
    // Kernel handles fit in 32 bits, also in a 64-bit process.
    return static_cast<int>(wake);
}

}  // namespace orvan::link::netsys
