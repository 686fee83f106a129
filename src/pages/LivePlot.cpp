#include "pages/LivePlot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPen>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvan::pages {

namespace {

struct TWindowChoice {
    const char* caption;
    int seconds;
};
constexpr TWindowChoice kWindows[] = {
    {"30 s", 30}, {"1 min", 60}, {"5 min", 300}, {"15 min", 900}, {"1 h", 3600}};

// Six colours told apart at a glance (the chart's theme repeats after five).
constexpr QRgb kColours[features::kChannels] = {0x1f77b4, 0xd62728, 0x2ca02c,
                                                0xff7f0e, 0x9467bd, 0x8c564b};

// A round step (1, 2 or 5 times a power of ten) giving about five ticks.
double RoundStep(double span) {
    const double raw = std::max(span, 1e-9) / 5.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * magnitude) return m * magnitude;
    return 10.0 * magnitude;
}

// The unit in a converted caption's brackets: "Power set (W)" -> 1 (W).
std::size_t UnitIndex(std::string_view caption) {
    if (caption.find("(A)") != std::string_view::npos) return 0;
    if (caption.find("(W)") != std::string_view::npos) return 1;
    return 2;
}

}  // namespace

TLivePlot::TLivePlot(const link::IClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), clock_(clock) {
    setObjectName(QStringLiteral("frmLivePlot"));
    setWindowTitle(QStringLiteral("Analog input - live plot"));
    auto* column = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout();
    cmbWindow = new QComboBox(this);
    for (const TWindowChoice& w : kWindows)
        cmbWindow->addItem(QString::fromLatin1(w.caption), w.seconds);
    cmbWindow->setCurrentIndex(1);
    cmdPause = new QPushButton(QStringLiteral("Pause"), this);
    cmdPause->setCheckable(true);
    chkConverted = new QCheckBox(QStringLiteral("Converted values"), this);
    chkConverted->setToolTip(
        QStringLiteral("Board type 0100 with a configuration loaded: the first page's values"));
    cmdSaveCsv = new QPushButton(QStringLiteral("Save as CSV..."), this);
    bar->addWidget(cmbWindow);
    bar->addWidget(cmdPause);
    bar->addWidget(chkConverted);
    bar->addStretch(1);
    bar->addWidget(cmdSaveCsv);
    column->addLayout(bar);

    chart_ = new QChart();
    // Beside the plot, one name a line: each name whole, however long.
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->setLocalizeNumbers(true);
    axisX_ = new QValueAxis(chart_);
    axisX_->setTitleText(QStringLiteral("Time (s)"));
    axisX_->setLabelFormat(QStringLiteral("%.4g"));
    axisY_ = new QValueAxis(chart_);
    axisY_->setTitleText(QStringLiteral("Voltage (V)"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    const QString unitTitles[3] = {QStringLiteral("Current (A)"), QStringLiteral("Power (W)"),
                                   QStringLiteral("Temperature (°C)")};
    for (std::size_t u = 0; u < unitAxes_.size(); ++u) {
        unitAxes_[u] = new QValueAxis(chart_);
        unitAxes_[u]->setTitleText(unitTitles[u]);
        unitAxes_[u]->setLabelFormat(QStringLiteral("%.4g"));
        chart_->addAxis(unitAxes_[u], u == 0 ? Qt::AlignLeft : Qt::AlignRight);
        unitAxes_[u]->hide();
    }
    for (std::size_t c = 0; c < lines_.size(); ++c) {
        lines_[c] = new QLineSeries(chart_);
        chart_->addSeries(lines_[c]);
        QPen pen{QColor(kColours[c])};
        pen.setWidth(2);
        lines_[c]->setPen(pen);
        lines_[c]->attachAxis(axisX_);
        lines_[c]->attachAxis(axisY_);
    }
    chartView = new QChartView(chart_, this);
    chartView->setMinimumSize(640, 360);
    column->addWidget(chartView, 1);

    series_.SetWindowMs(1000LL * kWindows[1].seconds);
    connect(cmbWindow, &QComboBox::currentIndexChanged, this, [this] {
        series_.SetWindowMs(1000LL * cmbWindow->currentData().toInt());
        dirty_ = true;
    });
    connect(cmdPause, &QPushButton::toggled, this, [this](bool on) {
        series_.SetPaused(on);
        cmdPause->setText(on ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    });
    connect(chkConverted, &QCheckBox::toggled, this, [this] {
        dirty_ = true;
        Redraw();
    });
    connect(cmdSaveCsv, &QPushButton::clicked, this, &TLivePlot::SaveRequested);
    // Answers come several times a second; the chart is drawn on its own beat.
    redraw_ = new QTimer(this);
    redraw_->setInterval(kRedrawMs);
    connect(redraw_, &QTimer::timeout, this, [this] {
        if (dirty_ && isVisible()) Redraw();
    });
    redraw_->start();
    dirty_ = true;
}

void TLivePlot::OnAnalogDisplay(const features::TAnalogDisplay& d) {
    if (series_.Add(clock_.MonotonicMs(), d)) dirty_ = true;
}

QValueAxis* TLivePlot::AxisOf(std::size_t channel) const {
    for (QAbstractAxis* a : lines_[channel]->attachedAxes())
        if (a != axisX_) return static_cast<QValueAxis*>(a);
    return nullptr;
}

void TLivePlot::Redraw() {
    dirty_ = false;
    ++redraws_;
    const bool converted = chkConverted->isChecked();
    const auto& samples = series_.Samples();
    constexpr double kNone = std::numeric_limits<double>::max();
    std::array<double, 3> lo{kNone, kNone, kNone}, hi{-kNone, -kNone, -kNone};
    std::array<bool, 3> used{};
    for (std::size_t c = 0; c < lines_.size(); ++c) {
        const std::string_view name =
            converted ? features::kConvertedCaptions[c] : features::kChannelCaptions[c];
        const std::size_t u = UnitIndex(features::kConvertedCaptions[c]);
        QValueAxis* axis = converted ? unitAxes_[u] : axisY_;
        if (AxisOf(c) != axis) {
            lines_[c]->detachAxis(AxisOf(c));
            lines_[c]->attachAxis(axis);
        }
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(samples.size()));
        for (const features::TLiveSample& s : samples) {
            if (converted && !s.converted) continue;
            const double v = converted ? (*s.converted)[c] : s.volts[c];
            points.append(QPointF(s.ms / 1000.0, v));
            lo[u] = std::min(lo[u], v);
            hi[u] = std::max(hi[u], v);
        }
        used[u] = true;
        lines_[c]->replace(points);
        lines_[c]->setName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                           (converted ? QString() : QStringLiteral(" (V)")));
    }
    const double end = samples.empty() ? 0 : samples.back().ms / 1000.0;
    const double start = std::max(0.0, end - series_.WindowMs() / 1000.0);
    axisX_->setRange(start, std::max(end, 1.0));
    // Time ticks on round seconds, wherever the window starts.
    axisX_->setTickType(QValueAxis::TicksDynamic);
    axisX_->setTickAnchor(0);
    axisX_->setTickInterval(RoundStep(axisX_->max() - start));
    axisY_->setVisible(!converted);
    axisY_->setRange(0, 5);
    axisY_->setTickCount(6);
    for (std::size_t u = 0; u < unitAxes_.size(); ++u) {
        unitAxes_[u]->setVisible(converted && used[u]);
        if (!converted) continue;
        double a = lo[u], b = hi[u];
        if (a > b) a = 0, b = 1;
        const double pad = std::max(1.0, (b - a) * 0.05);
        unitAxes_[u]->setRange(a - pad, b + pad);
        unitAxes_[u]->applyNiceNumbers();
    }
}

}  // namespace orvan::pages
