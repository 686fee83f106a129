#pragma once
// "Welder Velkor", the first page: board information with its picture, the
// configuration's version and size, the live analog gauges and the active
// anomalies. The live values are filled by status polling.

#include <QWidget>
#include <array>

#include "commands/BoardView.h"
#include "features/MachineNaming.h"
#include "features/StatusPolling.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace orvan::config {
class TWelderCfgBlank;
}
namespace orvan::frames {
class TfraAnomaly;
}

namespace orvan::pages {

class TPageWelderVelkor : public QWidget,
                          public features::IStatusPollingView,
                          public features::IMachineNamingView,
                          public commands::IIdentityView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Velkor";
    explicit TPageWelderVelkor(QWidget* parent = nullptr);

    void SetBoardPicture(const QImage& picture);
    // Version, size, gauge limits and their labels from a configuration just shown.
    void ShowConfig(const config::TWelderCfgBlank& cfg, char decimalSeparator);

    // What status polling and the naming files show here.
    void OnAnomalyDisplay(std::uint32_t bits) override;
    void OnAnalogDisplay(const features::TAnalogDisplay& d) override;
    void OnPowerDisplay(const features::TPowerDisplay& d) override;
    void OnSourceTime(std::uint32_t seconds, const std::string& secondsText,
                      const std::string& hoursText) override;
    void OnMachineName(std::uint16_t boardType, const std::string& name) override;
    void OnMachineNames(const features::TMachineNames& names) override;
    // The "Info " group: what the board said of itself.
    void OnFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t patch,
                           const std::string& text) override;
    void OnProtocolVersion(std::uint32_t packed, const std::string& text) override;
    void OnSerialNumber(const std::string& text) override;

  signals:
    // A click on the "Active anomaly " group or its frame, on "Source work time".
    void AnomalyGroupClicked();
    void SourceTimeGroupClicked();
    // "Update" of the "Info " group: the hardware information, as "Info" asks it.
    void InfoRequested();

  public:
    QGroupBox* grbBoardInfo;
    QLabel* imgBoard;
    QGroupBox* grbInfo;
    QLabel* stxCfgVer;
    QLabel* stxCfgSize;
    QLabel* stxFWVer;
    QLabel* stxProtVer;
    QLabel* stxSerialNumber;
    QPushButton* cmdInfoUpdate;
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
    QLineEdit* edtAnomalyAndMask;

    QLabel* stxBoardType;
    QPushButton* CmdReadAnalogStatus;
    QPushButton* cmdLivePlot;
    // Converted values (board type 0x0100 with a configuration loaded).
    QLabel* stxCurrentSet;
    QLabel* stxPowerSet;
    QLabel* stxFeedBackAlimCurr;
    QLabel* stxFeedBackPD;
    QLabel* stxPowerMeter;
    // The board's own readings (protocol above 2.1.0).
    QGroupBox* grbOrvanReadings;
    QLabel* stxOrvanPwPD;
    QLabel* stxOrvanPwPM;
    QLabel* stxOrvanIAlim;
    QLabel* stxOrvanTemp;
    QLabel* stxOrvanPwSet;
    QGroupBox* grbPolling;
    QLabel* stxSourceSeconds;
    QLabel* stxSourceHours;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orvan::pages
