#pragma once
// The multi-head page: per-head time-out, positioning and CRC error words,
// one horizontal indicator frame each.

#include <QWidget>

class QCheckBox;

namespace orvan::frames {
class TfraHorizBit;
}

namespace orvan::pages {

class TPageMultiHead : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeadSpacing = 21;
    static constexpr const char* kCaption = "Multi Head";
    explicit TPageMultiHead(QWidget* parent = nullptr);

    QCheckBox* chkMultiHPolling;
    frames::TfraHorizBit* fraMultiHHeadsTout;
    frames::TfraHorizBit* fraMultiHErrPos;
    frames::TfraHorizBit* fraMultiHCRCPos;
};

}  // namespace orvan::pages
