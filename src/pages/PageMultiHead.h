#pragma once
// The multi-head page: the head count, the heads' frequency and
// pre-ionisation, and the per-head time-out, positioning and CRC error words,
// one horizontal indicator frame each, built for the count the board answers.

#include "features/MultiHead.h"
#include "pages/VariantPage.h"

class QCheckBox;
class QPushButton;

namespace orvan::frames {
class TfraHorizBit;
}

namespace orvan::pages {

class TPageMultiHead : public TVariantPage, public features::IMultiHeadView {
    Q_OBJECT
  public:
    static constexpr int kHeadSpacing = features::TMultiHead::kIndicatorSpacing;
    static constexpr const char* kCaption = "Multi Head";
    explicit TPageMultiHead(QWidget* parent = nullptr);

    void BuildHeads(int shown, int reported) override;
    void ShowHeadWord(std::uint16_t code, std::uint32_t bits) override;

    QPushButton* btnMultiHGetHeadNum;
    QPushButton* btnMultiHSetHeadNum;
    QPushButton* btnMultiHGetFreq;
    QPushButton* btnMultiHSetFreq;
    QPushButton* btnMultiHGetPreion;
    QPushButton* btnMultiHSetPreion;
    QPushButton* btnMultiHHeadAnomaly;
    QCheckBox* chkMultiHPolling;
    frames::TfraHorizBit* fraMultiHHeadsTout;
    frames::TfraHorizBit* fraMultiHErrPos;
    frames::TfraHorizBit* fraMultiHCRCPos;
};

}  // namespace orvan::pages
