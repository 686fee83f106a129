#pragma once
// TfraAnomaly: a column of up to 32 square indicators, one per anomaly bit;
// red means active.

#include "frames/BitRowFrame.h"

namespace orvan::frames {

class TfraAnomaly : public TBitRowFrame {
    Q_OBJECT
  public:
    static constexpr int kCapacity = 32;
    explicit TfraAnomaly(QWidget* parent = nullptr);
};

}  // namespace orvan::frames
