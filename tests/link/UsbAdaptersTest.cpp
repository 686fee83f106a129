// The USB adapters' descriptions: what the port menu shows for each device,
// text from the device database made safe to show, and the system's database
// answering nothing (rather than failing) for devices that are not on USB.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>

#include "link/UsbAdapters.h"

using namespace orvan::link;

namespace {

struct FakeAdapters : IUsbAdapterInfo {
    std::optional<TUsbAdapter> Describe(const std::string& path) const override {
        const auto it = known.find(path);
        if (it == known.end()) return std::nullopt;
        return it->second;
    }
    std::map<std::string, TUsbAdapter> known;
};

TEST(UsbAdapters, TwoAdaptersOfOneKindAreToldApartByTheirSerialNumbers) {
    FakeAdapters fake;
    fake.known["/dev/ttyUSB0"] = {"FTDI", "FT232R USB UART", "A10K3ZQ4", "0403", "6001"};
    fake.known["/dev/ttyUSB1"] = {"FTDI", "FT232R USB UART", "B77Q01X2", "0403", "6001"};
    fake.known["/dev/ttyUSB2"] = {"", "", "", "1a86", "7523"};
    fake.known["/dev/ttyACM0"] = {"", "", "", "", ""};
    struct Case {
        const char* device;
        const char* label;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0 - FTDI FT232R USB UART, serial A10K3ZQ4"},
        {"/dev/ttyUSB1", "/dev/ttyUSB1 - FTDI FT232R USB UART, serial B77Q01X2"},
        {"/dev/ttyUSB2", "/dev/ttyUSB2 - USB 1a86:7523"},  // names missing: the numbers
        {"/dev/ttyACM0", "/dev/ttyACM0"},                  // nothing known
        {"/dev/ttyS0", "/dev/ttyS0"},                      // not on USB
    };
    for (const Case& c : cases) EXPECT_EQ(DeviceLabel(c.device, &fake), c.label) << c.device;
    EXPECT_EQ(DeviceLabel("/dev/ttyUSB0", nullptr), "/dev/ttyUSB0");
    EXPECT_EQ(AdapterText({"", "CP2102", "0001", "", ""}), "CP2102, serial 0001");
    EXPECT_EQ(AdapterText({"", "", "0001", "", ""}), "serial 0001");
}

TEST(UsbAdapters, DatabaseTextIsMadeSafeToShow) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"FTDI", "FTDI"},
        {"  Prolific  ", "Prolific"},
        {"   ", ""},
        {"A\nB\x01", "A?B?"},
        {"Caf\xC3\xA9", "Caf??"},
        {std::string(100, 'x'), std::string(64, 'x')},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanAdapterText(c.in), c.out) << c.in;
}

TEST(UsbAdapters, TheSystemDatabaseKnowsNothingOfWhatIsNotOnUsb) {
    const TUdevAdapterInfo udev;
    EXPECT_FALSE(udev.Describe("").has_value());
    EXPECT_FALSE(udev.Describe("/no/such/device").has_value());
    EXPECT_FALSE(udev.Describe("/dev/null").has_value());      // a character device, not USB
    EXPECT_FALSE(udev.Describe("/etc/hostname").has_value());  // not a device at all
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string pts = ::ptsname(master);
    EXPECT_FALSE(udev.Describe(pts).has_value()) << pts;
    EXPECT_EQ(DeviceLabel(pts, &udev), pts);
    ::close(master);
}

}  // namespace
