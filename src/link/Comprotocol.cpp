#include "link/Comprotocol.h"

#include <algorithm>

namespace orvan::link {

TCmd::TCmd(std::uint8_t type, std::initializer_list<std::uint8_t> payload) : Type(type) {
    const std::size_t n = std::min(payload.size(), Payload.size());
    std::copy_n(payload.begin(), n, Payload.begin());
    Count = static_cast<std::int32_t>(n);
}

TComProtocol::TComProtocol(ISerialPort& port, const IClock& clock) : port_(port), clock_(clock) {}

// Queued commands are dropped unsent.
TComProtocol::~TComProtocol() {
    ClearQueue();
}

QueueResult TComProtocol::QueueCommand(std::unique_ptr<TCmd> cmd) {
    QueueResult r;
    if (!cmd) {
        r.why = "no command";
        return r;
    }
    if (cmd->Count < 0 || cmd->Count > static_cast<std::int32_t>(cmd->Payload.size())) {
        r.why = "invalid payload count " + std::to_string(cmd->Count);
        return r;
    }
    // The protocol version may change before the command goes out, so the
    // security code is counted for every type that can carry it.
    const std::size_t worst = RequestBodySize(cmd->Type, cmd->Count, kSecuredProtocolVersion);
    const std::size_t body =
        std::max(worst, RequestBodySize(cmd->Type, cmd->Count, BoardProtocolVersion));
    if (body > kMaxBodySize) {
        r.why = "request body of " + std::to_string(body) + " bytes exceeds the limit of " +
                std::to_string(kMaxBodySize) + "; nothing sent";
        return r;
    }
    Queue.push_back(std::move(cmd));
    r.accepted = true;
    r.position = Queue.size() - 1;
    return r;
}

void TComProtocol::OnRxTimeout() {
    TimedOut = true;
    RxTimer.Stop();
}

void TComProtocol::ResetReceiveState() {
    QuietTicks = 0;
    LastWaitingCount = 0;
    RxBuffer.fill(0);
}

void TComProtocol::DiscardWaiting() {
    std::array<std::uint8_t, kBufferSize> sink{};
    std::int32_t budget = kMaxDiscardPerPoll;
    for (std::int32_t waiting = port_.BytesWaiting(); waiting > 0 && budget > 0;
         waiting = port_.BytesWaiting()) {
        const std::int32_t want =
            std::min({waiting, budget, static_cast<std::int32_t>(sink.size())});
        const std::int32_t got = port_.ReadBytes(sink.data(), want);
        if (got <= 0) break;
        budget -= got;
    }
}

void TComProtocol::SendCommand(TCmd& cmd, PollResult& result) {
    EncodedRequest req;
    if (!EncodeRequest(cmd.Type, cmd.Payload.data(), cmd.Count, BoardProtocolVersion, req)) {
        return;  // QueueCommand already refused every command that cannot be built
    }
    // Every exchange starts clean: whatever is still waiting (a late answer to
    // an abandoned command, noise) must not be taken for this command's answer.
    DiscardWaiting();
    ResetReceiveState();

    port_.WriteBytes(kPrefix, sizeof kPrefix);
    port_.WriteBytes(req.frame.data(), req.frame.size() >= req.frameCount ? req.frameCount : 0);
    port_.WriteByte(0x00);

    std::copy_n(req.unencoded.begin(), req.unencodedCount, cmd.Payload.begin());
    cmd.Count = static_cast<std::int32_t>(req.unencodedCount);
    std::copy_n(req.unencoded.begin(), req.unencodedCount, result.Data.begin());
    result.Length = static_cast<std::uint16_t>(req.unencodedCount);
    result.State = PollState::Sent;
    RxTimer.Start(clock_.MonotonicMs());
}

PollResult TComProtocol::Poll() {
    PollResult result;
    if (RxTimer.Expired(clock_.MonotonicMs())) OnRxTimeout();

    if (RxTimer.Running() && !port_.LostReason().empty()) {
        // No answer can come from a device that is gone.
        RxTimer.Stop();
        TimedOut = false;
        ResetReceiveState();
        result.State = PollState::PortLost;
        return result;
    }
    if (RxTimer.Running()) {
        const std::int32_t waiting = port_.BytesWaiting();
        if (waiting != LastWaitingCount) {
            QuietTicks = 1;
            LastWaitingCount = waiting;
        }
        if (QuietTicks != 0) ++QuietTicks;
        if (QuietTicks > kQuietLimit) {
            const std::int32_t want =
                std::min(LastWaitingCount, static_cast<std::int32_t>(RxBuffer.size()));
            const std::int32_t got = want > 0 ? port_.ReadBytes(RxBuffer.data(), want) : 0;
            QuietTicks = 0;
            LastWaitingCount = 0;
            DecodedAnswer answer;
            const bool ok =
                got > 0 && DecodeAnswer(RxBuffer.data(), static_cast<std::size_t>(got), answer);
            RxBuffer.fill(0);
            if (ok) {
                RxTimer.Stop();
                result.State = PollState::Answer;
                result.Data = answer.data;
                result.Length = answer.length;
                return result;
            }
            // Noise, a fragment or an over-long run is no answer: the command
            // stays in flight, so either a real answer follows or the time-out
            // ends the exchange. The bytes not yet read (past 256) are dropped
            // so they are not taken for a fresh answer.
            DiscardWaiting();
        }
        return result;
    }

    if (TimedOut) {
        TimedOut = false;
        ResetReceiveState();
        result.State = PollState::TimedOut;
        return result;
    }
    if (!Queue.empty()) {
        std::unique_ptr<TCmd> cmd = std::move(Queue.front());
        Queue.pop_front();
        SendCommand(*cmd, result);
        return result;
    }
    if (port_.BytesWaiting() > 0) DiscardWaiting();
    return result;
}

}  // namespace orvan::link
