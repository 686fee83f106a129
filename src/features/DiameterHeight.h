#pragma once
// The diameter/height page: four calibration points of the sensor, each a
// length in millimetres and the sensor voltage at that length. "Get" takes
// the voltage from the live analog reading (height on the temperature
// channel 5, diameter on the power-set channel 4).

#include "features/VariantForm.h"

namespace orvan::features {

struct TDiameterPoint {
    std::uint16_t code;
    std::string_view mmField, voltField;
    int channel;  // the analog channel "Get" reads
};

class IDiameterHeightView : public virtual IVariantView {};

class TDiameterHeight {
  public:
    static constexpr int kPoints = 4;
    static const TDiameterPoint& Point(int tag);

    explicit TDiameterHeight(commands::TSession& session);
    TVariableForm& Form() { return form_; }
    commands::TFanout<IDiameterHeightView>& Views() { return views_; }

    // "Load CFG": the four points in order.
    TResult LoadCfg();
    // "Write" of point `tag` (0..3) from the texts of its two edits.
    TResult WritePoint(int tag, std::string_view mm, std::string_view volts, char decimalSeparator);
    // "Get" of point `tag`: its voltage edit takes the live reading.
    TResult GetVolts(int tag);

  private:
    commands::TSession& session_;
    commands::TFanout<IDiameterHeightView> views_;
    TVariableForm form_;
};

}  // namespace orvan::features
