// A build without the system's device database: no adapter is described.

#include "link/UsbAdapters.h"

namespace orvan::link {

std::optional<TUsbAdapter> TUdevAdapterInfo::Describe(const std::string&) const {
    return std::nullopt;
}

}  // namespace orvan::link
