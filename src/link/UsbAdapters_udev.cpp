#include <libudev.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include "link/UsbAdapters.h"

namespace orvan::link {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::string Attr(udev_device* d, const char* name) {
    const char* v = udev_device_get_sysattr_value(d, name);
    return v ? CleanAdapterText(v) : std::string();
}

std::string Property(udev_device* d, const char* name) {
    const char* v = udev_device_get_property_value(d, name);
    return v ? CleanAdapterText(v) : std::string();
}

}  // namespace

std::optional<TUsbAdapter> TUdevAdapterInfo::Describe(const std::string& devicePath) const {
    struct stat st {};
    if (devicePath.empty() || ::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return std::nullopt;
    std::unique_ptr<udev, UdevDeleter> u(udev_new());
    if (!u) return std::nullopt;
    std::unique_ptr<udev_device, UdevDeleter> tty(
        udev_device_new_from_devnum(u.get(), 'c', st.st_rdev));
    if (!tty) return std::nullopt;
    // Owned by tty: not unreferenced here.
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
    if (usb == nullptr) return std::nullopt;
    TUsbAdapter a;
    a.maker = Attr(usb, "manufacturer");
    a.product = Attr(usb, "product");
    a.serial = Attr(usb, "serial");
    a.vendorId = Attr(usb, "idVendor");
    a.productId = Attr(usb, "idProduct");
    // The hardware database knows names some adapters do not carry.
    if (a.maker.empty()) a.maker = Property(tty.get(), "ID_VENDOR_FROM_DATABASE");
    if (a.product.empty()) a.product = Property(tty.get(), "ID_MODEL_FROM_DATABASE");
    if (AdapterText(a).empty()) return std::nullopt;
    return a;
}

}  // namespace orvan::link
