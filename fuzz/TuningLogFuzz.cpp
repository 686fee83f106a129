// Invariants checked on any bytes read from the tuning-log area:
// - the decoder never reads outside the bytes it was given (ASan);
// - a copy is chosen only when its check is right; with none, nothing is
//   listed and no table is offered;
// - entries are listed newest first up to the first absent one, with
//   currents within the maximum diode current and powers within 655.35 W;
// - the ".log" text always starts with its fixed header and lists exactly
//   the valid entries.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "features/WelderData.h"
#include "link/ByteOrder.h"

using namespace orvan::features;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TWelderData d;
    d.CurrentDiodeMax = size ? data[0] * 100.0 : 5000;
    const std::span<const std::uint8_t> image(data, size);
    d.SelectCopy(image);
    Check(d.validCopy <= 2);
    if (d.validCopy != 0) {
        // What the decoder reads: the image, erased (0xFF) past its end.
        std::vector<std::uint8_t> padded(2 * kTuningCopySize, 0xFF);
        std::copy_n(data, std::min(size, padded.size()), padded.begin());
        const std::size_t base = d.validCopy == 2 ? kTuningCopySize : 0;
        const std::span<const std::uint8_t> copy(padded.data() + base, kTuningCopySize);
        Check(TuningCopyCheck(copy) == orvan::link::GetLe16(copy.data() + kCheckOffset));
    }
    int listed = 0;
    for (int i = 0; i < kTuningRingSize; ++i) {
        const tuninglog e = d.Entry(i);
        if (!e.valid) break;
        ++listed;
        Check(e.current >= 0 && e.current <= d.CurrentDiodeMax * 0.01 + 1e-9);
        Check(e.power >= 0 && e.power <= 655.35);
        Check(!e.dateTime.empty());
    }
    if (d.validCopy == 0) Check(listed == 0 && !d.HasTable());
    for (int k = 0; k < kTunedPoints; ++k) {
        const double a = d.TunedCurrent(k);
        Check(a >= 0 && a <= d.CurrentDiodeMax * 0.01 + 1e-9);
    }
    const std::string text = d.LogText();
    Check(text.rfind("Velkor Laser technology\n14/02/2007\n\r\n\r", 0) == 0);
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    Check(lines == static_cast<std::size_t>(14 + listed));
    return 0;
}
