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
#include <QTableWidget>
#include <map>

#include "app/Config.h"
#include "app/PageWirings.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"

namespace orvan::app {

namespace {

// The connections of one machine page; a control does nothing once the
// window closed.
template <typename Page>
class TMachineWiring : public TPageWiring {
  public:
    TMachineWiring(Page& page, IPageContext& c) : page_(page), c_(c), attached_(*c.Core(), page) {}

  protected:
    // A refusal in a box; a note of a done action on the page.
    void Outcome(const TResult& r, pages::TVariantPage* page) {
        c_.Tell(r);
        if (r.ok && page) page->ShowNote(QString());
    }
    template <typename Act>
    void OnClick(QPushButton* b, Act act, pages::TVariantPage* note = nullptr) {
        connect(b, &QPushButton::clicked, this, [this, act, note] {
            if (features::TSupervisorCore* core = c_.Core()) Outcome(act(*core), note);
        });
    }
    char Decimal() const { return c_.Decimal(); }

    Page& page_;
    IPageContext& c_;

  private:
    features::TAttachment<Page> attached_;
};

class TIOStatusWiring : public TMachineWiring<pages::TPageIOStatus> {
  public:
    TIOStatusWiring(pages::TPageIOStatus& io, IPageContext& c) : TMachineWiring(io, c) {
        io.decimalSeparator = c.Decimal();
        // 16-bit DAC.
        connect(io.chkDac16Force, &QCheckBox::toggled, this, [this](bool on) {
            page_.EnableDac16Value(on);
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Dac16().SetForce(on), nullptr);
        });
        connect(io.cspDac16, &QSpinBox::valueChanged, this, [this](int v) {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Dac16().SetCounts(v), nullptr);
        });
        connect(io.edtDac16ValueVolt, &QLineEdit::returnPressed, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Dac16().SetVolts(page_.edtDac16ValueVolt->text().toStdString(),
                                               Decimal()),
                        nullptr);
        });
        OnClick(io.cmdDac16Read,
                [](features::TSupervisorCore& core) { return core.Dac16().Read(); });
        connect(io.cmdLoadHWInfo, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core()) (void)core->Identity().RequestInfo();
        });
        // Forcing relays and LEDs: the marks of the indicators and the two masks.
        OnClick(io.CmdSetIOForceStatus, [this](features::TSupervisorCore& core) {
            return core.Polling().ForceIo(page_.ForceMarks(),
                                          page_.edtReleLedForceON->text().toStdString(),
                                          page_.edtReleLedForceOFF->text().toStdString());
        });
        OnClick(io.CmdResetIOForceStatus, [this](features::TSupervisorCore& core) {
            page_.ClearForceMarks();
            return core.Polling().ResetForce();
        });
    }
};

class TPeltaWiring : public TMachineWiring<pages::TPagePelta> {
  public:
    TPeltaWiring(pages::TPagePelta& p, IPageContext& c) : TMachineWiring(p, c) {
        p.Attach(c.Core()->Pelta().Form(), c.Decimal());
        const std::pair<QPushButton*, TResult (features::TPelta::*)()> reads[] = {
            {p.btnPeltaReadWork, &features::TPelta::ReadWork},
            {p.btnPeltaReadPreion1, &features::TPelta::ReadPreion1},
            {p.btnPeltaReadPreion2, &features::TPelta::ReadPreion2},
            {p.btnPeltaReadStatistics, &features::TPelta::ReadStatistics},
            {p.btnPeltaReadStrpbePar, &features::TPelta::ReadStrobe},
        };
        // No structured binding here: clang 14 cannot capture one in a lambda.
        for (const auto& entry : reads) {
            const auto read = entry.second;
            OnClick(
                entry.first,
                [read](features::TSupervisorCore& core) { return (core.Pelta().*read)(); }, &p);
        }
        for (const std::string& field : p.enterFields) {
            connect(p.EditOf(field), &QLineEdit::returnPressed, this, [this, field] {
                features::TSupervisorCore* core = c_.Core();
                if (!core) return;
                // Every edit of the variable goes: the board takes them together.
                features::TPelta& pl = core->Pelta();
                const std::uint16_t code = pl.Form().Field(field)->code;
                std::map<std::string, std::string> texts;
                for (const std::string& other : page_.enterFields)
                    if (pl.Form().Field(other)->code == code) texts[other] = page_.Text(other);
                Outcome(pl.Enter(field, texts, Decimal()), &page_);
            });
        }
        for (const auto& [field, upDown] : p.upDowns) {
            const std::string f = field;
            connect(upDown, &pages::TUpDown::Clicked, this, [this, f](bool up) {
                if (features::TSupervisorCore* core = c_.Core())
                    Outcome(core->Pelta().Step(f, up), &page_);
            });
        }
        connect(p.chkPeltaPreion2EN, &QCheckBox::clicked, this, [this](bool on) {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Pelta().SetPreion2Enabled(on), &page_);
        });
    }
};

// A double click on an edit of the multi-head or diameter page reads the
// number of heads again.
template <typename Page>
void ReadCountOnDoubleClick(TMachineWiring<Page>& w, Page& page, IPageContext& c) {
    QObject::connect(&page, &pages::TVariantPage::EditDoubleClicked, &w, [&c] {
        if (features::TSupervisorCore* core = c.Core()) c.Tell(core->MultiHead().ReadCount());
    });
}

class TMultiHeadWiring : public TMachineWiring<pages::TPageMultiHead> {
  public:
    TMultiHeadWiring(pages::TPageMultiHead& m, IPageContext& c) : TMachineWiring(m, c) {
        using Core = features::TSupervisorCore;
        m.Attach(c.Core()->MultiHead().Form(), c.Decimal());
        OnClick(m.btnMultiHGetHeadNum, [](Core& core) { return core.MultiHead().ReadHeads(); });
        OnClick(m.btnMultiHSetHeadNum, [&m](Core& core) {
            return core.MultiHead().WriteCount(m.Text("edtMultiHHeadsNum"));
        });
        OnClick(m.btnMultiHGetFreq, [](Core& core) { return core.MultiHead().ReadFrequency(); });
        OnClick(m.btnMultiHSetFreq, [this, &m](Core& core) {
            return core.MultiHead().WriteFrequency(m.Text("edtMultiHFreq"), Decimal());
        });
        OnClick(m.btnMultiHGetPreion, [](Core& core) { return core.MultiHead().ReadPreion(); });
        OnClick(m.btnMultiHSetPreion, [this, &m](Core& core) {
            return core.MultiHead().WritePreion(m.Text("edtMultiHPreion"), Decimal());
        });
        OnClick(m.btnMultiHHeadAnomaly, [](Core& core) { return core.MultiHead().GetAnomaly(); });
        ReadCountOnDoubleClick(*this, m, c);
        // Each polling cycle reads the heads' anomalies while the box is ticked.
        connect(m.chkMultiHPolling, &QCheckBox::toggled, this, [this](bool on) {
            if (features::TSupervisorCore* core = c_.Core()) core->Polling().flags.multiHead = on;
        });
        c.Core()->Polling().flags.multiHead = m.chkMultiHPolling->isChecked();
    }
    void ApplySettings(const TConfig& config) override {
        page_.chkMultiHPolling->setChecked(config.pollHeadAnomalies);
    }
    void StoreSettings(TConfig& config) const override {
        config.pollHeadAnomalies = page_.chkMultiHPolling->isChecked();
    }
};

class TDiameterWiring : public TMachineWiring<pages::TPageDiameter> {
  public:
    TDiameterWiring(pages::TPageDiameter& d, IPageContext& c) : TMachineWiring(d, c) {
        using Core = features::TSupervisorCore;
        d.Attach(c.Core()->DiameterHeight().Form(), c.Decimal());
        for (int tag = 0; tag < features::TDiameterHeight::kPoints; ++tag) {
            OnClick(d.btnBirGet[tag],
                    [tag](Core& core) { return core.DiameterHeight().GetVolts(tag); });
            OnClick(d.btnBirWrVar[tag], [this, &d, tag](Core& core) {
                const features::TDiameterPoint& pt = features::TDiameterHeight::Point(tag);
                return core.DiameterHeight().WritePoint(tag, d.Text(std::string(pt.mmField)),
                                                        d.Text(std::string(pt.voltField)),
                                                        Decimal());
            });
        }
        OnClick(d.btnBirLoadCfg, [](Core& core) { return core.DiameterHeight().LoadCfg(); });
        ReadCountOnDoubleClick(*this, d, c);
    }
};

class TFlangingWiring : public TMachineWiring<pages::TPageFlanging> {
  public:
    TFlangingWiring(pages::TPageFlanging& f, IPageContext& c) : TMachineWiring(f, c) {
        using Core = features::TSupervisorCore;
        f.Attach(c.Core()->Flanging().Form(), c.Decimal());
        OnClick(f.btnFlangSpeed,
                [&f](Core& core) { return core.Flanging().WriteSpeed(f.Text("edtFlangSpeed")); });
        OnClick(f.btnFlangPower,
                [&f](Core& core) { return core.Flanging().WritePower(f.Text("edtFlangPower")); });
        for (const char* wave : {"edtFlangWaveAmplitude", "edtFlangWaveOffset"})
            connect(f.EditOf(wave), &QLineEdit::returnPressed, this, [this] {
                if (features::TSupervisorCore* core = c_.Core())
                    Outcome(core->Flanging().WriteWave(page_.Text("edtFlangWaveAmplitude"),
                                                       page_.Text("edtFlangWaveOffset"), Decimal()),
                            nullptr);
            });
        connect(f.udbFlangingJogAmplitude, &pages::TUpDown::Clicked, this, [this](bool up) {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Flanging().JogAmplitude(up), nullptr);
        });
        connect(f.udbFlangingJogOffset, &pages::TUpDown::Clicked, this, [this](bool up) {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Flanging().JogOffset(up), nullptr);
        });
        for (int k = 0; k < 16; ++k)
            OnClick(f.btnFlangingDefProf[k],
                    [k](Core& core) { return core.Flanging().SelectProfile(k); });
        connect(f.cseFlangingProfile, &QSpinBox::valueChanged, this, [this](int v) {
            if (features::TSupervisorCore* core = c_.Core())
                core->Flanging().Form().Hold("cseFlangingProfile", v);
        });
        OnClick(f.btnFlangReadWavePar,
                [](Core& core) { return core.Flanging().ReadWaveParameters(); });
        // The profile's bytes are kept first, then the table read again.
        connect(f.udbFlangingSaveProfile, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                c_.Run(features::FlangingSaveOperation(*core));
        });
        connect(f.stgFlangProgiles, &QTableWidget::cellClicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                Outcome(core->Flanging().ReadProfiles(), nullptr);
        });
    }
};

}  // namespace

std::unique_ptr<TPageWiring> WireIOStatusPage(pages::TPageIOStatus& page, IPageContext& c) {
    return std::make_unique<TIOStatusWiring>(page, c);
}
std::unique_ptr<TPageWiring> WirePeltaPage(pages::TPagePelta& page, IPageContext& c) {
    return std::make_unique<TPeltaWiring>(page, c);
}
std::unique_ptr<TPageWiring> WireMultiHeadPage(pages::TPageMultiHead& page, IPageContext& c) {
    return std::make_unique<TMultiHeadWiring>(page, c);
}
std::unique_ptr<TPageWiring> WireDiameterPage(pages::TPageDiameter& page, IPageContext& c) {
    return std::make_unique<TDiameterWiring>(page, c);
}
std::unique_ptr<TPageWiring> WireFlangingPage(pages::TPageFlanging& page, IPageContext& c) {
    return std::make_unique<TFlangingWiring>(page, c);
}

}  // namespace orvan::app
