#include "features/DiameterHeight.h"

namespace orvan::features {

using namespace commands;

namespace {

constexpr TDiameterPoint kPointTable[] = {
    {DiameterHeightPoint0, "edtBirHeightMmMax", "edtBirHeightVMax", 5},
    {DiameterHeightPoint1, "edtBirHeightMmMin", "edtBirHeightVMin", 5},
    {DiameterHeightPoint2, "edtBirDiamMmMax", "edtBirDiamVmax", 4},
    {DiameterHeightPoint3, "edtBirDiamMmMin", "edtBirDiamVmin", 4},
};

constexpr auto N = StepRule::None;
// The reading goes to the board as volts x 204.6 (0..1023 for 0..5 V).
constexpr TFieldSpec kFields[] = {
    {"edtBirHeightMmMax", "Height max (mm)", DiameterHeightPoint0, 0, 65535, 0, N, 0, true, 0},
    {"edtBirHeightVMax", "Height max (V)", DiameterHeightPoint0, 0, 5, 0, N, 0, false, 3},
    {"edtBirHeightMmMin", "Height min (mm)", DiameterHeightPoint1, 0, 65535, 0, N, 0, true, 0},
    {"edtBirHeightVMin", "Height min (V)", DiameterHeightPoint1, 0, 5, 0, N, 0, false, 3},
    {"edtBirDiamMmMax", "Diameter max (mm)", DiameterHeightPoint2, 0, 65535, 0, N, 0, true, 0},
    {"edtBirDiamVmax", "Diameter max (V)", DiameterHeightPoint2, 0, 5, 0, N, 0, false, 3},
    {"edtBirDiamMmMin", "Diameter min (mm)", DiameterHeightPoint3, 0, 65535, 0, N, 0, true, 0},
    {"edtBirDiamVmin", "Diameter min (V)", DiameterHeightPoint3, 0, 5, 0, N, 0, false, 3},
};

}  // namespace

const TDiameterPoint& TDiameterHeight::Point(int tag) {
    return kPointTable[tag];
}

TDiameterHeight::TDiameterHeight(TSession& session)
    : session_(session), form_(session, Variant::DiameterHeight, kFields) {
    form_.SetBroadcast(BroadcastTo(views_));
}

TResult TDiameterHeight::LoadCfg() {
    return form_.Read(
        {DiameterHeightPoint0, DiameterHeightPoint1, DiameterHeightPoint2, DiameterHeightPoint3});
}

TResult TDiameterHeight::WritePoint(int tag, std::string_view mm, std::string_view volts,
                                    char decimalSeparator) {
    if (tag < 0 || tag >= kPoints) return TResult::Fail("no point " + std::to_string(tag));
    const TDiameterPoint& p = kPointTable[tag];
    return form_.Write(
        p.code,
        {{std::string(p.mmField), std::string(mm)}, {std::string(p.voltField), std::string(volts)}},
        decimalSeparator);
}

TResult TDiameterHeight::GetVolts(int tag) {
    if (tag < 0 || tag >= kPoints) return TResult::Fail("no point " + std::to_string(tag));
    if (const TResult s = form_.CheckServed(); !s) return s;
    const TDiameterPoint& p = kPointTable[tag];
    form_.Hold(std::string(p.voltField), session_.analogVolts[p.channel]);
    return TResult::Ok();
}

}  // namespace orvan::features
