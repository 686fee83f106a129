#pragma once
// "Welder Velkor", the first page: board information with its picture, the
// configuration's version and size, the live analog gauges and the active
// anomalies. The live values are filled by status polling.

#include <QWidget>
#include <array>

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

class TPageWelderVelkor : public QWidget {
    Q_OBJECT
  public:
    explicit TPageWelderVelkor(QWidget* parent = nullptr);

    void SetBoardPicture(const QImage& picture);
    // Gauge limits and their labels from a configuration just shown.
    void ShowScales(const config::TWelderCfgBlank& cfg, char decimalSeparator);

    QGroupBox* grbBoardInfo;
    QLabel* imgBoard;
    QGroupBox* grbInfo;
    QLabel* stxCfgVer;
    QLabel* stxCfgSize;
    std::array<QProgressBar*, 6> CgaAnalog{};
    std::array<QLabel*, 6> LblAnalogValue{};
    QProgressBar* cgaPowerSet;
    QLabel* lblPowerMin;
    QLabel* lblPowerMax;
    QProgressBar* cgaFeedBackAlimCurr;
    QProgressBar* cgaPowerMeter;
    QProgressBar* cgaFeedbackPD;
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
