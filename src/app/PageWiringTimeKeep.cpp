// "Date / Time": reading the board's clock changes nothing and is a plain
// call of the clock controller; setting it, or stopping and starting it, is
// an operation of the core.

#include <QCheckBox>
#include <QPushButton>

#include "app/PageWirings.h"
#include "features/BoardOperations.h"
#include "pages/PageTimeKeep.h"

namespace orvan::app {

namespace {

class TTimeKeepWiring : public TPageWiring {
  public:
    TTimeKeepWiring(pages::TPageTimeKeep& page, IPageContext& c)
        : page_(page), c_(c), attached_(*c.Core(), page) {
        connect(page.cmdGetOrvanTime, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core()) c_.Tell(core->BoardClock().Read());
        });
        connect(page.cmdGetPcTime, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                page_.ShowPcTime(core->BoardClock().PcTime());
        });
        connect(page.cmdSetOrvanTime, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                c_.Run(features::ClockSetOperation(*core, page_.Date(), page_.TimeTexts()));
        });
        connect(page.cmdSetTKClockHalt, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                c_.Run(features::ClockRunOperation(*core, page_.chkTKClockEN->isChecked()));
        });
        connect(&c.Signals(), &TPageSignals::FactoryTuningDateRequested, this, [this] {
            features::TSupervisorCore* core = c_.Core();
            if (!core || !c_.Dialogs().Question(
                             QStringLiteral("Factory tuning Date/Time"),
                             QStringLiteral("Procedere con la scrittura della data/ora del tuning "
                                            "di fabbrica?")))
                return;
            c_.Run(features::TuningDateOperation(*core, page_.Date(), page_.TimeTexts()));
        });
    }

  private:
    pages::TPageTimeKeep& page_;
    IPageContext& c_;
    features::TAttachment<pages::TPageTimeKeep> attached_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireTimeKeepPage(pages::TPageTimeKeep& page, IPageContext& c) {
    return std::make_unique<TTimeKeepWiring>(page, c);
}

}  // namespace orvan::app
