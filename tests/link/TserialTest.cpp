#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "link/CustomBaud.h"
#include "link/LineSettings.h"
#include "link/Tserial.h"

using namespace orvan::link;

namespace {

// A pseudo-terminal pair; the slave stands in for a serial device.
struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        char name[128];
        if (ptsname_r(master, name, sizeof name) == 0) slave = name;
    }
    ~Pty() { CloseMaster(); }
    void CloseMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
};

std::int32_t WaitForBytes(Tserial& port, std::int32_t n) {
    for (int i = 0; i < 200 && port.BytesWaiting() < n; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return port.BytesWaiting();
}

TEST(PortName, ComNamesMapToPlatformPortsAndPathsStayAsGiven) {
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM30"), "/dev/ttyS29");
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(ResolvePortName("COM0"), "COM0");
    EXPECT_EQ(ResolvePortName("COMX"), "COMX");
}

TEST(Tserial, NewObjectIsClosed) {
    Tserial port;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetBaudRate(), 0);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_TRUE(port.GetPortName().empty());
}

TEST(Tserial, FailuresLeaveThePortClosedAndHarmless) {
    Tserial port;
    EXPECT_EQ(port.OpenPort(nullptr, 9600, 0), kOpenNoName);
    EXPECT_EQ(port.OpenPort("", 9600, 0), kOpenNoName);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.OpenPort("/dev/does-not-exist-orvan", 9600, 0), kOpenCannotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.OpenPort("COM9999", 9600, 0), kOpenCannotOpen);
    // A file that is no serial device refuses the line settings.
    char tmpl[] = "/tmp/orvan-notatty-XXXXXX";
    const int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(port.OpenPort(tmpl, 9600, 0), kOpenLineFailed);
    EXPECT_FALSE(port.IsOpen());
    ::unlink(tmpl);
    // Closed: writes are dropped, reads give nothing and leave the buffer.
    const std::uint8_t out[] = {1, 2, 3};
    port.WriteBytes(out, 3);
    port.WriteByte(7);
    std::uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(port.ReadBytes(buf, 4), 0);
    EXPECT_EQ(buf[0], 9);
    EXPECT_EQ(port.BytesWaiting(), 0);
    port.ClosePort();
    port.ClosePort();
}

TEST(Tserial, LongComNamesAreCutToTenCharacters) {
    Tserial port;
    EXPECT_EQ(port.OpenPort("COM123456789", 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.GetPortName(), "COM1234567");
    EXPECT_EQ(port.GetDevicePath(), "/dev/ttyS1234566");
}

TEST(Tserial, OpensAPseudoTerminalAt56700Exactly) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    Tserial port;
    ASSERT_EQ(port.OpenPort(pty.slave.c_str(), 56700, 0), kOpenOk);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.SpeedExact());
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetCustomBaud(fd), 56700u);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    ::close(fd);
}

TEST(Tserial, ParitySelectors) {
    struct Case {
        std::uint8_t selector;
        tcflag_t cflag;
        tcflag_t iflag;
    } cases[] = {
        {0, 0, 0}, {1, PARENB | PARODD, INPCK}, {2, PARENB, INPCK}, {3, 0, 0}, {255, 0, 0}};
    for (const Case& c : cases) {
        termios tio{};
        tio.c_cflag = PARENB | PARODD | CSTOPB | CRTSCTS | CS5;
        tio.c_iflag = IXON | IXOFF | INPCK;
        MakeLineSettings(tio, c.selector);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), c.cflag) << int(c.selector);
        EXPECT_EQ(tio.c_iflag & INPCK, c.iflag) << int(c.selector);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
    }
    // Every selector opens a port (pseudo-terminals ignore the parity bits).
    Pty pty;
    for (const Case& c : cases) {
        Tserial port;
        EXPECT_EQ(port.OpenPort(pty.slave.c_str(), 9600, c.selector), kOpenOk);
        EXPECT_EQ(port.GetParity(), c.selector);
    }
}

TEST(Tserial, ABusyPortCannotBeOpenedAndReopeningClosesFirst) {
    Pty pty;
    Tserial first, second;
    ASSERT_EQ(first.OpenPort(pty.slave.c_str(), 9600, 0), kOpenOk);
    EXPECT_EQ(second.OpenPort(pty.slave.c_str(), 9600, 0), kOpenCannotOpen);
    // Opening the same object again releases its first handle (and its lock).
    EXPECT_EQ(first.OpenPort(pty.slave.c_str(), 19200, 0), kOpenOk);
    first.ClosePort();
    EXPECT_EQ(second.OpenPort(pty.slave.c_str(), 9600, 0), kOpenOk);
}

TEST(Tserial, BytesBothWays) {
    Pty pty;
    Tserial port;
    ASSERT_EQ(port.OpenPort(pty.slave.c_str(), 38400, 0), kOpenOk);
    const std::uint8_t msg[] = {0x43, 0x00, 0xFF, 0x0A, 0x0D};
    ASSERT_EQ(::write(pty.master, msg, sizeof msg), 5);
    ASSERT_EQ(WaitForBytes(port, 5), 5);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(port.ReadBytes(buf, 5), 5);
    EXPECT_EQ(std::memcmp(buf, msg, 5), 0);  // raw: no CR/LF translation, zero kept
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(port.ReadBytes(buf, 8), 0);  // nothing waiting: returns at once

    port.WriteBytes(msg, sizeof msg);
    std::uint8_t got[8] = {};
    ssize_t n = 0;
    for (int i = 0; i < 200 && n < 5; ++i) {
        const ssize_t r = ::read(pty.master, got + n, sizeof got - static_cast<std::size_t>(n));
        if (r > 0) n += r;
    }
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::memcmp(got, msg, 5), 0);
}

TEST(Tserial, AVanishedDeviceNeitherCrashesNorBlocks) {
    Pty pty;
    Tserial port;
    ASSERT_EQ(port.OpenPort(pty.slave.c_str(), 9600, 0), kOpenOk);
    pty.CloseMaster();  // the adapter is pulled out
    const auto start = std::chrono::steady_clock::now();
    const std::uint8_t msg[64] = {1};
    for (int i = 0; i < 50; ++i) port.WriteBytes(msg, sizeof msg);
    std::uint8_t buf[16];
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(port.ReadBytes(buf, 16), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // And it says so, with the device and the system's reason.
    EXPECT_NE(port.LostReason().find("the device " + pty.slave + " is gone"), std::string::npos)
        << port.LostReason();
}

TEST(Tserial, OpenFailuresSayWhichAndWhy) {
    Tserial port;
    EXPECT_EQ(port.OpenPort("/dev/no-such-tty", 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen),
              "absent: /dev/no-such-tty does not exist (No such file or directory)");
    Pty pty;
    Tserial first;
    ASSERT_EQ(first.OpenPort(pty.slave.c_str(), 9600, 0), kOpenOk);
    Tserial second;
    EXPECT_EQ(second.OpenPort(pty.slave.c_str(), 9600, 0), kOpenCannotOpen);
    const std::string busy = second.OpenErrorText(kOpenCannotOpen);
    EXPECT_EQ(busy.rfind("busy: " + pty.slave + " is held by another program (", 0), 0u) << busy;
    EXPECT_TRUE(first.LostReason().empty()) << "a working port is not lost";
    // Codes without a recorded reason keep their plain text.
    EXPECT_STREQ(OpenResultText(kOpenLineFailed), second.OpenErrorText(kOpenLineFailed).c_str());
}

}  // namespace
