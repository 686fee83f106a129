// The machine pages: the 16-bit DAC group of "IO Status", "Pelta", the
// multi-head page, the diameter/height page and "Flanging". Each page hears
// its machine's news (attached to the core); each control calls its page's
// controller, and what the controller refused (a text that does not convert,
// a value outside its range, a board without that machine) is told in a box,
// and nothing has been sent then. Saving a flanging profile overwrites board
// memory, so it is an operation of the core.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"

namespace orvan::app {

void TMainForm::VariantOutcome(const TResult& r, pages::TVariantPage* page) {
    if (!r.ok && !r.why.empty()) ShowMessage(QString::fromLatin1(kApplicationTitle), Q(r.why));
    if (r.ok && page) page->ShowNote(QString());
}

void TMainForm::BuildVariantPages() {
    // 16-bit DAC on "IO Status".
    pages::TPageIOStatus* io = TshBrenta;
    io->decimalSeparator = decimal_;
    connect(io->chkDac16Force, &QCheckBox::toggled, this, [this, io](bool on) {
        io->EnableDac16Value(on);  // chkDac16ForceClick
        VariantOutcome(core_->Dac16().SetForce(on));
    });
    connect(io->cspDac16, &QSpinBox::valueChanged, this,
            [this](int v) { VariantOutcome(core_->Dac16().SetCounts(v)); });  // cspDac16Change
    connect(io->edtDac16ValueVolt, &QLineEdit::returnPressed, this, [this, io] {
        VariantOutcome(
            core_->Dac16().SetVolts(io->edtDac16ValueVolt->text().toStdString(), decimal_));
    });
    connect(io->cmdDac16Read, &QPushButton::clicked, this,
            [this] { VariantOutcome(core_->Dac16().Read()); });  // cmdDac16ReadClick

    // "Pelta".
    features::TPelta& pelta = core_->Pelta();
    pages::TPagePelta* p = tshPelta;
    p->Attach(pelta.Form(), decimal_);
    const std::pair<QPushButton*, TResult (features::TPelta::*)()> reads[] = {
        {p->btnPeltaReadWork, &features::TPelta::ReadWork},
        {p->btnPeltaReadPreion1, &features::TPelta::ReadPreion1},
        {p->btnPeltaReadPreion2, &features::TPelta::ReadPreion2},
        {p->btnPeltaReadStatistics, &features::TPelta::ReadStatistics},
        {p->btnPeltaReadStrpbePar, &features::TPelta::ReadStrobe},
    };
    // No structured binding here: clang 14 cannot capture one in a lambda.
    for (const auto& entry : reads) {
        const auto read = entry.second;
        connect(entry.first, &QPushButton::clicked, this,
                [this, p, read] { VariantOutcome((core_->Pelta().*read)(), p); });
    }
    for (const std::string& field : p->enterFields) {
        connect(p->EditOf(field), &QLineEdit::returnPressed, this, [this, p, field] {
            // Every edit of the variable goes: the board takes them together.
            features::TPelta& pl = core_->Pelta();
            const std::uint16_t code = pl.Form().Field(field)->code;
            std::map<std::string, std::string> texts;
            for (const std::string& other : p->enterFields)
                if (pl.Form().Field(other)->code == code) texts[other] = p->Text(other);
            VariantOutcome(pl.Enter(field, texts, decimal_), p);
        });
    }
    for (const auto& [field, upDown] : p->upDowns) {
        const std::string f = field;
        connect(upDown, &pages::TUpDown::Clicked, this,
                [this, p, f](bool up) { VariantOutcome(core_->Pelta().Step(f, up), p); });
    }
    connect(p->chkPeltaPreion2EN, &QCheckBox::clicked, this, [this, p](bool on) {
        VariantOutcome(core_->Pelta().SetPreion2Enabled(on), p);  // chkPeltaPreion2ENClick
    });

    // Multi-head and diameter/height.
    features::TMultiHead& heads = core_->MultiHead();
    pages::TPageMultiHead* m = tshMultiHead;
    m->Attach(heads.Form(), decimal_);
    auto on = [this](QPushButton* b, auto&& act) {
        connect(b, &QPushButton::clicked, this, [this, act] { VariantOutcome(act()); });
    };
    on(m->btnMultiHGetHeadNum, [this] { return core_->MultiHead().ReadHeads(); });
    on(m->btnMultiHSetHeadNum,
       [this, m] { return core_->MultiHead().WriteCount(m->Text("edtMultiHHeadsNum")); });
    on(m->btnMultiHGetFreq, [this] { return core_->MultiHead().ReadFrequency(); });
    on(m->btnMultiHSetFreq,
       [this, m] { return core_->MultiHead().WriteFrequency(m->Text("edtMultiHFreq"), decimal_); });
    on(m->btnMultiHGetPreion, [this] { return core_->MultiHead().ReadPreion(); });
    on(m->btnMultiHSetPreion,
       [this, m] { return core_->MultiHead().WritePreion(m->Text("edtMultiHPreion"), decimal_); });
    on(m->btnMultiHHeadAnomaly, [this] { return core_->MultiHead().GetAnomaly(); });

    pages::TPageDiameter* d = tshDiameterHeight;
    d->Attach(core_->DiameterHeight().Form(), decimal_);
    for (pages::TVariantPage* page :
         {static_cast<pages::TVariantPage*>(m), static_cast<pages::TVariantPage*>(d)})
        connect(page, &pages::TVariantPage::EditDoubleClicked, this,
                [this] { VariantOutcome(core_->MultiHead().ReadCount()); });
    for (int tag = 0; tag < features::TDiameterHeight::kPoints; ++tag) {
        on(d->btnBirGet[tag], [this, tag] { return core_->DiameterHeight().GetVolts(tag); });
        on(d->btnBirWrVar[tag], [this, d, tag] {  // btnBirWrVarClick
            const features::TDiameterPoint& pt = features::TDiameterHeight::Point(tag);
            return core_->DiameterHeight().WritePoint(tag, d->Text(std::string(pt.mmField)),
                                                      d->Text(std::string(pt.voltField)), decimal_);
        });
    }
    on(d->btnBirLoadCfg, [this] { return core_->DiameterHeight().LoadCfg(); });

    // "Flanging".
    features::TFlanging& fl = core_->Flanging();
    pages::TPageFlanging* f = tbsFlanging;
    f->Attach(fl.Form(), decimal_);
    on(f->btnFlangSpeed,
       [this, f] { return core_->Flanging().WriteSpeed(f->Text("edtFlangSpeed")); });
    on(f->btnFlangPower,
       [this, f] { return core_->Flanging().WritePower(f->Text("edtFlangPower")); });
    for (const char* wave : {"edtFlangWaveAmplitude", "edtFlangWaveOffset"})
        connect(f->EditOf(wave), &QLineEdit::returnPressed, this, [this, f] {
            VariantOutcome(core_->Flanging().WriteWave(f->Text("edtFlangWaveAmplitude"),
                                                       f->Text("edtFlangWaveOffset"), decimal_));
        });
    connect(f->udbFlangingJogAmplitude, &pages::TUpDown::Clicked, this,
            [this](bool up) { VariantOutcome(core_->Flanging().JogAmplitude(up)); });
    connect(f->udbFlangingJogOffset, &pages::TUpDown::Clicked, this,
            [this](bool up) { VariantOutcome(core_->Flanging().JogOffset(up)); });
    for (int k = 0; k < 16; ++k)
        on(f->btnFlangingDefProf[k], [this, k] { return core_->Flanging().SelectProfile(k); });
    connect(f->cseFlangingProfile, &QSpinBox::valueChanged, this,
            [this](int v) { core_->Flanging().Form().Hold("cseFlangingProfile", v); });
    on(f->btnFlangReadWavePar, [this] { return core_->Flanging().ReadWaveParameters(); });
    // The profile's bytes are kept first, then the table read again.
    connect(f->udbFlangingSaveProfile, &QPushButton::clicked, this,
            [this] { Run(features::FlangingSaveOperation(*core_)); });
    connect(f->stgFlangProgiles, &QTableWidget::cellClicked, this,
            [this] { VariantOutcome(core_->Flanging().ReadProfiles()); });
}

void TMainForm::OnBoardType(std::uint16_t boardType) {
    using features::Variant;
    const std::pair<QWidget*, Variant> machines[] = {{tshPelta, Variant::Pelta},
                                                     {tshMultiHead, Variant::MultiHead},
                                                     {tshDiameterHeight, Variant::DiameterHeight},
                                                     {tbsFlanging, Variant::Flanging}};
    for (const auto& [page, variant] : machines) {
        const int index = PgcMain->indexOf(page);
        const bool served = features::VariantServes(variant, boardType);
        if (PgcMain->isTabVisible(index) != served) PgcMain->setTabVisible(index, served);
    }
}

}  // namespace orvan::app
