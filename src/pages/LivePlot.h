#pragma once
// The live chart: the six analog channels over a time window the user
// chooses (volts, or the converted values while the first page shows them),
// with pause and save as CSV. It hears status polling like the pages do; the
// chart is redrawn at most a few times a second, so polling never waits on it.

#include <QWidget>
#include <array>

#include "features/LiveSeries.h"
#include "features/StatusPolling.h"
#include "link/Clock.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTimer;

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace orvan::pages {

class TLivePlot : public QWidget, public features::IStatusPollingView {
    Q_OBJECT
  public:
    // Redraws at most this often.
    static constexpr int kRedrawMs = 250;

    TLivePlot(const link::IClock& clock, QWidget* parent = nullptr);

    void OnAnalogDisplay(const features::TAnalogDisplay& d) override;

    features::TLiveSeries& Series() { return series_; }
    // Draws what the series holds now (the redraw timer calls it).
    void Redraw();
    int RedrawCount() const { return redraws_; }
    // The line of a channel and the vertical axis it is drawn against now.
    QLineSeries* Line(std::size_t channel) const { return lines_[channel]; }
    QValueAxis* AxisOf(std::size_t channel) const;

    QComboBox* cmbWindow;
    QPushButton* cmdPause;
    QCheckBox* chkConverted;
    QPushButton* cmdSaveCsv;
    QChartView* chartView;

  signals:
    // "Save as CSV...": the window asks for the file and saves Series().Csv().
    void SaveRequested();

  private:
    const link::IClock& clock_;
    features::TLiveSeries series_;
    QChart* chart_;
    std::array<QLineSeries*, features::kChannels> lines_{};
    QValueAxis* axisX_;
    QValueAxis* axisY_;
    // The converted values' axes, one per unit (A, W, degrees).
    std::array<QValueAxis*, 3> unitAxes_{};
    QTimer* redraw_;
    bool dirty_ = false;
    int redraws_ = 0;
};

}  // namespace orvan::pages
