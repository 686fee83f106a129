#include "pages/PageWelderVelkor.h"

#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "config/Cfgwelder.h"
#include "frames/Fraanomaly.h"
#include "pages/NumberText.h"
#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

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
    stxBoardType = new QLabel(grbInfo);
    stxBoardType->setObjectName(QStringLiteral("stxBoardType"));
    // A long machine name takes two lines rather than the anomaly column's room.
    stxBoardType->setWordWrap(true);
    il->addRow(QStringLiteral("Board type"), stxBoardType);
    const auto value = [this](const char* name) {
        auto* l = new QLabel(grbInfo);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    stxFWVer = value("stxFWVer");
    stxProtVer = value("stxProtVer");
    stxSerialNumber = value("stxSerialNumber");
    il->addRow(QStringLiteral("FW Ver."), stxFWVer);
    il->addRow(QStringLiteral("Protocol"), stxProtVer);
    il->addRow(QStringLiteral("SN"), stxSerialNumber);
    cmdInfoUpdate = new QPushButton(QStringLiteral("Update"), grbInfo);
    cmdInfoUpdate->setObjectName(QStringLiteral("cmdInfoUpdate"));
    cmdInfoUpdate->setToolTip(QStringLiteral("Read the board type, serial number and versions"));
    il->addRow(QString(), cmdInfoUpdate);
    connect(cmdInfoUpdate, &QPushButton::clicked, this, &TPageWelderVelkor::InfoRequested);
    grid->addWidget(grbInfo, 1, 0);

    auto* grbAnalog = new QGroupBox(QStringLiteral("Analog input "), body);
    auto* al = new QGridLayout(grbAnalog);
    // Rows close together: the page fits the height of a 1024x768 screen.
    al->setVerticalSpacing(2);
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
    CmdReadAnalogStatus = new QPushButton(QStringLiteral("Refresh"), grbAnalog);
    al->addWidget(CmdReadAnalogStatus, 7, 0);
    cmdLivePlot = new QPushButton(QStringLiteral("Live plot..."), grbAnalog);
    cmdLivePlot->setToolTip(QStringLiteral("The six channels over time, while polling runs"));
    al->addWidget(cmdLivePlot, 7, 1, Qt::AlignLeft);
    grid->addWidget(grbAnalog, 0, 1);

    auto* grbConv = new QGroupBox(QStringLiteral("Orvan "), body);
    auto* cl = new QGridLayout(grbConv);
    cl->setVerticalSpacing(2);
    int row = 0;
    auto gaugeRow = [&](const char* caption, QLabel*& minLabel, QProgressBar*& gauge, int max,
                        QLabel*& maxLabel, const QString& minText, QLabel*& value,
                        const char* valueName) {
        cl->addWidget(new QLabel(QString::fromUtf8(caption), grbConv), row, 0);
        minLabel = Limit(minText, grbConv, Qt::AlignRight);
        cl->addWidget(minLabel, row, 1);
        gauge = Gauge(grbConv, max);
        cl->addWidget(gauge, row, 2);
        maxLabel = Limit(QString(), grbConv, Qt::AlignLeft);
        cl->addWidget(maxLabel, row, 3);
        value = new QLabel(grbConv);
        value->setObjectName(QString::fromLatin1(valueName));
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("100.00 W")));
        cl->addWidget(value, row++, 4);
    };
    QLabel* zero = nullptr;
    gaugeRow("Power set (A)", lblPowerMin, cgaPowerSet, 100, lblPowerMax, QString(), stxCurrentSet,
             "stxCurrentSet");
    gaugeRow("Alim current (A)", zero, cgaFeedBackAlimCurr, 100, lblFeedBackAlimCurrMax,
             QStringLiteral("0 A"), stxFeedBackAlimCurr, "stxFeedBackAlimCurr");
    gaugeRow("Power meter (W)", zero, cgaPowerMeter, 100000, lblPowerMeterMax,
             QStringLiteral("0 W"), stxPowerMeter, "stxPowerMeter");
    gaugeRow("Photo diode (W)", zero, cgaFeedbackPD, 100000, lblFeedbackPDMax,
             QStringLiteral("0 W"), stxFeedBackPD, "stxFeedBackPD");
    cl->addWidget(new QLabel(QStringLiteral("Power set (W)"), grbConv), row, 0);
    stxPowerSet = new QLabel(grbConv);
    stxPowerSet->setObjectName(QStringLiteral("stxPowerSet"));
    cl->addWidget(stxPowerSet, row++, 4);
    lblPowerMeterMax->setText(QStringLiteral("100 W"));
    cl->setColumnMinimumWidth(1, 48);
    cl->setColumnMinimumWidth(3, 48);
    grid->addWidget(grbConv, 1, 1);

    pnlTemperature = new QWidget(body);
    // Narrow, its caption on two lines: the anomaly column beside it keeps
    // its room on a 1024-pixel screen.
    pnlTemperature->setFixedSize(88, 256);
    auto* tcaption = new QLabel(QStringLiteral("Diode temp\n(°C)"), pnlTemperature);
    tcaption->setGeometry(4, 0, 84, 32);
    cgaTemperature = Gauge(pnlTemperature, 100);
    cgaTemperature->setOrientation(Qt::Vertical);
    cgaTemperature->setGeometry(10, 36, 24, 190);
    lblTempDiodeMax = new QLabel(pnlTemperature);
    lblTempDiodeMax->setGeometry(40, 36, 48, 16);
    lblTempDiodeMin = new QLabel(pnlTemperature);
    lblTempDiodeMin->setGeometry(40, 206, 48, 16);
    lblTemperature = new QLabel(pnlTemperature);
    lblTemperature->setGeometry(4, 232, 84, 16);
    grid->addWidget(pnlTemperature, 0, 2, 2, 1);

    GrbAnomaly = new QGroupBox(QStringLiteral("Active anomaly "), body);
    auto* anl = new QVBoxLayout(GrbAnomaly);
    fraAnomaly1 = new frames::TfraAnomaly(GrbAnomaly);
    fraAnomaly1->setObjectName(QStringLiteral("fraAnomaly1"));
    anl->addWidget(fraAnomaly1);
    auto* maskRow = new QFormLayout();
    edtAnomalyAndMask = new QLineEdit(GrbAnomaly);
    edtAnomalyAndMask->setObjectName(QStringLiteral("edtAnomalyAndMask"));
    edtAnomalyAndMask->setToolTip(QStringLiteral("Anomalies to clear (bits), sent with Enter"));
    maskRow->addRow(QStringLiteral("Active anomaly:"), edtAnomalyAndMask);
    anl->addLayout(maskRow);
    GrbAnomaly->installEventFilter(this);
    fraAnomaly1->installEventFilter(this);

    grbOrvanReadings = new QGroupBox(QStringLiteral("Orvan readings "), body);
    // Two columns of readings: the page fits the height of a small screen.
    auto* orl = new QGridLayout(grbOrvanReadings);
    int readings = 0;
    auto reading = [&](const char* caption, const char* name) {
        auto* l = new QLabel(grbOrvanReadings);
        l->setObjectName(QString::fromLatin1(name));
        const int row = readings % 3, col = (readings / 3) * 2;
        orl->addWidget(new QLabel(QString::fromUtf8(caption), grbOrvanReadings), row, col);
        orl->addWidget(l, row, col + 1);
        ++readings;
        return l;
    };
    stxOrvanPwPD = reading("Photo diode", "stxOrvanPwPD");
    stxOrvanPwPM = reading("Power meter", "stxOrvanPwPM");
    stxOrvanIAlim = reading("Alim current", "stxOrvanIAlim");
    stxOrvanTemp = reading("Diode temp", "stxOrvanTemp");
    stxOrvanPwSet = reading("Power set", "stxOrvanPwSet");
    orl->setColumnStretch(1, 1);
    orl->setColumnStretch(3, 1);
    grid->addWidget(grbOrvanReadings, 2, 1, Qt::AlignTop);

    grbPolling = new QGroupBox(QStringLiteral("Source work time"), body);
    grbPolling->setToolTip(QStringLiteral("Click to read the hours counter"));
    auto* pl = new QFormLayout(grbPolling);
    stxSourceSeconds = new QLabel(grbPolling);
    stxSourceSeconds->setObjectName(QStringLiteral("stxSourceSeconds"));
    stxSourceHours = new QLabel(grbPolling);
    stxSourceHours->setObjectName(QStringLiteral("stxSourceHours"));
    pl->addRow(QStringLiteral("Seconds"), stxSourceSeconds);
    pl->addRow(QStringLiteral("Hours"), stxSourceHours);
    grbPolling->installEventFilter(this);
    grid->addWidget(grbPolling, 2, 0, Qt::AlignTop);
    grid->addWidget(GrbAnomaly, 0, 3, 2, 1);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(3, 1);
    SetTabOrderByLayout(this);
}

void TPageWelderVelkor::SetBoardPicture(const QImage& picture) {
    imgBoard->setPixmap(QPixmap::fromImage(picture));
}

namespace {

QString U(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

bool TPageWelderVelkor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == GrbAnomaly || watched == fraAnomaly1) emit AnomalyGroupClicked();
        if (watched == grbPolling) emit SourceTimeGroupClicked();
    }
    return QWidget::eventFilter(watched, event);
}

void TPageWelderVelkor::OnAnomalyDisplay(std::uint32_t bits) {
    fraAnomaly1->ShowBitWord(bits);
}

void TPageWelderVelkor::OnAnalogDisplay(const features::TAnalogDisplay& d) {
    for (std::size_t c = 0; c < features::kChannels; ++c) {
        CgaAnalog[c]->setValue(std::min<int>(d.words[c], CgaAnalog[c]->maximum()));
        LblAnalogValue[c]->setText(U(d.voltText[c]));
    }
    if (!d.converted) return;  // the converted texts keep their last values
    static const QColor kColours[] = {QColor(0x00, 0xFF, 0x00), QColor(0xFF, 0x00, 0x00),
                                      QColor(0x00, 0xFF, 0xFF)};
    const QColor colour = kColours[static_cast<int>(d.temperatureColour)];
    QPalette pal = cgaTemperature->palette();
    if (pal.color(QPalette::Highlight) != colour) {
        pal.setColor(QPalette::Highlight, colour);
        cgaTemperature->setPalette(pal);
    }
    cgaTemperature->setValue(
        std::clamp(d.temperatureGauge, cgaTemperature->minimum(), cgaTemperature->maximum()));
    lblTemperature->setText(U(d.temperatureText) + QStringLiteral(" °C"));
    auto show = [](QLabel* l, QProgressBar* g, const features::TConvertedValue& v) {
        l->setText(U(v.text));
        if (g) g->setValue(std::clamp(v.gauge, g->minimum(), g->maximum()));
    };
    show(stxCurrentSet, cgaPowerSet, d.currentSet);
    show(stxPowerSet, nullptr, d.powerSet);
    show(stxFeedBackAlimCurr, cgaFeedBackAlimCurr, d.supplyCurrent);
    show(stxFeedBackPD, cgaFeedbackPD, d.photodiode);
    show(stxPowerMeter, cgaPowerMeter, d.powerMeter);
}

void TPageWelderVelkor::OnPowerDisplay(const features::TPowerDisplay& d) {
    stxOrvanPwPD->setText(U(d.photodiode));
    stxOrvanPwPM->setText(U(d.powerMeter));
    stxOrvanIAlim->setText(U(d.supplyCurrent));
    stxOrvanTemp->setText(U(d.temperature));
    stxOrvanPwSet->setText(U(d.setPower));
}

void TPageWelderVelkor::OnSourceTime(std::uint32_t, const std::string& secondsText,
                                     const std::string& hoursText) {
    stxSourceSeconds->setText(U(secondsText));
    stxSourceHours->setText(U(hoursText));
}

void TPageWelderVelkor::OnMachineName(std::uint16_t, const std::string& name) {
    stxBoardType->setText(U(name));
}

void TPageWelderVelkor::OnFirmwareVersion(std::uint8_t, std::uint8_t, std::uint8_t,
                                          const std::string& text) {
    stxFWVer->setText(U(text));
}

void TPageWelderVelkor::OnProtocolVersion(std::uint32_t, const std::string& text) {
    stxProtVer->setText(U(text));
}

// The board's bytes as they are: any byte shows as some character.
void TPageWelderVelkor::OnSerialNumber(const std::string& text) {
    stxSerialNumber->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TPageWelderVelkor::OnMachineNames(const features::TMachineNames& names) {
    fraAnomaly1->BuildIndicators(static_cast<int>(names.anomalies.size()));
    for (std::size_t i = 0; i < names.anomalies.size(); ++i)
        fraAnomaly1->SetIndicatorName(static_cast<int>(i), U(names.anomalies[i]));
    GrbAnomaly->setToolTip(names.found ? QString()
                           : names.error.empty()
                               ? QStringLiteral("No naming file: ") + U(names.path)
                               : U(names.error));
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
