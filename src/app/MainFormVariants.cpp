// A machine's page has a tab only while the board may have that machine.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"

namespace orvan::app {

void TMainForm::OnBoardType(std::uint16_t boardType) {
    using features::Variant;
    const std::pair<QWidget*, Variant> machines[] = {{tshPelta, Variant::Pelta},
                                                     {tshMultiHead, Variant::MultiHead},
                                                     {tshDiameterHeight, Variant::DiameterHeight},
                                                     {tbsFlanging, Variant::Flanging}};
    for (const auto& [page, variant] : machines) {
        const int index = PgcMain->indexOf(page);
        const bool served = features::VariantServes(variant, boardType);
        if (PgcMain->isTabVisible(index) != served) PgcMain->setTabVisible(index, served);
    }
}

}  // namespace orvan::app
