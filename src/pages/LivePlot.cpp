#include "pages/LivePlot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <limits>

namespace orvan::pages {

namespace {

struct TWindowChoice {
    const char* caption;
    int seconds;
};
constexpr TWindowChoice kWindows[] = {
    {"30 s", 30}, {"1 min", 60}, {"5 min", 300}, {"15 min", 900}, {"1 h", 3600}};

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
    chart_->legend()->setAlignment(Qt::AlignBottom);
    axisX_ = new QValueAxis(chart_);
    axisX_->setTitleText(QStringLiteral("s"));
    axisY_ = new QValueAxis(chart_);
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    for (std::size_t c = 0; c < lines_.size(); ++c) {
        lines_[c] = new QLineSeries(chart_);
        chart_->addSeries(lines_[c]);
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

void TLivePlot::Redraw() {
    dirty_ = false;
    ++redraws_;
    const bool converted = chkConverted->isChecked();
    const auto& samples = series_.Samples();
    double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest();
    for (std::size_t c = 0; c < lines_.size(); ++c) {
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(samples.size()));
        for (const features::TLiveSample& s : samples) {
            if (converted && !s.converted) continue;
            const double v = converted ? (*s.converted)[c] : s.volts[c];
            points.append(QPointF(s.ms / 1000.0, v));
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        lines_[c]->replace(points);
        const std::string_view name =
            converted ? features::kConvertedCaptions[c] : features::kChannelCaptions[c];
        lines_[c]->setName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    const double end = samples.empty() ? 0 : samples.back().ms / 1000.0;
    axisX_->setRange(std::max(0.0, end - series_.WindowMs() / 1000.0), std::max(end, 1.0));
    if (converted) {
        if (lo > hi) lo = 0, hi = 1;
        const double pad = std::max(1.0, (hi - lo) * 0.05);
        axisY_->setRange(lo - pad, hi + pad);
        axisY_->setTitleText(QString());
    } else {
        axisY_->setRange(0, 5);
        axisY_->setTitleText(QStringLiteral("V"));
    }
}

}  // namespace orvan::pages
