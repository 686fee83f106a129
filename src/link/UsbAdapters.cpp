#include "link/UsbAdapters.h"

namespace orvan::link {

std::string CleanAdapterText(const std::string& raw) {
    std::string out;
    for (char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7F) ? c : '?';
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    out = out.substr(first, out.find_last_not_of(' ') - first + 1);
    if (out.size() > 64) out.resize(64);
    return out;
}

std::string AdapterText(const TUsbAdapter& a) {
    std::string text = a.maker;
    if (!a.product.empty()) text += (text.empty() ? "" : " ") + a.product;
    if (text.empty() && (!a.vendorId.empty() || !a.productId.empty()))
        text = "USB " + a.vendorId + ":" + a.productId;
    if (!a.serial.empty()) text += (text.empty() ? "serial " : ", serial ") + a.serial;
    return text;
}

std::string DeviceLabel(const std::string& devicePath, const IUsbAdapterInfo* info) {
    if (info == nullptr) return devicePath;
    const std::optional<TUsbAdapter> a = info->Describe(devicePath);
    const std::string text = a ? AdapterText(*a) : std::string();
    return text.empty() ? devicePath : devicePath + " - " + text;
}

}  // namespace orvan::link
