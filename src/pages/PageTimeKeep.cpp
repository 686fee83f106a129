#include "pages/PageTimeKeep.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageTimeKeep::TPageTimeKeep(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshTimeKeep"));
    ScrollBody(this);
}

}  // namespace orvan::pages
