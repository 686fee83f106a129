#pragma once
// What the saves of every system share, between AtomicFile.cpp and the file
// of each system.

#include <string>
#include <string_view>

#include "config/AtomicFile.h"

namespace orvan::config::detail {

// A temporary file beside `path` with `content`, made durable and renamed
// over `path`.
SaveResult ReplaceWith(const std::string& path, std::string_view content);

}  // namespace orvan::config::detail
