#pragma once
// The system's socket calls under TNetPort (NetPort.cpp): POSIX sockets in
// NetPort_posix.cpp, Winsock in NetPort_win.cpp. Error codes are the
// system's own (errno, WSAGetLastError).

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/NetPort.h"

namespace orvan::link::netsys {

using TSocket = std::intptr_t;
inline constexpr TSocket kNoSocket = -1;

// What TNetPort tells apart in its messages.
enum class TErrorKind { kRefused, kUnreachable, kTimedOut, kAccess, kReset, kOther };
TErrorKind Kind(int err);
std::string ErrorText(int err);
// The name service's reason for a getaddrinfo result.
std::string ResolveErrorText(int rc);

// Empty when the socket library is ready (started once on Windows), else why not.
std::string Startup();

// A non-blocking socket connected to `address` within `limitMs`, or
// kNoSocket with `err` (and `timedOut` when the time ran out).
TSocket Connect(const TSocketAddress& address, int limitMs, int& err, bool& timedOut);
// No coalescing delay; a peer that vanished without a word found out within seconds.
void Configure(TSocket s);
void Shutdown(TSocket s);
void Close(TSocket s);

enum class TIo { kDone, kWouldBlock, kClosed, kFailed };
// Moves at most `size` bytes without blocking; `done` gets the count.
TIo Receive(TSocket s, std::uint8_t* data, std::size_t size, std::size_t& done, int& err);
TIo Send(TSocket s, const std::uint8_t* data, std::size_t size, std::size_t& done, int& err);
// Waits at most `ms` for the socket to become readable (or writable).
void Wait(TSocket s, bool writable, int ms);

// Windows: an event signalled when bytes arrive or the peer closes, which
// Descriptor() hands to the waiters; -1 elsewhere. SetWake raises or clears it.
std::intptr_t MakeWake(TSocket s);
void SetWake(std::intptr_t wake, bool raised);
void DropWake(std::intptr_t wake);
// What Descriptor() hands over: the socket, or on Windows its event; -1 for none.
int WaitHandle(TSocket s, std::intptr_t wake);

}  // namespace orvan::link::netsys
