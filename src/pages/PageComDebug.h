#pragma once
// "COM Debug": the traffic on the serial line, one list per direction, each
// filled while its "Enable" box is ticked; a click copies a line into the
// text field below its list. "TX log string" and the three "TX" send the
// text beside them as a request, checked like any other. Below them, the line capture: while
// "Capture" is ticked every frame on the line is listed with what it means, and "Save capture..."
// writes the capture file (for orvan-boardsim --replay).

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
    // One captured frame: its capture-file line and what it means.
    void AppendFrame(std::string_view line, std::string_view meaning);
    void ClearFrames();
    TLogListModel* FrameModel() const { return frameModel_; }

    TLogListModel* RxModel() const { return rxModel_; }

  signals:
    // "TX" or "TX log string": the text beside the button, to be sent as a
    // request (the core checks it).
    void SendRequested(const QString& text);

  public:
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
    QLabel* LblCapture;
    TLogView* LsbCOMFrames;
    QCheckBox* chkCapture;
    QPushButton* CmdSaveCapture;
    QPushButton* CmdClearCapture;

  private:
    void Append(TLogView* view, TLogListModel* model, std::string_view line);
    static void CopySelected(TLogView* view, TLogListModel* model, QLineEdit* target);

    TLogListModel* rxModel_;
    TLogListModel* txModel_;
    TLogListModel* frameModel_;
};

}  // namespace orvan::pages
