#include "pages/ScrollBody.h"

#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

namespace orvan::pages {

QWidget* ScrollBody(QWidget* page) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* area = new QScrollArea(page);
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // No Tab stop of its own: Tab goes to the controls, and the area scrolls
    // to the one that takes the focus.
    area->setFocusPolicy(Qt::NoFocus);
    auto* body = new QWidget(area);
    body->setObjectName(page->objectName() + QStringLiteral("Body"));
    area->setWidget(body);
    outer->addWidget(area);
    return body;
}

}  // namespace orvan::pages
