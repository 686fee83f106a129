// Analog input calibration: each computation against hand-computed values,
// the refusals (identical points, a zero or stale reading, values the board
// cannot hold, text that is not a number), and the record changed only when
// an action succeeds, on the simulated board's live readings.

#include <gtest/gtest.h>

#include <cmath>

#include "StatusRig.h"
#include "features/AnalogCalibration.h"

using namespace orvan;
using namespace orvan::features;

namespace {

TEST(LineFit, HandComputedCases) {
    struct Case {
        double x1, x2, y1, y2;
        double m;
        std::int32_t q;
        std::uint16_t rawM;
        std::int16_t rawQ;
    };
    // x in counts = V x 204.6, y in 0.0001 units; q is stored in tens.
    const Case cases[] = {
        // 0..5 V over 0..100 W: x2 = 1023 counts, m = 1e6 / 1023.
        {0, 5, 0, 100, 977.5171065493646, 0, 977, 0},
        {0.5, 2.5, 5, 25, 488.7585532746823, 0, 488, 0},
        // 204.6..818.4 counts over 10..70 W: the line crosses 0 V at -10 W.
        {1, 4, 10, 70, 977.5171065493647, -100000, 977, -10000},
        // 40.92..941.16 counts over 3..150 W: q = -36818.18, stored -3682.
        {0.2, 4.6, 3, 150, 1632.8978938949615, -36818, 1632, -3682},
        {0.05, 0.45, 2, 40, 4643.206256109483, -27500, 4643, -2750},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << ".." << c.x2);
        TLineFit f;
        ASSERT_TRUE(ComputeLineFit(c.x1, c.x2, c.y1, c.y2, f));
        EXPECT_NEAR(f.m, c.m, 1e-9);
        EXPECT_EQ(f.q, c.q);
        EXPECT_EQ(f.rawM, c.rawM);
        EXPECT_EQ(f.rawQ, c.rawQ);
    }
}

TEST(LineFit, RefusedWhenTheBoardCannotHoldIt) {
    struct Case {
        double x1, x2, y1, y2;
        const char* why;
    };
    const Case cases[] = {
        {2.5, 2.5, 0, 100, "same voltage"}, {0, 0, 0, 0, "same voltage"},
        {0, 5, 100, 0, "does not fit"},      // falling line: m < 0
        {1, 1.001, 0, 100, "does not fit"},  // m = 4.9 million
        {4, 5, 0, 100, "does not fit"},      // q = -4 million: beyond 16 bits in tens
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << ".." << c.x2 << " " << c.y1 << ".." << c.y2);
        TLineFit f;
        f.rawM = 7;
        const TResult r = ComputeLineFit(c.x1, c.x2, c.y1, c.y2, f);
        EXPECT_FALSE(r);
        EXPECT_NE(r.why.find(c.why), std::string::npos) << r.why;
        EXPECT_EQ(f.rawM, 7);  // nothing computed into it
    }
}

TEST(Gain, HandComputedAndZero) {
    double g = 0;
    ASSERT_TRUE(ComputeGain(5, 4.9951171875, g));
    EXPECT_DOUBLE_EQ(g, 5 / 4.9951171875);
    ASSERT_TRUE(ComputeGain(0.5, 0.25, g));
    EXPECT_DOUBLE_EQ(g, 2.0);
    EXPECT_FALSE(ComputeGain(5, 0, g));
    EXPECT_FALSE(ComputeGain(0, 1, g));
    EXPECT_FALSE(ComputeGain(-5, 1, g));
}

// The core on the simulated board with polling running.
struct CalRig : test::StatusRig {
    TAnalogCalibration& cal = core.Calibration();
    struct Recorder : IAnalogCalibrationView {
        void OnCalibrationStored(const std::vector<std::string>& k) override { keys.push_back(k); }
        std::vector<std::vector<std::string>> keys;
    } stored;
    CalRig() {
        cal.Views().Add(stored);
        polling.flags = TPollFlags{false, true, false, false, false};
    }
    // Answer order: photodiode, power meter, supply current, temperature,
    // power set, PT100.
    void Reading(std::array<std::uint16_t, 6> words) {
        SetAnalogWords(words);
        const std::uint64_t before = cal.Readings();
        for (int i = 0; i < 100 && cal.Readings() == before; ++i) Tick(1);
    }
    std::array<std::uint8_t, 384> Image() {
        std::array<std::uint8_t, 384> a{};
        record.FillImage(a.data());
        return a;
    }
};

TEST(CalibrationCapture, RefusedWithoutAFreshReading) {
    CalRig rig;
    const auto before = rig.Image();
    double v = 0;
    // Polling not running.
    TResult r = rig.cal.CapturePhotodiodePoint(0, v);
    EXPECT_FALSE(r);
    EXPECT_NE(r.why.find("Polling is not running"), std::string::npos) << r.why;
    rig.polling.Start();
    // Running, but no answer yet.
    r = rig.cal.CapturePhotodiodePoint(0, v);
    EXPECT_FALSE(r);
    EXPECT_NE(r.why.find("No analog reading"), std::string::npos) << r.why;
    EXPECT_EQ(rig.Image(), before);
    EXPECT_TRUE(rig.stored.keys.empty());

    rig.Reading({1023, 512, 210, 610, 512, 480});
    ASSERT_TRUE(rig.cal.CapturePhotodiodePoint(3, v));
    EXPECT_DOUBLE_EQ(v, 1023 * 5.0 / 1024);
    // 4.9951 V x 204.6 = 1022.0 counts.
    EXPECT_EQ(rig.record.GetPDTableV(3), 1022);
    ASSERT_EQ(rig.stored.keys.size(), 1u);
    EXPECT_EQ(rig.stored.keys[0], std::vector<std::string>{"PDTable_V_3"});

    // The same reading twice is refused; the next one is taken.
    const auto afterFirst = rig.Image();
    EXPECT_FALSE(rig.cal.CapturePhotodiodePoint(4, v));
    EXPECT_EQ(rig.Image(), afterFirst);
    rig.Reading({512, 512, 210, 610, 512, 480});
    ASSERT_TRUE(rig.cal.CapturePhotodiodePoint(4, v));
    EXPECT_EQ(rig.record.GetPDTableV(4), 512);  // 2.5 V x 204.6 = 511.5, rounded up

    // Stopped polling makes the last reading stale again.
    rig.Reading({100, 512, 210, 610, 512, 480});
    rig.polling.Stop();
    EXPECT_FALSE(rig.cal.CapturePhotodiodePoint(5, v));
    EXPECT_FALSE(rig.cal.CapturePhotodiodePoint(10, v));
}

TEST(CalibrationGain, FromTheLiveReading) {
    CalRig rig;
    rig.polling.Start();
    // 1023 counts on the power meter: 4.9951171875 V.
    rig.Reading({40, 1023, 210, 610, 512, 480});
    TGainReading g;
    ASSERT_TRUE(rig.cal.GetGain(1, "5", g));
    EXPECT_EQ(g.measuredText, "4.995");
    EXPECT_EQ(g.gainText, "1.001");
    // Nothing is stored until the factor is copied.
    EXPECT_TRUE(rig.stored.keys.empty());
    ASSERT_TRUE(rig.cal.CopyGain(1, g.gainText));
    EXPECT_EQ(rig.record.GetADCGain(1), 1001);
    EXPECT_EQ(rig.stored.keys.back(), std::vector<std::string>{"ADCGain_1"});

    // The locale's separator.
    rig.cal.decimalSeparator = ',';
    rig.Reading({40, 1023, 102, 610, 512, 480});  // supply: 0.498 V
    ASSERT_TRUE(rig.cal.GetGain(2, "0,5", g));
    EXPECT_EQ(g.gainText, "1,004");
    EXPECT_EQ(g.measuredText, "0,498");
}

TEST(CalibrationGain, Refusals) {
    CalRig rig;
    rig.polling.Start();
    rig.Reading({0, 1023, 210, 610, 512, 480});
    const auto before = rig.Image();
    TGainReading g;
    g.gainText = "untouched";
    struct Case {
        int channel;
        const char* vin;
        const char* why;
    };
    const Case cases[] = {
        {0, "5", "reads exactly 0 V"},       // the photodiode reads 0
        {1, "abc", "not a valid floating"},  // Vin not a number
        {1, "", "not a valid floating"},    {1, "5.0.1", "not a valid floating"},
        {1, "0", "greater than 0 V"},       {6, "5", "no analog input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vin);
        const TResult r = rig.cal.GetGain(c.channel, c.vin, g);
        EXPECT_FALSE(r);
        EXPECT_NE(r.why.find(c.why), std::string::npos) << r.why;
        EXPECT_EQ(g.gainText, "untouched");
    }
    // The refusals above did not use up the reading.
    EXPECT_TRUE(rig.cal.GetGain(1, "5", g));
    // Copy: nothing yet, not a number, beyond 65.535.
    for (const char* text : {"", "x", "70", "-1"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(rig.cal.CopyGain(1, text));
    }
    EXPECT_EQ(rig.Image(), before);
    EXPECT_TRUE(rig.stored.keys.empty());
}

TEST(CalibrationLineFit, StoredAsTheBoardReadsIt) {
    CalRig rig;
    rig.polling.Start();
    rig.Reading({40, 41, 210, 610, 512, 480});  // 0.2002 V
    double v = 0;
    std::string text;
    ASSERT_TRUE(rig.cal.CaptureLineVolts(TFeedbackLine::PowerMeter, v, text));
    EXPECT_EQ(text, "0.2");
    rig.Reading({40, 942, 210, 610, 512, 480});
    std::string maxText;
    ASSERT_TRUE(rig.cal.CaptureLineVolts(TFeedbackLine::PowerMeter, v, maxText));
    EXPECT_EQ(maxText, "4.6");

    TLineFit f;
    ASSERT_TRUE(rig.cal.FitLine(TFeedbackLine::PowerMeter, {"0.2", "4.6", "3", "150"}, f));
    EXPECT_EQ(rig.record.GetPMCoeffM(), 1632);
    EXPECT_EQ(rig.record.GetPMCoeffQ(), -3682);
    // The page shows the offset from the record, ten times the stored value,
    // which is the fit's q (to the nearest ten), not ten times it.
    EXPECT_DOUBLE_EQ(rig.record.GetPMCoeffQValue(), -36820);
    EXPECT_EQ(rig.stored.keys.back(), (std::vector<std::string>{"PMCoeff_m", "PMCoeff_q"}));
    // The live power meter now converts with the new line: 4.6 V reads
    // 150 W within the offset's rounding.
    EXPECT_NEAR(rig.record.PowerMeterFromReading(942), 150.0, 0.5);

    ASSERT_TRUE(rig.cal.FitLine(TFeedbackLine::SupplyCurrent, {"1", "4", "10", "70"}, f));
    EXPECT_EQ(rig.record.GetIAlimCoeffM(), 977);
    EXPECT_EQ(rig.record.GetIAlimCoeffQ(), -10000);
    EXPECT_DOUBLE_EQ(rig.record.GetIAlimCoeffQValue(), -100000);
    // The fit itself needs no reading: edits typed by hand are fitted too.
    rig.polling.Stop();
    ASSERT_TRUE(rig.cal.FitLine(TFeedbackLine::SupplyCurrent, {"0", "5", "0", "100"}, f));
    EXPECT_EQ(rig.record.GetIAlimCoeffM(), 977);
    EXPECT_EQ(rig.record.GetIAlimCoeffQ(), 0);
}

TEST(CalibrationLineFit, RefusalsChangeNothing) {
    CalRig rig;
    rig.record.SetPMCoeffM(1000);
    rig.record.SetPMCoeffQ(-5);
    const auto before = rig.Image();
    struct Case {
        TLineFitTexts texts;
        const char* why;
    };
    const Case cases[] = {
        {{"2.5", "2.5", "0", "100"}, "same voltage"},
        {{"", "5", "0", "100"}, "Power Meter > P min (V): '' is not a valid"},
        {{"0", "5", "0", "lots"}, "Power Meter > P max (W): 'lots'"},
        {{"0", "5,0", "0", "100"}, "P max (V)"},  // the separator is '.'
        {{"0", "5", "100", "0"}, "does not fit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TLineFit f;
        const TResult r = rig.cal.FitLine(TFeedbackLine::PowerMeter, c.texts, f);
        EXPECT_FALSE(r);
        EXPECT_NE(r.why.find(c.why), std::string::npos) << r.why;
    }
    EXPECT_EQ(rig.Image(), before);
    EXPECT_TRUE(rig.stored.keys.empty());
}

TEST(CalibrationTemperature, AlwaysTheSensorsCoefficients) {
    CalRig rig;
    rig.record.SetTempCoeffM(100);
    rig.record.SetTempCoeffQ(0);
    ASSERT_TRUE(rig.cal.SetTemperatureCoefficients());
    EXPECT_EQ(rig.record.GetTempCoeffM(), -119);
    EXPECT_EQ(rig.record.GetTempCoeffQ(), -98);
    EXPECT_EQ(rig.stored.keys.back(), (std::vector<std::string>{"TempCoeff_m", "TempCoeff_q"}));
    // Nothing goes to the board.
    EXPECT_TRUE(rig.core.Idle());
}

}  // namespace
