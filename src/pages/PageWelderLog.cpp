#include "pages/PageWelderLog.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageWelderLog::TPageWelderLog(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderLog"));
    ScrollBody(this);
}

}  // namespace orvan::pages
