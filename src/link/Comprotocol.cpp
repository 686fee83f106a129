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
    fastCount_ = 0;
}

std::int32_t TComProtocol::Read(std::uint8_t* dest, std::int32_t count) {
    const std::int32_t got = port_.ReadBytes(dest, count);
    if (tap_ && got > 0) tap_->OnLineBytes(false, dest, static_cast<std::size_t>(got));
    return got;
}

void TComProtocol::Write(const std::uint8_t* data, std::size_t count) {
    if (tap_ && count > 0) tap_->OnLineBytes(true, data, count);
    port_.WriteBytes(data, count);
}

FastFrame FindFastFrame(const std::uint8_t* rx, std::size_t count) {
    FastFrame f;
    static constexpr std::size_t kPrefixSize = sizeof kPrefix;
    const std::uint8_t* end = rx + count;
    const std::uint8_t* at = std::search(rx, end, kPrefix, kPrefix + kPrefixSize);
    const std::size_t start = at == end ? 0 : static_cast<std::size_t>(at - rx);
    const std::uint8_t* zero = std::find(rx + start, end, std::uint8_t{0});
    if (zero == end) return f;
    const std::size_t z = static_cast<std::size_t>(zero - rx);
    if (z < start + kPrefixSize) {
        f.kind = FastFrame::Kind::Resync;
        f.drop = z + 1;
        return f;
    }
    f.kind = FastFrame::Kind::Complete;
    f.start = start;
    f.delimiter = z;
    return f;
}

void TComProtocol::DiscardWaiting() {
    std::array<std::uint8_t, kBufferSize> sink{};
    std::int32_t budget = kMaxDiscardPerPoll;
    for (std::int32_t waiting = port_.BytesWaiting(); waiting > 0 && budget > 0;
         waiting = port_.BytesWaiting()) {
        const std::int32_t want =
            std::min({waiting, budget, static_cast<std::int32_t>(sink.size())});
        const std::int32_t got = Read(sink.data(), want);
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

    static constexpr std::uint8_t kDelimiter = 0x00;
    Write(kPrefix, sizeof kPrefix);
    Write(req.frame.data(), req.frame.size() >= req.frameCount ? req.frameCount : 0);
    Write(&kDelimiter, 1);

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
    if (RxTimer.Running() && fast_) {
        PollFast(result);
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
            const std::int32_t got = want > 0 ? Read(RxBuffer.data(), want) : 0;
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
    if (!Queue.empty() && !held_) {
        std::unique_ptr<TCmd> cmd = std::move(Queue.front());
        Queue.pop_front();
        SendCommand(*cmd, result);
        return result;
    }
    if (port_.BytesWaiting() > 0) DiscardWaiting();
    return result;
}

void TComProtocol::PollFast(PollResult& result) {
    const std::int64_t now = clock_.MonotonicMs();
    const std::int32_t room = static_cast<std::int32_t>(RxBuffer.size() - fastCount_);
    const std::int32_t waiting = std::min(port_.BytesWaiting(), room);
    if (waiting > 0) {
        const std::int32_t got = Read(RxBuffer.data() + fastCount_, waiting);
        if (got > 0) {
            fastCount_ += static_cast<std::size_t>(got);
            lastByteMs_ = now;
        }
    }
    for (;;) {
        const FastFrame f = FindFastFrame(RxBuffer.data(), fastCount_);
        if (f.kind == FastFrame::Kind::Resync) {
            std::copy(RxBuffer.begin() + static_cast<std::ptrdiff_t>(f.drop),
                      RxBuffer.begin() + static_cast<std::ptrdiff_t>(fastCount_), RxBuffer.begin());
            fastCount_ -= f.drop;
            continue;
        }
        if (f.kind == FastFrame::Kind::Complete) {
            DecodedAnswer answer;
            const bool ok =
                DecodeAnswer(RxBuffer.data() + f.start, f.delimiter + 1 - f.start, answer);
            // Whatever follows the delimiter came unasked: it is dropped with
            // the rest of the exchange's bytes.
            ResetReceiveState();
            if (ok) {
                RxTimer.Stop();
                result.State = PollState::Answer;
                result.Data = answer.data;
                result.Length = answer.length;
            }
            return;
        }
        break;
    }
    // Neither a delimiter within 256 bytes nor a line that goes on talking:
    // the quiet rule judges what came, as the default engine would, and an
    // answer it cannot make out leaves the command to its time-out.
    const bool full = fastCount_ >= RxBuffer.size();
    const bool quiet = fastCount_ > 0 && now - lastByteMs_ >= kFastQuietMs;
    if (!full && !quiet) return;
    DecodedAnswer answer;
    const bool ok = DecodeAnswer(RxBuffer.data(), fastCount_, answer);
    ResetReceiveState();
    if (ok) {
        RxTimer.Stop();
        result.State = PollState::Answer;
        result.Data = answer.data;
        result.Length = answer.length;
        return;
    }
    DiscardWaiting();
}

}  // namespace orvan::link
