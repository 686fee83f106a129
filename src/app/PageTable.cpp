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

const std::vector<TPageEntry>& PageTable() {
    static const std::vector<TPageEntry> table = {
        PageEntry<pages::TPageWelderVelkor, WireWelderVelkorPage>(),
        PageEntry<pages::TPageWelderCfg, WireWelderCfgPage>(),
        PageEntry<pages::TPageWelderTuning, WireWelderTuningPage>(),
        PageEntry<pages::TPageWelderLog, WireWelderLogPage>(),
        PageEntry<pages::TPageIOStatus, WireIOStatusPage>(),
        PageEntry<pages::TPageEeprom, WireEepromPage>(),
        PageEntry<pages::TPageTimeKeep, WireTimeKeepPage>(),
        PageEntry<pages::TPageComDebug, WireComDebugPage>(),
        PageEntry<pages::TPagePelta, WirePeltaPage>(features::Variant::Pelta),
        PageEntry<pages::TPageMultiHead, WireMultiHeadPage>(features::Variant::MultiHead),
        PageEntry<pages::TPageDiameter, WireDiameterPage>(features::Variant::DiameterHeight),
        PageEntry<pages::TPageFlanging, WireFlangingPage>(features::Variant::Flanging),
    };
    return table;
}

}  // namespace orvan::app
