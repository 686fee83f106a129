// A machine's page has a tab only while the board may have that machine, so
// that every page of the board fits the tab strip of a small screen. Until
// the board has named its type, the machine pages wait behind one button at
// the end of the strip: a click asks the board, its menu opens any of them.

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "app/MainForm.h"

namespace orvan::app {

void TMainForm::BuildMachineTabs() {
    btnMachinePages = new QToolButton(PgcMain);
    btnMachinePages->setObjectName(QStringLiteral("btnMachinePages"));
    btnMachinePages->setText(QStringLiteral("Machine pages"));
    btnMachinePages->setToolTip(
        QStringLiteral("Ask the board which machine it drives: the pages of that machine get "
                       "their tabs. The arrow opens any machine page."));
    btnMachinePages->setPopupMode(QToolButton::MenuButtonPopup);
    btnMachinePages->setAutoRaise(true);
    auto* menu = new QMenu(btnMachinePages);
    const std::vector<TPageEntry>& table = PageTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].machine) continue;
        const int index = static_cast<int>(i);
        PgcMain->setTabVisible(index, false);
        connect(menu->addAction(QString::fromLatin1(table[i].caption)), &QAction::triggered, this,
                [this, index] {
                    PgcMain->setTabVisible(index, true);
                    PgcMain->setCurrentIndex(index);
                });
    }
    btnMachinePages->setMenu(menu);
    connect(btnMachinePages, &QToolButton::clicked, this, &TMainForm::Act_COMReqHWInfoExecute);
    PgcMain->setCornerWidget(btnMachinePages, Qt::TopRightCorner);
}

void TMainForm::OnBoardType(std::uint16_t boardType) {
    const std::vector<TPageEntry>& table = PageTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].machine) continue;
        const int index = static_cast<int>(i);
        const bool served = features::VariantServes(*table[i].machine, boardType);
        if (PgcMain->isTabVisible(index) != served) PgcMain->setTabVisible(index, served);
    }
    btnMachinePages->hide();
    // The page left open at the last close, once the board has it.
    if (pendingTab_ >= 0 && PgcMain->isTabVisible(pendingTab_))
        PgcMain->setCurrentIndex(pendingTab_);
    pendingTab_ = -1;
}

}  // namespace orvan::app
