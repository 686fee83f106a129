#include "link/ExchangeCycle.h"

#include "link/LocaleFormat.h"

namespace orvan::link {

std::string FormatHexBytes(const std::uint8_t* data, std::size_t count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        s.push_back(kHex[data[i] >> 4]);
        s.push_back(kHex[data[i] & 0x0F]);
        s.push_back(' ');
    }
    return s;
}

std::string FormatLogLine(std::uint32_t counter, std::chrono::system_clock::time_point when,
                          const std::uint8_t* data, std::size_t count) {
    std::string line = "[ ";
    line += std::to_string(counter);
    line += ' ';
    line += FormatShortDate(when);
    line += ' ';
    line += FormatLongTime(when);
    line += " ] ";
    line += FormatHexBytes(data, count);
    return line;
}

PollState TExchangeCycle::Tick() {
    const PollResult r = protocol_.Poll();
    switch (r.State) {
        case PollState::Sent:
            ++txCounter_;
            listener_.OnLinkState(kLinkWaiting);
            if (txLogEnabled_)
                listener_.OnTxLog(
                    FormatLogLine(txCounter_, clock_.WallNow(), r.Data.data(), r.Length));
            break;
        case PollState::Answer: {
            ++rxCounter_;
            listener_.OnLinkState(kLinkAck);
            const std::size_t shown = r.Length >= 4 ? r.Length - 4u : 0u;
            if (rxLogEnabled_)
                listener_.OnRxLog(
                    FormatLogLine(rxCounter_, clock_.WallNow(), r.Data.data(), shown));
            listener_.OnAnswer(r.Data.data(), static_cast<std::uint8_t>(r.Length & 0xFF));
            break;
        }
        case PollState::TimedOut:
            listener_.OnLinkState(kLinkTimeout);
            protocol_.ClearQueue();
            listener_.OnRxTimeout();
            break;
        case PollState::PortLost:
            listener_.OnLinkState(kLinkPortLost);
            protocol_.ClearQueue();
            listener_.OnPortLost(protocol_.Port().LostReason());
            break;
        case PollState::Idle:
            break;
    }
    return r.State;
}

}  // namespace orvan::link
