// The window's pages, in the order of their tabs.

#include "app/PageWirings.h"
#include "pages/PageComDebug.h"
#include "pages/PageDiameter.h"
#include "pages/PageEeprom.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"
#include "pages/PageTimeKeep.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderLog.h"
#include "pages/PageWelderTuning.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

namespace {

// "COM Debug" hears the line through the window's exchange listener.
std::unique_ptr<TPageWiring> NoWiring(pages::TPageComDebug&, IPageContext&) {
    return nullptr;
}

}  // namespace

const std::vector<TPageEntry>& PageTable() {
    static const std::vector<TPageEntry> table = {
        PageEntry<pages::TPageWelderVelkor, AttachPage<pages::TPageWelderVelkor>>(),
        PageEntry<pages::TPageWelderCfg, WireWelderCfgPage>(),
        PageEntry<pages::TPageWelderTuning, WireWelderTuningPage>(),
        PageEntry<pages::TPageWelderLog, WireWelderLogPage>(),
        PageEntry<pages::TPageIOStatus, WireIOStatusPage>(),
        PageEntry<pages::TPageEeprom, WireEepromPage>(),
        PageEntry<pages::TPageTimeKeep, WireTimeKeepPage>(),
        PageEntry<pages::TPageComDebug, NoWiring>(),
        PageEntry<pages::TPagePelta, WirePeltaPage>(),
        PageEntry<pages::TPageMultiHead, WireMultiHeadPage>(),
        PageEntry<pages::TPageDiameter, WireDiameterPage>(),
        PageEntry<pages::TPageFlanging, WireFlangingPage>(),
    };
    return table;
}

}  // namespace orvan::app
