#pragma once
// The wiring of each page of the window (one file each, PageWiring*.cpp):
// the page's controls to its controller and to the core's operations.

#include <memory>

#include "app/PageContext.h"

namespace orvan::pages {
class TPageComDebug;
class TPageDiameter;
class TPageEeprom;
class TPageFlanging;
class TPageIOStatus;
class TPageMultiHead;
class TPagePelta;
class TPageTimeKeep;
class TPageWelderCfg;
class TPageWelderLog;
class TPageWelderTuning;
class TPageWelderVelkor;
}  // namespace orvan::pages

namespace orvan::app {

std::unique_ptr<TPageWiring> WireWelderVelkorPage(pages::TPageWelderVelkor& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireComDebugPage(pages::TPageComDebug& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireEepromPage(pages::TPageEeprom& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireTimeKeepPage(pages::TPageTimeKeep& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireIOStatusPage(pages::TPageIOStatus& page, IPageContext& c);
std::unique_ptr<TPageWiring> WirePeltaPage(pages::TPagePelta& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireMultiHeadPage(pages::TPageMultiHead& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireDiameterPage(pages::TPageDiameter& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireFlangingPage(pages::TPageFlanging& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireWelderCfgPage(pages::TPageWelderCfg& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireWelderLogPage(pages::TPageWelderLog& page, IPageContext& c);
std::unique_ptr<TPageWiring> WireWelderTuningPage(pages::TPageWelderTuning& page, IPageContext& c);

}  // namespace orvan::app
