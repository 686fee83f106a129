// The Windows serial backend's pieces that need no port: the names a
// technician types, the line settings handed to the driver, what the
// system's error codes tell the user, and the device database's ids.

#include <gtest/gtest.h>

#include <cstring>

#include "link/Tserial.h"
#include "link/WinComm.h"

using namespace orvan::link;

namespace {

// A DCB's bit fields promote to int; compared as what they hold.
unsigned Bit(int field) {
    return static_cast<unsigned>(field);
}

}  // namespace

TEST(WinComm, PortNamesAreTakenOrRefused) {
    struct Case {
        const char* typed;
        const char* device;  // empty: refused
    };
    const Case cases[] = {
        {"COM3", "\\\\.\\COM3"},
        {"com3", "\\\\.\\COM3"},
        {"Com12", "\\\\.\\COM12"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\.\\com250", "\\\\.\\COM250"},
        {"COM9999", "\\\\.\\COM9999"},
        {"COM0", ""},
        {"COM03", ""},  // the system has no such name
        {"COM", ""},
        {"COM10000", ""},
        {"COM3 ", ""},
        {"COM-1", ""},
        {"COMX", ""},
        {"LPT1", ""},
        {"/dev/ttyUSB0", ""},
        {"\\\\.\\", ""},
        {"\\\\?\\COM3", ""},
        {"tcp://host:4001", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolvePortName(c.typed), c.device) << c.typed;
}

TEST(WinComm, OpeningARefusedNameSaysWhatIsWantedAndTouchesNoDevice) {
    Tserial port;
    for (const char* name : {"/dev/ttyS0", "COM0", "NUL"}) {
        EXPECT_EQ(port.OpenPort(name, 56700, 0), kOpenCannotOpen) << name;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.Descriptor(), -1);
        const std::string why = port.OpenErrorText(kOpenCannotOpen);
        EXPECT_NE(why.find("not a serial port name"), std::string::npos) << why;
        EXPECT_NE(why.find("COM1"), std::string::npos) << why;
    }
    // A name with control characters is quoted safely.
    EXPECT_EQ(port.OpenPort("C\x1b[2JOM", 9600, 0), kOpenCannotOpen);
    EXPECT_EQ(port.OpenErrorText(kOpenCannotOpen).find('\x1b'), std::string::npos);
    EXPECT_EQ(port.OpenPort("", 9600, 0), kOpenNoName);
}

TEST(WinComm, TheDcbAsksForARawLineWithoutFlowControl) {
    struct Case {
        std::uint32_t speed;
        std::uint8_t parity;
        BYTE dcbParity;
    };
    const Case cases[] = {{9600, 0, NOPARITY},
                          {19200, 1, ODDPARITY},
                          {38400, 2, EVENPARITY},
                          {56700, 0, NOPARITY},
                          {56700, 7, NOPARITY}};
    for (const Case& c : cases) {
        // Start from everything set, as a driver left by another program may be.
        DCB dcb;
        std::memset(&dcb, 0xFF, sizeof dcb);
        win::FillLineDcb(dcb, c.speed, c.parity);
        SCOPED_TRACE(std::to_string(c.speed) + "/" + std::to_string(c.parity));
        EXPECT_EQ(dcb.DCBlength, sizeof dcb);
        EXPECT_EQ(dcb.BaudRate, c.speed);  // 56700 as asked: the driver decides
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(dcb.Parity, c.dcbParity);
        EXPECT_EQ(Bit(dcb.fParity), c.dcbParity != NOPARITY ? 1u : 0u);
        EXPECT_EQ(Bit(dcb.fBinary), 1u);
        EXPECT_EQ(Bit(dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fOutX | dcb.fInX), 0u);
        EXPECT_EQ(Bit(dcb.fDtrControl), static_cast<unsigned>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(Bit(dcb.fRtsControl), static_cast<unsigned>(RTS_CONTROL_DISABLE));
        EXPECT_EQ(Bit(dcb.fDsrSensitivity | dcb.fErrorChar | dcb.fNull | dcb.fAbortOnError), 0u);
    }
    EXPECT_EQ(win::NearestStandardRate(56700), 57600u);
    EXPECT_EQ(win::NearestStandardRate(9600), 9600u);
}

TEST(WinComm, ErrorsAreSaidAsAbsentBusyOrGone) {
    struct Case {
        DWORD err;
        const char* opening;  // the start of the open failure's text
        bool gone;            // on an open handle: the line is lost
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, "absent: COM7 does not exist (", true},
        {ERROR_PATH_NOT_FOUND, "absent: COM7", false},
        {ERROR_ACCESS_DENIED, "busy: COM7 is held by another program (", true},
        {ERROR_SHARING_VIOLATION, "busy: COM7", false},
        {ERROR_BAD_COMMAND, "COM7 cannot be opened: ", true},
        {ERROR_DEVICE_REMOVED, "COM7 cannot be opened: ", true},
        {ERROR_OPERATION_ABORTED, "COM7 cannot be opened: ", true},
        {ERROR_GEN_FAILURE, "COM7 cannot be opened: ", true},
        {ERROR_INVALID_PARAMETER, "COM7 cannot be opened: ", false},
        {ERROR_IO_PENDING, "COM7 cannot be opened: ", false},
    };
    for (const Case& c : cases) {
        const std::string text = win::OpenFailureText(c.err, "COM7");
        EXPECT_EQ(text.rfind(c.opening, 0), 0u) << c.err << ": " << text;
        // The system's code is always there, whatever its words.
        EXPECT_NE(text.find("error " + std::to_string(c.err) + ")"), std::string::npos) << text;
        EXPECT_EQ(win::CommErrorMeansGone(c.err), c.gone) << c.err;
    }
    EXPECT_EQ(win::SystemErrorText(0xDEAD0000u).find("error "), 0u);
}

TEST(WinComm, DeviceIdsGiveTheAdaptersNumbersAndSerial) {
    struct Case {
        const char* id;
        const char* vendor;
        const char* product;
        const char* serial;
    };
    const Case cases[] = {
        {"USB\\VID_0403&PID_6001\\A10K3ZQ4", "0403", "6001", "A10K3ZQ4"},
        {"USB\\VID_1A86&PID_7523\\5&2A3B1C&0&2", "1a86", "7523", ""},  // made from the place
        {"usb\\vid_067b&pid_2303&rev_0300", "067b", "2303", ""},
        {"FTDIBUS\\VID_0403+PID_6001+A10K3ZQ4A\\0000", "0403", "6001", ""},
        {"ACPI\\PNP0501\\1", "", "", ""},
        {"USB\\VID_04G3&PID_6001\\X", "", "", "X"},  // not hexadecimal
        {"USB\\VID_0403&PID_60", "", "", ""},
        {"USB\\VID_0403&PID_6001\\A\x01\xC3", "0403", "6001", "A??"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        const win::TUsbIds ids = win::ParseUsbIds(c.id);
        EXPECT_EQ(ids.vendorId, c.vendor) << c.id;
        EXPECT_EQ(ids.productId, c.product) << c.id;
        EXPECT_EQ(win::SerialFromInstanceId(c.id), c.serial) << c.id;
    }
}

TEST(WinComm, PortsAreListedInTheOrderOfTheirNumbers) {
    EXPECT_EQ(win::SortComNames({"COM10", "COM2", "COM1", "com2", "LPT1", "COM0", "\\\\.\\COM4"}),
              (std::vector<std::string>{"COM1", "COM2", "COM10"}));
}
