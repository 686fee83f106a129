#include "pages/PageMultiHead.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/Catalogue.h"
#include "frames/Frahorizbit.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

frames::TfraHorizBit* Framed(QVBoxLayout* column, const char* caption, const char* name,
                             QWidget* parent) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* l = new QVBoxLayout(box);
    auto* f = new frames::TfraHorizBit(box);
    f->setObjectName(QString::fromLatin1(name));
    f->SetIndicatorSpacing(TPageMultiHead::kHeadSpacing);
    l->addWidget(f);
    column->addWidget(box);
    return f;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

TPageMultiHead::TPageMultiHead(QWidget* parent) : TVariantPage("tshMultiHead", parent) {
    auto* column = new QVBoxLayout(Content());
    column->setContentsMargins(0, 0, 0, 0);

    auto* params = new QGroupBox(QStringLiteral("Parameter "), Content());
    auto* g = new QGridLayout(params);
    const struct {
        const char *caption, *field, *initial, *unit, *get, *set;
    } rows[] = {
        {"Heads num", "edtMultiHHeadsNum", "0", "", "btnMultiHGetHeadNum", "btnMultiHSetHeadNum"},
        {"Frequency", "edtMultiHFreq", "0.0", "Khz", "btnMultiHGetFreq", "btnMultiHSetFreq"},
        {"Preionization", "edtMultiHPreion", "0", "ns", "btnMultiHGetPreion", "btnMultiHSetPreion"},
    };
    QPushButton* buttons[6];
    for (int r = 0; r < 3; ++r) {
        g->addWidget(new QLabel(QString::fromLatin1(rows[r].caption), params), r, 0);
        g->addWidget(Edit(params, rows[r].field, rows[r].initial), r, 1);
        g->addWidget(new QLabel(QString::fromLatin1(rows[r].unit), params), r, 2);
        buttons[2 * r] = Button(params, rows[r].get, "Read");
        buttons[2 * r + 1] = Button(params, rows[r].set, "Write");
        g->addWidget(buttons[2 * r], r, 3);
        g->addWidget(buttons[2 * r + 1], r, 4);
    }
    btnMultiHGetHeadNum = buttons[0];
    btnMultiHSetHeadNum = buttons[1];
    btnMultiHGetFreq = buttons[2];
    btnMultiHSetFreq = buttons[3];
    btnMultiHGetPreion = buttons[4];
    btnMultiHSetPreion = buttons[5];
    btnMultiHHeadAnomaly = Button(params, "btnMultiHHeadAnomaly", "Get anomaly");
    g->addWidget(btnMultiHHeadAnomaly, 3, 3, 1, 2);
    chkMultiHPolling = new QCheckBox(QStringLiteral("Heads anomaly polling"), params);
    chkMultiHPolling->setObjectName(QStringLiteral("chkMultiHPolling"));
    g->addWidget(chkMultiHPolling, 3, 0, 1, 3);
    g->setColumnStretch(5, 1);
    column->addWidget(params);

    fraMultiHHeadsTout = Framed(column, " Timeout error ", "fraMultiHHeadsTout", Content());
    fraMultiHErrPos = Framed(column, "Positioning Error", "fraMultiHErrPos", Content());
    fraMultiHCRCPos = Framed(column, "CRC Error", "fraMultiHCRCPos", Content());
    SetTabOrderByLayout(this);
}

void TPageMultiHead::BuildHeads(int shown, int reported) {
    for (frames::TfraHorizBit* f : {fraMultiHHeadsTout, fraMultiHErrPos, fraMultiHCRCPos}) {
        f->SetIndicatorSpacing(kHeadSpacing);
        f->BuildIndicators(shown);
        for (int i = 0; i < shown; ++i) f->SetIndicatorName(i, QString::number(i + 1));
    }
    ShowNote(reported > shown
                 ? QStringLiteral("The board reports %1 heads; the anomaly words carry one bit "
                                  "for each of the first %2, so %2 are shown.")
                       .arg(reported)
                       .arg(shown)
                 : QString());
}

void TPageMultiHead::ShowHeadWord(std::uint16_t code, std::uint32_t bits) {
    if (code == commands::MultiHeadTimeouts) fraMultiHHeadsTout->ShowBitWord(bits);
    if (code == commands::MultiHeadErrorPositions) fraMultiHErrPos->ShowBitWord(bits);
    if (code == commands::MultiHeadCrcPositions) fraMultiHCRCPos->ShowBitWord(bits);
}

}  // namespace orvan::pages
