#include "link/Telnet.h"

namespace orvan::link::telnet {

namespace {

void Command(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, verb, option});
}

}  // namespace

// This end sends the board's bytes untouched and lowers the line settings
// through the server; it never echoes.
bool TTelnetCodec::LocalAllowed(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

// A server that echoed would send every request back as if the board had
// answered it: echo is refused with everything else unknown.
bool TTelnetCodec::RemoteAllowed(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

void TTelnetCodec::Start(std::vector<std::uint8_t>& toServer) {
    for (const std::uint8_t o : {kOptComPort, kOptBinary, kOptSuppressGoAhead}) {
        if (local_[o] == TOptionState::No) {
            local_[o] = TOptionState::WantYes;
            Command(kWill, o, toServer);
        }
    }
    for (const std::uint8_t o : {kOptBinary, kOptSuppressGoAhead}) {
        if (remote_[o] == TOptionState::No) {
            remote_[o] = TOptionState::WantYes;
            Command(kDo, o, toServer);
        }
    }
}

void TTelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option,
                             std::vector<std::uint8_t>& toServer) {
    switch (verb) {
        case kWill:  // the server offers, or agrees to our DO
            if (remote_[option] == TOptionState::WantYes) {
                remote_[option] = TOptionState::Yes;
            } else if (remote_[option] == TOptionState::No) {
                if (RemoteAllowed(option)) {
                    remote_[option] = TOptionState::Yes;
                    Command(kDo, option, toServer);
                } else {
                    Command(kDont, option, toServer);
                }
            }
            break;
        case kWont:
            if (remote_[option] == TOptionState::WantYes) {
                remote_[option] = TOptionState::No;
                remoteRefused_[option] = true;
            } else if (remote_[option] == TOptionState::Yes) {
                remote_[option] = TOptionState::No;
                Command(kDont, option, toServer);
            }
            break;
        case kDo:  // the server asks, or agrees to our WILL
            if (local_[option] == TOptionState::WantYes) {
                local_[option] = TOptionState::Yes;
            } else if (local_[option] == TOptionState::No) {
                if (LocalAllowed(option)) {
                    local_[option] = TOptionState::Yes;
                    Command(kWill, option, toServer);
                } else {
                    Command(kWont, option, toServer);
                }
            }
            break;
        case kDont:
            if (local_[option] == TOptionState::WantYes) {
                local_[option] = TOptionState::No;
                localRefused_[option] = true;
            } else if (local_[option] == TOptionState::Yes) {
                local_[option] = TOptionState::No;
                Command(kWont, option, toServer);
            }
            break;
        default:
            break;
    }
}

void TTelnetCodec::EndSubnegotiation() {
    if (!sub_.empty() && sub_[0] == kOptComPort && sub_.size() >= 2) {
        TComPortReply r;
        r.command = sub_[1];
        r.value.assign(sub_.begin() + 2, sub_.end());
        replies_.push_back(std::move(r));
    }
    sub_.clear();
}

void TTelnetCodec::Feed(const std::uint8_t* in, std::size_t count, std::vector<std::uint8_t>& data,
                        std::vector<std::uint8_t>& toServer) {
    for (std::size_t i = 0; i < count; ++i) FeedByte(in[i], data, toServer);
}

void TTelnetCodec::FeedByte(std::uint8_t b, std::vector<std::uint8_t>& data,
                            std::vector<std::uint8_t>& toServer) {
    switch (state_) {
        case State::Data:
            if (b == kIac)
                state_ = State::Iac;
            else
                data.push_back(b);
            break;
        case State::Iac:
            if (b == kIac) {
                data.push_back(kIac);
                state_ = State::Data;
            } else if (b >= kWill && b <= kDont) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == kSb) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                // NOP, go-ahead, data mark, break...: nothing for the board.
                state_ = State::Data;
            }
            break;
        case State::Verb:
            Negotiate(verb_, b, toServer);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                state_ = State::SubIac;
            else if (sub_.size() < kMaxSubnegotiation)
                sub_.push_back(b);
            break;
        case State::SubIac:
            if (b == kSe) {
                EndSubnegotiation();
                state_ = State::Data;
            } else if (b == kIac) {
                if (sub_.size() < kMaxSubnegotiation) sub_.push_back(kIac);
                state_ = State::Sub;
            } else {
                // A subnegotiation left unterminated: the byte is a command
                // of its own.
                sub_.clear();
                state_ = State::Iac;
                FeedByte(b, data, toServer);
            }
            break;
    }
}

void TTelnetCodec::Escape(const std::uint8_t* in, std::size_t count,
                          std::vector<std::uint8_t>& out) {
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(in[i]);
        if (in[i] == kIac) out.push_back(kIac);
    }
}

void TTelnetCodec::ComPortCommand(std::uint8_t command, const std::uint8_t* value,
                                  std::size_t count, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, kSb, kOptComPort});
    Escape(&command, 1, out);
    Escape(value, count, out);
    out.insert(out.end(), {kIac, kSe});
}

void TTelnetCodec::SetBaudRate(std::uint32_t bps, std::vector<std::uint8_t>& out) {
    const std::uint8_t value[4] = {
        static_cast<std::uint8_t>(bps >> 24), static_cast<std::uint8_t>(bps >> 16),
        static_cast<std::uint8_t>(bps >> 8), static_cast<std::uint8_t>(bps)};
    ComPortCommand(kSetBaudRate, value, sizeof value, out);
}

std::vector<TComPortReply> TTelnetCodec::TakeReplies() {
    std::vector<TComPortReply> r;
    r.swap(replies_);
    return r;
}

}  // namespace orvan::link::telnet
