#include "pages/PageFlanging.h"

#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageFlanging::TPageFlanging(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tbsFlanging"));
    ScrollBody(this);
}

}  // namespace orvan::pages
