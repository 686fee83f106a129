#pragma once
// "Flanging": the flanging machine's speed, power step, wave (amplitude and
// offset, jogged on the board or typed) and profiles: a button per profile
// selects it, "Save profile" keeps the wave as the selected profile, and a
// click on the table reads the table from the board's memory.

#include <QWidget>
#include <array>

#include "features/Flanging.h"
#include "pages/VariantPage.h"

class QPushButton;
class QSpinBox;
class QTableWidget;

namespace orvan::pages {

class TPageFlanging : public TVariantPage, public features::IFlangingView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Flanging";
    explicit TPageFlanging(QWidget* parent = nullptr);

    void ShowValue(const std::string& field, double value) override;
    void OnFlangingProfiles(const std::vector<features::FlangingProfileRow>& rows) override;
    void OnFlangingProfileCount(int profiles, const std::string& speedCaption) override;

    QLabel* lblFlangSpeed;
    QPushButton* btnFlangSpeed;
    QPushButton* btnFlangPower;
    TUpDown* udbFlangingJogAmplitude;
    TUpDown* udbFlangingJogOffset;
    QSpinBox* cseFlangingProfile;
    std::array<QPushButton*, 16> btnFlangingDefProf{};
    QPushButton* btnFlangReadWavePar;
    QPushButton* udbFlangingSaveProfile;
    QTableWidget* stgFlangProgiles;
};

}  // namespace orvan::pages
