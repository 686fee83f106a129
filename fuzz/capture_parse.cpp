// Whatever text a capture file holds, the parser stays inside it and either
// refuses it with the line named or gives frames that are written back as a
// file which parses to the same frames; the replay board built from them
// answers any request without reading outside what it was given; the frame
// finder of the fast exchange stays inside the bytes and the meaning of a
// frame is told for any bytes.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "boardsim/BoardReplay.h"
#include "commands/FrameMeaning.h"
#include "link/Comprotocol.h"
#include "link/LineCapture.h"

using namespace orvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<link::TCaptureFrame> frames;
    const TResult r = link::ParseCapture(text, frames);
    if (!r.ok) {
        if (r.why.rfind("line ", 0) != 0 || !frames.empty()) std::abort();
    } else {
        for (const auto& f : frames) {
            if (f.bytes.empty() || f.bytes.size() > link::kCaptureMaxBytesPerLine || f.ms < 0)
                std::abort();
            (void)commands::DescribeFrame(f.transmitted, f.bytes);
        }
        std::vector<link::TCaptureFrame> again;
        if (!link::ParseCapture(link::FormatCapture(frames), again) || again != frames)
            std::abort();
        sim::TBoardReplay replay;
        if (replay.Load(frames))
            for (const auto& e : replay.Exchanges()) (void)replay.Answer(e.request);
    }

    const link::FastFrame f = link::FindFastFrame(data, size);
    if (f.kind == link::FastFrame::Kind::Complete &&
        (f.delimiter >= size || data[f.delimiter] != 0 || f.delimiter < f.start + 4))
        std::abort();
    if (f.kind == link::FastFrame::Kind::Resync && (f.drop == 0 || f.drop > size)) std::abort();
    return 0;
}
