// ProcessAnswer on random answers, under every read purpose and with block
// writes running, with the feature controllers of the core listening. Invariant: whatever the bytes
// and the length value, nothing is read or written outside the buffers (ASan and UBSan watch), and
// the session stays consistent (purpose in range, cursor within its range).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "commands/Session.h"
#include "features/SupervisorCore.h"
#include "link/Clock.h"

namespace {

class NullPort : public orvan::link::ISerialPort {
  public:
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t*, std::size_t) override {}
    std::int32_t ReadBytes(std::uint8_t*, std::int32_t) override { return 0; }
    std::int32_t BytesWaiting() override { return 0; }
    void ClosePort() override {}
};

class Quiet : public orvan::commands::IBoardView, public orvan::commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvan::commands;
    if (size < 2) return 0;
    NullPort port;
    orvan::link::ManualClock clock;
    Quiet view;
    orvan::features::TSupervisorCore core(port, clock, view);
    core.Events().Subscribe(view);
    orvan::link::TComProtocol& protocol = core.Engine().protocol;
    TSession& s = core.Engine().session;

    const int purpose = 1 + data[0] % 7;
    switch (purpose) {
        case kPurposeSerialNumber:
            s.StartChain(purpose, 0, 15);
            break;
        case kPurposeConfigUpload:
            s.StartConfigUpload();
            break;
        case kPurposeTuningLog:
            (void)core.Logs().StartTuningLogRead();
            break;
        case kPurposeEventLog:
            (void)core.EventLog().StartEventLogRead();
            break;
        case kPurposeFlangingProfiles:
            (void)core.Flanging().StartFlangingProfilesRead((data[0] & 0x80) != 0);
            break;
        case kPurposeEepromDump:
            (void)core.Eeprom().StartEepromDump();
            break;
        default:
            break;
    }
    if (data[1] & 1) s.StartConfigDownload();
    if (data[1] & 2) (void)core.Eeprom().StartEepromFormat();
    std::size_t at = 2;
    while (at + 2 <= size) {
        const std::size_t n = data[at];
        const std::uint8_t lengthLow = data[at + 1];
        at += 2;
        const std::size_t take = std::min(n, size - at);
        // Sometimes tell the session what went out, as the cycle does.
        if (n & 0x80) {
            if (const orvan::link::TCmd* next = protocol.QueuedAt(0)) s.NoteSent(*next);
        }
        ProcessAnswer(s, std::span<const std::uint8_t>(data + at, take), lengthLow);
        at += take;
        if (protocol.QueueCount() > 64) protocol.ClearQueue();
        if (s.readPurpose < 1 || s.readPurpose > 7 || s.rangeCursor > s.rangeEnd) std::abort();
    }
    if (data[1] & 4) s.OnRxTimeout();
    return 0;
}
