#pragma once
// Calibration values of the configuration record computed from live analog
// readings: the gain correction of each input, the straight lines (m, q) of
// the power-meter and supply-current feedbacks, the photodiode table's
// voltage column and the temperature-sensor coefficients.
//
// Nothing here talks to the board: the values land in the record, the pages
// show them as edits not yet written, and they reach the board with the next
// configuration write. Every capture needs a reading newer than the previous
// capture while polling runs, so two captures can never silently take the
// same (or an old) voltage; a refused action changes nothing.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/BoardEvents.h"
#include "config/Cfgwelder.h"
#include "link/Result.h"

namespace orvan::features {

class TStatusPolling;

// The two feedback lines and their groups on "Feedback analogici".
enum class TFeedbackLine : std::uint8_t { PowerMeter, SupplyCurrent };

// Channel order of the analog inputs.
inline constexpr int kPhotodiodeChannel = 0;
inline constexpr int kPowerMeterChannel = 1;
inline constexpr int kSupplyCurrentChannel = 2;
inline constexpr int kPhotodiodePoints = 10;
// "Get m,q" of the temperature sensor: the sensor's fixed coefficients.
inline constexpr std::int16_t kTempCoeffM = -119;
inline constexpr std::int16_t kTempCoeffQ = -98;

// The four edits of a line fit as typed.
struct TLineFitTexts {
    std::string x1, x2;  // V
    std::string y1, y2;  // W or A
};

// A line fit: y = m x + q, x in converter counts (204.6 per volt), y in
// 0.0001 W or 0.0001 A. The record holds m and q / 10 (the board adds ten
// times the stored q).
struct TLineFit {
    double m = 0;
    std::int32_t q = 0;
    std::uint16_t rawM = 0;
    std::int16_t rawQ = 0;
    // The two points it was fitted through, as typed (V; W or A).
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// The gain grid's row after "Get".
struct TGainReading {
    double measured = 0;  // V
    double gain = 0;
    std::string measuredText;  // rounded to 3 decimals
    std::string gainText;      // 3 decimals
};

// The computations alone, on numbers already read (the tests' hand-computed
// cases). Failing, nothing is computed and `why` says so.
[[nodiscard]] TResult ComputeGain(double vin, double measured, double& gain);
[[nodiscard]] TResult ComputeLineFit(double x1Volts, double x2Volts, double y1, double y2,
                                     TLineFit& out);

class IAnalogCalibrationView {
  public:
    virtual ~IAnalogCalibrationView() = default;
    // These record fields (file keys, "PMCoeff_q", "PDTable_V_3") now hold
    // values that are not on the board yet.
    virtual void OnCalibrationStored(const std::vector<std::string>& /*keys*/) {}
};

class TAnalogCalibration : public commands::IStatusView {
  public:
    TAnalogCalibration(config::TWelderCfgBlank& record, const TStatusPolling& polling)
        : record_(record), polling_(polling) {}

    commands::TFanout<IAnalogCalibrationView>& Views() { return views_; }

    // Decimal separator of the typed numbers and of the texts given back.
    char decimalSeparator = '.';

    // "Get" of the gain grid, channel 0..5: the measured voltage and the
    // factor vinText / measured. Nothing is stored.
    [[nodiscard]] TResult GetGain(int channel, std::string_view vinText, TGainReading& out);
    // "<-- Copy": the factor as the gain grid shows it, into ADCGain_<channel>.
    [[nodiscard]] TResult CopyGain(int channel, std::string_view gainText);
    // "Get Vmin" / "Get Vmax": the live voltage of the line's channel, for the
    // x1 / x2 edits (as text in `text`).
    [[nodiscard]] TResult CaptureLineVolts(TFeedbackLine line, double& volts, std::string& text);
    // "Get m,q": the fit from the four edits, stored into the line's fields.
    [[nodiscard]] TResult FitLine(TFeedbackLine line, const TLineFitTexts& texts, TLineFit& out);
    // "Get" of the photodiode table, point 0..9: the live photodiode voltage
    // into PDTable_V_<point>.
    [[nodiscard]] TResult CapturePhotodiodePoint(int point, double& volts);
    // "Get m,q" of the temperature sensor.
    TResult SetTemperatureCoefficients();

    // Analog answers received so far (each is one reading).
    std::uint64_t Readings() const { return readings_; }
    const std::array<double, 6>& LastVolts() const { return volts_; }

    // Board events.
    void OnAnalogStatus(const std::array<std::uint16_t, 6>& channels) override;

  private:
    // The voltage of `channel` if a reading newer than the last capture came
    // while polling runs; marks it captured.
    TResult Capture(int channel, double& volts);
    void Stored(std::vector<std::string> keys);

    config::TWelderCfgBlank& record_;
    const TStatusPolling& polling_;
    commands::TFanout<IAnalogCalibrationView> views_;
    std::array<double, 6> volts_{};
    std::uint64_t readings_ = 0;
    std::uint64_t capturedReading_ = 0;
};

}  // namespace orvan::features
