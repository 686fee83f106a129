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
        ShowMachineTab(index, false);
        connect(menu->addAction(QString::fromLatin1(table[i].caption)), &QAction::triggered, this,
                [this, index] {
                    ShowMachineTab(index, true);
                    PgcMain->setCurrentIndex(index);
                });
    }
    btnMachinePages->setMenu(menu);
    connect(btnMachinePages, &QToolButton::clicked, this, &TMainForm::Act_COMReqHWInfoExecute);
    PgcMain->setCornerWidget(btnMachinePages, Qt::TopRightCorner);
}

// Ctrl+Tab walks the enabled tabs: a hidden one must not be among them.
void TMainForm::ShowMachineTab(int index, bool shown) {
    PgcMain->setTabVisible(index, shown);
    PgcMain->setTabEnabled(index, shown);
}

void TMainForm::OnBoardType(std::uint16_t boardType) {
    const std::vector<TPageEntry>& table = PageTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].machine) continue;
        const int index = static_cast<int>(i);
        const bool served = features::VariantServes(*table[i].machine, boardType);
        if (PgcMain->isTabVisible(index) != served) ShowMachineTab(index, served);
    }
    // Its room goes back to the tabs.
    btnMachinePages->hide();
    if (PgcMain->cornerWidget(Qt::TopRightCorner) == btnMachinePages)
        PgcMain->setCornerWidget(nullptr, Qt::TopRightCorner);
    // The page left open at the last close, once the board has it.
    if (pendingTab_ >= 0 && PgcMain->isTabVisible(pendingTab_))
        PgcMain->setCurrentIndex(pendingTab_);
    pendingTab_ = -1;
}

}  // namespace orvan::app
