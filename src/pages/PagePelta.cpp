#include "pages/PagePelta.h"
#include "pages/TabOrder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvan::pages {

namespace {

QPushButton* ReadButton(QWidget* parent, const char* name) {
    auto* b = new QPushButton(QStringLiteral("Read"), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLabel* L(const char* text, QWidget* parent) {
    return new QLabel(QString::fromLatin1(text), parent);
}

}  // namespace

TPagePelta::TPagePelta(QWidget* parent) : TVariantPage("tshPelta", parent) {
    auto* grid = new QGridLayout(Content());
    auto* outer = new QGroupBox(QStringLiteral("Pelta "), Content());
    grid->addWidget(outer, 0, 0);
    auto* og = new QGridLayout(outer);

    // One row: caption, edit, optional up/down, unit.
    auto row = [this](QGridLayout* g, int r, const char* caption, const char* field,
                      const char* initial, const char* unit, const char* upDown) {
        QWidget* parent = g->parentWidget();
        g->addWidget(L(caption, parent), r, 0);
        g->addWidget(Edit(parent, field, initial), r, 1);
        if (upDown) {
            auto* ud = new TUpDown(upDown, parent);
            upDowns[field] = ud;
            g->addWidget(ud, r, 2);
        }
        g->addWidget(L(unit, parent), r, 3);
        enterFields.push_back(field);
    };

    auto* work = new QGroupBox(QStringLiteral("Parametri lavorazione "), outer);
    auto* wg = new QGridLayout(work);
    row(wg, 0, "Fequenza", "edtPeltaWork_f", "1.00", "khz", "udbPeltaWork_f");
    row(wg, 1, "Duty cycle", "edtPeltaWork_d", "50", "%", "udbPeltaWork_d");
    row(wg, 2, "Soft start", "edtPeltaSlopeON", "50", "us", nullptr);
    row(wg, 3, "Soft stop", "edtPeltaSlopeOFF", "50", "us", nullptr);
    row(wg, 4, "Durata impulso ", "edtPeltaLaserPulse", "1.00", "ms", "udbPeltaStrobePulse");
    row(wg, 5, "Ritardo impulso", "edtPeltaStrobeDelay", "1.00", "ms", "udbPeltaStrobeDelay");
    btnPeltaReadWork = ReadButton(work, "btnPeltaReadWork");
    wg->addWidget(btnPeltaReadWork, 6, 1, 1, 3);
    og->addWidget(work, 0, 0, 2, 1);

    auto* pre1 = new QGroupBox(QStringLiteral("Parametri preionizzazione "), outer);
    auto* p1 = new QGridLayout(pre1);
    row(p1, 0, "Frequenza", "edtPeltaPreion1_f", "1.00", "khz", "udbPeltaPreion1_f");
    row(p1, 1, "Durata", "edtPeltaPreion1_d", "1", "us", "udbPeltaPreion1_d");
    btnPeltaReadPreion1 = ReadButton(pre1, "btnPeltaReadPreion1");
    p1->addWidget(btnPeltaReadPreion1, 2, 1, 1, 3);
    og->addWidget(pre1, 0, 1);

    auto* pre2 = new QGroupBox(QStringLiteral("Parametri preionizzazione opzionale "), outer);
    auto* p2 = new QGridLayout(pre2);
    row(p2, 0, "Frequenza", "edtPeltaPreion2_f", "1.00", "khz", "udbPeltaPreion2_f");
    row(p2, 1, "Durata", "edtPeltaPreion2_d", "2", "us", "udbPeltaPreion2_d");
    chkPeltaPreion2EN = new QCheckBox(QStringLiteral("Enable"), pre2);
    chkPeltaPreion2EN->setObjectName(QStringLiteral("chkPeltaPreion2EN"));
    p2->addWidget(chkPeltaPreion2EN, 2, 0);
    btnPeltaReadPreion2 = ReadButton(pre2, "btnPeltaReadPreion2");
    p2->addWidget(btnPeltaReadPreion2, 2, 1, 1, 3);
    og->addWidget(pre2, 1, 1);

    auto* stats = new QGroupBox(QStringLiteral("Statistiche "), outer);
    auto* sg = new QGridLayout(stats);
    row(sg, 0, "Conteggio strobe", "edtPeltaStrobeCounter", "0", "", nullptr);
    row(sg, 1, "Strobe fault", "edtPeltaStrobeFault", "0", "", nullptr);
    EditOf("edtPeltaStrobeCounter")->setMaximumWidth(100);
    btnPeltaReadStatistics = ReadButton(stats, "btnPeltaReadStatistics");
    sg->addWidget(btnPeltaReadStatistics, 2, 1, 1, 3);
    og->addWidget(stats, 2, 0);

    grbPeltaStrobeTiming = new QGroupBox(QStringLiteral("Parametri strobe "), outer);
    grbPeltaStrobeTiming->setObjectName(QStringLiteral("grbPeltaStrobeTiming"));
    auto* tg = new QGridLayout(grbPeltaStrobeTiming);
    row(tg, 0, "Filtro", "edtPeltaStrobeFilter", "2", "ms", nullptr);
    blPeltaStrobe2 = L("1 sparo ogni ", grbPeltaStrobeTiming);
    blPeltaStrobe2->setObjectName(QStringLiteral("blPeltaStrobe2"));
    blPeltaStrobe3 = L("  impulsi di strobe", grbPeltaStrobeTiming);
    blPeltaStrobe3->setObjectName(QStringLiteral("blPeltaStrobe3"));
    tg->addWidget(blPeltaStrobe2, 1, 0);
    tg->addWidget(Edit(grbPeltaStrobeTiming, "edtPeltaStrobe2Shot", "1"), 1, 1);
    tg->addWidget(blPeltaStrobe3, 1, 2, 1, 2);
    enterFields.push_back("edtPeltaStrobe2Shot");
    // Shown for protocols after 2.2.2; the board has no write for them.
    lblPeltaStrobeON = L("Strobe attivi", grbPeltaStrobeTiming);
    lblPeltaStrobeOFF = L("Strobe saltati", grbPeltaStrobeTiming);
    edtPeltaStrobeON = new QLineEdit(grbPeltaStrobeTiming);
    edtPeltaStrobeOFF = new QLineEdit(grbPeltaStrobeTiming);
    edtPeltaStrobeON->setObjectName(QStringLiteral("edtPeltaStrobeON"));
    edtPeltaStrobeOFF->setObjectName(QStringLiteral("edtPeltaStrobeOFF"));
    for (QLineEdit* e : {edtPeltaStrobeON, edtPeltaStrobeOFF}) {
        e->setMaximumWidth(70);
        e->setReadOnly(true);
        e->setToolTip(QStringLiteral("Not written from here"));
    }
    tg->addWidget(lblPeltaStrobeON, 2, 0);
    tg->addWidget(edtPeltaStrobeON, 2, 1);
    tg->addWidget(lblPeltaStrobeOFF, 3, 0);
    tg->addWidget(edtPeltaStrobeOFF, 3, 1);
    btnPeltaReadStrpbePar = ReadButton(grbPeltaStrobeTiming, "btnPeltaReadStrpbePar");
    tg->addWidget(btnPeltaReadStrpbePar, 4, 1, 1, 3);
    og->addWidget(grbPeltaStrobeTiming, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    // Until a Pelta board tells its protocol: the layout of the newest one.
    ShowPeltaLayout(features::PeltaLayoutFor(0x020209));
    SetTabOrderByLayout(this);
}

void TPagePelta::ShowValue(const std::string& field, double value) {
    if (field == "chkPeltaPreion2EN") {
        const QSignalBlocker quiet(chkPeltaPreion2EN);
        chkPeltaPreion2EN->setChecked(value != 0);
        return;
    }
    TVariantPage::ShowValue(field, value);
}

void TPagePelta::ShowPeltaLayout(const features::TPeltaLayout& l) {
    grbPeltaStrobeTiming->setVisible(l.strobeGroup);
    for (QWidget* w :
         {static_cast<QWidget*>(EditOf("edtPeltaStrobe2Shot")),
          static_cast<QWidget*>(blPeltaStrobe2), static_cast<QWidget*>(blPeltaStrobe3)})
        w->setVisible(l.twoShot);
    for (QWidget* w :
         {static_cast<QWidget*>(edtPeltaStrobeON), static_cast<QWidget*>(edtPeltaStrobeOFF),
          static_cast<QWidget*>(lblPeltaStrobeON), static_cast<QWidget*>(lblPeltaStrobeOFF)})
        w->setVisible(l.strobeOnOff);
    for (const char* f : {"edtPeltaLaserPulse", "edtPeltaStrobeDelay"}) {
        EditOf(f)->setEnabled(l.pulseAndDelay);
        upDowns[f]->setEnabled(l.pulseAndDelay);
    }
}

}  // namespace orvan::pages
