#include "link/LineCapture.h"

#include <charconv>

#include "link/ExchangeCycle.h"

namespace orvan::link {

void TLineCapture::OnLineBytes(bool transmitted, const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (hasOpen_ &&
            (open_.transmitted != transmitted || open_.bytes.size() >= kCaptureMaxBytesPerLine))
            Close();
        if (!hasOpen_) {
            open_ = TCaptureFrame{};
            open_.ms = std::max<std::int64_t>(0, clock_.MonotonicMs() - startMs_);
            open_.transmitted = transmitted;
            hasOpen_ = true;
        }
        open_.bytes.push_back(data[i]);
        if (data[i] == 0) Close();
    }
}

void TLineCapture::Close() {
    if (!hasOpen_) return;
    hasOpen_ = false;
    if (frames_.size() >= kMaxFrames) {
        frames_.pop_front();
        ++dropped_;
    }
    frames_.push_back(std::move(open_));
    if (onFrame) onFrame(frames_.back());
}

void TLineCapture::Flush() {
    Close();
}

void TLineCapture::Clear() {
    frames_.clear();
    hasOpen_ = false;
    dropped_ = 0;
    startMs_ = clock_.MonotonicMs();
}

std::string TLineCapture::Text() const {
    std::vector<TCaptureFrame> all(frames_.begin(), frames_.end());
    if (hasOpen_) all.push_back(open_);
    return FormatCapture(all, dropped_);
}

std::string FormatCaptureLine(const TCaptureFrame& frame) {
    std::string line = std::to_string(frame.ms);
    line += frame.transmitted ? " TX " : " RX ";
    std::string hex = FormatHexBytes(frame.bytes.data(), frame.bytes.size());
    if (!hex.empty()) hex.pop_back();  // no trailing space in the file
    return line + hex;
}

std::string FormatCapture(const std::vector<TCaptureFrame>& frames, std::size_t dropped) {
    std::string text(kCaptureHeader);
    text += "\n# time(ms) TX|RX bytes (TX: PC to board, RX: board to PC)\n";
    if (dropped > 0) text += "# " + std::to_string(dropped) + " earlier frames were not kept\n";
    for (const TCaptureFrame& f : frames) {
        text += FormatCaptureLine(f);
        text += '\n';
    }
    return text;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The fields of one line, split at single or repeated blanks.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

}  // namespace

TResult ParseCapture(std::string_view text, std::vector<TCaptureFrame>& out) {
    std::vector<TCaptureFrame> frames;
    std::int64_t last = 0;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto where = [&](const std::string& what) {
            return TResult::Fail("line " + std::to_string(lineNo) + ": " + what);
        };
        const std::vector<std::string_view> f = Fields(line);
        if (f.empty() || f[0][0] == '#') continue;
        if (f.size() < 2) return where("wants a time, TX or RX, and the bytes");
        TCaptureFrame frame;
        const auto [end, ec] = std::from_chars(f[0].data(), f[0].data() + f[0].size(), frame.ms);
        if (ec != std::errc() || end != f[0].data() + f[0].size() || frame.ms < 0)
            return where("\"" + std::string(f[0].substr(0, 20)) +
                         "\" is not a time in milliseconds");
        if (frame.ms < last) return where("the time goes back");
        last = frame.ms;
        if (f[1] == "TX")
            frame.transmitted = true;
        else if (f[1] != "RX")
            return where("\"" + std::string(f[1].substr(0, 20)) + "\" is neither TX nor RX");
        if (f.size() - 2 > kCaptureMaxBytesPerLine)
            return where("more than " + std::to_string(kCaptureMaxBytesPerLine) + " bytes");
        if (f.size() == 2) return where("no bytes");
        for (std::size_t i = 2; i < f.size(); ++i) {
            const std::string_view b = f[i];
            const int hi = b.size() == 2 ? HexDigit(b[0]) : -1;
            const int lo = b.size() == 2 ? HexDigit(b[1]) : -1;
            if (hi < 0 || lo < 0)
                return where("\"" + std::string(b.substr(0, 20)) +
                             "\" is not a byte in two hex digits");
            frame.bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
        frames.push_back(std::move(frame));
    }
    out = std::move(frames);
    return TResult::Ok();
}

}  // namespace orvan::link
