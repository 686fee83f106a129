#include <gtest/gtest.h>

#include <QLabel>

#include "frames/Fraanomaly.h"
#include "frames/Frahorizbit.h"
#include "frames/Fraiostatus.h"
#include "frames/IndicatorShape.h"

using namespace orvan::frames;

namespace {

// Colours of indicators 0..n-1 as letters: R red, G lime, W white, B black.
std::string Colours(const TfraIOStatus& f) {
    std::string s;
    for (int i = 0; i < TfraIOStatus::kCount; ++i) {
        const QColor c = f.Colour(i);
        s += c == kRed ? 'R' : c == kLime ? 'G' : c == kWhite ? 'W' : c == kBlack ? 'B' : '?';
    }
    return s;
}

std::string Colours(const TBitRowFrame& f) {
    std::string s;
    for (int i = 0; i < f.Count(); ++i)
        s += f.Shape(i)->Fill() == kRed ? 'R' : f.Shape(i)->Fill() == kWhite ? 'W' : '?';
    return s;
}

}  // namespace

TEST(IoStatusFrame, LayoutFollowsTheTemplate) {
    TfraIOStatus f;
    EXPECT_EQ(f.size(), QSize(165, 298));
    for (int i = 0; i < TfraIOStatus::kCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f.Shape(i)->geometry(), QRect(0, 8 + 21 * i, 17, 17));
        EXPECT_EQ(f.Shape(i)->GetKind(), TShape::Kind::Circle);
        EXPECT_EQ(f.Shape(i)->Tag(), i);
        EXPECT_EQ(f.Label(i)->pos(), QPoint(24, 10 + 21 * i));
        EXPECT_EQ(f.Label(i)->text(), "I/O");
    }
    EXPECT_EQ(Colours(f), "GGGGGGGGGGGG");
    EXPECT_EQ(f.Shape(12), nullptr);
}

TEST(IoStatusFrame, ForcedMarksSurviveStatusWords) {
    TfraIOStatus f;
    f.ShowBitWord(0x0005);
    EXPECT_EQ(Colours(f), "RGRGGGGGGGGG");
    f.IndicatorMouseDown(1, Qt::ControlModifier);
    f.IndicatorMouseDown(3, Qt::ShiftModifier);
    EXPECT_EQ(f.ForcedOnMask(), 0x0002u);
    EXPECT_EQ(f.ForcedOffMask(), 0x0008u);
    f.ShowBitWord(0xFFFF);
    EXPECT_EQ(Colours(f), "RBRWRRRRRRRR");
    // Shift wins over Ctrl; Alt clears; no key changes nothing.
    f.IndicatorMouseDown(5, Qt::ShiftModifier | Qt::ControlModifier);
    f.IndicatorMouseDown(1, Qt::AltModifier);
    f.IndicatorMouseDown(3, Qt::NoModifier);
    f.IndicatorMouseDown(99, Qt::ShiftModifier);
    EXPECT_EQ(Colours(f), "RGRWRWRRRRRR");
    EXPECT_EQ(f.ForcedOffMask(), 0x0028u);
}

TEST(IoStatusFrame, ResetOfForcedMarksTurnsAllLime) {
    TfraIOStatus f;
    f.ShowBitWord(0x0F0);
    f.ShowForcedOn(0x003);
    f.ShowForcedOff(0x00C);
    EXPECT_EQ(Colours(f), "BBWWGGGGGGGG");  // forcing repaints status marks lime
    EXPECT_EQ(f.ForcedOnMask(), 0x003u);
    f.ShowForcedOff(0);
    f.ShowForcedOn(0);
    EXPECT_EQ(Colours(f), "GGGGGGGGGGGG");
}

TEST(IoStatusFrame, SelectedNameOnlyForAValidIndex) {
    TfraIOStatus f;
    f.SetSelectedName("none selected");
    f.SelectIndicator(12);
    f.SetSelectedName("out of range");
    for (int i = 0; i < TfraIOStatus::kCount; ++i) EXPECT_EQ(f.Label(i)->text(), "I/O");
    f.SelectIndicator(4);
    f.SetSelectedName("Start ciclo");
    EXPECT_EQ(f.Label(4)->text(), "Start ciclo");
}

TEST(AnomalyFrame, RebuildStartsEmpty) {
    TfraAnomaly f;
    EXPECT_EQ(f.Count(), 0);
    f.BuildIndicators(5);
    f.BuildIndicators(2);
    ASSERT_EQ(f.Count(), 2);
    EXPECT_EQ(f.findChildren<TShape*>().size(), 3u);  // two plus the template
    EXPECT_EQ(f.Label(0)->text(), "0");
    EXPECT_EQ(f.Label(1)->text(), "1");
    EXPECT_EQ(f.Label(2), nullptr);
    f.ShowBitWord(0xFFFFFFFF);
    EXPECT_EQ(Colours(f), "RR");
    f.ShowBitWord(0x2);
    EXPECT_EQ(Colours(f), "WR");
    f.BuildIndicators(0);
    EXPECT_EQ(f.Count(), 0);
    EXPECT_TRUE(f.TemplateShape()->isHidden());
    EXPECT_TRUE(f.TemplateLabel()->isHidden());
}

struct CapacityCase {
    int asked;
    int built;
};

class FrameCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(FrameCapacity, NeverMoreThanCapacity) {
    const CapacityCase c = GetParam();
    TfraAnomaly a;
    a.BuildIndicators(c.asked);
    EXPECT_EQ(a.Count(), std::min(c.built, 32));
    EXPECT_EQ(static_cast<int>(a.findChildren<TShape*>().size()), std::min(c.built, 32) + 1);
    TfraHorizBit h;
    h.SetIndicatorSpacing(21);
    h.BuildIndicators(c.asked);
    EXPECT_EQ(h.Count(), std::min(c.built, 40));
    h.ShowBitWord(0xFFFFFFFFu);  // a 32-bit word: heads beyond stay white
    for (int i = 0; i < h.Count(); ++i) EXPECT_EQ(h.Shape(i)->Fill(), i < 32 ? kRed : kWhite) << i;
    h.ShowBitWord(std::uint64_t{1} << 39);
    for (int i = 0; i < h.Count(); ++i) EXPECT_EQ(h.Shape(i)->Fill(), i == 39 ? kRed : kWhite) << i;
}

INSTANTIATE_TEST_SUITE_P(Counts, FrameCapacity,
                         ::testing::Values(CapacityCase{-3, 0}, CapacityCase{0, 0},
                                           CapacityCase{31, 31}, CapacityCase{32, 32},
                                           CapacityCase{33, 33}, CapacityCase{40, 40},
                                           CapacityCase{41, 41}, CapacityCase{256, 256},
                                           CapacityCase{300, 300}),
                         [](const auto& info) {
                             return info.param.asked < 0
                                        ? std::string("negative")
                                        : "count" + std::to_string(info.param.asked);
                         });

TEST(BitRowFrames, PlacedAtSpacingFromTheTemplate) {
    TfraAnomaly a;
    a.BuildIndicators(3);
    EXPECT_EQ(a.Shape(2)->geometry(), QRect(8, 34, 13, 13));
    EXPECT_EQ(a.Label(2)->pos(), QPoint(25, 34));
    a.SetIndicatorSpacing(20);
    a.BuildIndicators(3);
    EXPECT_EQ(a.Shape(2)->geometry(), QRect(8, 40, 13, 13));
    EXPECT_EQ(a.Shape(2)->Tag(), 2);

    TfraHorizBit h;
    EXPECT_EQ(h.size(), QSize(822, 67));
    h.SetIndicatorSpacing(21);
    h.BuildIndicators(4);
    EXPECT_EQ(h.Shape(3)->geometry(), QRect(63, 16, 13, 13));
    EXPECT_EQ(h.Label(3)->pos(), QPoint(64, 0));
    h.SetIndicatorName(3, "Head 4");
    h.SetIndicatorName(4, "none");
    h.SetIndicatorName(-1, "none");
    EXPECT_EQ(h.Label(3)->text(), "Head 4");
}
