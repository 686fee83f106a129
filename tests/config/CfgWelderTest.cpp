#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>

#include "config/Cfgwelder.h"
#include "config/Cfgwelderrw.h"

namespace orvan::config {
namespace {

using Image = std::array<std::uint8_t, kImageSize>;

TWelderCfgBlank RandomRecord(std::mt19937& rng) {
    TWelderCfgBlank c;
    for (const TFieldInfo& f : Fields()) {
        std::uniform_int_distribution<std::int32_t> d(f.Min(), f.Max());
        f.setRaw(c, f.index, d(rng));
    }
    return c;
}

TEST(Crc16Step, GoldenValues) {
    std::uint16_t reg = 0;
    for (char ch : std::string("123456789")) reg = Crc16Step(reg, static_cast<std::uint8_t>(ch));
    EXPECT_EQ(reg, 0xBEEF);
    // the augmented form, which the image checksum must not be
    EXPECT_EQ(Crc16Step(Crc16Step(reg, 0), 0), 0x31C3);
    EXPECT_EQ(Crc16Step(0, 0), 0);
    EXPECT_EQ(Crc16Step(0, 0x80), 0x0080);
    EXPECT_EQ(Crc16Step(0x0100, 0x00), 0x1021);  // one bit out after eight shifts
}

TEST(Image, ChecksumOfKnownImages) {
    Image img;
    img.fill(0xFF);
    EXPECT_EQ(ImageChecksum(img.data()), 0x5C88);
    img[0] = 0x03;
    img[2] = 0xDA;
    img[3] = 0x00;
    TWelderCfgBlank::StampImageChecksum(img.data());
    EXPECT_EQ(ImageChecksum(img.data()), 0xA998);
    EXPECT_EQ(img[382], 0x98);
    EXPECT_EQ(img[383], 0xA9);
    EXPECT_TRUE(ImageChecksumOk(img.data()));
    // a byte outside the data part does not count; one inside does
    img[300] = 0;
    EXPECT_TRUE(ImageChecksumOk(img.data()));
    img[217] ^= 0x01;
    EXPECT_FALSE(ImageChecksumOk(img.data()));
}

TEST(Image, FieldsSitAtTheirOffsets) {
    struct Case {
        const char* key;
        std::int32_t value;
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"Version", 0xAB, 0, {0xAB}},
        {"Size", 0x1234, 2, {0x34, 0x12}},
        {"StandByPower", 0xBEEF, 4, {0xEF, 0xBE}},
        {"TimeAlimSlope", 0x0102, 16, {0x02, 0x01}},
        {"ADCOffset_0", 0x11, 18, {0x11}},
        {"ADCAverage_5", 0x22, 29, {0x22}},
        {"TempWorkMax", 0x0304, 30, {0x04, 0x03}},
        {"TempWorkStepChk", 0x0506, 40, {0x06, 0x05}},
        {"TempWorkErrRetry", 0x33, 42, {0x33}},
        {"TempWorkErrMax", 0x0708, 44, {0x08, 0x07}},
        {"TempStartupErrRetry", 0x44, 50, {0x44}},
        {"TempStartupErrMax", 0x090A, 52, {0x0A, 0x09}},
        {"Period", 0x0B0C, 70, {0x0C, 0x0B}},
        {"OptoInFilter_11", 0x0D0E, 94, {0x0E, 0x0D}},
        {"Timer_15", 0x0F10, 126, {0x10, 0x0F}},
        {"PDiodeMax", 0x1112, 128, {0x12, 0x11}},
        {"PDTable_W_0", 0x1314, 130, {0x14, 0x13}},
        {"PDTable_V_9", 0x1516, 168, {0x16, 0x15}},
        {"PMCoeff_m", 40000, 170, {0x40, 0x9C}},
        {"PMCoeff_q", -5, 172, {0xFB, 0xFF}},
        {"IAlimCoeff_q", -32768, 176, {0x00, 0x80}},
        {"ADCGain_5", 0x1718, 188, {0x18, 0x17}},
        {"WATable_W_0", 0x191A, 190, {0x1A, 0x19}},
        {"WATable_A_5", 0x1B1C, 212, {0x1C, 0x1B}},
        {"TempCoeff_m", -2, 214, {0xFE, 0xFF}},
        {"TempCoeff_q", 0x1D1E, 216, {0x1E, 0x1D}},
    };
    for (const Case& c : cases) {
        const TFieldInfo* f = FindField(c.key);
        ASSERT_NE(f, nullptr) << c.key;
        TWelderCfgBlank rec;
        f->setRaw(rec, f->index, c.value);
        Image img;
        img.fill(0x5A);
        rec.FillImage(img.data());
        for (std::size_t i = 0; i < c.bytes.size(); ++i) {
            EXPECT_EQ(img[c.offset + i], c.bytes[i]) << c.key << " byte " << i;
        }
        TWelderCfgBlank back;
        back.LoadFromImage(img.data());
        EXPECT_EQ(f->Raw(back), c.value) << c.key;
    }
}

TEST(Image, FillersAndChecksumKeepWhatTheBufferHeld) {
    std::mt19937 rng(7);
    const TWelderCfgBlank rec = RandomRecord(rng);
    Image img;
    img.fill(0x5A);
    rec.FillImage(img.data());
    for (std::size_t i : {std::size_t{1}, std::size_t{43}, std::size_t{51}})
        EXPECT_EQ(img[i], 0x5A) << i;
    for (std::size_t i = kImageDataSize; i < kImageSize; ++i) EXPECT_EQ(img[i], 0x5A) << i;

    // every data byte but the three fillers belongs to exactly one field
    std::array<int, kImageDataSize> owners{};
    for (const TFieldInfo& f : Fields()) {
        for (int b = 0; b < f.Width(); ++b) ++owners[static_cast<std::size_t>(f.imageOffset + b)];
    }
    for (std::size_t i = 0; i < kImageDataSize; ++i) {
        EXPECT_EQ(owners[i], (i == 1 || i == 43 || i == 51) ? 0 : 1) << "offset " << i;
    }
}

TEST(Image, BuiltImageHasFillersVersionSizeAndChecksum) {
    std::mt19937 rng(11);
    TWelderCfgBlank rec = RandomRecord(rng);
    Image img;
    img.fill(0x00);
    BuildDeviceImage(rec, img.data());
    EXPECT_EQ(rec.GetVersion(), 3);
    EXPECT_EQ(rec.GetSize(), 218);
    EXPECT_EQ(img[0], 3);
    EXPECT_EQ(img[2], 218);
    EXPECT_EQ(img[3], 0);
    for (std::size_t i : {std::size_t{1}, std::size_t{43}, std::size_t{51}})
        EXPECT_EQ(img[i], 0xFF);
    for (std::size_t i = kImageDataSize; i < kImageChecksumOffset; ++i)
        EXPECT_EQ(img[i], 0xFF) << i;
    EXPECT_TRUE(ImageChecksumOk(img.data()));
}

TEST(Image, RandomRecordsSurviveTheImage) {
    std::mt19937 rng(1234);
    for (int n = 0; n < 200; ++n) {
        const TWelderCfgBlank rec = RandomRecord(rng);
        Image img;
        img.fill(0xFF);
        rec.FillImage(img.data());
        TWelderCfgBlank back;
        back.LoadFromImage(img.data());
        ASSERT_EQ(back, rec) << "record " << n;
    }
}

TEST(Fields, TableIsCompleteAndConsistent) {
    // 37 scalars and 78 array elements
    EXPECT_EQ(Fields().size(), 115u);
    std::set<std::string> keys;
    for (const TFieldInfo& f : Fields()) {
        EXPECT_TRUE(keys.insert(f.key).second) << f.key;
        EXPECT_EQ(FindField(f.key), &f);
    }
    EXPECT_EQ(FindField("pmcoeff_Q"), FindField("PMCoeff_q"));
    EXPECT_EQ(FindField("ADCOffset_6"), nullptr);
    std::set<const TFieldInfo*> inFile(FileFieldOrder().begin(), FileFieldOrder().end());
    EXPECT_EQ(inFile.size(), Fields().size());
    EXPECT_EQ(FileFieldOrder().size(), Fields().size());
    // the raw accessor of the table is the record's own
    TWelderCfgBlank c;
    c.SetPMCoeffQ(-77);
    c.SetWATableA(5, 60000);
    EXPECT_EQ(FindField("PMCoeff_q")->Raw(c), -77);
    EXPECT_EQ(FindField("WATable_A_5")->Raw(c), 60000);
    EXPECT_EQ(FindField("WATable_A_5")->kind, TFieldKind::U16);
    EXPECT_EQ(FindField("TempCoeff_m")->kind, TFieldKind::S16);
    EXPECT_EQ(FindField("ADCAverage_2")->kind, TFieldKind::U8);
}

TEST(Fields, RawSettersTruncateToTheWidth) {
    TWelderCfgBlank c;
    c.SetADCOffset(0, static_cast<std::uint8_t>(256));
    FindField("MinPower")->setRaw(c, -1, 70000);
    FindField("MaxPower")->setRaw(c, -1, -1);
    FindField("TempCoeff_q")->setRaw(c, -1, 65535);
    EXPECT_EQ(c.GetADCOffset(0), 0);
    EXPECT_EQ(c.GetMinPower(), 4464);
    EXPECT_EQ(c.GetMaxPower(), 65535);
    EXPECT_EQ(c.GetTempCoeffQ(), -1);
    // an index out of range is ignored
    c.SetTimer(16, 5);
    EXPECT_EQ(c.GetTimer(16), 0);
    EXPECT_EQ(c.SetTimerValue(-1, 5).status, TSetStatus::NoSuchElement);
    EXPECT_EQ(c.SetWATableAValue(6, 1).status, TSetStatus::NoSuchElement);
}

TEST(Default, DefaultConfigurationMakesAValidImage) {
    TWelderCfgBlank c = DefaultConfiguration();
    EXPECT_EQ(c.GetVersion(), 3);
    EXPECT_EQ(c.GetSize(), 218);
    Image img;
    BuildDeviceImage(c, img.data());
    EXPECT_TRUE(ImageChecksumOk(img.data()));
    bool ok = false;
    EXPECT_GT(c.PowerSetpointFromReading(512, &ok), 0.0);
    EXPECT_TRUE(ok);
    EXPECT_GT(c.GetCurrentDiodeMaxValue(), c.GetMaxPowerValue());
    EXPECT_GT(c.GetMaxPowerValue(), c.GetMinPowerValue());
    EXPECT_GT(c.GetMinPowerValue(), c.GetStandByPowerValue());
}

// ---- engineering conversions ----------------------------------------------------

TEST(Engineering, CurrentsScaleByTheDiodeMaximum) {
    TWelderCfgBlank c;
    c.SetCurrentDiodeMax(10000);  // 100.00 A
    c.SetStandByPower(65535);
    EXPECT_DOUBLE_EQ(c.GetStandByPowerValue(), 100.0);
    // rounded to the nearest count: 32767.5 becomes 32768; both read 50.00 A
    TSetResult r = c.SetStandByPowerValue(50);
    EXPECT_EQ(r.status, TSetStatus::Stored);
    EXPECT_EQ(c.GetStandByPower(), 32768);
    EXPECT_DOUBLE_EQ(c.GetStandByPowerValue(), 50.0);
    EXPECT_EQ(c.SetMinPowerValue(12.34).raw, 8087);
    EXPECT_DOUBLE_EQ(c.GetMinPowerValue(), 12.34);

    // above the maximum or negative: limited, and said so
    r = c.SetMaxPowerValue(150);
    EXPECT_EQ(r.status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetMaxPower(), 65535);
    EXPECT_FALSE(r.why.empty());
    r = c.SetMaxPowerValue(-1);
    EXPECT_EQ(r.status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetMaxPower(), 0);

    r = c.SetWATableAValue(2, 120.0);
    EXPECT_EQ(r.status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetWATableA(2), 65535);
    EXPECT_EQ(c.SetWATableAValue(2, 25.0).raw, 16384);
    EXPECT_DOUBLE_EQ(c.GetWATableAValue(2), 25.0);

    c.SetMaxPower(1234);
    EXPECT_EQ(c.SetMaxPowerValue(std::nan("")).status, TSetStatus::NotANumber);
    EXPECT_EQ(c.SetMaxPowerValue(INFINITY).status, TSetStatus::NotANumber);
    EXPECT_EQ(c.GetMaxPower(), 1234);
}

TEST(Engineering, ZeroDiodeMaximumRefusesCurrentsAndKeepsThem) {
    TWelderCfgBlank c;
    c.SetStandByPower(11);
    c.SetMinPower(12);
    c.SetMaxPower(13);
    c.SetWATableA(0, 14);
    EXPECT_EQ(c.SetStandByPowerValue(1).status, TSetStatus::DivisionByZero);
    EXPECT_EQ(c.SetMinPowerValue(1).status, TSetStatus::DivisionByZero);
    EXPECT_EQ(c.SetMaxPowerValue(1).status, TSetStatus::DivisionByZero);
    EXPECT_EQ(c.SetWATableAValue(0, 1).status, TSetStatus::DivisionByZero);
    EXPECT_FALSE(c.SetWATableAValue(0, 1).why.empty());
    EXPECT_EQ(c.GetStandByPower(), 11);
    EXPECT_EQ(c.GetMinPower(), 12);
    EXPECT_EQ(c.GetMaxPower(), 13);
    EXPECT_EQ(c.GetWATableA(0), 14);
    EXPECT_DOUBLE_EQ(c.GetStandByPowerValue(), 0.0);
}

TEST(Engineering, TypedDecimalsRoundToTheNearestRawValue) {
    // Truncating would store 229, 100 and 7: the products fall just short.
    TWelderCfgBlank c;
    EXPECT_EQ(c.SetCurrentDiodeMaxValue(2.3).raw, 230);
    EXPECT_EQ(c.SetADCGainValue(1, 1.001).raw, 1001);
    EXPECT_EQ(c.SetPDiodeMaxValue(80.0).raw, 8000);
    // a temperature difference stored as 8 reads 0.9 and is written back as 8
    c.SetTempWorkStepChk(8);
    EXPECT_DOUBLE_EQ(c.GetTempWorkStepChkValue(), 0.9);
    EXPECT_EQ(c.SetTempWorkStepChkValue(c.GetTempWorkStepChkValue()).raw, 8);
    // timers: the tenths are dropped on reading, kept on writing
    c.SetTimer(3, 125);
    EXPECT_DOUBLE_EQ(c.GetTimerValue(3), 12.0);
    EXPECT_EQ(c.SetTimerValue(3, 12.5).raw, 125);
    EXPECT_EQ(c.SetTimerValue(3, 7000).status, TSetStatus::Clamped);
}

TEST(Engineering, FixedConversions) {
    struct Case {
        const char* key;
        std::int32_t raw;
        double value;
    };
    const Case cases[] = {
        {"CurrentDiodeMax", 6000, 60.0},
        {"PDiodeMax", 8000, 80.0},
        {"VsetPowMax", 1023, 10.0},
        {"VsetPowMax", 512, 5.0},
        {"AlimVolt2Ampere", 0, 0.0},
        {"AlimVolt2Ampere", 1118, 1.0},
        {"AlimVolt2Ampere", 229, 4.882},
        {"PowerTolerance", 500, 500.0},
        {"PMCoeff_q", -5, -50.0},
        {"IAlimCoeff_q", 32767, 327670.0},
        {"ADCGain_0", 1234, 1.234},
        {"PDTable_W_3", 12345, 123.45},
        {"PDTable_V_3", 1023, 5.0},
        {"PDTable_V_4", 100, 0.489},
        {"WATable_W_5", 8000, 80.0},
        {"TempWorkMax", 822, 0.0},  // 4.01905 V at 0 C
        {"TempWorkMax", 0, 98.6},
        {"TempStartupErrMax", 44, 5.0},
        {"Timer_0", 9, 0.0},
    };
    for (const Case& c : cases) {
        const TFieldInfo* f = FindField(c.key);
        ASSERT_NE(f, nullptr) << c.key;
        ASSERT_NE(f->getValue, nullptr) << c.key;
        TWelderCfgBlank rec;
        f->setRaw(rec, f->index, c.raw);
        EXPECT_NEAR(f->Value(rec), c.value, 1e-9) << c.key << " raw " << c.raw;
    }
}

TEST(Engineering, SignedOffsetsAndFeedbackVoltage) {
    TWelderCfgBlank c;
    c.SetPMCoeffQ(-5);
    EXPECT_DOUBLE_EQ(c.GetPMCoeffQValue(), -50.0);
    EXPECT_EQ(c.SetPMCoeffQValue(-50).raw, -5);
    EXPECT_EQ(c.GetPMCoeffQ(), -5);
    EXPECT_EQ(c.SetIAlimCoeffQValue(-400000).status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetIAlimCoeffQ(), -32768);

    c.SetAlimVolt2Ampere(500);
    EXPECT_EQ(c.SetAlimVolt2AmpereValue(0).status, TSetStatus::DivisionByZero);
    EXPECT_EQ(c.GetAlimVolt2Ampere(), 500);
    EXPECT_EQ(c.SetAlimVolt2AmpereValue(1.0).raw, 1118);
    EXPECT_DOUBLE_EQ(c.GetAlimVolt2AmpereValue(), 1.0);
    // a tiny voltage needs more than 16 bits
    EXPECT_EQ(c.SetAlimVolt2AmpereValue(0.001).status, TSetStatus::Clamped);
}

TEST(Engineering, TemperaturesRoundTripOnlyWithUnitGain) {
    TWelderCfgBlank c;
    c.SetADCGain(3, 1000);
    for (int raw = 0; raw <= 1023; ++raw) {
        c.SetTempWorkOK(static_cast<std::uint16_t>(raw));
        const TSetResult r = c.SetTempWorkOKValue(c.GetTempWorkOKValue());
        ASSERT_TRUE(r.ok());
        ASSERT_EQ(c.GetTempWorkOK(), raw) << "raw " << raw;
    }
    // the setter scales by the gain, the getter does not divide by it
    c.SetADCGain(3, 2000);
    c.SetTempWorkMax(400);
    ASSERT_TRUE(c.SetTempWorkMaxValue(c.GetTempWorkMaxValue()).ok());
    EXPECT_NEAR(c.GetTempWorkMax(), 800, 1);
    c.SetADCGain(3, 0);
    EXPECT_EQ(c.SetTempWorkMinValue(25).raw, 0);
    c.SetADCGain(3, 1000);
    EXPECT_EQ(c.SetTempWorkMinValue(-10000).status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetTempWorkMin(), 65535);
    EXPECT_EQ(c.SetTempWorkMinValue(200).status, TSetStatus::Clamped);
    EXPECT_EQ(c.GetTempWorkMin(), 0);
}

// ---- live readings ----------------------------------------------------------------

TEST(LiveReadings, PhotodiodeTable) {
    TWelderCfgBlank c;
    for (int i = 0; i < 10; ++i) {
        c.SetPDTableV(i, static_cast<std::uint16_t>(i * 100));
        c.SetPDTableW(i, static_cast<std::uint16_t>(i * 1000));
    }
    EXPECT_DOUBLE_EQ(c.PhotodiodePowerFromReading(150), 15.0);
    EXPECT_DOUBLE_EQ(c.PhotodiodePowerFromReading(0), 0.0);
    EXPECT_DOUBLE_EQ(c.PhotodiodePowerFromReading(900), 90.0);
    EXPECT_DOUBLE_EQ(c.PhotodiodePowerFromReading(950), 95.0);  // extrapolated on segment 8
    // equal neighbours on the segment a reading falls in
    TWelderCfgBlank flat = c;
    flat.SetPDTableV(9, 800);
    EXPECT_DOUBLE_EQ(flat.PhotodiodePowerFromReading(950), 1.0);
    flat.SetPDTableV(0, 100);
    EXPECT_DOUBLE_EQ(flat.PhotodiodePowerFromReading(50), 1.0);
    EXPECT_DOUBLE_EQ(flat.PhotodiodePowerFromReading(150), 15.0);
    // the slope is an integer quotient: 1000 / 300 = 3
    c.SetPDTableV(1, 0);
    c.SetPDTableV(2, 300);
    c.SetPDTableW(1, 0);
    c.SetPDTableW(2, 1000);
    c.SetPDTableV(0, 0);
    EXPECT_DOUBLE_EQ(c.PhotodiodePowerFromReading(150), (150 * 3 + (1000 - 300 * 3)) * 0.01);
    // near 0xFFFF the products pass 32 bits
    TWelderCfgBlank s;
    for (int i = 0; i < 10; ++i) s.SetPDTableV(i, static_cast<std::uint16_t>(i));
    s.SetPDTableW(9, 65535);
    bool ok = false;
    const double w = s.PhotodiodePowerFromReading(65535, &ok);
    EXPECT_TRUE(ok);
    EXPECT_NEAR(w, (65535.0 * 65535.0 + 65535.0 - 9.0 * 65535.0) * 0.01, 0.01);
}

TEST(LiveReadings, MetersAndSetpoints) {
    TWelderCfgBlank c;
    c.SetCurrentDiodeMax(10000);
    c.SetMinPower(0);
    c.SetMaxPower(65535);
    c.SetVsetPowMax(1023);
    c.SetPDiodeMax(8000);
    c.SetADCGain(4, 1000);
    c.SetIAlimCoeffM(1200);
    c.SetIAlimCoeffQ(-3);
    c.SetPMCoeffM(65535);
    c.SetPMCoeffQ(0);
    bool ok = false;
    EXPECT_DOUBLE_EQ(c.CurrentSetpointFromReading(1023, &ok), 100.0);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(c.CurrentSetpointFromReading(0), 0.0);
    EXPECT_DOUBLE_EQ(c.PowerSetpointFromReading(1023), 80.0);
    EXPECT_DOUBLE_EQ(c.PowerSetpointFromReading(0), 0.0);
    EXPECT_DOUBLE_EQ(c.SupplyCurrentFromReading(1000), 120.0);
    // 65535 x 65535 would wrap negative in 32 bits
    EXPECT_NEAR(c.PowerMeterFromReading(65535), 429483.62, 1e-6);
    c.SetPMCoeffM(1000);
    c.SetPMCoeffQ(-500);
    EXPECT_DOUBLE_EQ(c.PowerMeterFromReading(0), -0.5);
    EXPECT_DOUBLE_EQ(c.PowerMeterFromReading(1000), 99.5);
}

TEST(LiveReadings, ZeroDivisorsGiveZeroAndSaySo) {
    TWelderCfgBlank c;  // a file without VsetPowMax, ADCGain_4 or PDiodeMax
    c.SetCurrentDiodeMax(10000);
    c.SetMaxPower(60000);
    c.SetMinPower(100);
    bool ok = true;
    EXPECT_EQ(c.CurrentSetpointFromReading(500, &ok), 0.0);
    EXPECT_FALSE(ok);
    ok = true;
    c.SetVsetPowMax(1023);
    EXPECT_EQ(c.PowerSetpointFromReading(500, &ok), 0.0);  // ADCGain_4 is 0
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(c.DacFromPower(10, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(c.CurrentSetpointFromReading(500),
              c.CurrentSetpointFromReading(500));  // no crash without ok
}

TEST(LiveReadings, DacFromPowerMapsAndLimits) {
    TWelderCfgBlank c = DefaultConfiguration();  // 6553 .. 52428 over 0 .. 80 W
    bool ok = false;
    EXPECT_EQ(c.DacFromPower(0, &ok), 6553);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.DacFromPower(80), 52428);
    EXPECT_EQ(c.DacFromPower(40), 6553 + (52428 - 6553) / 2);
    EXPECT_EQ(c.DacFromPower(1000), 65535);
    EXPECT_EQ(c.DacFromPower(-1000), 0);
    EXPECT_EQ(c.DacFromPower(std::nan(""), &ok), 0);
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace orvan::config
