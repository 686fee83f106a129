#include "features/Pelta.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr auto F = StepRule::Frequency;
constexpr auto S = StepRule::Fixed;
constexpr auto N = StepRule::None;

// Ranges are those of the page's up/down buttons; the counters and times
// without buttons take what their word holds.
constexpr TFieldSpec kFields[] = {
    {"edtPeltaWork_f", "Fequenza", PeltaWork, 1, 100, 1, F, 0, false, 2},
    {"edtPeltaWork_d", "Duty cycle", PeltaWork, 0.1, 60, 50, S, 0.1, false, 1},
    {"edtPeltaSlopeON", "Soft start", PeltaSlope, 0, 65535, 50, N, 0, true, 0},
    {"edtPeltaSlopeOFF", "Soft stop", PeltaSlope, 0, 65535, 50, N, 0, true, 0},
    {"edtPeltaLaserPulse", "Durata impulso ", PeltaLaserPulse, 1, 10, 1, S, 0.1, false, 3},
    {"edtPeltaStrobeDelay", "Ritardo impulso", PeltaStrobeDelay, 0, 200, 1, S, 1, false, 2},
    {"edtPeltaPreion1_f", "Parametri preionizzazione > Frequenza", PeltaPreion1, 1, 100, 1, F, 0,
     false, 2},
    {"edtPeltaPreion1_d", "Parametri preionizzazione > Durata", PeltaPreion1, 0.062, 5, 1, S, 0.062,
     false, 3},
    {"edtPeltaPreion2_f", "Parametri preionizzazione opzionale > Frequenza", PeltaPreion2, 1, 100,
     1, F, 0, false, 2},
    {"edtPeltaPreion2_d", "Parametri preionizzazione opzionale > Durata", PeltaPreion2, 0.062, 5, 2,
     S, 0.062, false, 3},
    {"chkPeltaPreion2EN", "Enable", PeltaPreion2Enable, 0, 1, 0, N, 0, true, 0},
    {"edtPeltaStrobeCounter", "Conteggio strobe", PeltaStrobeCounter, 0, 4294967295.0, 0, N, 0,
     true, 0},
    {"edtPeltaStrobeFault", "Strobe fault", PeltaStrobeFault, 0, 65535, 0, N, 0, true, 0},
    {"edtPeltaStrobeFilter", "Filtro", PeltaStrobeFilter, 0, 65.535, 2, N, 0, false, 3},
    {"edtPeltaStrobe2Shot", "1 sparo ogni ", PeltaStrobe2Shot, 0, 65535, 1, N, 0, true, 0},
};

}  // namespace

TPeltaLayout PeltaLayoutFor(std::uint32_t v) {
    TPeltaLayout l;
    l.strobeGroup = v >= TPelta::kTwoShotProtocol;
    l.twoShot = v == TPelta::kTwoShotProtocol;
    l.strobeOnOff = v > TPelta::kTwoShotProtocol;
    l.pulseAndDelay = v > 0x020201;
    return l;
}

TPelta::TPelta(TSession& session) : session_(session), form_(session, Variant::Pelta, kFields) {
    form_.SetBroadcast(BroadcastTo(views_));
}

TResult TPelta::ReadWork() {
    if (session_.BoardProtocolVersion() > 0x020201)
        return form_.Read({PeltaWork, PeltaSlope, PeltaLaserPulse, PeltaStrobeDelay});
    return form_.Read({PeltaWork, PeltaSlope});
}

TResult TPelta::ReadPreion1() {
    return form_.Read({PeltaPreion1});
}

TResult TPelta::ReadPreion2() {
    return form_.Read({PeltaPreion2, PeltaPreion2Enable});
}

TResult TPelta::ReadStatistics() {
    return form_.Read({PeltaStrobeCounter, PeltaStrobeFault});
}

TResult TPelta::ReadStrobe() {
    return form_.Read({PeltaStrobe2Shot, PeltaStrobeFilter});
}

TResult TPelta::Enter(std::string_view field, const std::map<std::string, std::string>& texts,
                      char decimalSeparator) {
    const TFieldSpec* f = form_.Field(field);
    if (f == nullptr) return TResult::Fail(std::string(field) + " has no write");
    if (f->code == PeltaStrobeDelay && session_.BoardProtocolVersion() != kTwoShotProtocol)
        return TResult::Fail(
            "Ritardo impulso: Enter writes it on protocol 2.02.02 only; the arrows write it");
    return form_.Write(f->code, texts, decimalSeparator);
}

TResult TPelta::SetPreion2Enabled(bool on) {
    return form_.WriteValues(PeltaPreion2Enable, {{"chkPeltaPreion2EN", on ? 1.0 : 0.0}});
}

void TPelta::OnProtocolVersion(std::uint32_t packed, const std::string&) {
    if (session_.boardType != kBoardPelta) return;
    views_.Notify(&IPeltaView::ShowPeltaLayout, PeltaLayoutFor(packed));
}

}  // namespace orvan::features
