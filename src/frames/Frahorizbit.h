#pragma once
// TfraHorizBit: a row of up to 40 square indicators, one per bit (per-head
// words of the multi-head page); red means set. The caller sets the spacing
// before building.

#include "frames/BitRowFrame.h"

namespace orvan::frames {

class TfraHorizBit : public TBitRowFrame {
    Q_OBJECT
  public:
    static constexpr int kCapacity = 40;
    explicit TfraHorizBit(QWidget* parent = nullptr);
};

}  // namespace orvan::frames
