#include "pages/PageDiameter.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageDiameter::TPageDiameter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshDiameterHeight"));
    ScrollBody(this);
}

}  // namespace orvan::pages
