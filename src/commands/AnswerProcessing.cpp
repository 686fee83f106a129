// Classification of every answer: acknowledge check, refusals and board error
// codes, and the routing of acknowledged answers.

#include <algorithm>

#include <cstring>
#include "link/ExchangeCycle.h"

#include "commands/Session.h"
#include "link/ByteOrder.h"

namespace orvan::commands {

std::string RefusalText(const std::uint8_t* a, std::size_t available) {
    std::uint8_t b[6] = {};
    std::memcpy(b, a, std::min<std::size_t>(available, sizeof b));
    const std::string v1 = std::to_string(link::GetLe16(b + 2));
    switch (b[1]) {
        case 1:
            return "Protocol initiator not found!";
        case 2:
            return "Negative acknowledge";
        case 3:
            return "Unknown command";
        case 4:
            return "Invalid parameters";
        case 5:
            return "Unknown variable: " + v1;
        case 6:
            return "Read only variable :" + v1;
        case 7:
            return "Invalid EEPROM address: " + v1;
        case 8:
            return "Trying to write accross two EEPROM pages";
        case 9:
            return "DAC16bit write error! Written value:" + v1 +
                   " Readed value:" + std::to_string(link::GetLe16(b + 4));
        case 10:
            return "EEPROM previous writing in course. Wait a while and retry...";
        case 11:
            return "Operation denied in the current work phase!";
        case 12:
            return "Security code error!";
        default:
            return "Error number: " + std::to_string(b[1]);
    }
}

void ProcessAnswer(TSession& session, std::span<const std::uint8_t> answer,
                   std::uint8_t lengthLow) {
    std::array<std::uint8_t, link::kBufferSize> buf{};
    std::copy_n(answer.begin(), std::min(answer.size(), buf.size()), buf.begin());
    ProcessAnswer(session, buf.data(), lengthLow);
}

void ProcessAnswer(TSession& session, const std::uint8_t* data, std::uint8_t lengthLow) {
    constexpr std::size_t kSize = link::kBufferSize;
    TBoardEvents& view = session.Events();
    const std::uint8_t first = data[0];

    if (first != kAck && first != kNack) {
        // Neither acknowledge nor refusal: the bytes cannot be trusted (a
        // corrupted refusal would otherwise count as a written block), so the
        // answer is reported and dropped, and the line is treated as a
        // time-out treats it: whatever waited for it ends, polling stops and
        // the queue empties, so a babbling line cannot open box after box.
        session.ShowMissingAck();
        view.Notify(&ILinkView::OnAnswerIgnored,
                    "the answer was garbled (" + std::string(kMissingAckText) + ")");
        session.EndRefusedSequence(std::string(kMissingAckText));
        session.Protocol().ClearQueue();
        // The queue went with it, so every sequence waiting on a queued
        // request is over too (a serial-number read behind a garbled
        // protocol-version answer, for one).
        session.AnswerDone();
        session.EndRefusedSequence("the board's answer to an earlier request was garbled (" +
                                   std::string(kMissingAckText) + ")");
        view.Notify(&ILinkView::OnStopPolling);
        return;
    }
    if (first == kNack) {
        view.Notify(&ILinkView::OnLinkState, link::kLinkNack);
        const std::string text = RefusalText(data, kSize);
        view.Notify(&ILinkView::OnRefusal, text);
        session.EndRefusedSequence(text);
        session.ShowRefusal(text);
        session.AnswerDone();
        return;
    }

    const std::uint8_t kind = data[1];
    const auto& sent = session.Sent();
    if (sent && kind != sent->type) {
        view.Notify(&ILinkView::OnAnswerIgnored, "answer to frame type " + std::to_string(kind) +
                                                     " while " + std::to_string(sent->type) +
                                                     " was asked");
        session.EndRefusedSequence("answer of the wrong type");
        session.AnswerDone();
        return;
    }
    // Bytes of the decoded answer (the length value is that count plus 4).
    const std::size_t decoded = std::min<std::size_t>(lengthLow >= 4 ? lengthLow - 4u : 0u, kSize);
    switch (kind) {
        case kWriteMemory:
            session.HandleWriteAck(static_cast<std::uint16_t>((data[2] << 8) | data[3]));
            break;
        case kReadMemory:
            DecodeMemory(session, data + 2, kSize - 2, lengthLow);
            break;
        case kReadVariable: {
            const auto code = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
            // The board's checksum byte ends every answer; it is no value byte,
            // so an answer one byte short is short, not padded by it.
            DecodeVariable(session, code, data + 4, decoded >= 5 ? decoded - 5 : 0);
            break;
        }
        case kStartPowerDiagnosis:
        case kStartFactoryTuning:
        case kStartSecondaryTuning:
        case kStartPdDiagnosis:
            session.HandleStartAnswer(kind, data[2]);
            break;
        case kWriteVariable:
            view.Notify(&ILinkView::OnAcknowledged, kind,
                        static_cast<std::uint16_t>(data[2] | (data[3] << 8)));
            break;
        default:
            view.Notify(&ILinkView::OnAcknowledged, kind, std::uint16_t{0});
            break;  // acknowledged, nothing to decode
    }
    session.AnswerDone();
}

}  // namespace orvan::commands
