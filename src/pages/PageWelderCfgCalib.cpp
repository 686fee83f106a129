// The calibration controls of "Welder CFG": the "Get" and "<-- Copy" buttons
// of the gain grid, the two-point line fits of "Feedback analogici", the
// photodiode table's "Get" buttons and the temperature sensor's "Get m,q".
// The computations are the calibration feature's; this file only builds the
// controls, hands their texts over and shows what was stored.

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/Cfgwelder.h"
#include "pages/PageWelderCfg.h"
#include "pages/ResponsePicture.h"

namespace orvan::pages {

namespace {

constexpr int kButtonRow = 20;  // the grids' row height

QPushButton* RowButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFixedHeight(kButtonRow);
    return b;
}

QLineEdit* FitEdit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(70);
    return e;
}

}  // namespace

QWidget* TPageWelderCfg::BuildGainButtons(QWidget* parent) {
    // One row of buttons beside each input's row of the gain grid.
    auto* column = new QWidget(parent);
    auto* l = new QGridLayout(column);
    l->setContentsMargins(0, 0, 0, strGainAdj->frameWidth());
    l->setVerticalSpacing(0);
    l->setHorizontalSpacing(2);
    for (int c = 0; c < 6; ++c) {
        btnADGain2Table[static_cast<std::size_t>(c)] = RowButton(
            QStringLiteral("<-- Copy"), QStringLiteral("btnADGain2Table%1").arg(c), column);
        btnGetGainAdj[static_cast<std::size_t>(c)] =
            RowButton(QStringLiteral("Get"), QStringLiteral("btnGetGainAdj%1").arg(c), column);
        l->addWidget(btnGetGainAdj[static_cast<std::size_t>(c)], c, 0);
        l->addWidget(btnADGain2Table[static_cast<std::size_t>(c)], c, 1);
    }
    return column;
}

QWidget* TPageWelderCfg::BuildPhotodiodeButtons(QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* l = new QVBoxLayout(column);
    l->setContentsMargins(0, kButtonRow + stgPDTable->frameWidth(), 0, 0);
    l->setSpacing(0);
    for (int k = 0; k < config::TWelderCfgBlank::kPDTableVCount; ++k) {
        btnGetPD[static_cast<std::size_t>(k)] =
            RowButton(QStringLiteral("Get"), QStringLiteral("btnGetPD_%1").arg(k), column);
        l->addWidget(btnGetPD[static_cast<std::size_t>(k)]);
    }
    return column;
}

void TPageWelderCfg::BuildLineFit(features::TFeedbackLine line, QWidget* box, QGridLayout* layout) {
    const bool meter = line == features::TFeedbackLine::PowerMeter;
    QLineEdit*& x1 = meter ? edtPMx1 : edtIAlimx1;
    QLineEdit*& x2 = meter ? edtPMx2 : edtIAlimx2;
    QLineEdit*& y1 = meter ? edtPMy1 : edtIAlimy1;
    QLineEdit*& y2 = meter ? edtPMy2 : edtIAlimy2;
    QPushButton*& getMin = meter ? btnGetPMVmin : btnGetIalimVmin;
    QPushButton*& getMax = meter ? btnGetPMVmax : btnGetIalimVmax;
    QPushButton*& fit = meter ? btnPMGenCoeff : btnIAlimCoeff;
    x1 = FitEdit(meter ? "edtPMx1" : "edtIAlimx1", box);
    x2 = FitEdit(meter ? "edtPMx2" : "edtIAlimx2", box);
    y1 = FitEdit(meter ? "edtPMy1" : "edtIAlimy1", box);
    y2 = FitEdit(meter ? "edtPMy2" : "edtIAlimy2", box);
    getMin = new QPushButton(QStringLiteral("Get Vmin"), box);
    getMin->setObjectName(meter ? QStringLiteral("btnGetPMVmin")
                                : QStringLiteral("btnGetIalimVmin"));
    getMax = new QPushButton(QStringLiteral("Get Vmax"), box);
    getMax->setObjectName(meter ? QStringLiteral("btnGetPMVmax")
                                : QStringLiteral("btnGetIalimVmax"));
    fit = new QPushButton(QStringLiteral("Get m,q"), box);
    fit->setObjectName(meter ? QStringLiteral("btnPMGenCoeff") : QStringLiteral("btnIAlimCoeff"));
    const char* unit = meter ? "W" : "A";
    const char letter = meter ? 'P' : 'I';
    auto label = [&](const char* what, const char* u) {
        return new QLabel(QStringLiteral("%1 %2 (%3)")
                              .arg(QChar(letter))
                              .arg(QLatin1String(what), QLatin1String(u)),
                          box);
    };
    // Columns 2.. beside m and q: the two points, volts then the value.
    layout->addWidget(label("min", "V"), 0, 2);
    layout->addWidget(x1, 0, 3);
    layout->addWidget(getMin, 0, 4);
    layout->addWidget(label("min", unit), 0, 5);
    layout->addWidget(y1, 0, 6);
    layout->addWidget(label("max", "V"), 1, 2);
    layout->addWidget(x2, 1, 3);
    layout->addWidget(getMax, 1, 4);
    layout->addWidget(label("max", unit), 1, 5);
    layout->addWidget(y2, 1, 6);
    layout->addWidget(fit, 2, 0, 1, 2);
}

QString TPageWelderCfg::GainVinText(int channel) const {
    return Cell(strGainAdj, 0, channel + 1);
}

QString TPageWelderCfg::GainFactorText(int channel) const {
    return Cell(strGainAdj, 2, channel + 1);
}

void TPageWelderCfg::ShowGainReading(int channel, const features::TGainReading& reading) {
    const bool wasFilling = filling_;
    filling_ = true;
    SetCell(strGainAdj, 1, channel + 1, QString::fromStdString(reading.measuredText));
    SetCell(strGainAdj, 2, channel + 1, QString::fromStdString(reading.gainText));
    filling_ = wasFilling;
}

void TPageWelderCfg::ShowPowerMeterFit(const features::TLineFit& fit) {
    imgPowerMeter->ShowLine(fit.x1, fit.y1, fit.x2, fit.y2);
}

features::TLineFitTexts TPageWelderCfg::LineFitTexts(features::TFeedbackLine line) const {
    const bool meter = line == features::TFeedbackLine::PowerMeter;
    auto t = [](const QLineEdit* e) { return e->text().toStdString(); };
    return meter ? features::TLineFitTexts{t(edtPMx1), t(edtPMx2), t(edtPMy1), t(edtPMy2)}
                 : features::TLineFitTexts{t(edtIAlimx1), t(edtIAlimx2), t(edtIAlimy1),
                                           t(edtIAlimy2)};
}

void TPageWelderCfg::SetLineVolts(features::TFeedbackLine line, bool maximum, const QString& text) {
    const bool meter = line == features::TFeedbackLine::PowerMeter;
    QLineEdit* e = meter ? (maximum ? edtPMx2 : edtPMx1) : (maximum ? edtIAlimx2 : edtIAlimx1);
    e->setText(text);
}

void TPageWelderCfg::OnCalibrationStored(const std::vector<std::string>& keys) {
    if (!calRecord_) return;
    for (const std::string& key : keys) {
        for (const Binding& b : bindings_) {
            if (b.field->key != key) continue;
            const bool wasFilling = filling_;
            filling_ = true;
            b.SetText(Format(b, *calRecord_));
            filling_ = wasFilling;
            // In the record but not on the board: marked until written.
            MarkEdited(b.grid ? static_cast<const void*>(b.grid) : b.edit, b.col, b.row, true);
        }
    }
}

}  // namespace orvan::pages
