// The serial ports of a Windows machine and the USB adapters behind them,
// from the system's device database (SetupAPI): the COM port interface and
// the Ports class, and the serial device map the port drivers fill in.

#include <algorithm>
#include <cctype>
#include <map>

// <windows.h> first, and <initguid.h> before the headers whose GUIDs and
// property keys this file defines.
// clang-format off
#include "link/WinComm.h"
#include <initguid.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>
#include <winioctl.h>
// clang-format on

#include "link/SerialDevices.h"
#include "link/UsbAdapters.h"

namespace orvan::link {

namespace win {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The four hexadecimal digits after `key` in `id`, in lower case as the
// Linux device database gives them; empty when they are not there.
std::string HexAfter(const std::string& id, const std::string& key) {
    const std::size_t at = id.find(key);
    if (at == std::string::npos || at + key.size() + 4 > id.size()) return {};
    std::string hex = id.substr(at + key.size(), 4);
    for (char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

}  // namespace

TUsbIds ParseUsbIds(const std::string& id) {
    const std::string up = Upper(id);
    TUsbIds ids{HexAfter(up, "VID_"), HexAfter(up, "PID_")};
    if (ids.vendorId.empty() || ids.productId.empty()) return {};
    return ids;
}

std::string SerialFromInstanceId(const std::string& instanceId) {
    if (Upper(instanceId).rfind("USB\\", 0) != 0) return {};
    const std::size_t slash = instanceId.rfind('\\');
    if (slash == std::string::npos || slash + 1 >= instanceId.size()) return {};
    const std::string last = instanceId.substr(slash + 1);
    // Only the device part of the id holds VID_: the last part must not.
    if (last.find('&') != std::string::npos || Upper(last).find("VID_") != std::string::npos)
        return {};
    return CleanAdapterText(last);
}

std::vector<std::string> SortComNames(std::vector<std::string> names) {
    std::map<unsigned, std::string> byNumber;
    for (const std::string& n : names) {
        const std::optional<unsigned> number = ParseComNumber(n);
        if (number && n.rfind("\\\\.\\", 0) != 0)
            byNumber.emplace(*number, "COM" + std::to_string(*number));
    }
    std::vector<std::string> out;
    for (auto& [number, name] : byNumber) out.push_back(name);
    return out;
}

}  // namespace win

namespace {

std::string Narrowed(const wchar_t* text, std::size_t maxChars) {
    std::string out;
    for (std::size_t i = 0; i < maxChars && text[i] != L'\0'; ++i)
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

// One registry property of a device, as text (the first string of a list).
std::string RegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD property) {
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type,
                                             reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                             nullptr))
        return {};
    if (type != REG_SZ && type != REG_MULTI_SZ) return {};
    return Narrowed(buffer, sizeof buffer / sizeof buffer[0] - 1);
}

std::string InstanceId(DEVINST inst) {
    wchar_t buffer[512] = {};
    if (::CM_Get_Device_IDW(inst, buffer, sizeof buffer / sizeof buffer[0] - 1, 0) != CR_SUCCESS)
        return {};
    return Narrowed(buffer, sizeof buffer / sizeof buffer[0] - 1);
}

// The port name ("COM3") the device's own registry key holds.
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    HKEY key = ::SetupDiOpenDevRegKey(set, &dev, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - 2;
    DWORD type = 0;
    const LONG rc = ::RegQueryValueExW(key, L"PortName", nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
    return Narrowed(buffer, sizeof buffer / sizeof buffer[0] - 1);
}

// Makers that name the driver's author rather than the adapter's.
bool GenericMaker(const std::string& maker) {
    const std::string m = maker;
    return m.empty() || m == "Microsoft" || m.front() == '(' || m == "Wine";
}

TUsbAdapter DescribeDevice(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    TUsbAdapter a;
    const win::TUsbIds ids = win::ParseUsbIds(RegistryProperty(set, dev, SPDRP_HARDWAREID));
    a.vendorId = ids.vendorId;
    a.productId = ids.productId;
    const std::string mfg = CleanAdapterText(RegistryProperty(set, dev, SPDRP_MFG));
    if (!GenericMaker(mfg)) a.maker = mfg;
    // What the adapter calls itself ("FT232R USB UART"), else the driver's
    // description of it.
    wchar_t buffer[256] = {};
    DEVPROPTYPE type = 0;
    if (::SetupDiGetDevicePropertyW(set, &dev, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                    reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2, nullptr,
                                    0) &&
        type == DEVPROP_TYPE_STRING)
        a.product = CleanAdapterText(Narrowed(buffer, sizeof buffer / sizeof buffer[0] - 1));
    if (a.product.empty())
        a.product = CleanAdapterText(RegistryProperty(set, dev, SPDRP_DEVICEDESC));
    // The serial number is in the USB device's instance id: the port's own,
    // or that of the USB device above it (an adapter whose driver makes a
    // bus of its own).
    DEVINST inst = dev.DevInst;
    for (int depth = 0; depth < 3; ++depth) {
        const std::string id = InstanceId(inst);
        if (a.vendorId.empty()) {
            const win::TUsbIds up = win::ParseUsbIds(id);
            a.vendorId = up.vendorId;
            a.productId = up.productId;
        }
        const std::string serial = win::SerialFromInstanceId(id);
        if (!serial.empty()) {
            a.serial = serial;
            break;
        }
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, inst, 0) != CR_SUCCESS) break;
        inst = parent;
    }
    return a;
}

// Every present serial port with what is known of it, by port name.
std::map<std::string, std::optional<TUsbAdapter>> SystemPorts() {
    std::map<std::string, std::optional<TUsbAdapter>> ports;
    const struct {
        const GUID* guid;
        DWORD flags;
    } sources[] = {{&GUID_DEVINTERFACE_COMPORT, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE},
                   {&GUID_DEVCLASS_PORTS, DIGCF_PRESENT}};
    for (const auto& source : sources) {
        HDEVINFO set = ::SetupDiGetClassDevsW(source.guid, nullptr, nullptr, source.flags);
        if (set == INVALID_HANDLE_VALUE) continue;
        SP_DEVINFO_DATA dev{};
        dev.cbSize = sizeof dev;
        for (DWORD i = 0; i < 1024 && ::SetupDiEnumDeviceInfo(set, i, &dev); ++i) {
            const std::string name = PortName(set, dev);
            if (!win::ParseComNumber(name) || ports.count(name) != 0) continue;
            TUsbAdapter a = DescribeDevice(set, dev);
            const bool usb = !a.vendorId.empty();
            ports[name] =
                usb && !AdapterText(a).empty() ? std::optional<TUsbAdapter>(a) : std::nullopt;
        }
        ::SetupDiDestroyDeviceInfoList(set);
    }
    // Ports the device database does not list (virtual ones, Wine's) are
    // still in the serial device map.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) == ERROR_SUCCESS) {
        for (DWORD i = 0; i < 1024; ++i) {
            wchar_t valueName[256] = {};
            DWORD nameLength = sizeof valueName / sizeof valueName[0] - 1;
            wchar_t data[64] = {};
            DWORD size = sizeof data - 2;
            DWORD type = 0;
            if (::RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
                break;
            if (type != REG_SZ) continue;
            const std::string name = Narrowed(data, sizeof data / sizeof data[0] - 1);
            if (win::ParseComNumber(name) && ports.count(name) == 0) ports[name] = std::nullopt;
        }
        ::RegCloseKey(key);
    }
    return ports;
}

}  // namespace

std::vector<std::string> DetectSerialDevices(const std::string& /*devDir*/) {
    std::vector<std::string> names;
    for (const auto& [name, adapter] : SystemPorts()) names.push_back(name);
    return win::SortComNames(std::move(names));
}

std::optional<TUsbAdapter> TUdevAdapterInfo::Describe(const std::string& devicePath) const {
    const std::optional<unsigned> n = win::ParseComNumber(devicePath);
    if (!n) return std::nullopt;
    const auto ports = SystemPorts();
    const auto it = ports.find("COM" + std::to_string(*n));
    return it == ports.end() ? std::nullopt : it->second;
}

}  // namespace orvan::link
