#include "features/Flanging.h"

#include <cmath>

#include "link/ByteOrder.h"
#include "link/MemoryMap.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr std::uint16_t kProfilesAddress = link::kFlangingProfilesAddress;
constexpr int kProfilesPerAnswer = 8;

double Volts(std::uint16_t word) {
    return std::round(word * 10.0 / 65535.0 * 1000.0) / 1000.0;
}

}  // namespace

std::vector<FlangingProfileRow> FlangingProfileRows(std::uint16_t address,
                                                    std::span<const std::uint8_t> data) {
    std::vector<FlangingProfileRow> rows;
    if (address != kProfilesAddress && address != kProfilesAddress + 32) return rows;
    const int first = address == kProfilesAddress ? 1 : 1 + kProfilesPerAnswer;
    for (std::size_t i = 0; i < kProfilesPerAnswer && 4 * i + 4 <= data.size(); ++i)
        rows.push_back({first + static_cast<int>(i), Volts(link::GetLe16(&data[4 * i])),
                        Volts(link::GetLe16(&data[4 * i + 2]))});
    return rows;
}

TResult TFlanging::StartFlangingProfilesRead(bool sixteen) {
    running_ = true;
    session_.StartChain(kPurposeFlangingProfiles, kProfilesAddress,
                        sixteen ? kProfilesAddress + 64 : kProfilesAddress + 32);
    return TResult::Ok();
}

void TFlanging::OnChainChunk(int purpose, std::uint16_t address,
                             std::span<const std::uint8_t> data) {
    if (!running_ || purpose != kPurposeFlangingProfiles) return;
    const std::vector<FlangingProfileRow> rows = FlangingProfileRows(address, data);
    if (!rows.empty()) views_.Notify(&IFlangingView::OnFlangingProfiles, rows);
}

void TFlanging::OnChainEnd(int purpose) {
    if (!running_ || purpose != kPurposeFlangingProfiles) return;
    running_ = false;
    views_.Notify(&IFlangingView::OnFlangingProfilesRead, TSequenceOutcome::Completed());
}

void TFlanging::OnSequenceStopped(Sequence s, int purpose, const std::string& why) {
    if (!running_ || s != Sequence::MemoryChain || purpose != kPurposeFlangingProfiles) return;
    running_ = false;
    views_.Notify(&IFlangingView::OnFlangingProfilesRead,
                  TSequenceOutcome::Stopped("reading the flanging profiles", why));
}

}  // namespace orvan::features
