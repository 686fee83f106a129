#include "features/FrameSend.h"

#include <algorithm>
#include <cctype>

#include "commands/BoardView.h"
#include "commands/Catalogue.h"
#include "commands/FrameMeaning.h"
#include "features/Operations.h"
#include "features/SupervisorCore.h"
#include "link/ExchangeCycle.h"
#include "link/FrameCodec.h"
#include "link/MemoryMap.h"

namespace orvan::features {

namespace {

bool KnownRequestType(std::uint8_t t) {
    using namespace commands;
    switch (t) {
        case kWriteMemory:
        case kReadMemory:
        case kWriteVariable:
        case kReadVariable:
        case kStartPowerDiagnosis:
        case kStartFactoryTuning:
        case kStartSecondaryTuning:
        case kStartPdDiagnosis:
        case kSaveFlangingProfile:
        case kFlangingAmplitudeUp:
        case kFlangingAmplitudeDown:
        case kFlangingOffsetUp:
        case kFlangingOffsetDown:
        case kSecurityCodeOn:
        case kSecurityCodeOff:
            return true;
        default:
            return false;
    }
}

std::string Hex2(unsigned v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {kHex[(v >> 4) & 0xF], kHex[v & 0xF]};
}

// Hex bytes separated by blanks (or written together in pairs).
TResult HexBytes(std::string_view text, std::vector<std::uint8_t>& out) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) != 0 || c == ',') {
            if (digits.size() % 2 != 0)
                return TResult::Fail("\"" + digits.substr(digits.size() - 1) +
                                     "\" is not a byte in two hex digits");
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0)
            return TResult::Fail("'" + std::string(1, c) + "' at character " +
                                 std::to_string(i + 1) + " is not a hex digit");
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0) return TResult::Fail("the last byte has one hex digit only");
    out.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return TResult::Ok();
}

}  // namespace

TResult ParseTypedFrame(const std::string& text, std::uint32_t protocolVersion, TTypedFrame& out) {
    std::string_view t = text;
    // A line copied from the transmit log: its head is not part of the frame.
    if (const auto open = t.find_first_not_of(" \t");
        open != std::string_view::npos && t[open] == '[') {
        const auto close = t.find(']');
        if (close == std::string_view::npos) return TResult::Fail("the log line has no ']'");
        t.remove_prefix(close + 1);
    }
    if (t.size() > 4096) return TResult::Fail("the text is longer than any request");
    std::vector<std::uint8_t> bytes;
    if (const TResult r = HexBytes(t, bytes); !r) return r;
    if (bytes.empty()) return TResult::Fail("no bytes to send");
    const bool wire = bytes.size() > sizeof link::kPrefix &&
                      std::equal(std::begin(link::kPrefix), std::end(link::kPrefix), bytes.begin());
    std::vector<std::uint8_t> body;  // type ... checksum
    if (wire) {
        if (bytes.back() != 0) return TResult::Fail("the line's bytes do not end with their zero");
        body = commands::DecodeWireFrame(bytes);
        if (body.size() < 2) return TResult::Fail("the line's bytes hold no frame");
    } else {
        body = bytes;
        if (body.size() >= 3 && body.back() == 0) body.pop_back();  // the log's ending zero
        if (body.size() < 2)
            return TResult::Fail("a request is its type, its values and the checksum (" +
                                 std::to_string(body.size()) + " byte given)");
    }
    if (body.size() - 1 > link::kMaxBodySize)
        return TResult::Fail("a request of " + std::to_string(body.size() - 1) +
                             " bytes is longer than the " + std::to_string(link::kMaxBodySize) +
                             " the line carries");
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < body.size(); ++i) sum ^= body[i];
    if (sum != body.back())
        return TResult::Fail("the checksum " + Hex2(body.back()) + " does not add up (it is " +
                             Hex2(sum) + ")");
    const std::uint8_t type = body[0];
    if (!KnownRequestType(type))
        return TResult::Fail("type " + Hex2(type) + " is not a request the board knows");
    std::size_t from = 1;
    if (link::NeedsSecurityCode(type, protocolVersion) && body.size() >= 6) {
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) code |= static_cast<std::uint32_t>(body[1 + i]) << (8 * i);
        if (code == link::kSecurityCode) from = 5;
    }
    out.type = type;
    out.payload.assign(body.begin() + static_cast<std::ptrdiff_t>(from), body.end() - 1);
    const std::size_t need = type == commands::kReadVariable    ? 2
                             : type == commands::kReadMemory    ? 3
                             : type == commands::kWriteVariable ? 3
                             : type == commands::kWriteMemory   ? 3
                                                                : 0;
    if (out.payload.size() < need)
        return TResult::Fail("the request has " + std::to_string(out.payload.size()) +
                             " value bytes; it needs at least " + std::to_string(need));
    if (type == commands::kReadMemory || type == commands::kWriteMemory) {
        const std::size_t address = (out.payload[0] << 8) | out.payload[1];
        const std::size_t count =
            type == commands::kReadMemory ? out.payload[2] : out.payload.size() - 2;
        if (count == 0 || address + count > link::kEepromSize)
            return TResult::Fail(
                "addresses " + std::to_string(address) + " to " + std::to_string(address + count) +
                " are outside the memory (0 to " + std::to_string(link::kEepromSize - 1) + ")");
        if (type == commands::kWriteMemory &&
            address / link::kEepromPageSize != (address + count - 1) / link::kEepromPageSize)
            return TResult::Fail("one write stays within a page of " +
                                 std::to_string(link::kEepromPageSize) + " bytes; addresses " +
                                 std::to_string(address) + " to " +
                                 std::to_string(address + count - 1) + " cross one");
    }
    // Described as the line would carry it.
    link::EncodedRequest enc;
    std::string why;
    if (!link::EncodeRequest(type, out.payload.data(),
                             static_cast<std::int32_t>(out.payload.size()), protocolVersion, enc,
                             &why))
        return TResult::Fail(why);
    std::vector<std::uint8_t> line;
    line.reserve(sizeof link::kPrefix + enc.frameCount + 1);
    for (const std::uint8_t b : link::kPrefix) line.push_back(b);
    for (std::size_t i = 0; i < enc.frameCount; ++i) line.push_back(enc.frame[i]);
    line.push_back(0);
    out.meaning = commands::DescribeFrame(true, line);
    return TResult::Ok();
}

namespace {

class TFrameSend final : public TAttachedOperation<TFrameSend>, public commands::ILinkView {
  public:
    TFrameSend(TSupervisorCore& core, TFrameSendRequest r)
        : TAttachedOperation("Send typed request"), core_(core), request_(std::move(r)) {}

    TResult Check() override {
        // The security code is settled once the version is known; the shape
        // of the request is not.
        TTypedFrame f;
        if (const TResult r =
                ParseTypedFrame(request_.text, core_.Protocol().BoardProtocolVersion, f);
            !r)
            return TResult::Fail("TX: " + r.why + "; nothing sent");
        frame_ = f;
        return TResult::Ok();
    }
    TOperationNeeds Needs() const override {
        TOperationNeeds n;
        n.protocolVersion = true;
        if (frame_.type == commands::kWriteMemory) {
            const auto address =
                static_cast<std::uint16_t>((frame_.payload[0] << 8) | frame_.payload[1]);
            const auto count = static_cast<std::uint16_t>(frame_.payload.size() - 2);
            if (!AreasTouched(address, count).empty()) {
                n.serialNumber = true;
                n.keeps = {{address, count,
                            std::to_string(address) + ".." + std::to_string(address + count - 1),
                            "bytes"}};
            }
        }
        return n;
    }
    std::vector<TQuestion> Questions(const TMemoryArea& area, std::span<const std::uint8_t>,
                                     const std::string&) override {
        if (request_.acceptProtectedArea) return {};
        return {{Name(), std::string(kAttention),
                 "The typed request writes " + AreasTouched(area.first, area.count) +
                     " (what it holds is kept first). Send?",
                 "--yes"}};
    }
    TResult Run(TOperationContext& ctx) override {
        // Parsed again: the protocol version may have been read since Check.
        if (const TResult r =
                ParseTypedFrame(request_.text, core_.Protocol().BoardProtocolVersion, frame_);
            !r)
            return TResult::Fail("TX: " + r.why);
        link::TCmd cmd;
        cmd.Type = frame_.type;
        std::copy(frame_.payload.begin(), frame_.payload.end(), cmd.Payload.begin());
        cmd.Count = static_cast<std::int32_t>(frame_.payload.size());
        if (!core_.Engine().protocol.QueueCommand(cmd).accepted)
            return TResult::Fail("the request queue is full");
        ctx.Detail("sent: " + frame_.meaning);
        return TResult::Ok();
    }
    void OnRefusal(const std::string& text) override { refusal_ = text; }
    void Stalled(TOperationContext& ctx) override {
        if (!refusal_.empty()) {
            ctx.Finish(TOutcomeKind::Failed, refusal_,
                       "TX " + frame_.meaning + ": the board refused it (" + refusal_ + ").");
            return;
        }
        ctx.Finish(TOutcomeKind::Completed, {}, "TX " + frame_.meaning + ": the board answered.");
    }
    void Stop(TOperationContext& ctx, const std::string& why) override {
        ctx.Finish(TOutcomeKind::Failed, why, "TX " + frame_.meaning + " stopped: " + why + ".");
    }

  private:
    TSupervisorCore& core_;
    TFrameSendRequest request_;
    TTypedFrame frame_;
    std::string refusal_;
};

}  // namespace

std::unique_ptr<TOperation> FrameSendOperation(TSupervisorCore& core, TFrameSendRequest r) {
    return std::make_unique<TFrameSend>(core, std::move(r));
}

}  // namespace orvan::features
