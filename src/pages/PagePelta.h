#pragma once
// "Pelta": the page of the Pelta pulsed welder (board type 0x0500). Each
// group has its "Read" button; Enter in an edit writes its variable, the
// up/down buttons step the value the page holds and write it. Which strobe
// controls show follows the board's protocol version.

#include "features/Pelta.h"
#include "pages/VariantPage.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace orvan::pages {

class TPagePelta : public TVariantPage, public features::IPeltaView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Pelta";
    explicit TPagePelta(QWidget* parent = nullptr);

    void ShowValue(const std::string& field, double value) override;
    void ShowPeltaLayout(const features::TPeltaLayout& layout) override;

    QPushButton* btnPeltaReadWork;
    QPushButton* btnPeltaReadPreion1;
    QPushButton* btnPeltaReadPreion2;
    QPushButton* btnPeltaReadStatistics;
    QPushButton* btnPeltaReadStrpbePar;
    QCheckBox* chkPeltaPreion2EN;
    QGroupBox* grbPeltaStrobeTiming;
    QLineEdit* edtPeltaStrobeON;
    QLineEdit* edtPeltaStrobeOFF;
    QLabel* lblPeltaStrobeON;
    QLabel* lblPeltaStrobeOFF;
    QLabel* blPeltaStrobe2;
    QLabel* blPeltaStrobe3;
    // The up/down pairs by the field they step.
    std::map<std::string, TUpDown*> upDowns;
    // The edits whose Enter writes (every edit with a variable).
    std::vector<std::string> enterFields;
};

}  // namespace orvan::pages
