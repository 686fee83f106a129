#include "pages/PageWelderTuning.h"

#include <QGraphicsLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "link/NumberText.h"
#include "pages/NumberText.h"
#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

QLabel* Static(QWidget* parent, const char* name, const QString& text = QString()) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setMinimumWidth(70);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(80);
    return e;
}

QTableWidget* Grid(QWidget* parent, const char* name, int rows, const QStringList& headers) {
    auto* g = new QTableWidget(rows, static_cast<int>(headers.size()), parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setHorizontalHeaderLabels(headers);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

void SetText(QTableWidget* g, int row, int col, const QString& text) {
    auto* item = g->item(row, col);
    if (!item) {
        item = new QTableWidgetItem();
        g->setItem(row, col, item);
    }
    item->setText(text);
}

}  // namespace

TPageWelderTuning::TPageWelderTuning(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderTuning"));
    QWidget* body = ScrollBody(this);
    auto* columns = new QHBoxLayout(body);
    auto* left = new QVBoxLayout();
    auto* right = new QVBoxLayout();
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    // Diagnosis.
    auto* grbDiag = new QGroupBox(QStringLiteral("Power Diagnosis "), body);
    auto* dg = new QGridLayout(grbDiag);
    dg->addWidget(new QLabel(QStringLiteral("Source Power (Configuration) (W)"), grbDiag), 0, 0, 1,
                  2);
    stxDiagPDiodeMax = Static(grbDiag, "stxDiagPDiodeMax");
    dg->addWidget(stxDiagPDiodeMax, 0, 2);
    dg->addWidget(new QLabel(QStringLiteral("Expected (W)"), grbDiag), 1, 1);
    dg->addWidget(new QLabel(QStringLiteral("Measured (W)"), grbDiag), 1, 2);
    dg->addWidget(new QLabel(QStringLiteral("Error (%)"), grbDiag), 1, 3);
    static const char* captions[] = {"Power 25%", "Power 50%", "Power 75%", "Power 100%"};
    static const char* math[] = {"stxPw25math", "stxPw50math", "stxPw75math", "stxPw100math"};
    static const char* pm[] = {"stxPwPM25", "stxPwPM50", "stxPwPM75", "stxPwPM100"};
    static const char* err[] = {"stxPw25err", "stxPw50err", "stxPw75err", "stxPw100err"};
    for (int i = 0; i < 4; ++i) {
        const auto k = static_cast<std::size_t>(i);
        dg->addWidget(new QLabel(QString::fromLatin1(captions[i]), grbDiag), i + 2, 0);
        stxPwMath[k] = Static(grbDiag, math[i]);
        stxPwPM[k] = Static(grbDiag, pm[i]);
        stxPwErr[k] = Static(grbDiag, err[i]);
        dg->addWidget(stxPwMath[k], i + 2, 1);
        dg->addWidget(stxPwPM[k], i + 2, 2);
        dg->addWidget(stxPwErr[k], i + 2, 3);
    }
    btnPwDiagnosis = Button(grbDiag, "btnPwDiagnosis", QStringLiteral("POWER METER"));
    btnPwDiagnosisPD = Button(grbDiag, "btnPwDiagnosisPD", QStringLiteral("PHOTODIODE"));
    dg->addWidget(btnPwDiagnosis, 6, 1, 1, 1);
    dg->addWidget(btnPwDiagnosisPD, 6, 2, 1, 1);
    left->addWidget(grbDiag);

    // Tunings and the power-meter view.
    auto* tunings = new QHBoxLayout();
    auto* grbFactory = new QGroupBox(QStringLiteral("Power Factory autotuning "), body);
    auto* fl = new QVBoxLayout(grbFactory);
    cmdPwFactoryTuing = Button(grbFactory, "cmdPwFactoryTuing", QStringLiteral("Factory tuning"));
    fl->addWidget(cmdPwFactoryTuing);
    auto* grbSecondary = new QGroupBox(QStringLiteral("Power Secondary Autotuning "), body);
    auto* sl = new QVBoxLayout(grbSecondary);
    btnPwSecondaryTuning =
        Button(grbSecondary, "btnPwSecondaryTuning", QStringLiteral("Start Secondary Tuning"));
    sl->addWidget(btnPwSecondaryTuning);
    tunings->addWidget(grbFactory);
    tunings->addWidget(grbSecondary);
    left->addLayout(tunings);
    auto* pmRow = new QHBoxLayout();
    pmRow->addWidget(new QLabel(QStringLiteral("Power meter view "), body));
    stxPMView = Static(body, "stxPMView", QStringLiteral("Off"));
    stxPMView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    pmRow->addWidget(stxPMView, 1);
    left->addLayout(pmRow);

    // Currents.
    auto* grbCurrents = new QGroupBox(QStringLiteral("Currents"), body);
    auto* cg = new QGridLayout(grbCurrents);
    cg->addWidget(new QLabel(QStringLiteral("I max (A)"), grbCurrents), 0, 0);
    edtImax = Edit(grbCurrents, "edtImax");
    btnReadImax = Button(grbCurrents, "btnReadImax", QStringLiteral("Read I max"));
    btnWriteImax = Button(grbCurrents, "btnWriteImax", QStringLiteral("Write I max"));
    btnImaxEEPROM = Button(grbCurrents, "btnImaxEEPROM", QStringLiteral("Write to eeprom"));
    cg->addWidget(edtImax, 0, 1);
    cg->addWidget(btnReadImax, 0, 2);
    cg->addWidget(btnWriteImax, 0, 3);
    cg->addWidget(btnImaxEEPROM, 0, 4);
    cg->addWidget(new QLabel(QStringLiteral("Corr %"), grbCurrents), 1, 0);
    edtIAdj = Edit(grbCurrents, "edtIAdj");
    btnReadIAdj = Button(grbCurrents, "btnReadIAdj", QStringLiteral("Read Corr %"));
    btnWriteIAdj = Button(grbCurrents, "btnWriteIAdj", QStringLiteral("Write Corr %"));
    btnWrIAdjEEPEOM = Button(grbCurrents, "btnWrIAdjEEPEOM", QStringLiteral("Write to eeprom"));
    cg->addWidget(edtIAdj, 1, 1);
    cg->addWidget(btnReadIAdj, 1, 2);
    cg->addWidget(btnWriteIAdj, 1, 3);
    cg->addWidget(btnWrIAdjEEPEOM, 1, 4);
    stxImaxByTime = Static(grbCurrents, "stxImaxByTime");
    stxImaxByTime->setToolTip(QString::fromUtf8(
        "Stima valore massimo corrente in base alle ore lavorative trascorse dall'ultimo tuning"));
    stxIDiodeEndLife = Static(grbCurrents, "stxIDiodeEndLife");
    stxIDiodeEndLife->setToolTip(QStringLiteral("Corrente di fine vita diodi"));
    stxIMaxLow = Static(grbCurrents, "stxIMaxLow");
    stxIMaxLow->setToolTip(QStringLiteral("Minimo valore associabile alla corrente massima"));
    cg->addWidget(new QLabel(QStringLiteral("Estimate I max"), grbCurrents), 2, 0);
    cg->addWidget(stxImaxByTime, 2, 1);
    cg->addWidget(new QLabel(QStringLiteral("I end life"), grbCurrents), 2, 2);
    cg->addWidget(stxIDiodeEndLife, 2, 3);
    cg->addWidget(new QLabel(QStringLiteral("Lower value I max"), grbCurrents), 3, 0);
    cg->addWidget(stxIMaxLow, 3, 1);
    btnCurrentInfo = Button(grbCurrents, "btnCurrentInfo", QStringLiteral("Update"));
    cg->addWidget(btnCurrentInfo, 3, 3);
    cg->addWidget(new QLabel(QStringLiteral("Imax:"), grbCurrents), 4, 0);
    stxFactoryTuningImax = Static(grbCurrents, "stxFactoryTuningImax");
    cg->addWidget(stxFactoryTuningImax, 4, 1);
    left->addWidget(grbCurrents);
    left->addStretch(1);

    // Tuning log.
    auto* grbLog = new QGroupBox(QStringLiteral("Tuning log"), body);
    auto* ll = new QGridLayout(grbLog);
    cmdTuningLog = Button(grbLog, "cmdTuningLog", QStringLiteral("Get tuning log"));
    btnSaveTuningLog = Button(grbLog, "btnSaveTuningLog", QStringLiteral("Save tuning log"));
    ll->addWidget(cmdTuningLog, 0, 0);
    ll->addWidget(btnSaveTuningLog, 0, 1);
    ll->addWidget(new QLabel(QStringLiteral("Factory tuning"), grbLog), 0, 2);
    stxFactoryTuningDT = Static(grbLog, "stxFactoryTuningDT");
    ll->addWidget(stxFactoryTuningDT, 0, 3);
    lblTuningLogState = new QLabel(grbLog);
    lblTuningLogState->setObjectName(QStringLiteral("lblTuningLogState"));
    lblTuningLogState->setWordWrap(true);
    ll->addWidget(lblTuningLogState, 1, 0, 1, 4);
    strTuningLog = Grid(grbLog, "strTuningLog", 8,
                        {QStringLiteral("Power (W)"), QStringLiteral("Current (A)"),
                         QStringLiteral("Hours"), QStringLiteral("Data/Time")});
    strTuningLog->setMinimumHeight(120);
    strTuningLog->setColumnWidth(0, 66);
    strTuningLog->setColumnWidth(1, 70);
    strTuningLog->setColumnWidth(2, 52);
    // The date and time whole, as the board's log writes them.
    strTuningLog->setColumnWidth(
        3,
        strTuningLog->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 14);
    stgTuningWA = Grid(grbLog, "stgTuningWA", 6, {QStringLiteral("W"), QStringLiteral("A")});
    // Narrow enough that the log beside it shows its dates whole.
    stgTuningWA->setColumnWidth(0, 48);
    stgTuningWA->setColumnWidth(1, 48);
    stgTuningWA->setMaximumWidth(48 * 2 + stgTuningWA->verticalHeader()->sizeHint().width() +
                                 2 * stgTuningWA->frameWidth());
    ll->addWidget(strTuningLog, 2, 0, 1, 3);
    ll->addWidget(stgTuningWA, 2, 3);
    right->addWidget(grbLog);

    // The run's points.
    auto* grbChart = new QGroupBox(QStringLiteral("Measured against expected power"), body);
    auto* cl = new QVBoxLayout(grbChart);
    chart_ = new QChart();
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // The frame around the plot is room the axis titles need on a small screen.
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->setBackgroundRoundness(0);
    axisX_ = new QValueAxis(chart_);
    axisX_->setTitleText(QStringLiteral("Expected (W)"));
    axisY_ = new QValueAxis(chart_);
    axisY_->setTitleText(QStringLiteral("Measured (W)"));
    // Axis numbers in the user's decimal separator, without trailing zeros.
    chart_->setLocalizeNumbers(true);
    for (QValueAxis* axis : {axisX_, axisY_}) axis->setLabelFormat(QStringLiteral("%.4g"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    bandHigh_ = new QLineSeries(chart_);
    bandLow_ = new QLineSeries(chart_);
    band_ = new QAreaSeries(bandHigh_, bandLow_);
    band_->setName(QStringLiteral("tolerance +/-%1 %").arg(features::kPowerTolerancePercent));
    band_->setColor(QColor(120, 200, 120, 80));
    band_->setBorderColor(QColor(120, 200, 120, 80));
    ideal_ = new QLineSeries(chart_);
    ideal_->setName(QStringLiteral("expected"));
    measured_ = new QScatterSeries(chart_);
    measured_->setName(QStringLiteral("measured"));
    measured_->setMarkerSize(9);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(band_), static_cast<QAbstractSeries*>(ideal_),
          static_cast<QAbstractSeries*>(measured_)}) {
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    chvPowerPoints = new QChartView(chart_, grbChart);
    chvPowerPoints->setObjectName(QStringLiteral("chvPowerPoints"));
    chvPowerPoints->setRenderHint(QPainter::Antialiasing);
    chvPowerPoints->setMinimumHeight(220);
    cl->addWidget(chvPowerPoints);
    btnSavePointsCsv =
        Button(grbChart, "btnSavePointsCsv", QStringLiteral("Save points as CSV..."));
    cl->addWidget(btnSavePointsCsv, 0, Qt::AlignRight);
    right->addWidget(grbChart, 1);
    ResetChart(features::TProcedure::None);
    SetTabOrderByLayout(this);
}

QString TPageWelderTuning::Num(double v, int decimals) const {
    const std::string t = decimals < 0 ? link::NumberText(v) : link::RoundedText(v, decimals);
    QString q = QString::fromStdString(t);
    if (decimal_ != '.') q.replace(QLatin1Char('.'), QLatin1Char(decimal_));
    return q;
}

void TPageWelderTuning::ShowFactoryTuningImax(double amperes, char sep) {
    stxFactoryTuningImax->setText(QString::fromStdString(FormatReal(amperes, sep)) +
                                  QStringLiteral(" A"));
}

void TPageWelderTuning::ResetChart(features::TProcedure p) {
    chartPoints_.clear();
    chartProcedure_ = p;
    measured_->clear();
    ideal_->clear();
    bandHigh_->clear();
    bandLow_->clear();
    axisX_->setRange(0, 10);
    axisY_->setRange(0, 10);
    axisX_->setTickCount(6);
    axisY_->setTickCount(6);
    btnSavePointsCsv->setEnabled(false);
}

void TPageWelderTuning::OnProcedureAnswer(std::uint8_t, std::uint8_t, const std::string& text,
                                          bool) {
    stxPMView->setText(QString::fromStdString(text));
}

void TPageWelderTuning::OnDiagnosisStarted(double pcfg, const std::array<double, 4>& expected) {
    stxDiagPDiodeMax->setText(Num(pcfg));
    for (std::size_t i = 0; i < 4; ++i) {
        stxPwMath[i]->setText(Num(expected[i]));
        stxPwPM[i]->setText(QStringLiteral("..."));
        stxPwErr[i]->setText(QStringLiteral("..."));
    }
}

void TPageWelderTuning::OnPowerPoint(features::TProcedure p, const features::TPowerPoint& q) {
    const bool diagnosis =
        p == features::TProcedure::MeterDiagnosis || p == features::TProcedure::PdDiagnosis;
    if (diagnosis && q.step >= 1 && q.step <= 4) {
        const auto k = static_cast<std::size_t>(q.step - 1);
        stxPwPM[k]->setText(Num(q.measured, 2));
        stxPwErr[k]->setText(q.errorPercent ? Num(*q.errorPercent) : QStringLiteral("---"));
    }
    // A tuning's reading before the board said it runs (a refused start,
    // a reading that crossed the start) belongs to no run: the points of the
    // last run stay, and no run that never happened is drawn.
    const bool tuning =
        p == features::TProcedure::FactoryTuning || p == features::TProcedure::SecondaryTuning;
    if (tuning && q.step < 1) return;
    if (p != chartProcedure_) ResetChart(p);
    chartPoints_.push_back(q);
    measured_->append(q.expected, q.measured);
    double top = 1;
    for (const features::TPowerPoint& x : chartPoints_)
        top = std::max({top, x.expected, x.measured});
    top *= 1.15;
    const double tol = features::kPowerTolerancePercent / 100.0;
    // Round steps on both axes, and the same scale on both.
    axisX_->setRange(0, top * (1 + tol));
    axisX_->applyNiceNumbers();
    axisY_->setRange(axisX_->min(), axisX_->max());
    axisY_->setTickCount(axisX_->tickCount());
    const double end = axisX_->max();
    ideal_->replace(QList<QPointF>{{0, 0}, {end, end}});
    bandHigh_->replace(QList<QPointF>{{0, 0}, {end, end * (1 + tol)}});
    bandLow_->replace(QList<QPointF>{{0, 0}, {end, end * (1 - tol)}});
    btnSavePointsCsv->setEnabled(true);
}

void TPageWelderTuning::OnProcedureText(const std::string& text) {
    stxPMView->setToolTip(QString());
    stxPMView->setText(QString::fromStdString(text));
}

void TPageWelderTuning::OnProcedureFinished(const features::TProcedureOutcome& o) {
    QString text = QString::fromStdString(o.text);
    // A refused start shows the board's refusal as it is.
    const bool refusedStart = o.outcome.why.rfind("the board refused to start", 0) == 0;
    if (!o.outcome.completed && !refusedStart) {
        // Never left looking like a run still going or one that finished.
        // Said once: the reason, unless the procedure's own words already
        // carry it ("Tuning interrupted by anomaly!").
        const QString why = QString::fromStdString(o.outcome.why);
        const QString said = QString::fromStdString(o.text);
        const bool repeats =
            why.isEmpty() || said.contains(QStringLiteral("interrupted"), Qt::CaseInsensitive);
        text = repeats ? QStringLiteral("Stopped: %1").arg(said)
                       : QStringLiteral("Stopped: %1 (%2)").arg(said, why);
        stxPMView->setToolTip(text);
    }
    stxPMView->setText(text);
}

void TPageWelderTuning::OnCurrentValue(const std::string& field, double value) {
    const QString text = Num(value);
    if (field == "edtImax") edtImax->setText(text);
    if (field == "edtIAdj") edtIAdj->setText(text);
    if (field == "stxImaxByTime") stxImaxByTime->setText(text + QStringLiteral(" A"));
    if (field == "stxIDiodeEndLife") stxIDiodeEndLife->setText(text + QStringLiteral(" A"));
    if (field == "stxIMaxLow") stxIMaxLow->setText(text + QStringLiteral(" A"));
}

void TPageWelderTuning::OnTuningLogShown(const features::TTuningLogShown& s) {
    if (!s.outcome.completed) {
        lblTuningLogState->setText(QStringLiteral("The tuning log was not read: %1 (%2)")
                                       .arg(QString::fromStdString(s.outcome.why),
                                            QString::fromStdString(s.outcome.where)));
        return;
    }
    strTuningLog->clearContents();
    for (std::size_t i = 0; i < s.entries.size(); ++i) {
        const features::tuninglog& e = s.entries[i];
        const int row = static_cast<int>(i);
        SetText(strTuningLog, row, 0, Num(e.power, 2));
        SetText(strTuningLog, row, 1, Num(e.current, 2));
        SetText(strTuningLog, row, 2, Num(e.hours, 3));
        SetText(strTuningLog, row, 3, QString::fromStdString(e.dateTime));
    }
    stgTuningWA->clearContents();
    if (s.hasTable) {
        for (int r = 0; r < 6; ++r) {
            const auto k = static_cast<std::size_t>(r);
            QString p = QString::fromStdString(s.tablePower[k]);
            QString a = QString::fromStdString(s.tableCurrent[k]);
            if (decimal_ != '.') {
                p.replace(QLatin1Char('.'), QLatin1Char(decimal_));
                a.replace(QLatin1Char('.'), QLatin1Char(decimal_));
            }
            SetText(stgTuningWA, r, 0, p);
            SetText(stgTuningWA, r, 1, a);
        }
    }
    stxFactoryTuningDT->setText(QString::fromStdString(s.factoryTuningTime));
    if (!s.problem.empty()) {
        lblTuningLogState->setText(QString::fromStdString(s.problem));
        lblTuningLogState->setStyleSheet(QStringLiteral("color: red"));
    } else {
        lblTuningLogState->setStyleSheet(QString());
        lblTuningLogState->setText(
            QStringLiteral("Copy %1, %2 tuning(s) listed%3")
                .arg(s.validCopy == 1 ? QStringLiteral("A") : QStringLiteral("B"))
                .arg(s.entries.size())
                .arg(s.tuningDone ? QString() : QStringLiteral(", no tuning done")));
    }
}

}  // namespace orvan::pages
