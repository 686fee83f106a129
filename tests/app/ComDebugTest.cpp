#include <gtest/gtest.h>

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include "pages/LogView.h"

#include "pages/LogListModel.h"
#include "pages/PageComDebug.h"

using orvan::pages::TLogListModel;
using orvan::pages::TPageComDebug;

TEST(LogListModel, KeepsLinesPackedAndWhole) {
    TLogListModel m;
    const std::string lines[] = {"[ 1 08/12/2026 03:58:10 ] 0B 00 00 0B 00 ", "", "x",
                                 std::string(300, 'A')};
    for (const auto& l : lines) m.Append(l);
    ASSERT_EQ(m.rowCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.Line(i), lines[i]);
        EXPECT_EQ(m.data(m.index(i), Qt::DisplayRole).toString().toStdString(), lines[i]);
    }
    EXPECT_FALSE(m.data(m.index(4), Qt::DisplayRole).isValid());
    EXPECT_EQ(m.Line(-1), "");
    EXPECT_EQ(m.rowCount(m.index(0)), 0);  // a list: rows have no children
    m.Clear();
    EXPECT_EQ(m.rowCount(), 0);
    m.Append("again");
    EXPECT_EQ(m.Line(0), "again");
}

TEST(LogListModel, LinesAcrossBlocksStayWhole) {
    TLogListModel m;
    const std::size_t block = TLogListModel::kBlockSize;
    const std::string lines[] = {
        std::string(block - 3, 'a'), "bcde", std::string(block + 10, 'f'), "", "g",
        std::string(block, 'h'),     ""};
    for (const auto& l : lines) m.Append(l);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(m.Line(i), lines[i]) << i;
    EXPECT_GE(m.MemoryBytes(), 3 * block);
}

TEST(ComDebugPage, StartsEmptyAndNotLogging) {
    TPageComDebug page;
    EXPECT_FALSE(page.chkRxLogEnable->isChecked());
    EXPECT_FALSE(page.chkTxLogEnable->isChecked());
    EXPECT_EQ(page.RxModel()->Count(), 0);
    EXPECT_EQ(page.LblTxLog->text(), "Log RX data");
    EXPECT_EQ(page.LblRxLog->text(), "Log TX data");
    EXPECT_EQ(page.CmdClearRXLog->text(), "Clear RX log");
    EXPECT_EQ(page.CmdClearTXLog->text(), "Clear TX log");
    EXPECT_EQ(page.CmdTXLogString->text(), "TX log string");
}

TEST(ComDebugPage, AppendedLineIsSelectedAndCopiedOnlyOnClick) {
    TPageComDebug page;
    page.AppendTx("one");
    page.AppendTx("two");
    EXPECT_EQ(page.LsbCOMTxLog->currentIndex().row(), 1);
    EXPECT_TRUE(page.LsbCOMTxLog->selectionModel()->isSelected(page.TxModel()->index(1)));
    EXPECT_EQ(page.TxtTxLogString->text(), "");  // appending does not copy
    page.CopySelectedTx();
    EXPECT_EQ(page.TxtTxLogString->text(), "two");
    page.LsbCOMTxLog->setCurrentIndex(page.TxModel()->index(0));
    page.CopySelectedTx();
    EXPECT_EQ(page.TxtTxLogString->text(), "one");
    // The receive side is separate.
    EXPECT_EQ(page.RxModel()->Count(), 0);
    page.CopySelectedRx();
    EXPECT_EQ(page.TxtRxLogString->text(), "");
}

TEST(ComDebugPage, ClickWithNothingSelectedChangesNothing) {
    TPageComDebug page;
    page.TxtRxLogString->setText("typed by hand");
    page.CopySelectedRx();
    EXPECT_EQ(page.TxtRxLogString->text(), "typed by hand");
    page.AppendRx("line");
    page.LsbCOMRxLog->selectionModel()->clearSelection();
    page.CopySelectedRx();
    EXPECT_EQ(page.TxtRxLogString->text(), "typed by hand");
    page.ClearRx();
    page.CopySelectedRx();
    EXPECT_EQ(page.TxtRxLogString->text(), "typed by hand");
    EXPECT_EQ(page.RxModel()->Count(), 0);
}
