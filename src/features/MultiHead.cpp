#include "features/MultiHead.h"

#include <algorithm>

namespace orvan::features {

using namespace commands;

namespace {

constexpr TFieldSpec kFields[] = {
    {"edtMultiHHeadsNum", "Heads num", MultiHeadCount, 0, TMultiHead::kHeadBits, 0, StepRule::None,
     0, true, 0},
    {"edtMultiHFreq", "Frequency", MultiHeadFrequency, 0, 655.35, 0, StepRule::None, 0, false, 2},
    {"edtMultiHPreion", "Preionization", MultiHeadPreion, 0, 6553.5, 0, StepRule::None, 0, false,
     1},
};

}  // namespace

TMultiHead::TMultiHead(TSession& session) : form_(session, Variant::MultiHead, kFields) {
    form_.SetBroadcast(BroadcastTo(views_));
}

TResult TMultiHead::ReadHeads() {
    return form_.Read({MultiHeadCount, MultiHeadFrequency, MultiHeadPreion});
}

TResult TMultiHead::ReadCount() {
    return form_.Read({MultiHeadCount});
}

TResult TMultiHead::WriteCount(std::string_view typed) {
    return form_.Write(MultiHeadCount, {{"edtMultiHHeadsNum", std::string(typed)}}, '.');
}

TResult TMultiHead::ReadFrequency() {
    return form_.Read({MultiHeadFrequency});
}

TResult TMultiHead::WriteFrequency(std::string_view typed, char decimalSeparator) {
    return form_.Write(MultiHeadFrequency, {{"edtMultiHFreq", std::string(typed)}},
                       decimalSeparator);
}

TResult TMultiHead::ReadPreion() {
    return form_.Read({MultiHeadPreion});
}

TResult TMultiHead::WritePreion(std::string_view typed, char decimalSeparator) {
    return form_.Write(MultiHeadPreion, {{"edtMultiHPreion", std::string(typed)}},
                       decimalSeparator);
}

TResult TMultiHead::GetAnomaly() {
    return form_.Read({MultiHeadTimeouts, MultiHeadErrorPositions, MultiHeadCrcPositions});
}

void TMultiHead::OnMultiHeadCount(std::uint8_t n) {
    heads = n;
    views_.Notify(&IMultiHeadView::BuildHeads, std::min<int>(n, kHeadBits), n);
}

void TMultiHead::OnMultiHeadWord(std::uint16_t code, std::uint32_t bits) {
    if (code == MultiHeadTimeouts) timeouts = bits;
    if (code == MultiHeadErrorPositions) errorPositions = bits;
    if (code == MultiHeadCrcPositions) crcPositions = bits;
    views_.Notify(&IMultiHeadView::ShowHeadWord, code, bits);
}

}  // namespace orvan::features
