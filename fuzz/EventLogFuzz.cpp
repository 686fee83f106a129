// Invariants checked on any bytes read from the event-log area:
// - the decoder never reads outside the bytes it was given (ASan), and the
//   bytes are handed over in a buffer of exactly their size, freed at once;
// - at most 21 lines, numbered 0, 1, ... in order, none with the end mark,
//   each line the record found at its place;
// - a note about missing bytes exactly when the buffer ended before 21
//   records and before an end mark;
// - the texts of a record of an unknown type are empty; the JSON form is one
//   line.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "features/EventLog.h"

using namespace orvan::features;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so ASan sees any read past the end.
    auto owned = std::make_unique<std::uint8_t[]>(size ? size : 1);
    std::copy(data, data + size, owned.get());
    const std::span<const std::uint8_t> bytes(owned.get(), size);
    const char separator = size && (data[0] & 1) ? ',' : '.';
    const TEventLogDecode d = DecodeEventLog(bytes, separator);
    owned.reset();

    Check(d.lines.size() <= kEventRecords);
    const std::size_t whole = std::min(size / kEventRecordSize, kEventRecords);
    Check(d.lines.size() <= whole);
    for (std::size_t i = 0; i < d.lines.size(); ++i) {
        const TEventLine& line = d.lines[i];
        Check(line.n == static_cast<int>(i));
        Check(line.record.time != kEventListEnd);
        Check(line.record == EventRecordAt(std::span<const std::uint8_t>(data, size), i));
        Check(line.dateTime.size() >= 19);
        if (line.record.type == 0 || line.record.type > 6)
            Check(line.description.empty() && line.value.empty());
        else
            Check(!line.description.empty());
        const std::string json = EventLineJson(line);
        Check(json.front() == '{' && json.back() == '}');
        Check(json.find('\n') == std::string::npos);
        Check(EventLineText(line).find('\n') == std::string::npos);
    }
    const bool endMarkSeen = d.lines.size() < whole;
    Check(d.problem.empty() == (endMarkSeen || whole == kEventRecords));
    return 0;
}
