// Whatever the board answers and whatever a section holds, the service
// report's text stays text: no markup, no control byte and no broken UTF-8
// gets through, and a configuration image of any content is listed.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "features/ServiceReport.h"
#include "link/UsbAdapters.h"

using namespace orvan;
using namespace orvan::features;

namespace {

// Valid UTF-8, no control bytes, none of < > " '.
void CheckText(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"' || c == '\'') std::abort();
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size()) std::abort();
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) std::abort();
        i += n;
    }
}

struct Section : IReportSection {
    std::string title, body;
    std::string Title() const override { return title; }
    std::vector<std::string> Missing() const override { return {body}; }
    void Write(THtmlWriter& h) const override { h.Facts({{title, body}}); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    CheckText(HtmlEscape(in));
    const std::string clean = link::CleanAdapterText(std::string(in));
    if (clean.size() > 64) std::abort();
    for (char c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            std::abort();

    TReportFacts f;
    const std::size_t third = size / 3;
    f.serial = std::string(in.substr(0, third));
    f.firmware = std::string(in.substr(third, third));
    f.missing.push_back(std::string(in.substr(2 * third)));
    f.traffic.push_back(std::string(in));
    if (size >= config::kImageSize) {
        std::array<std::uint8_t, config::kImageSize> img{};
        std::copy_n(data, img.size(), img.begin());
        f.configImage = img;
    }
    Section s;
    s.title = std::string(in.substr(0, third));
    s.body = std::string(in.substr(third));
    const std::string html = BuildServiceReportHtml(f, {&s});
    // The page's own markup only: every '<' opens one of the writer's tags.
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        static const char* const tags[] = {
            "<!DOCTYPE", "<html",  "</html",  "<head", "</head", "<meta",   "<title",
            "</title",   "<style", "</style", "<body", "</body", "<h1",     "</h1",
            "<h2",       "</h2",   "<p",      "</p",   "<table", "</table", "<tr",
            "</tr",      "<td",    "</td",    "<th",   "</th",   "<pre",    "</pre"};
        bool known = false;
        for (const char* t : tags)
            if (html.compare(at, std::char_traits<char>::length(t), t) == 0) known = true;
        if (!known) std::abort();
    }
    return 0;
}
