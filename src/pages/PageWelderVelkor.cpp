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

namespace orvan::pages {

namespace {

QProgressBar* Gauge(QWidget* parent, int max = 1024) {
    auto* g = new QProgressBar(parent);
    g->setRange(0, max);
    g->setValue(0);
    g->setTextVisible(false);
    return g;
}

}  // namespace

TPageWelderVelkor::TPageWelderVelkor(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TshCfgWelder"));
    auto* grid = new QGridLayout(this);

    grbBoardInfo = new QGroupBox(QStringLiteral("Board "), this);
    auto* bl = new QVBoxLayout(grbBoardInfo);
    imgBoard = new QLabel(grbBoardInfo);
    imgBoard->setObjectName(QStringLiteral("imgBoard"));
    imgBoard->setMinimumSize(160, 100);
    bl->addWidget(imgBoard);
    grid->addWidget(grbBoardInfo, 0, 0);

    grbInfo = new QGroupBox(QStringLiteral("Info "), this);
    auto* il = new QFormLayout(grbInfo);
    stxCfgVer = new QLabel(grbInfo);
    stxCfgSize = new QLabel(grbInfo);
    il->addRow(QStringLiteral("Cfg V."), stxCfgVer);
    il->addRow(QStringLiteral("Cfg Size"), stxCfgSize);
    grid->addWidget(grbInfo, 1, 0);

    auto* grbAnalog = new QGroupBox(QStringLiteral("Analog input "), this);
    auto* al = new QGridLayout(grbAnalog);
    static const char* const kCaptions[6] = {"Photo diode", "Power Meter", "Alim current",
                                             "PT100",       "Power set",   "Diode temp"};
    for (int c = 0; c < 6; ++c) {
        al->addWidget(new QLabel(QString::fromLatin1(kCaptions[c]), grbAnalog), c, 0);
        CgaAnalog[static_cast<std::size_t>(c)] = Gauge(grbAnalog);
        al->addWidget(CgaAnalog[static_cast<std::size_t>(c)], c, 1);
        LblAnalogValue[static_cast<std::size_t>(c)] = new QLabel(QStringLiteral("0 V"), grbAnalog);
        al->addWidget(LblAnalogValue[static_cast<std::size_t>(c)], c, 2);
    }
    grid->addWidget(grbAnalog, 0, 1);

    auto* grbConv = new QGroupBox(QStringLiteral("Orvan "), this);
    auto* cl = new QGridLayout(grbConv);
    int row = 0;
    cl->addWidget(new QLabel(QStringLiteral("Power set"), grbConv), row, 0);
    lblPowerMin = new QLabel(grbConv);
    cl->addWidget(lblPowerMin, row, 1);
    cgaPowerSet = Gauge(grbConv, 100);
    cl->addWidget(cgaPowerSet, row, 2);
    lblPowerMax = new QLabel(grbConv);
    cl->addWidget(lblPowerMax, row++, 3);
    cl->addWidget(new QLabel(QStringLiteral("Alim current"), grbConv), row, 0);
    cgaFeedBackAlimCurr = Gauge(grbConv, 100);
    cl->addWidget(cgaFeedBackAlimCurr, row++, 2);
    cl->addWidget(new QLabel(QStringLiteral("Power meter"), grbConv), row, 0);
    cgaPowerMeter = Gauge(grbConv, 100000);
    cl->addWidget(cgaPowerMeter, row++, 2);
    cl->addWidget(new QLabel(QStringLiteral("Photo diode"), grbConv), row, 0);
    cgaFeedbackPD = Gauge(grbConv, 100000);
    cl->addWidget(cgaFeedbackPD, row++, 2);
    grid->addWidget(grbConv, 1, 1);

    pnlTemperature = new QWidget(this);
    pnlTemperature->setFixedSize(110, 240);
    cgaTemperature = Gauge(pnlTemperature, 100);
    cgaTemperature->setOrientation(Qt::Vertical);
    cgaTemperature->setGeometry(10, 10, 24, 200);
    lblTempDiodeMax = new QLabel(pnlTemperature);
    lblTempDiodeMax->setGeometry(40, 10, 60, 16);
    lblTempDiodeMin = new QLabel(pnlTemperature);
    lblTempDiodeMin->setGeometry(40, 190, 60, 16);
    lblTemperature = new QLabel(pnlTemperature);
    lblTemperature->setGeometry(4, 216, 100, 16);
    grid->addWidget(pnlTemperature, 0, 2, 2, 1);

    GrbAnomaly = new QGroupBox(QStringLiteral("Active anomaly "), this);
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

}  // namespace orvan::pages

namespace orvan::pages {

void TPageWelderVelkor::ShowScales(const config::TWelderCfgBlank& cfg, char sep) {
    auto text = [sep](double v) { return QString::fromStdString(FormatReal(v, sep)); };
    const double minCurrent = cfg.GetMinPowerValue();
    const double maxCurrent = cfg.GetMaxPowerValue();
    cgaPowerSet->setRange(static_cast<int>(minCurrent), static_cast<int>(maxCurrent));
    lblPowerMin->setText(text(minCurrent));
    lblPowerMax->setText(text(maxCurrent));
    cgaFeedBackAlimCurr->setMaximum(static_cast<int>(cfg.GetCurrentDiodeMaxValue()));
    cgaPowerMeter->setMaximum(100000);
    cgaFeedbackPD->setMaximum(cfg.GetPDiodeMax() * 10);

    const double tMin = cfg.GetTempWorkMinValue();
    const double tMax = cfg.GetTempWorkMaxValue();
    const int gaugeMin = static_cast<int>(tMin - 20);
    const int gaugeMax = static_cast<int>(tMax + 10);
    cgaTemperature->setRange(gaugeMin, std::max(gaugeMin, gaugeMax));
    lblTempDiodeMin->setText(text(tMin));
    lblTempDiodeMax->setText(text(tMax));
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
