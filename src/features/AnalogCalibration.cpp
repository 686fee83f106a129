#include "features/AnalogCalibration.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "features/StatusPolling.h"
#include "link/NumberText.h"

namespace orvan::features {

namespace {

// 1023 converter counts over 5 V, as the board scales its inputs.
constexpr double kCountsPerVolt = 204.6;
// The fit's y unit: 0.0001 W or 0.0001 A.
constexpr double kYScale = 10000.0;

struct TLineNames {
    const char* group;
    const char* x1;
    const char* x2;
    const char* y1;
    const char* y2;
    const char* mKey;
    const char* qKey;
    int channel;
};

const TLineNames& Names(TFeedbackLine line) {
    static const TLineNames kPowerMeter{"Power Meter", "P min (V)",       "P max (V)",
                                        "P min (W)",   "P max (W)",       "PMCoeff_m",
                                        "PMCoeff_q",   kPowerMeterChannel};
    static const TLineNames kSupply{
        "Corrente alimentatore", "I min (V)",    "I max (V)",          "I min (A)", "I max (A)",
        "IAlimCoeff_m",          "IAlimCoeff_q", kSupplyCurrentChannel};
    return line == TFeedbackLine::PowerMeter ? kPowerMeter : kSupply;
}

std::string ChannelName(int channel) {
    return std::string(kChannelCaptions[static_cast<std::size_t>(channel)]);
}

std::string Fixed3(double v, char decimal) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s(buf);
    if (s == "-0.000") s = "0.000";
    for (char& c : s)
        if (c == '.') c = decimal;
    return s;
}

TResult ParseNumber(std::string_view text, char decimal, const std::string& where, double& out) {
    if (!link::ParseReal(text, decimal, out))
        return TResult::Fail(where + ": '" + std::string(text) +
                             "' is not a valid floating point value");
    return TResult::Ok();
}

}  // namespace

TResult ComputeGain(double vin, double measured, double& gain) {
    if (measured == 0)
        return TResult::Fail("the input reads exactly 0 V: no gain can be computed from it");
    if (!std::isfinite(vin) || vin <= 0)
        return TResult::Fail("the reference voltage must be greater than 0 V");
    gain = vin / measured;
    return TResult::Ok();
}

TResult ComputeLineFit(double x1Volts, double x2Volts, double y1, double y2, TLineFit& out) {
    const double ya = y1 * kYScale, yb = y2 * kYScale;
    const double xa = x1Volts * kCountsPerVolt, xb = x2Volts * kCountsPerVolt;
    if (xa == xb)
        return TResult::Fail("the two points have the same voltage (" + link::NumberText(x1Volts) +
                             " V): capture the minimum and the maximum at different powers");
    const double m = (yb - ya) / (xb - xa);
    const double q = yb - xb * m;
    if (!std::isfinite(m) || !std::isfinite(q))
        return TResult::Fail("the points give no usable line");
    const double mWhole = std::trunc(m);
    if (mWhole < 0 || mWhole > std::numeric_limits<std::uint16_t>::max())
        return TResult::Fail("m = " + link::NumberText(mWhole) +
                             " does not fit the board's coefficient (0 to 65535): check the "
                             "points (the maximum must read more than the minimum)");
    if (q < std::numeric_limits<std::int32_t>::min() ||
        q > std::numeric_limits<std::int32_t>::max())
        return TResult::Fail("q = " + link::NumberText(std::trunc(q)) +
                             " does not fit the board's coefficient");
    const auto qWhole = static_cast<std::int32_t>(std::trunc(q));
    // The board adds ten times the stored offset.
    const long tenths = std::lround(qWhole / 10.0);
    if (tenths < std::numeric_limits<std::int16_t>::min() ||
        tenths > std::numeric_limits<std::int16_t>::max())
        return TResult::Fail("q = " + std::to_string(qWhole) +
                             " does not fit the board's coefficient (-327680 to 327670)");
    out.m = m;
    out.q = qWhole;
    out.rawM = static_cast<std::uint16_t>(mWhole);
    out.rawQ = static_cast<std::int16_t>(tenths);
    return TResult::Ok();
}

void TAnalogCalibration::OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) {
    for (std::size_t c = 0; c < channels.size(); ++c) volts_[c] = AnalogVolts(channels[c]);
    ++readings_;
}

TResult TAnalogCalibration::Capture(int channel, double& volts) {
    if (!polling_.Running())
        return TResult::Fail(
            "Polling is not running, so the analog readings are not current: start polling "
            "with \"Analog input\" ticked, then capture again.");
    if (readings_ == 0 || readings_ <= capturedReading_)
        return TResult::Fail(
            "No analog reading has arrived since the last capture: wait for the next reading "
            "(is \"Analog input\" ticked?), then capture again.");
    capturedReading_ = readings_;
    volts = volts_[static_cast<std::size_t>(channel)];
    return TResult::Ok();
}

void TAnalogCalibration::Stored(std::vector<std::string> keys) {
    views_.Notify(&IAnalogCalibrationView::OnCalibrationStored, keys);
}

TResult TAnalogCalibration::GetGain(int channel, std::string_view vinText, TGainReading& out) {
    if (channel < 0 || channel > 5)
        return TResult::Fail("no analog input " + std::to_string(channel));
    const std::string name = ChannelName(channel);
    double vin = 0;
    if (TResult r = ParseNumber(vinText, decimalSeparator, "Gain, " + name + ", Vin (V)", vin); !r)
        return r;
    // Checked before the capture, so a refusal here does not use up the reading.
    if (vin <= 0)
        return TResult::Fail("Gain, " + name + ": the reference voltage must be greater than 0 V");
    if (polling_.Running() && readings_ > capturedReading_ &&
        volts_[static_cast<std::size_t>(channel)] == 0)
        return TResult::Fail(name +
                             " reads exactly 0 V: apply the reference voltage to the "
                             "input and wait for the next reading.");
    double measured = 0;
    if (TResult r = Capture(channel, measured); !r) return r;
    double gain = 0;
    if (TResult r = ComputeGain(vin, measured, gain); !r) return TResult::Fail(name + ": " + r.why);
    out.measured = measured;
    out.gain = gain;
    out.measuredText = link::FormatReal(std::round(measured * 1000.0) / 1000.0, decimalSeparator);
    out.gainText = Fixed3(gain, decimalSeparator);
    return TResult::Ok();
}

TResult TAnalogCalibration::CopyGain(int channel, std::string_view gainText) {
    if (channel < 0 || channel > 5)
        return TResult::Fail("no analog input " + std::to_string(channel));
    const std::string name = ChannelName(channel);
    if (gainText.find_first_not_of(" \t") == std::string_view::npos)
        return TResult::Fail("Gain, " + name + ": press \"Get\" first, there is no factor to copy");
    double gain = 0;
    if (TResult r = ParseNumber(gainText, decimalSeparator, "Gain, " + name, gain); !r) return r;
    const std::uint16_t before = record_.GetADCGain(channel);
    const config::TSetResult s = record_.SetADCGainValue(channel, gain);
    if (s.status != config::TSetStatus::Stored) {
        record_.SetADCGain(channel, before);
        return TResult::Fail("Gain, " + name + ": " + std::string(gainText) +
                             " cannot be stored (0 to 65.535)");
    }
    Stored({"ADCGain_" + std::to_string(channel)});
    return TResult::Ok();
}

TResult TAnalogCalibration::CaptureLineVolts(TFeedbackLine line, double& volts, std::string& text) {
    if (TResult r = Capture(Names(line).channel, volts); !r) return r;
    // To the millivolt, as the gain grid shows its readings: the converter's
    // step is about 5 mV, the digits beyond it are noise.
    text = link::FormatReal(std::round(volts * 1000.0) / 1000.0, decimalSeparator);
    return TResult::Ok();
}

TResult TAnalogCalibration::FitLine(TFeedbackLine line, const TLineFitTexts& texts, TLineFit& out) {
    const TLineNames& n = Names(line);
    const std::string group = n.group;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (auto [text, caption, value] :
         {std::tuple{&texts.x1, n.x1, &x1}, std::tuple{&texts.x2, n.x2, &x2},
          std::tuple{&texts.y1, n.y1, &y1}, std::tuple{&texts.y2, n.y2, &y2}}) {
        if (TResult r = ParseNumber(*text, decimalSeparator, group + " > " + caption, *value); !r)
            return r;
    }
    TLineFit fit;
    if (TResult r = ComputeLineFit(x1, x2, y1, y2, fit); !r)
        return TResult::Fail(group + ": " + r.why);
    fit.x1 = x1;
    fit.x2 = x2;
    fit.y1 = y1;
    fit.y2 = y2;
    if (line == TFeedbackLine::PowerMeter) {
        record_.SetPMCoeffM(fit.rawM);
        record_.SetPMCoeffQ(fit.rawQ);
    } else {
        record_.SetIAlimCoeffM(fit.rawM);
        record_.SetIAlimCoeffQ(fit.rawQ);
    }
    out = fit;
    Stored({n.mKey, n.qKey});
    return TResult::Ok();
}

TResult TAnalogCalibration::CapturePhotodiodePoint(int point, double& volts) {
    if (point < 0 || point >= kPhotodiodePoints)
        return TResult::Fail("no photodiode point " + std::to_string(point));
    double v = 0;
    if (TResult r = Capture(kPhotodiodeChannel, v); !r) return r;
    const std::uint16_t before = record_.GetPDTableV(point);
    const config::TSetResult s = record_.SetPDTableVValue(point, v);
    if (s.status != config::TSetStatus::Stored) {
        record_.SetPDTableV(point, before);
        return TResult::Fail("Fotodiodo, point " + std::to_string(point + 1) + ": " + s.why);
    }
    volts = v;
    Stored({"PDTable_V_" + std::to_string(point)});
    return TResult::Ok();
}

TResult TAnalogCalibration::SetTemperatureCoefficients() {
    record_.SetTempCoeffM(kTempCoeffM);
    record_.SetTempCoeffQ(kTempCoeffQ);
    Stored({"TempCoeff_m", "TempCoeff_q"});
    return TResult::Ok();
}

}  // namespace orvan::features
