#include "pages/PageFlanging.h"
#include "pages/TabOrder.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orvan::pages {

TPageFlanging::TPageFlanging(QWidget* parent) : TVariantPage("tbsFlanging", parent) {
    auto* row = new QHBoxLayout(Content());
    row->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(QStringLiteral("Flanging machine "), Content());
    row->addWidget(group);
    auto* g = new QGridLayout(group);

    lblFlangSpeed = new QLabel(QStringLiteral("Speed (mm/s) (0-63)"), group);
    lblFlangSpeed->setObjectName(QStringLiteral("lblFlangSpeed"));
    g->addWidget(lblFlangSpeed, 0, 0);
    g->addWidget(Edit(group, "edtFlangSpeed", "0"), 0, 1);
    btnFlangSpeed = new QPushButton(QStringLiteral("Write"), group);
    btnFlangSpeed->setObjectName(QStringLiteral("btnFlangSpeed"));
    g->addWidget(btnFlangSpeed, 0, 2);

    g->addWidget(new QLabel(QStringLiteral("Power Step (0-15)"), group), 1, 0);
    g->addWidget(Edit(group, "edtFlangPower", "0"), 1, 1);
    btnFlangPower = new QPushButton(QStringLiteral("Write"), group);
    btnFlangPower->setObjectName(QStringLiteral("btnFlangPower"));
    g->addWidget(btnFlangPower, 1, 2);

    g->addWidget(new QLabel(QStringLiteral("Amplitude"), group), 2, 0);
    g->addWidget(Edit(group, "edtFlangWaveAmplitude", "0"), 2, 1);
    udbFlangingJogAmplitude = new TUpDown("udbFlangingJogAmplitude", group);
    g->addWidget(udbFlangingJogAmplitude, 2, 2, Qt::AlignLeft);
    g->addWidget(new QLabel(QStringLiteral("Offset"), group), 3, 0);
    g->addWidget(Edit(group, "edtFlangWaveOffset", "0"), 3, 1);
    udbFlangingJogOffset = new TUpDown("udbFlangingJogOffset", group);
    g->addWidget(udbFlangingJogOffset, 3, 2, Qt::AlignLeft);

    g->addWidget(new QLabel(QStringLiteral("Profile"), group), 4, 0);
    cseFlangingProfile = new QSpinBox(group);
    cseFlangingProfile->setObjectName(QStringLiteral("cseFlangingProfile"));
    cseFlangingProfile->setRange(0, 15);
    g->addWidget(cseFlangingProfile, 4, 1);

    auto* profiles = new QGridLayout();
    for (int k = 0; k < 16; ++k) {
        auto* b = new QPushButton(QString::number(k), group);
        b->setObjectName(QStringLiteral("btnFlangingDefProf%1").arg(k));
        b->setFixedWidth(32);
        btnFlangingDefProf[k] = b;
        profiles->addWidget(b, k / 8, k % 8);
    }
    g->addLayout(profiles, 5, 0, 1, 3);

    btnFlangReadWavePar = new QPushButton(QStringLiteral("Read wave parameter"), group);
    btnFlangReadWavePar->setObjectName(QStringLiteral("btnFlangReadWavePar"));
    udbFlangingSaveProfile = new QPushButton(QStringLiteral("Save profile"), group);
    udbFlangingSaveProfile->setObjectName(QStringLiteral("udbFlangingSaveProfile"));
    g->addWidget(btnFlangReadWavePar, 6, 0, 1, 2);
    g->addWidget(udbFlangingSaveProfile, 6, 2);

    stgFlangProgiles = new QTableWidget(8, 3, Content());
    stgFlangProgiles->setObjectName(QStringLiteral("stgFlangProgiles"));
    stgFlangProgiles->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Amplitude"), QStringLiteral("Offset")});
    stgFlangProgiles->verticalHeader()->hide();
    stgFlangProgiles->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    stgFlangProgiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgFlangProgiles->setToolTip(QStringLiteral("Click to read the profiles from the board"));
    stgFlangProgiles->setColumnWidth(0, 40);
    stgFlangProgiles->setColumnWidth(1, 90);
    stgFlangProgiles->setColumnWidth(2, 90);
    // Every row is in sight (see OnFlangingProfileCount): no room is kept
    // for a scroll bar that never shows.
    stgFlangProgiles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stgFlangProgiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stgFlangProgiles->horizontalHeader()->setStretchLastSection(true);
    stgFlangProgiles->setFixedWidth(40 + 90 + 90 + 2 * stgFlangProgiles->frameWidth());
    row->addWidget(stgFlangProgiles, 0, Qt::AlignTop);
    row->addStretch(1);
    OnFlangingProfileCount(8, "Speed (mm/s) (0-63)");
    SetTabOrderByLayout(this);
}

void TPageFlanging::ShowValue(const std::string& field, double value) {
    if (field == "cseFlangingProfile") {
        const QSignalBlocker quiet(cseFlangingProfile);
        cseFlangingProfile->setValue(static_cast<int>(value));
        return;
    }
    TVariantPage::ShowValue(field, value);
}

void TPageFlanging::OnFlangingProfiles(const std::vector<features::FlangingProfileRow>& rows) {
    for (const features::FlangingProfileRow& r : rows) {
        if (r.profile < 1 || r.profile > stgFlangProgiles->rowCount()) continue;
        const int at = r.profile - 1;
        stgFlangProgiles->setItem(
            at, 1, new QTableWidgetItem(ValueText("edtFlangWaveAmplitude", r.amplitude)));
        stgFlangProgiles->setItem(at, 2,
                                  new QTableWidgetItem(ValueText("edtFlangWaveOffset", r.offset)));
    }
}

void TPageFlanging::OnFlangingProfileCount(int profiles, const std::string& speedCaption) {
    stgFlangProgiles->setRowCount(profiles);
    for (int k = 0; k < profiles; ++k)
        stgFlangProgiles->setItem(k, 0, new QTableWidgetItem(QString::number(k)));
    for (int k = 8; k < 16; ++k) btnFlangingDefProf[k]->setVisible(profiles == 16);
    cseFlangingProfile->setMaximum(profiles - 1);
    // Every profile in sight at once: the table is as tall as its rows.
    int rows = stgFlangProgiles->horizontalHeader()->sizeHint().height();
    for (int k = 0; k < profiles; ++k) rows += stgFlangProgiles->rowHeight(k);
    stgFlangProgiles->setFixedHeight(rows + 2 * stgFlangProgiles->frameWidth());
    lblFlangSpeed->setText(QString::fromStdString(speedCaption));
}

}  // namespace orvan::pages
