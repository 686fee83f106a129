#include "features/EepromImage.h"

#include <cstdio>
#include <filesystem>

#include "config/AtomicFile.h"

namespace orvan::features {

bool SaveDumpFile(const std::string& path, const TEepromImage& image, std::string* why) {
    const config::SaveResult r = config::SaveFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    if (!r && why) *why = r.why;
    return r.ok;
}

bool LoadDumpFile(const std::string& path, TEepromImage& image, std::string* why) {
    // A file of the wrong size is said as such, however large it is.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && size != kEepromBytes) {
            if (why)
                *why = path + " holds " + std::to_string(size) + " bytes; a dump of the " +
                       "board memory holds exactly " + std::to_string(kEepromBytes);
            return false;
        }
    }
    std::string content, error;
    if (!config::ReadWholeFile(path, content, &error, kEepromBytes)) {
        if (why) *why = error;
        return false;
    }
    if (content.size() != kEepromBytes) {
        if (why)
            *why = path + " holds " + std::to_string(content.size()) + " bytes; a dump of the " +
                   "board memory holds exactly " + std::to_string(kEepromBytes);
        return false;
    }
    std::copy(content.begin(), content.end(), image.begin());
    return true;
}

std::string ImageSerialNumber(const TEepromImage& image) {
    std::string s;
    for (std::size_t i = 0; i < 15 && image[i] != 0; ++i) s.push_back(static_cast<char>(image[i]));
    return s;
}

std::vector<TByteDifference> CompareImages(const TEepromImage& expected,
                                           const TEepromImage& actual) {
    std::vector<TByteDifference> d;
    for (std::size_t i = 0; i < kEepromBytes; ++i)
        if (expected[i] != actual[i])
            d.push_back({static_cast<std::uint16_t>(i), expected[i], actual[i]});
    return d;
}

std::string DifferencesText(const std::vector<TByteDifference>& d, std::size_t shown) {
    if (d.empty()) return "no byte differs";
    std::string t =
        std::to_string(d.size()) + (d.size() == 1 ? " byte differs: " : " bytes differ: ");
    for (std::size_t i = 0; i < d.size() && i < shown; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s0x%04X written %02X read %02X", i ? ", " : "",
                      d[i].address, d[i].expected, d[i].actual);
        t += buf;
    }
    if (d.size() > shown) t += ", ...";
    return t;
}

bool CheckTypedWrite(std::string_view addressText, std::string_view text, TTypedWrite& out,
                     std::string* why) {
    auto fail = [&](std::string w) {
        if (why) *why = std::move(w);
        return false;
    };
    std::int64_t a = 0;
    if (!ParseTypedInteger(addressText, a)) return fail(NotAnInteger("Address", addressText));
    if (a < 0 || a >= static_cast<std::int64_t>(kEepromBytes))
        return fail("Address: " + std::to_string(a) + " is outside the memory (0.." +
                    std::to_string(kEepromBytes - 1) + "); nothing sent");
    if (text.empty()) return fail("the text to write is empty; nothing sent");
    if (text.size() > kMaxTypedText)
        return fail("at most " + std::to_string(kMaxTypedText) + " characters fit one write, not " +
                    std::to_string(text.size()) + "; nothing sent");
    if (a + static_cast<std::int64_t>(text.size()) > static_cast<std::int64_t>(kEepromBytes))
        return fail("the " + std::to_string(text.size()) + " characters at address " +
                    std::to_string(a) + " would go past the end of the memory (" +
                    std::to_string(kEepromBytes - 1) + "); nothing sent");
    out.address = static_cast<std::uint16_t>(a);
    out.bytes.assign(text.begin(), text.end());
    return true;
}

bool CheckRawRead(std::string_view addressText, std::string_view lengthText, TRawRead& out,
                  std::string* why) {
    auto fail = [&](std::string w) {
        if (why) *why = std::move(w);
        return false;
    };
    std::int64_t a = 0, n = 0;
    if (!ParseTypedInteger(addressText, a)) return fail(NotAnInteger("Address", addressText));
    if (!ParseTypedInteger(lengthText, n)) return fail(NotAnInteger("Length", lengthText));
    if (a < 0 || a >= static_cast<std::int64_t>(kEepromBytes))
        return fail("Address: " + std::to_string(a) + " is outside the memory (0.." +
                    std::to_string(kEepromBytes - 1) + "); nothing sent");
    if (n < 1 || n > 32)
        return fail("Length: a read takes 1 to 32 bytes, not " + std::to_string(n) +
                    "; nothing sent");
    if (a + n > static_cast<std::int64_t>(kEepromBytes))
        return fail("the " + std::to_string(n) + " bytes at address " + std::to_string(a) +
                    " would go past the end of the memory; nothing sent");
    out = {static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(n)};
    return true;
}

}  // namespace orvan::features
