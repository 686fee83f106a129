#include "pages/PageWelderCfg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>

#include "config/Cfgwelder.h"
#include "features/ConfigTransfer.h"
#include "pages/NumberText.h"
#include "pages/ResponsePicture.h"
#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

constexpr int kRowHeight = 20;
const QColor kFixedCell(0xE8, 0xE8, 0xE8);
const QColor kEditedCell(0xFF, 0xF0, 0xA0);
const QColor kMarkRed(255, 0, 0);

// Paints after the default drawing of each cell.
class TPaintAfter : public QStyledItemDelegate {
  public:
    using Hook = std::function<void(QPainter*, const QStyleOptionViewItem&, const QModelIndex&)>;
    TPaintAfter(Hook hook, QObject* parent) : QStyledItemDelegate(parent), hook_(std::move(hook)) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(p, option, index);
        hook_(p, option, index);
    }

  private:
    Hook hook_;
};

QTableWidget* MakeGrid(QWidget* parent, const char* name, int cols, int rows, int fixedCols,
                       int fixedRows, bool editing) {
    auto* g = new QTableWidget(rows, cols, parent);
    g->setObjectName(QString::fromLatin1(name));
    // Where a cell's captions are, for messages that name the cell.
    g->setProperty("fixedCols", fixedCols);
    g->setProperty("fixedRows", fixedRows);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->verticalHeader()->setDefaultSectionSize(kRowHeight);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(editing
                           ? QAbstractItemView::AllEditTriggers
                           : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            auto* item = new QTableWidgetItem();
            if (r < fixedRows || c < fixedCols) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(kFixedCell);
            }
            g->setItem(r, c, item);
        }
    }
    g->setFixedHeight(rows * kRowHeight + 2 * g->frameWidth());
    return g;
}

void SetWidths(QTableWidget* g, int totalWidth, std::initializer_list<int> widths) {
    g->setFixedWidth(totalWidth + 2 * g->frameWidth());
    int c = 0;
    for (int w : widths) g->setColumnWidth(c++, w);
}

QWidget* Labelled(const char* caption, QWidget* w, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(new QLabel(QString::fromLatin1(caption), box));
    l->addWidget(w);
    return box;
}

QLineEdit* Edit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(90);
    return e;
}

}  // namespace

QString TPageWelderCfg::Cell(const QTableWidget* grid, int col, int row) {
    const QTableWidgetItem* i = grid->item(row, col);
    return i ? i->text() : QString();
}

void TPageWelderCfg::SetCell(QTableWidget* grid, int col, int row, const QString& text) {
    if (QTableWidgetItem* i = grid->item(row, col)) i->setText(text);
}

QString TPageWelderCfg::Binding::Text() const {
    return grid ? Cell(grid, col, row) : edit->text();
}

void TPageWelderCfg::Binding::SetText(const QString& t) const {
    if (grid)
        SetCell(grid, col, row, t);
    else
        edit->setText(t);
}

TPageWelderCfg::TPageWelderCfg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TshWelderCfg"));
    auto* outer = new QVBoxLayout(this);
    PgcWelderCfg = new QTabWidget(this);
    PgcWelderCfg->setObjectName(QStringLiteral("PgcWelderCfg"));
    outer->addWidget(PgcWelderCfg);
    auto subPage = [this](const char* name) {
        auto* w = new QWidget(PgcWelderCfg);
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    TshCfgInput = subPage("TshCfgInput");
    TshCfgAnalogOut = subPage("TshCfgAnalogOut");
    TshCfgTemperature = subPage("TshCfgTemperature");
    tshAnalogInputTuning = subPage("tshAnalogInputTuning");
    PgcWelderCfg->addTab(TshCfgInput, QStringLiteral("Gestione ingressi"));
    PgcWelderCfg->addTab(TshCfgAnalogOut, QStringLiteral("Gestione potenza"));
    PgcWelderCfg->addTab(TshCfgTemperature, QStringLiteral("Gestione refrigeratore"));
    PgcWelderCfg->addTab(tshAnalogInputTuning, QStringLiteral("Feedback analogici"));

    // "Gestione ingressi"
    {
        auto* page = new QVBoxLayout(ScrollBody(TshCfgInput));
        auto* grbAnalog = new QGroupBox(QStringLiteral("Ingressi analogici"), TshCfgInput);
        auto* al = new QHBoxLayout(grbAnalog);
        StrGridAnOffsetAverage = MakeGrid(grbAnalog, "StrGridAnOffsetAverage", 4, 7, 1, 1, false);
        strGainAdj = MakeGrid(grbAnalog, "strGainAdj", 3, 7, 0, 1, false);
        al->addWidget(
            Labelled("Parametrizzazione ingressi analogici:", StrGridAnOffsetAverage, grbAnalog));
        al->addWidget(
            Labelled("Correzione amplificazione ingressi analogici:", strGainAdj, grbAnalog));
        al->addWidget(BuildGainButtons(grbAnalog), 0, Qt::AlignBottom);
        al->addStretch(1);
        page->addWidget(grbAnalog);
        auto* grbOpto = new QGroupBox(QStringLiteral("Ingressi optoisolati"), TshCfgInput);
        auto* ol = new QVBoxLayout(grbOpto);
        StrGridOptoInFilter = MakeGrid(grbOpto, "StrGridOptoInFilter", 13, 1, 1, 0, false);
        ol->addWidget(Labelled("Filtro ingressi (ms)", StrGridOptoInFilter, grbOpto));
        page->addWidget(grbOpto);
        page->addStretch(1);
    }
    // "Gestione potenza"
    {
        auto* page = new QGridLayout(ScrollBody(TshCfgAnalogOut));
        auto* grbOut = new QGroupBox(QStringLiteral("Uscita analogica"), TshCfgAnalogOut);
        auto* l = new QVBoxLayout(grbOut);
        StrGridAnalogOut = MakeGrid(grbOut, "StrGridAnalogOut", 3, 8, 1, 0, false);
        l->addWidget(StrGridAnalogOut);
        memAnalogOutNB = new QPlainTextEdit(grbOut);
        memAnalogOutNB->setObjectName(QStringLiteral("memAnalogOutNB"));
        memAnalogOutNB->setReadOnly(true);
        memAnalogOutNB->setFixedHeight(48);
        l->addWidget(memAnalogOutNB);
        page->addWidget(grbOut, 0, 0);
        auto* grbAnom = new QGroupBox(QStringLiteral("Gestione anomalie segnali di feed-back"),
                                      TshCfgAnalogOut);
        auto* al = new QVBoxLayout(grbAnom);
        StrGridAnalogAnomaly = MakeGrid(grbAnom, "StrGridAnalogAnomaly", 3, 2, 1, 0, false);
        al->addWidget(Labelled("Tolleranza feed-back", StrGridAnalogAnomaly, grbAnom));
        page->addWidget(grbAnom, 1, 0);
        auto* grbWA =
            new QGroupBox(QStringLiteral("Linearizzazione corrente in uscita"), TshCfgAnalogOut);
        auto* wl = new QGridLayout(grbWA);
        stgWATable = MakeGrid(grbWA, "stgWATable", 2, 7, 0, 1, true);
        wl->addWidget(stgWATable, 0, 0, 3, 1);
        // Wrapped beside the rows they point at, so the page fits 1024 pixels.
        auto pointer = [grbWA](const char* text) {
            auto* l = new QLabel(QString::fromUtf8(text), grbWA);
            l->setWordWrap(true);
            l->setFixedWidth(190);
            return l;
        };
        wl->addWidget(pointer("--->Corrente minima (Impostata manualmente)"), 0, 1, Qt::AlignTop);
        wl->addWidget(pointer("--->Corrente massima di lavoro (Impostata con autotuning)"), 2, 1,
                      Qt::AlignBottom);
        memTableWA = new QPlainTextEdit(grbWA);
        memTableWA->setObjectName(QStringLiteral("memTableWA"));
        memTableWA->setReadOnly(true);
        memTableWA->setFixedHeight(48);
        memTableWA->hide();
        wl->addWidget(memTableWA, 3, 0, 1, 2);
        page->addWidget(grbWA, 0, 1, 2, 1, Qt::AlignTop);
        page->setRowStretch(2, 1);
        page->setColumnStretch(2, 1);
    }
    // "Gestione refrigeratore"
    {
        auto* page = new QGridLayout(ScrollBody(TshCfgTemperature));
        auto* grbTemp = new QGroupBox(QStringLiteral("Regolazione temperatura"), TshCfgTemperature);
        auto* tl = new QVBoxLayout(grbTemp);
        StrGridTemperature = MakeGrid(grbTemp, "StrGridTemperature", 2, 12, 1, 0, false);
        tl->addWidget(StrGridTemperature);
        page->addWidget(grbTemp, 0, 0, 2, 1);
        // Filled and read back with the rest, though the board's PID settings
        // are not shown to technicians.
        grbPID = new QGroupBox(QStringLiteral("Regolazione PID"), TshCfgTemperature);
        auto* pl = new QVBoxLayout(grbPID);
        StrGridPIDSetting = MakeGrid(grbPID, "StrGridPIDSetting", 2, 7, 1, 0, false);
        pl->addWidget(StrGridPIDSetting);
        grbPID->hide();
        page->addWidget(grbPID, 0, 2);
        auto* grbAnom = new QGroupBox(QStringLiteral("Gestione anomalie"), TshCfgTemperature);
        auto* nl = new QVBoxLayout(grbAnom);
        StrGridAnomaly = MakeGrid(grbAnom, "StrGridAnomaly", 2, 6, 1, 0, false);
        nl->addWidget(StrGridAnomaly);
        page->addWidget(grbAnom, 0, 1);
        grbTempMQ = new QGroupBox(QStringLiteral("Sensore di temperatura "), TshCfgTemperature);
        auto* ml = new QGridLayout(grbTempMQ);
        edtTempCoeffM = Edit("edtTempCoeffM", grbTempMQ);
        edtTempCoeffQ = Edit("edtTempCoeffQ", grbTempMQ);
        ml->addWidget(new QLabel(QStringLiteral("m"), grbTempMQ), 0, 0);
        ml->addWidget(edtTempCoeffM, 0, 1);
        ml->addWidget(new QLabel(QStringLiteral("q"), grbTempMQ), 1, 0);
        ml->addWidget(edtTempCoeffQ, 1, 1);
        btnTempGenCoeff = new QPushButton(QStringLiteral("Get m,q"), grbTempMQ);
        btnTempGenCoeff->setObjectName(QStringLiteral("btnTempGenCoeff"));
        ml->addWidget(btnTempGenCoeff, 2, 0, 1, 2);
        for (auto [edit, name] : {std::pair{&edtTempx1, "edtTempx1"},
                                  {&edtTempx2, "edtTempx2"},
                                  {&edtTempy1, "edtTempy1"},
                                  {&edtTempy2, "edtTempy2"}}) {
            *edit = Edit(name, grbTempMQ);
            (*edit)->hide();
        }
        btnGetTempVmin = new QPushButton(QStringLiteral("Get Vmin"), grbTempMQ);
        btnGetTempVmin->setObjectName(QStringLiteral("btnGetTempVmin"));
        btnGetTempVmax = new QPushButton(QStringLiteral("Get Vmax"), grbTempMQ);
        btnGetTempVmax->setObjectName(QStringLiteral("btnGetTempVmax"));
        btnGetTempVmin->hide();
        btnGetTempVmax->hide();
        page->addWidget(grbTempMQ, 1, 1);
        page->setRowStretch(2, 1);
        page->setColumnStretch(3, 1);
    }
    // "Feedback analogici"
    {
        auto* page = new QGridLayout(ScrollBody(tshAnalogInputTuning));
        auto coeffs = [&](const char* caption, const char* mName, const char* qName, QLineEdit*& m,
                          QLineEdit*& q, int row, features::TFeedbackLine line) {
            auto* box = new QGroupBox(QString::fromLatin1(caption), tshAnalogInputTuning);
            auto* l = new QGridLayout(box);
            m = Edit(mName, box);
            q = Edit(qName, box);
            l->addWidget(new QLabel(QStringLiteral("m"), box), 0, 0);
            l->addWidget(m, 0, 1);
            l->addWidget(new QLabel(QStringLiteral("q"), box), 1, 0);
            l->addWidget(q, 1, 1);
            BuildLineFit(line, box, l);
            page->addWidget(box, row, 0);
        };
        coeffs("Power Meter ", "edtPMCoeffM", "edtPMCoeffQ", edtPMCoeffM, edtPMCoeffQ, 0,
               features::TFeedbackLine::PowerMeter);
        coeffs("Corrente alimentatore ", "edtIAlimCoeffM", "edtIAlimCoeffQ", edtIAlimCoeffM,
               edtIAlimCoeffQ, 1, features::TFeedbackLine::SupplyCurrent);
        auto* grbPD = new QGroupBox(QStringLiteral("Fotodiodo "), tshAnalogInputTuning);
        auto* dl = new QHBoxLayout(grbPD);
        stgPDTable = MakeGrid(grbPD, "stgPDTable", 2, 11, 0, 1, true);
        dl->addWidget(stgPDTable, 0, Qt::AlignTop);
        dl->addWidget(BuildPhotodiodeButtons(grbPD), 0, Qt::AlignTop);
        page->addWidget(grbPD, 0, 1, 3, 1, Qt::AlignTop);
        imgPowerMeter = new TResponsePicture(tshAnalogInputTuning);
        page->addWidget(imgPowerMeter, 2, 0, Qt::AlignLeft | Qt::AlignTop);
        page->setRowStretch(2, 1);
        page->setColumnStretch(2, 1);
    }

    StrGridAnalogOut->setItemDelegate(new TPaintAfter(
        [](QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) {
            // The board now takes these from the linearization table.
            const int r = i.row();
            if (i.column() == 1 && (r == 1 || r == 2 || r == 4 || r == 7))
                p->fillRect(o.rect, kMarkRed);
        },
        StrGridAnalogOut));
    stgWATable->setItemDelegate(new TPaintAfter(
        [this](QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) {
            // Currents replaced by a secondary tuning are struck through.
            if (!waStruck_ || i.column() != 1 || i.row() < 2) return;
            p->save();
            p->setPen(QPen(kMarkRed, 1));
            const int y = o.rect.top() + o.rect.height() / 2;
            p->drawLine(o.rect.left(), y, o.rect.right(), y);
            p->restore();
        },
        stgWATable));

    BuildBindings();
    for (QTableWidget* g : findChildren<QTableWidget*>()) {
        connect(g, &QTableWidget::itemChanged, this, [this, g](QTableWidgetItem* item) {
            if (!filling_) MarkEdited(g, item->column(), item->row(), true);
        });
    }
    for (QLineEdit* e :
         {edtTempCoeffM, edtTempCoeffQ, edtPMCoeffM, edtPMCoeffQ, edtIAlimCoeffM, edtIAlimCoeffQ})
        connect(e, &QLineEdit::textEdited, this, [this, e] { MarkEdited(e, 0, 0, true); });
    SetTabOrderByLayout(this);
}

void TPageWelderCfg::Bind(QTableWidget* grid, int col, int row, const char* key, Kind kind,
                          bool numeric) {
    Binding b;
    b.grid = grid;
    b.col = col;
    b.row = row;
    b.field = config::FindField(key);
    b.kind = kind;
    b.numericCompare = numeric;
    Q_ASSERT(b.field);
    if (b.field) bindings_.push_back(b);
}

void TPageWelderCfg::Bind(QLineEdit* edit, const char* key, Kind kind, const char* caption) {
    Binding b;
    b.edit = edit;
    b.caption = QString::fromLatin1(caption);
    b.field = config::FindField(key);
    b.kind = kind;
    Q_ASSERT(b.field);
    if (b.field) bindings_.push_back(b);
}

void TPageWelderCfg::BuildBindings() {
    const Kind I = Kind::Integer;
    const Kind R = Kind::Real;
    auto key = [](const char* stem, int i) { return std::string(stem) + "_" + std::to_string(i); };
    // The write-back order: the end-of-life current first, because the
    // current cells are scaled by it.
    Bind(StrGridAnalogOut, 1, 3, "CurrentDiodeMax", R);
    Bind(StrGridAnalogOut, 1, 0, "StandByPower", R);
    Bind(StrGridAnalogOut, 1, 1, "MinPower", R);
    Bind(StrGridAnalogOut, 1, 2, "MaxPower", R);
    Bind(StrGridAnalogOut, 1, 4, "AlimVolt2Ampere", R);
    Bind(StrGridAnalogOut, 1, 5, "VsetPowMax", R);
    Bind(StrGridAnalogOut, 1, 6, "TimeAlimSlope", I);
    Bind(StrGridAnalogOut, 1, 7, "PDiodeMax", R);
    for (int i = 0; i < 6; ++i)
        Bind(StrGridAnOffsetAverage, 1, i + 1, key("ADCOffset", i).c_str(), I);
    for (int i = 0; i < 6; ++i)
        Bind(StrGridAnOffsetAverage, 2, i + 1, key("ADCAverage", i).c_str(), I);
    for (int i = 0; i < 6; ++i)
        Bind(StrGridAnOffsetAverage, 3, i + 1, key("ADCGain", i).c_str(), R);
    for (int i = 0; i < 10; ++i) Bind(stgPDTable, 0, i + 1, key("PDTable_W", i).c_str(), R);
    for (int i = 0; i < 10; ++i) Bind(stgPDTable, 1, i + 1, key("PDTable_V", i).c_str(), R);
    for (int i = 0; i < 12; ++i)
        Bind(StrGridOptoInFilter, i + 1, 0, key("OptoInFilter", i).c_str(), I);
    Bind(StrGridAnalogAnomaly, 1, 0, "CurrentTolerance", I, true);
    Bind(StrGridAnalogAnomaly, 1, 1, "PowerTolerance", I, true);
    const std::pair<int, const char*> temps[] = {
        {0, "TempWorkMax"},       {1, "TempWorkCooling"}, {2, "TempWorkOK"},
        {3, "TempWorkHeating"},   {4, "TempWorkMin"},     {6, "TempWorkStepChk"},
        {7, "TempWorkErrMax"},    {9, "TempStartupStep"}, {10, "TempStartupRange"},
        {11, "TempStartupErrMax"}};
    for (const auto& [row, k] : temps) Bind(StrGridTemperature, 1, row, k, R);
    Bind(StrGridAnomaly, 1, 0, "Timer_0", R);
    Bind(StrGridAnomaly, 1, 1, "Timer_1", R);
    Bind(StrGridAnomaly, 1, 2, "TempWorkErrRetry", I);
    Bind(StrGridAnomaly, 1, 3, "TempStartupErrRetry", I);
    Bind(StrGridAnomaly, 1, 5, "Timer_2", R);
    const char* pid[] = {"CoolPID_KP", "CoolPID_KI", "CoolPID_KD", "HeatPID_KP",
                         "HeatPID_KI", "HeatPID_KD", "Period"};
    for (int r = 0; r < 7; ++r) Bind(StrGridPIDSetting, 1, r, pid[r], I);
    Bind(edtPMCoeffM, "PMCoeff_m", I, "m");
    Bind(edtPMCoeffQ, "PMCoeff_q", I, "q");
    Bind(edtIAlimCoeffM, "IAlimCoeff_m", I, "m");
    Bind(edtIAlimCoeffQ, "IAlimCoeff_q", I, "q");
    for (int i = 0; i < 6; ++i) Bind(stgWATable, 0, i + 1, key("WATable_W", i).c_str(), R);
    for (int i = 0; i < 6; ++i) Bind(stgWATable, 1, i + 1, key("WATable_A", i).c_str(), R);
    Bind(edtTempCoeffM, "TempCoeff_m", I, "m");
    Bind(edtTempCoeffQ, "TempCoeff_q", I, "q");
}

void TPageWelderCfg::SetUpPages() {
    filling_ = true;
    auto captions = [](QTableWidget* g, int col, int firstRow,
                       std::initializer_list<const char*> texts) {
        int r = firstRow;
        for (const char* t : texts) SetCell(g, col, r++, QString::fromUtf8(t));
    };
    auto header = [](QTableWidget* g, int firstCol, std::initializer_list<const char*> texts) {
        int c = firstCol;
        for (const char* t : texts) SetCell(g, c++, 0, QString::fromUtf8(t));
    };
    // Grid 1.
    SetWidths(StrGridAnOffsetAverage, 250, {100, 50, 50, 50});
    header(StrGridAnOffsetAverage, 1, {"Offset", "Medie", "Gain"});
    captions(
        StrGridAnOffsetAverage, 0, 1,
        {"Foto diodo", "Power meter", "Alim feedback", "PT 100", "Set potenza", "Temperatura"});
    // Grid 2: the nominal input voltages (the third input's full scale is half a volt).
    SetWidths(strGainAdj, 210, {70, 70, 70});
    header(strGainAdj, 0, {"Vin (V)", "Vad (V)", "Gain"});
    const double nominal[6] = {5, 5, 0.5, 5, 5, 5};
    for (int r = 0; r < 6; ++r)
        SetCell(strGainAdj, 0, r + 1, QString::fromStdString(FormatReal(nominal[r], decimal_)));
    // Grid 3.
    {
        std::vector<int> w(13, 45);
        // The row's caption whole, whatever the font.
        w[0] = std::max(65, StrGridOptoInFilter->fontMetrics().horizontalAdvance(
                                QStringLiteral("Filtro (ms)")) +
                                14);
        StrGridOptoInFilter->setFixedWidth(w[0] + 12 * 45 + 2 * StrGridOptoInFilter->frameWidth());
        for (int c = 0; c < 13; ++c)
            StrGridOptoInFilter->setColumnWidth(c, w[static_cast<std::size_t>(c)]);
        SetCell(StrGridOptoInFilter, 0, 0, QStringLiteral("Filtro (ms)"));
    }
    // Grid 4: 65 %, 25 % and 8.5 % of the grid width, whole pixels.
    {
        const int w = 460;
        SetWidths(StrGridAnalogOut, w, {w * 65 / 100, w * 25 / 100, static_cast<int>(w * 0.085)});
        captions(StrGridAnalogOut, 0, 0,
                 {"Corrente di stand-by", "Corrente minima", "Corrente massima di lavoro",
                  "Corrente massima diodi (Fine vita)", "Tensione di feedback a 1A",
                  "Tensione massima su ingresso di settaggio", "Tempo rampa soft-start",
                  "Potenza diodi"});
        captions(StrGridAnalogOut, 2, 0, {"A", "A", "A", "A", "V", "mV", "ms", "W"});
        SetWidths(StrGridAnalogAnomaly, w,
                  {w * 65 / 100, w * 25 / 100, static_cast<int>(w * 0.085)});
        captions(StrGridAnalogAnomaly, 0, 0,
                 {"Tolleranza feed-back corrente", "Tolleranza feed-back fotodiodo"});
        captions(StrGridAnalogAnomaly, 2, 0, {"mA", "mW"});
    }
    memAnalogOutNB->setPlainText(
        QStringLiteral("NB I campi in rosso sono ora scritti nella tabella di linearizzazione "
                       "corrente in uscita"));
    // Grid 6.
    SetWidths(stgWATable, 200, {100, 100});
    header(stgWATable, 0, {"W", "A"});
    memTableWA->setPlainText(QStringLiteral(
        "I valori barrati sono stati sostituiti da un tuning secondario. I valori correnti sono "
        "visualizzati nella sezione 'Welder Tuning'"));
    // Grid 7.
    SetWidths(StrGridTemperature, 360, {270, 90});
    captions(StrGridTemperature, 0, 0,
             {"Lavoro - Temperatura massima", "Lavoro - Temperatura di raffreddamento",
              "Lavoro - Temperatura di funzinamento", "Lavoro - Temperatura di riscaldamento",
              "Lavoro - Temperatura minima", "", "Lavoro - Temperatura variazione minima",
              "Lavoro - Errore massimo", "", "Startup - Temperatura variazione minima",
              "Startup - Temperatura range validazione", "Startup - Errore massimo"});
    // Grid 8.
    SetWidths(StrGridPIDSetting, 240, {180, 60});
    captions(StrGridPIDSetting, 0, 0,
             {"KP raffreddamento", "KI raffreddamento", "KD raffreddamento", "KP riscaldamento",
              "KI riscaldamento", "KD riscaldamento", "Base tempi (ms) 0-65535"});
    // Grid 9.
    SetWidths(StrGridAnomaly, 400, {320, 80});
    captions(
        StrGridAnomaly, 0, 0,
        {"Lavoro - Periodo controllo temperatura (s)",
         "Startup - Periodo controllo temperatura (s)",
         "Lavoro - Periodi di controllo negativo x anomalia",
         "Startup - Periodi di controllo negativo x anomalia", "", "Accensione refrigeratore (s)"});
    // Grid 10.
    SetWidths(stgPDTable, 200, {100, 100});
    header(stgPDTable, 0, {"W", "V"});
    filling_ = false;
}

QString TPageWelderCfg::Format(const Binding& b, const config::TWelderCfgBlank& cfg) const {
    const double v = b.field->Value(cfg);
    if (b.kind == Kind::Integer) return QString::fromStdString(FormatInteger(std::llround(v)));
    return QString::fromStdString(FormatReal(v, decimal_));
}

void TPageWelderCfg::ShowConfig(const config::TWelderCfgBlank& cfg) {
    filling_ = true;
    for (const Binding& b : bindings_) b.SetText(Format(b, cfg));
    filling_ = false;
    memTableWA->hide();
    ClearEditMarks();
}

bool TPageWelderCfg::Store(const Binding& b, config::TWelderCfgBlank& cfg,
                           TWriteBackResult& result) {
    const config::TFieldInfo& f = *b.field;
    const QString text = b.Text();
    const std::string t = text.toStdString();
    const QString where = Where(b);
    config::TSetResult r;
    if (b.kind == Kind::Integer) {
        std::int64_t n = 0;
        if (!ParseInteger(t, n)) {
            result.why = QStringLiteral("%1: '%2' is not a valid integer value").arg(where, text);
            return false;
        }
        if (f.setValue) {
            r = f.setValue(cfg, f.index, static_cast<double>(n));
        } else {
            const std::int64_t limitedTo = std::clamp<std::int64_t>(n, f.Min(), f.Max());
            f.setRaw(cfg, f.index, static_cast<std::int32_t>(limitedTo));
            if (limitedTo != n) {
                r.status = config::TSetStatus::Clamped;
                r.why = "outside " + std::to_string(f.Min()) + ".." + std::to_string(f.Max()) +
                        ": limited to " + std::to_string(limitedTo);
            }
        }
    } else {
        double x = 0;
        if (!ParseReal(t, decimal_, x)) {
            result.why =
                QStringLiteral("%1: '%2' is not a valid floating point value").arg(where, text);
            return false;
        }
        r = f.setValue ? f.setValue(cfg, f.index, x) : config::TSetResult{};
        if (!f.setValue) f.setRaw(cfg, f.index, static_cast<std::int32_t>(x));
    }
    if (!r.ok()) {
        result.why = QStringLiteral("%1: '%2': %3").arg(where, text, QString::fromStdString(r.why));
        return false;
    }
    if (r.status == config::TSetStatus::Clamped) {
        // The cell shows what the record now holds, so the page, the file and
        // the board agree; the edit mark stays until it is written.
        const QString stored = Format(b, cfg);
        const bool wasFilling = filling_;
        filling_ = true;
        b.SetText(stored);
        filling_ = wasFilling;
        const QString unit = UnitText(f);
        const QString withUnit = unit.isEmpty() ? QString() : QStringLiteral(" ") + unit;
        result.limited << QStringLiteral("%1: %2%3 typed, %4%3 stored (raw %5)")
                              .arg(where, text.trimmed(), withUnit, stored)
                              .arg(f.Raw(cfg));
    }
    ++result.stored;
    return true;
}

TWriteBackResult TPageWelderCfg::ReadPagesIntoConfig(config::TWelderCfgBlank& cfg,
                                                     bool keepEditMarks) {
    TWriteBackResult result;
    for (const Binding& b : bindings_) {
        bool changed = false;
        if (b.numericCompare) {
            std::int64_t n = 0;
            if (!ParseInteger(b.Text().toStdString(), n)) {
                result.why =
                    QStringLiteral("%1: '%2' is not a valid integer value").arg(Where(b), b.Text());
                changed = true;  // reported below
            } else {
                changed = n != b.field->Raw(cfg);
            }
        } else {
            changed = b.Text() != Format(b, cfg);
        }
        if (!changed) continue;
        if (result.why.isEmpty() && Store(b, cfg, result)) continue;
        result.ok = false;
        // The sub-page, scrolled to the cell, with the cell current.
        QWidget* at = b.grid ? static_cast<QWidget*>(b.grid) : b.edit;
        for (QWidget* w = at; w; w = w->parentWidget()) {
            if (PgcWelderCfg->indexOf(w) >= 0) PgcWelderCfg->setCurrentWidget(w);
            if (auto* area = qobject_cast<QScrollArea*>(w)) area->ensureWidgetVisible(at);
        }
        if (b.grid)
            b.grid->setCurrentCell(b.row, b.col);
        else
            b.edit->setFocus();
        return result;
    }
    if (!keepEditMarks) ClearEditMarks();
    return result;
}

void TPageWelderCfg::SetWATableStruck(bool on) {
    waStruck_ = on;
    stgWATable->viewport()->update();
}

void TPageWelderCfg::MarkEdited(const void* where, int col, int row, bool on) {
    // Only cells of the record count; the gain-correction grid holds readings.
    const auto b = std::find_if(bindings_.begin(), bindings_.end(), [&](const Binding& x) {
        return x.grid ? (x.grid == where && x.col == col && x.row == row) : x.edit == where;
    });
    if (b == bindings_.end()) return;
    const auto key = std::make_tuple(where, col, row);
    if (on)
        edited_.insert(key);
    else
        edited_.erase(key);
    if (b->grid) {
        const bool wasFilling = filling_;
        filling_ = true;
        b->grid->item(row, col)->setBackground(on ? QBrush(kEditedCell) : QBrush());
        filling_ = wasFilling;
    } else {
        QPalette p = b->edit->palette();
        p.setColor(QPalette::Base, on ? kEditedCell : palette().color(QPalette::Base));
        b->edit->setPalette(p);
    }
}

void TPageWelderCfg::MarkAllEdited() {
    for (const Binding& b : bindings_) {
        const void* where = b.grid ? static_cast<const void*>(b.grid) : b.edit;
        MarkEdited(where, b.col, b.row, true);
    }
}

void TPageWelderCfg::ClearEditMarks() {
    const auto marks = edited_;
    for (const auto& [where, col, row] : marks) MarkEdited(where, col, row, false);
    edited_.clear();
}

}  // namespace orvan::pages

namespace orvan::pages {

QString TPageWelderCfg::UnitText(const config::TFieldInfo& f) {
    const std::string_view u = f.unit ? f.unit : "";
    // Gains and tenths are plain numbers.
    if (u == "gain" || u == "x10") return {};
    if (u == "C") return QStringLiteral("°C");
    return QString::fromLatin1(u.data(), static_cast<qsizetype>(u.size()));
}

QString TPageWelderCfg::CellCaption(const Binding& b) {
    if (!b.grid) return b.caption;
    const int fixedCols = b.grid->property("fixedCols").toInt();
    const int fixedRows = b.grid->property("fixedRows").toInt();
    const QString rowCaption = fixedCols > 0 ? Cell(b.grid, 0, b.row).trimmed() : QString();
    const QString colCaption = fixedRows > 0 ? Cell(b.grid, b.col, 0).trimmed() : QString();
    if (!rowCaption.isEmpty() && !colCaption.isEmpty())
        return QStringLiteral("%1, %2").arg(rowCaption, colCaption);
    if (!rowCaption.isEmpty())
        return b.grid->rowCount() == 1 ? QStringLiteral("%1, column %2").arg(rowCaption).arg(b.col)
                                       : rowCaption;
    if (!colCaption.isEmpty()) return QStringLiteral("row %1, %2").arg(b.row).arg(colCaption);
    return QStringLiteral("row %1, column %2").arg(b.row).arg(b.col);
}

QString TPageWelderCfg::Where(const Binding& b) const {
    QStringList parts{QString::fromLatin1(kCaption)};
    QWidget* w = b.grid ? static_cast<QWidget*>(b.grid) : b.edit;
    for (QWidget* p = w; p; p = p->parentWidget()) {
        const int i = PgcWelderCfg->indexOf(p);
        if (i >= 0) {
            parts << PgcWelderCfg->tabText(i);
            break;
        }
    }
    for (QWidget* p = w->parentWidget(); p && p != this; p = p->parentWidget()) {
        if (auto* g = qobject_cast<QGroupBox*>(p)) {
            parts << g->title().trimmed();
            break;
        }
    }
    parts << CellCaption(b);
    return parts.join(QStringLiteral(" > "));
}

QString TPageWelderCfg::FieldPlace(std::string_view key) const {
    for (const Binding& b : bindings_)
        if (b.field->key == key) return Where(b);
    return {};
}

std::vector<TDifferenceRow> TPageWelderCfg::DifferenceRows(
    const std::vector<features::TFieldDifference>& differences) const {
    std::vector<TDifferenceRow> rows;
    for (const features::TFieldDifference& d : differences) {
        TDifferenceRow row;
        row.key = d.key;
        const auto b = std::find_if(bindings_.begin(), bindings_.end(),
                                    [&](const Binding& x) { return x.field->key == d.key; });
        const config::TFieldInfo* f = config::FindField(d.key);
        const bool integer = b == bindings_.end() ? !d.engineering : b->kind == Kind::Integer;
        auto value = [&](double v) {
            QString t = integer ? QString::fromStdString(FormatInteger(std::llround(v)))
                                : QString::fromStdString(FormatReal(v, decimal_));
            const QString unit = f && d.engineering ? UnitText(*f) : QString();
            return unit.isEmpty() ? t : t + QStringLiteral(" ") + unit;
        };
        row.where = b != bindings_.end()
                        ? Where(*b)
                        : QString::fromStdString(d.key) + QStringLiteral(" (not on the pages)");
        row.pc = value(d.pcValue);
        row.board = value(d.boardValue);
        row.pcRaw = QString::number(d.pcRaw);
        row.boardRaw = QString::number(d.boardRaw);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace orvan::pages
