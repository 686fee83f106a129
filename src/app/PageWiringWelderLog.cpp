// "Welder Event Log": the read (15 to 20 s on a real board) is an operation
// of the core; the page lists the events and says beneath them why a read
// stopped. While it runs the button starts nothing.

#include <QPushButton>

#include "app/PageWirings.h"
#include "features/BoardOperations.h"
#include "pages/PageWelderLog.h"

namespace orvan::app {

namespace {

class TWelderLogWiring : public TPageWiring {
  public:
    TWelderLogWiring(pages::TPageWelderLog& page, IPageContext& c)
        : c_(c), attached_(*c.Core(), page), starts_(*c.Core()) {
        starts_.Add("Event log read", page.btnReadEventLog);
        c.Core()->EventLog().decimalSeparator = c.Decimal();
        connect(page.btnReadEventLog, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                c_.Run(features::EventLogReadOperation(*core), TTold::QuietWhenDone);
        });
    }

  private:
    IPageContext& c_;
    features::TAttachment<pages::TPageWelderLog> attached_;
    TStartControls starts_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireWelderLogPage(pages::TPageWelderLog& page, IPageContext& c) {
    return std::make_unique<TWelderLogWiring>(page, c);
}

}  // namespace orvan::app
