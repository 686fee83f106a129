#include "pages/LaterPages.h"

#include <QFormLayout>
#include <QLabel>

namespace orvan::pages {

TPageWelderTuning::TPageWelderTuning(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderTuning"));
    auto* form = new QFormLayout(this);
    stxFactoryTuningImax = new QLabel(this);
    form->addRow(QStringLiteral("Imax:"), stxFactoryTuningImax);
}

TPageWelderLog::TPageWelderLog(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderLog"));
}
TPageEeprom::TPageEeprom(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshEEPROM"));
}
TPageTimeKeep::TPageTimeKeep(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshTimeKeep"));
}
TPagePelta::TPagePelta(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshPelta"));
}
TPageDiameter::TPageDiameter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshDiameterHeight"));
}
TPageFlanging::TPageFlanging(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tbsFlanging"));
}

}  // namespace orvan::pages
