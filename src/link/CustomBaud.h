#pragma once
// Arbitrary line rates through the kernel's termios2 interface. Its header
// clashes with <termios.h>, so it has a translation unit of its own.

namespace orvan::link {

// Sets both directions of the open tty to exactly `bps`; false when the driver
// refuses. Other line settings are left as they are.
bool SetCustomBaud(int fd, unsigned bps);
// The rate the driver reports for the tty (output direction), 0 when unknown.
unsigned GetCustomBaud(int fd);

}  // namespace orvan::link
