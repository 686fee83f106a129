// The exchange engine fed arbitrary arrivals: the input is read as a script of
// (ticks to wait, bytes to arrive) steps while commands are queued and sent.
// The engine must never read or write out of bounds, never hold two commands
// in flight, and always end an exchange by an answer or the time-out.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/Comprotocol.h"
#include "support/ScriptedPort.h"

using namespace orvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    std::size_t i = 0;
    int sent = 0, ended = 0;
    while (i < size) {
        const std::uint8_t op = data[i++];
        if (op & 0x80) {
            link::TCmd cmd(op & 0x7F, {});
            cmd.Count = op & 0x0F;
            (void)protocol.QueueCommand(cmd);
        }
        const std::size_t chunk = std::min<std::size_t>(op & 0x3F, size - i);
        port.Arrive(std::vector<std::uint8_t>(data + i, data + i + chunk));
        i += chunk;
        const int ticks = 1 + (op >> 6);
        for (int t = 0; t < ticks; ++t) {
            clock.Advance(30);
            const link::PollResult r = protocol.Poll();
            if (r.State == link::PollState::Sent) ++sent;
            if (r.State == link::PollState::Answer || r.State == link::PollState::TimedOut) ++ended;
            if (r.State == link::PollState::Answer && (r.Length < 5 || r.Length > 255))
                std::abort();
        }
        if (ended > sent || sent > ended + 1) std::abort();
    }
    // Left alone, whatever is in flight ends within the time-out.
    for (int t = 0; t < 120 && protocol.InFlight(); ++t) {
        clock.Advance(30);
        (void)protocol.Poll();
    }
    if (protocol.InFlight()) std::abort();
    return 0;
}
