#pragma once
// The diameter/height sensor page: two points of the height and two of the
// diameter, each a length (mm) and the sensor voltage (V) at it. "Get" takes
// the voltage from the live analog reading, "Write" sends the point, "Load
// CFG" reads the four.

#include <array>

#include "features/DiameterHeight.h"
#include "pages/VariantPage.h"

class QPushButton;

namespace orvan::pages {

class TPageDiameter : public TVariantPage, public features::IDiameterHeightView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Diameter / Height";
    explicit TPageDiameter(QWidget* parent = nullptr);

    // By point tag 0..3 (height max, height min, diameter max, diameter min).
    std::array<QPushButton*, 4> btnBirGet{};
    std::array<QPushButton*, 4> btnBirWrVar{};
    QPushButton* btnBirLoadCfg;
};

}  // namespace orvan::pages
