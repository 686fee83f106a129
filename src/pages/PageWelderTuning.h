#pragma once
// "Welder Tuning": power diagnosis with the power meter or the photodiode,
// factory and secondary autotuning followed to their end, the maximum and
// adjustment currents, the tuning log with its tuned table, and a chart of
// the run's points (measured against expected power, inside the tolerance
// band). The page shows what the power procedures and the tuning log tell
// it; the window's slots start them.

#include <QWidget>
#include <array>
#include <vector>

#include "features/PowerProcedures.h"
#include "features/TuningLog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QAreaSeries;
class QValueAxis;

namespace orvan::pages {

class TPageWelderTuning : public QWidget,
                          public features::IPowerProcedureView,
                          public features::ITuningLogView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Tuning";
    explicit TPageWelderTuning(QWidget* parent = nullptr);

    void SetDecimalSeparator(char c) { decimal_ = c; }
    // The maximum work current of the configuration shown, in amperes.
    void ShowFactoryTuningImax(double amperes, char decimalSeparator);

    // IPowerProcedureView
    void OnProcedureAnswer(std::uint8_t type, std::uint8_t status, const std::string& text,
                           bool started) override;
    void OnDiagnosisStarted(double pcfg, const std::array<double, 4>& expected) override;
    void OnPowerPoint(features::TProcedure p, const features::TPowerPoint& point) override;
    void OnProcedureText(const std::string& text) override;
    void OnProcedureFinished(const features::TProcedureOutcome& o) override;
    void OnCurrentValue(const std::string& field, double value) override;
    // ITuningLogView
    void OnTuningLogShown(const features::TTuningLogShown& shown) override;

    // The run's points as the chart holds them.
    const std::vector<features::TPowerPoint>& ChartPoints() const { return chartPoints_; }
    features::TProcedure ChartProcedure() const { return chartProcedure_; }

    QLabel* stxFactoryTuningImax;
    QLabel* stxPMView;
    QLabel* stxDiagPDiodeMax;
    std::array<QLabel*, 4> stxPwMath{};  // stxPw25math .. stxPw100math
    std::array<QLabel*, 4> stxPwPM{};    // stxPwPM25 ..
    std::array<QLabel*, 4> stxPwErr{};   // stxPw25err ..
    QPushButton* btnPwDiagnosis;
    QPushButton* btnPwDiagnosisPD;
    QPushButton* cmdPwFactoryTuing;
    QPushButton* btnPwSecondaryTuning;
    QLineEdit* edtImax;
    QPushButton* btnReadImax;
    QPushButton* btnWriteImax;
    QPushButton* btnImaxEEPROM;
    QLineEdit* edtIAdj;
    QPushButton* btnReadIAdj;
    QPushButton* btnWriteIAdj;
    QPushButton* btnWrIAdjEEPEOM;
    QPushButton* btnCurrentInfo;
    QLabel* stxImaxByTime;
    QLabel* stxIDiodeEndLife;
    QLabel* stxIMaxLow;
    QPushButton* cmdTuningLog;
    QPushButton* btnSaveTuningLog;
    QLabel* stxFactoryTuningDT;
    QLabel* lblTuningLogState;
    QTableWidget* strTuningLog;
    QTableWidget* stgTuningWA;
    QChartView* chvPowerPoints;
    QPushButton* btnSavePointsCsv;

  private:
    QString Num(double v, int decimals = -1) const;
    void ResetChart(features::TProcedure p);

    char decimal_ = '.';
    std::vector<features::TPowerPoint> chartPoints_;
    features::TProcedure chartProcedure_ = features::TProcedure::None;
    QChart* chart_ = nullptr;
    QScatterSeries* measured_ = nullptr;
    QLineSeries* ideal_ = nullptr;
    QLineSeries* bandHigh_ = nullptr;
    QLineSeries* bandLow_ = nullptr;
    QAreaSeries* band_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
};

}  // namespace orvan::pages
