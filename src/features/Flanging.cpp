#include "features/Flanging.h"

#include <algorithm>
#include <cmath>

#include "commands/Builders.h"

#include "link/ByteOrder.h"
#include "link/MemoryMap.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr std::uint16_t kProfilesAddress = link::kFlangingProfilesAddress;
constexpr int kProfilesPerAnswer = 8;

double Volts(std::uint16_t word) {
    return std::round(FlangingVolts(word) * 1000.0) / 1000.0;
}

constexpr auto N = StepRule::None;
constexpr TFieldSpec kFields[] = {
    {"edtFlangSpeed", "Speed (mm/s)", FlangingSpeed, 0, 63, 0, N, 0, true, 0},
    {"edtFlangPower", "Power Step (0-15)", FlangingPower, 0, 15, 0, N, 0, true, 0},
    {"cseFlangingProfile", "Profile", FlangingProfile, 0, 15, 0, N, 0, true, 0},
    {"edtFlangWaveAmplitude", "Amplitude", FlangingWave, 0, 10, 0, N, 0, false, 3},
    {"edtFlangWaveOffset", "Offset", FlangingWave, 0, 10, 0, N, 0, false, 3},
};

TResult Queued(const SendResult& r) {
    return r ? TResult::Ok() : TResult::Fail(r.why);
}

}  // namespace

double FlangingVolts(std::uint16_t word) {
    return word * 10.0 / 65535.0;
}

TFlanging::TFlanging(TSession& session)
    : session_(session), form_(session, Variant::Flanging, kFields) {
    form_.SetBroadcast(BroadcastTo(views_));
    form_.rangeOf = [this](const TFieldSpec& f, double&, double& max) {
        if (f.field == "edtFlangSpeed") max = MaxSpeed();
        // An 8-profile board has no profiles 8..15 to select or save.
        if (f.field == "cseFlangingProfile") max = ProfileCount() - 1;
    };
}

int TFlanging::ProfileCount() const {
    return session_.boardType == kBoardFlanging16 ? 16 : 8;
}

std::string TFlanging::SpeedCaption() const {
    return ProfileCount() == 16 ? "Speed (mm/s) (0-31)" : "Speed (mm/s) (0-63)";
}

TResult TFlanging::WriteSpeed(std::string_view typed) {
    return form_.Write(FlangingSpeed, {{"edtFlangSpeed", std::string(typed)}}, '.');
}

TResult TFlanging::WritePower(std::string_view typed) {
    return form_.Write(FlangingPower, {{"edtFlangPower", std::string(typed)}}, '.');
}

TResult TFlanging::WriteWave(std::string_view amplitude, std::string_view offset,
                             char decimalSeparator) {
    return form_.Write(FlangingWave,
                       {{"edtFlangWaveAmplitude", std::string(amplitude)},
                        {"edtFlangWaveOffset", std::string(offset)}},
                       decimalSeparator);
}

TResult TFlanging::Jog(std::uint8_t type) {
    if (const TResult s = form_.CheckServed(); !s) return s;
    if (const TResult r = Queued(SendFlangingCommand(session_.Protocol(), type)); !r) return r;
    return form_.Read({FlangingWave});
}

TResult TFlanging::JogAmplitude(bool up) {
    return Jog(up ? kFlangingAmplitudeUp : kFlangingAmplitudeDown);
}

TResult TFlanging::JogOffset(bool up) {
    return Jog(up ? kFlangingOffsetUp : kFlangingOffsetDown);
}

TResult TFlanging::SelectProfile(int profile) {
    if (const TResult r = form_.WriteValues(FlangingProfile,
                                            {{"cseFlangingProfile", static_cast<double>(profile)}});
        !r)
        return r;
    return ReadWaveParameters();
}

TResult TFlanging::ReadWaveParameters() {
    return form_.Read({FlangingWave, FlangingProfile, FlangingPower, FlangingSpeed});
}

TResult TFlanging::SaveProfile() {
    if (const TResult s = form_.CheckServed(); !s) return s;
    const double profile = form_.Value("cseFlangingProfile");
    if (profile < 0 || profile > ProfileCount() - 1)
        return TResult::Fail("Profile " + std::to_string(static_cast<int>(profile)) +
                             " does not exist on this board; nothing sent");
    if (const TResult r = Queued(SendFlangingCommand(session_.Protocol(), kSaveFlangingProfile,
                                                     static_cast<std::uint8_t>(profile)));
        !r)
        return r;
    return ReadProfiles();
}

TResult TFlanging::ReadProfiles() {
    if (const TResult s = form_.CheckServed(); !s) return s;
    const TResult r = StartFlangingProfilesRead(ProfileCount() == 16);
    return r.ok ? TResult::Ok() : TResult::Fail(r.why);
}

void TFlanging::OnBoardType(std::uint16_t) {
    views_.Notify(&IFlangingView::OnFlangingProfileCount, ProfileCount(), SpeedCaption());
}

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
    for (const FlangingProfileRow& r : rows) {
        std::erase_if(table, [&](const FlangingProfileRow& t) { return t.profile == r.profile; });
        table.push_back(r);
    }
    std::sort(table.begin(), table.end(),
              [](const auto& a, const auto& b) { return a.profile < b.profile; });
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
