#include "pages/PagePelta.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPagePelta::TPagePelta(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshPelta"));
    ScrollBody(this);
}

}  // namespace orvan::pages
