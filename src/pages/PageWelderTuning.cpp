#include "pages/PageWelderTuning.h"

#include <QFormLayout>
#include <QLabel>

#include "pages/NumberText.h"
#include "pages/ScrollBody.h"

namespace orvan::pages {

TPageWelderTuning::TPageWelderTuning(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderTuning"));
    QWidget* body = ScrollBody(this);
    auto* form = new QFormLayout(body);
    stxFactoryTuningImax = new QLabel(body);
    stxFactoryTuningImax->setObjectName(QStringLiteral("stxFactoryTuningImax"));
    form->addRow(QStringLiteral("Imax:"), stxFactoryTuningImax);
}

void TPageWelderTuning::ShowFactoryTuningImax(double amperes, char sep) {
    stxFactoryTuningImax->setText(QString::fromStdString(FormatReal(amperes, sep)) +
                                  QStringLiteral(" A"));
}

}  // namespace orvan::pages
