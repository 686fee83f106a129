#pragma once
// "Welder Velkor", the first page: board information with its picture, the
// configuration's version and size, the live analog gauges and the active
// anomalies. The live values are filled by status polling.

#include <QWidget>
#include <array>

#include "commands/BoardView.h"

class QGroupBox;
class QLabel;
class QProgressBar;

namespace orvan::config {
class TWelderCfgBlank;
}
namespace orvan::frames {
class TfraAnomaly;
}

namespace orvan::pages {

class TPageWelderVelkor : public QWidget, public commands::IStatusView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Velkor";
    explicit TPageWelderVelkor(QWidget* parent = nullptr);

    void SetBoardPicture(const QImage& picture);
    // Version, size, gauge limits and their labels from a configuration just shown.
    void ShowConfig(const config::TWelderCfgBlank& cfg, char decimalSeparator);

    // Board events this page shows.
    void OnAnomalyStatus(std::uint32_t bits) override;

    QGroupBox* grbBoardInfo;
    QLabel* imgBoard;
    QGroupBox* grbInfo;
    QLabel* stxCfgVer;
    QLabel* stxCfgSize;
    // 0..1024 ADC counts: 0 to 5 V.
    std::array<QProgressBar*, 6> CgaAnalog{};
    std::array<QLabel*, 6> LblAnalogValue{};
    // The converted gauges count in the units of their captions (the power
    // gauges in mW); their limit labels name the unit.
    QProgressBar* cgaPowerSet;
    QLabel* lblPowerMin;
    QLabel* lblPowerMax;
    QProgressBar* cgaFeedBackAlimCurr;
    QLabel* lblFeedBackAlimCurrMax;
    QProgressBar* cgaPowerMeter;
    QLabel* lblPowerMeterMax;
    QProgressBar* cgaFeedbackPD;
    QLabel* lblFeedbackPDMax;
    // The temperature gauge and its two limit labels sit on a fixed canvas:
    // the labels are placed at the heights of the limits they name.
    QWidget* pnlTemperature;
    QProgressBar* cgaTemperature;
    QLabel* lblTempDiodeMin;
    QLabel* lblTempDiodeMax;
    QLabel* lblTemperature;
    QGroupBox* GrbAnomaly;
    frames::TfraAnomaly* fraAnomaly1;
};

}  // namespace orvan::pages
