#include "pages/PageWelderVelkor.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "config/Cfgwelder.h"
#include "frames/Fraanomaly.h"
#include "pages/NumberText.h"
#include "pages/ScrollBody.h"

namespace orvan::pages {

namespace {

QProgressBar* Gauge(QWidget* parent, int max = 1024) {
    auto* g = new QProgressBar(parent);
    g->setRange(0, max);
    g->setValue(0);
    g->setTextVisible(false);
    return g;
}

QLabel* Limit(const QString& text, QWidget* parent, Qt::Alignment align) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
}

}  // namespace

TPageWelderVelkor::TPageWelderVelkor(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TshCfgWelder"));
    QWidget* body = ScrollBody(this);
    auto* grid = new QGridLayout(body);

    grbBoardInfo = new QGroupBox(QStringLiteral("Board "), body);
    auto* bl = new QVBoxLayout(grbBoardInfo);
    imgBoard = new QLabel(grbBoardInfo);
    imgBoard->setObjectName(QStringLiteral("imgBoard"));
    imgBoard->setMinimumSize(160, 100);
    bl->addWidget(imgBoard);
    grid->addWidget(grbBoardInfo, 0, 0);

    grbInfo = new QGroupBox(QStringLiteral("Info "), body);
    auto* il = new QFormLayout(grbInfo);
    stxCfgVer = new QLabel(grbInfo);
    stxCfgSize = new QLabel(grbInfo);
    il->addRow(QStringLiteral("Cfg V."), stxCfgVer);
    il->addRow(QStringLiteral("Cfg Size"), stxCfgSize);
    grid->addWidget(grbInfo, 1, 0);

    auto* grbAnalog = new QGroupBox(QStringLiteral("Analog input "), body);
    auto* al = new QGridLayout(grbAnalog);
    // The gauges' scale, once above them.
    al->addWidget(Limit(QStringLiteral("0 V"), grbAnalog, Qt::AlignLeft), 0, 1);
    al->addWidget(Limit(QStringLiteral("5 V"), grbAnalog, Qt::AlignRight), 0, 1);
    static const char* const kCaptions[6] = {"Photo diode", "Power Meter", "Alim current",
                                             "PT100",       "Power set",   "Diode temp"};
    for (int c = 0; c < 6; ++c) {
        const auto i = static_cast<std::size_t>(c);
        al->addWidget(new QLabel(QString::fromLatin1(kCaptions[c]), grbAnalog), c + 1, 0);
        CgaAnalog[i] = Gauge(grbAnalog);
        CgaAnalog[i]->setMinimumWidth(120);
        al->addWidget(CgaAnalog[i], c + 1, 1);
        LblAnalogValue[i] = new QLabel(QStringLiteral("0 V"), grbAnalog);
        LblAnalogValue[i]->setMinimumWidth(
            LblAnalogValue[i]->fontMetrics().horizontalAdvance(QStringLiteral("4.9951 V")));
        al->addWidget(LblAnalogValue[i], c + 1, 2);
    }
    grid->addWidget(grbAnalog, 0, 1);

    auto* grbConv = new QGroupBox(QStringLiteral("Orvan "), body);
    auto* cl = new QGridLayout(grbConv);
    int row = 0;
    auto gaugeRow = [&](const char* caption, QLabel*& minLabel, QProgressBar*& gauge, int max,
                        QLabel*& maxLabel, const QString& minText) {
        cl->addWidget(new QLabel(QString::fromUtf8(caption), grbConv), row, 0);
        minLabel = Limit(minText, grbConv, Qt::AlignRight);
        cl->addWidget(minLabel, row, 1);
        gauge = Gauge(grbConv, max);
        cl->addWidget(gauge, row, 2);
        maxLabel = Limit(QString(), grbConv, Qt::AlignLeft);
        cl->addWidget(maxLabel, row++, 3);
    };
    QLabel* zero = nullptr;
    gaugeRow("Power set (A)", lblPowerMin, cgaPowerSet, 100, lblPowerMax, QString());
    gaugeRow("Alim current (A)", zero, cgaFeedBackAlimCurr, 100, lblFeedBackAlimCurrMax,
             QStringLiteral("0 A"));
    gaugeRow("Power meter (W)", zero, cgaPowerMeter, 100000, lblPowerMeterMax,
             QStringLiteral("0 W"));
    gaugeRow("Photo diode (W)", zero, cgaFeedbackPD, 100000, lblFeedbackPDMax,
             QStringLiteral("0 W"));
    lblPowerMeterMax->setText(QStringLiteral("100 W"));
    cl->setColumnMinimumWidth(1, 48);
    cl->setColumnMinimumWidth(3, 48);
    grid->addWidget(grbConv, 1, 1);

    pnlTemperature = new QWidget(body);
    pnlTemperature->setFixedSize(110, 240);
    auto* tcaption = new QLabel(QStringLiteral("Diode temp (°C)"), pnlTemperature);
    tcaption->setGeometry(4, 0, 106, 16);
    cgaTemperature = Gauge(pnlTemperature, 100);
    cgaTemperature->setOrientation(Qt::Vertical);
    cgaTemperature->setGeometry(10, 20, 24, 190);
    lblTempDiodeMax = new QLabel(pnlTemperature);
    lblTempDiodeMax->setGeometry(40, 20, 66, 16);
    lblTempDiodeMin = new QLabel(pnlTemperature);
    lblTempDiodeMin->setGeometry(40, 190, 66, 16);
    lblTemperature = new QLabel(pnlTemperature);
    lblTemperature->setGeometry(4, 216, 100, 16);
    grid->addWidget(pnlTemperature, 0, 2, 2, 1);

    GrbAnomaly = new QGroupBox(QStringLiteral("Active anomaly "), body);
    auto* anl = new QVBoxLayout(GrbAnomaly);
    fraAnomaly1 = new frames::TfraAnomaly(GrbAnomaly);
    fraAnomaly1->setObjectName(QStringLiteral("fraAnomaly1"));
    anl->addWidget(fraAnomaly1);
    grid->addWidget(GrbAnomaly, 0, 3, 2, 1);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(2, 1);
}

void TPageWelderVelkor::SetBoardPicture(const QImage& picture) {
    imgBoard->setPixmap(QPixmap::fromImage(picture));
}

void TPageWelderVelkor::OnAnomalyStatus(std::uint32_t bits) {
    fraAnomaly1->ShowBitWord(bits);
}

void TPageWelderVelkor::ShowConfig(const config::TWelderCfgBlank& cfg, char sep) {
    auto text = [sep](double v, const char* unit) {
        return QString::fromStdString(FormatReal(v, sep)) + QString::fromUtf8(unit);
    };
    stxCfgVer->setText(QString::number(cfg.GetVersion()));
    stxCfgSize->setText(QString::number(cfg.GetSize()));

    const double minCurrent = cfg.GetMinPowerValue();
    const double maxCurrent = cfg.GetMaxPowerValue();
    cgaPowerSet->setRange(static_cast<int>(minCurrent), static_cast<int>(maxCurrent));
    lblPowerMin->setText(text(minCurrent, " A"));
    lblPowerMax->setText(text(maxCurrent, " A"));
    cgaFeedBackAlimCurr->setMaximum(static_cast<int>(cfg.GetCurrentDiodeMaxValue()));
    lblFeedBackAlimCurrMax->setText(text(static_cast<int>(cfg.GetCurrentDiodeMaxValue()), " A"));
    cgaPowerMeter->setMaximum(100000);
    // Milliwatts on the gauge: the stored hundredths of a watt times ten.
    cgaFeedbackPD->setMaximum(cfg.GetPDiodeMax() * 10);
    lblFeedbackPDMax->setText(text(cfg.GetPDiodeMax() / 100.0, " W"));

    const double tMin = cfg.GetTempWorkMinValue();
    const double tMax = cfg.GetTempWorkMaxValue();
    const int gaugeMin = static_cast<int>(tMin - 20);
    const int gaugeMax = static_cast<int>(tMax + 10);
    cgaTemperature->setRange(gaugeMin, std::max(gaugeMin, gaugeMax));
    lblTempDiodeMin->setText(text(tMin, " °C"));
    lblTempDiodeMax->setText(text(tMax, " °C"));
    // Swapped or equal limits (a damaged file) leave no span to divide the
    // gauge by: the labels then stay where they are.
    if (gaugeMax <= gaugeMin) return;
    const int p = cgaTemperature->height() / (gaugeMax - gaugeMin);
    const int top = cgaTemperature->y();
    // Limits in the wrong order would put a label off the canvas.
    auto place = [this](QLabel* l, double y) {
        const int lowest = pnlTemperature->height() - l->height();
        l->move(l->x(), static_cast<int>(std::clamp(y, 0.0, static_cast<double>(lowest))));
    };
    place(lblTempDiodeMax, top + 10.0 * p);
    place(lblTempDiodeMin, top + (tMax - tMin + 10) * p);
}

}  // namespace orvan::pages
