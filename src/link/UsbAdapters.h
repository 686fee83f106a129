#pragma once
// Who made the USB serial adapter behind a device, so that a technician with
// two adapters plugged in can tell them apart in the port menu. The system's
// device database (libudev) answers; a device it knows nothing about (a
// platform port, a pseudo-terminal, a machine without udev) simply has no
// description. Behind an interface so that tests give their own answers.

#include <optional>
#include <string>

namespace orvan::link {

struct TUsbAdapter {
    std::string maker;                // "FTDI"
    std::string product;              // "FT232R USB UART"
    std::string serial;               // the adapter's own serial number, "A10K3ZQ4"
    std::string vendorId, productId;  // "0403", "6001"
};

class IUsbAdapterInfo {
  public:
    virtual ~IUsbAdapterInfo() = default;
    // The adapter behind the device path (symbolic links followed); nothing
    // when the device is not on USB or nothing is known of it.
    virtual std::optional<TUsbAdapter> Describe(const std::string& devicePath) const = 0;
};

// Through libudev.
class TUdevAdapterInfo : public IUsbAdapterInfo {
  public:
    std::optional<TUsbAdapter> Describe(const std::string& devicePath) const override;
};

// "FTDI FT232R USB UART, serial A10K3ZQ4" (the parts known; vendor and
// product numbers when the names are missing); empty when nothing is known.
std::string AdapterText(const TUsbAdapter& adapter);
// "/dev/ttyUSB0 - FTDI FT232R USB UART, serial A10K3ZQ4", or the path alone.
std::string DeviceLabel(const std::string& devicePath, const IUsbAdapterInfo* info);

// A value read from the device database as it may be shown: printable ASCII
// only (anything else '?'), blanks trimmed, at most 64 characters.
std::string CleanAdapterText(const std::string& raw);

}  // namespace orvan::link
