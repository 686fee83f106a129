#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "link/CustomBaud.h"

namespace orvan::link {

bool SetCustomBaud(int fd, unsigned bps) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_cflag &= ~(CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER << IBSHIFT;
    t.c_ispeed = bps;
    t.c_ospeed = bps;
    if (::ioctl(fd, TCSETS2, &t) != 0) return false;
    struct termios2 check {};
    return ::ioctl(fd, TCGETS2, &check) == 0 && check.c_ospeed == bps;
}

unsigned GetCustomBaud(int fd) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

}  // namespace orvan::link
