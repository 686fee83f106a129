// orvan-cli ports and find: the serial devices of this machine with the USB
// adapter behind each (the system's device database names its maker, product
// and serial number), and which of them a board answers on, asked as the
// window's "Find board..." asks.

#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "features/BoardFinder.h"
#include "link/SerialDevices.h"
#include "link/UsbAdapters.h"

namespace orvan::cli {

namespace {

// The devices named, or every serial device there is.
std::vector<std::string> Devices(const TWords& w) {
    return w.Names().empty() ? link::DetectSerialDevices() : w.Names();
}

}  // namespace

TPlan Ports(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 0);
    if (!w) return Done(2);
    const link::TUdevAdapterInfo udev;
    for (const std::string& device : link::DetectSerialDevices()) {
        const std::optional<link::TUsbAdapter> a = udev.Describe(device);
        if (w->Has("--json")) {
            TJson j = TJson::object();
            j["device"] = device;
            if (a) {
                j["maker"] = a->maker;
                j["product"] = a->product;
                j["serial"] = a->serial;
                j["vendor_id"] = a->vendorId;
                j["product_id"] = a->productId;
            }
            std::puts(JsonText(j).c_str());
        } else {
            const std::string about = a ? link::AdapterText(*a) : std::string();
            std::printf("%s%s%s\n", device.c_str(), about.empty() ? "" : "  ", about.c_str());
        }
    }
    return Done(0);
}

TPlan Find(const Options& opt) {
    const auto w = TWords::Split(opt, {"--json"}, {}, 0, 64);
    if (!w) return Done(2);
    const std::vector<std::string> devices = Devices(*w);
    if (!opt.quiet)
        std::fprintf(stderr, "asking %zu device(s) at %d bit/s for a board\n", devices.size(),
                     static_cast<int>(opt.speed));
    const std::vector<features::TFoundBoard> found = features::FindBoards(devices, opt.speed);
    for (const features::TFoundBoard& f : found) {
        if (w->Has("--json")) {
            TJson j = TJson::object();
            j["device"] = f.device;
            j["firmware_version"] = f.firmware;
            std::puts(JsonText(j).c_str());
        } else {
            std::printf("%s  firmware %s\n", f.device.c_str(), f.firmware.c_str());
        }
    }
    if (found.empty()) {
        std::fprintf(stderr, "orvan-cli: find: no board answered on %zu device(s)\n",
                     devices.size());
        return Done(1);
    }
    return Done(0);
}

}  // namespace orvan::cli
