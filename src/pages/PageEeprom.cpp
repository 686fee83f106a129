#include "pages/PageEeprom.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageEeprom::TPageEeprom(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshEEPROM"));
    ScrollBody(this);
}

}  // namespace orvan::pages
