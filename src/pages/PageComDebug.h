#pragma once
// "COM Debug": the traffic on the serial line, one list per direction, each
// filled while its "Enable" box is ticked; a click copies a line into the
// text field below its list.

#include <QWidget>
#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvan::pages {

class TLogListModel;
class TLogView;

class TPageComDebug : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "COM Debug";
    explicit TPageComDebug(QWidget* parent = nullptr);

    // Adds a line at the end of its list and selects it (the list follows it).
    void AppendRx(std::string_view line);
    void AppendTx(std::string_view line);
    void ClearRx();
    void ClearTx();
    // Copies the selected line into the text field; nothing when none is selected.
    void CopySelectedRx();
    void CopySelectedTx();

    TLogListModel* RxModel() const { return rxModel_; }
    TLogListModel* TxModel() const { return txModel_; }

    QLabel* LblTxLog;
    TLogView* LsbCOMRxLog;
    QPushButton* CmdClearRXLog;
    QCheckBox* chkRxLogEnable;
    QLineEdit* TxtRxLogString;
    QLabel* LblRxLog;
    TLogView* LsbCOMTxLog;
    QPushButton* CmdClearTXLog;
    QCheckBox* chkTxLogEnable;
    QLineEdit* TxtTxLogString;
    QPushButton* CmdTXLogString;
    QLineEdit* TxtStringTx1;
    QLineEdit* TxtStringTx2;
    QLineEdit* TxtStringTx3;
    QPushButton* CmdTxString1;
    QPushButton* CmdTxString2;
    QPushButton* CmdTxString3;

  private:
    void Append(TLogView* view, TLogListModel* model, std::string_view line);
    static void CopySelected(TLogView* view, TLogListModel* model, QLineEdit* target);

    TLogListModel* rxModel_;
    TLogListModel* txModel_;
};

}  // namespace orvan::pages
