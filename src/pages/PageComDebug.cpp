#include "pages/PageComDebug.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/LogListModel.h"
#include "pages/LogView.h"
#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

TLogView* MakeLogView(TLogListModel* model, QWidget* parent) {
    auto* v = new TLogView(parent);
    v->setModel(model);
    return v;
}

}  // namespace

TPageComDebug::TPageComDebug(QWidget* parent)
    : QWidget(parent),
      rxModel_(new TLogListModel(this)),
      txModel_(new TLogListModel(this)),
      frameModel_(new TLogListModel(this)) {
    setObjectName(QStringLiteral("TshComDebug"));
    QWidget* body = ScrollBody(this);
    auto* grid = new QGridLayout(body);

    // The two headings carry each other's names; the captions are what the
    // technician reads.
    LblTxLog = new QLabel(QStringLiteral("Log RX data"), this);
    LsbCOMRxLog = MakeLogView(rxModel_, this);
    CmdClearRXLog = new QPushButton(QStringLiteral("Clear RX log"), this);
    chkRxLogEnable = new QCheckBox(QStringLiteral("Enable"), this);
    TxtRxLogString = new QLineEdit(this);
    LblRxLog = new QLabel(QStringLiteral("Log TX data"), this);
    LsbCOMTxLog = MakeLogView(txModel_, this);
    CmdClearTXLog = new QPushButton(QStringLiteral("Clear TX log"), this);
    chkTxLogEnable = new QCheckBox(QStringLiteral("Enable"), this);
    TxtTxLogString = new QLineEdit(this);
    CmdTXLogString = new QPushButton(QStringLiteral("TX log string"), this);
    TxtStringTx1 = new QLineEdit(this);
    TxtStringTx2 = new QLineEdit(this);
    TxtStringTx3 = new QLineEdit(this);
    CmdTxString1 = new QPushButton(QStringLiteral("TX"), this);
    CmdTxString2 = new QPushButton(QStringLiteral("TX"), this);
    CmdTxString3 = new QPushButton(QStringLiteral("TX"), this);
    LblCapture = new QLabel(QStringLiteral("Line capture (time ms, TX/RX, bytes: meaning)"), this);
    LsbCOMFrames = MakeLogView(frameModel_, this);
    chkCapture = new QCheckBox(QStringLiteral("Capture"), this);
    CmdSaveCapture = new QPushButton(QStringLiteral("Save capture..."), this);
    CmdClearCapture = new QPushButton(QStringLiteral("Clear capture"), this);
    static const QString kHint = QStringLiteral(
        "Request bytes in hex, as the TX log shows them: 0B 00 00 0B (type, values, checksum)");
    for (QLineEdit* e : {TxtTxLogString, TxtStringTx1, TxtStringTx2, TxtStringTx3}) {
        e->setPlaceholderText(kHint);
        e->setToolTip(kHint);
    }
    const std::pair<QPushButton*, QLineEdit*> senders[] = {{CmdTXLogString, TxtTxLogString},
                                                           {CmdTxString1, TxtStringTx1},
                                                           {CmdTxString2, TxtStringTx2},
                                                           {CmdTxString3, TxtStringTx3}};
    for (const auto& [button, edit] : senders) {
        QLineEdit* text = edit;
        connect(button, &QPushButton::clicked, this,
                [this, text] { emit SendRequested(text->text()); });
        connect(edit, &QLineEdit::returnPressed, this,
                [this, text] { emit SendRequested(text->text()); });
    }
    CmdTXLogString->setObjectName(QStringLiteral("CmdTXLogString"));
    CmdTxString1->setObjectName(QStringLiteral("CmdTxString1"));
    CmdTxString2->setObjectName(QStringLiteral("CmdTxString2"));
    CmdTxString3->setObjectName(QStringLiteral("CmdTxString3"));
    chkCapture->setObjectName(QStringLiteral("chkCapture"));
    CmdSaveCapture->setObjectName(QStringLiteral("CmdSaveCapture"));

    int row = 0;
    grid->addWidget(LblTxLog, row++, 0, 1, 3);
    grid->addWidget(LsbCOMRxLog, row++, 0, 1, 3);
    grid->addWidget(CmdClearRXLog, row, 0);
    grid->addWidget(chkRxLogEnable, row++, 1);
    grid->addWidget(TxtRxLogString, row++, 0, 1, 3);
    grid->addWidget(LblRxLog, row++, 0, 1, 3);
    grid->addWidget(LsbCOMTxLog, row++, 0, 1, 3);
    grid->addWidget(CmdClearTXLog, row, 0);
    grid->addWidget(chkTxLogEnable, row++, 1);
    grid->addWidget(TxtTxLogString, row, 0, 1, 2);
    grid->addWidget(CmdTXLogString, row++, 2);
    grid->addWidget(TxtStringTx1, row, 0, 1, 2);
    grid->addWidget(CmdTxString1, row++, 2);
    grid->addWidget(TxtStringTx2, row, 0, 1, 2);
    grid->addWidget(CmdTxString2, row++, 2);
    grid->addWidget(TxtStringTx3, row, 0, 1, 2);
    grid->addWidget(CmdTxString3, row++, 2);
    grid->addWidget(LblCapture, row++, 0, 1, 3);
    grid->addWidget(LsbCOMFrames, row++, 0, 1, 3);
    grid->addWidget(CmdClearCapture, row, 0);
    grid->addWidget(chkCapture, row, 1);
    grid->addWidget(CmdSaveCapture, row++, 2);
    grid->setColumnStretch(1, 1);
    SetTabOrderByLayout(this);
}

void TPageComDebug::Append(TLogView* view, TLogListModel* model, std::string_view line) {
    model->Append(line);
    const QModelIndex last = model->index(model->Count() - 1);
    view->setCurrentIndex(last);
    view->scrollTo(last);
}

void TPageComDebug::AppendRx(std::string_view line) {
    Append(LsbCOMRxLog, rxModel_, line);
}
void TPageComDebug::AppendTx(std::string_view line) {
    Append(LsbCOMTxLog, txModel_, line);
}
void TPageComDebug::ClearRx() {
    rxModel_->Clear();
}
void TPageComDebug::ClearTx() {
    txModel_->Clear();
}

void TPageComDebug::CopySelected(TLogView* view, TLogListModel* model, QLineEdit* target) {
    const QModelIndex cur = view->currentIndex();
    if (!cur.isValid() || !view->selectionModel()->isSelected(cur)) return;
    const std::string_view l = model->Line(cur.row());
    target->setText(QString::fromLatin1(l.data(), static_cast<qsizetype>(l.size())));
}

void TPageComDebug::AppendFrame(std::string_view line, std::string_view meaning) {
    std::string text(line);
    text += "  : ";
    text += meaning;
    Append(LsbCOMFrames, frameModel_, text);
}

void TPageComDebug::ClearFrames() {
    frameModel_->Clear();
}

void TPageComDebug::CopySelectedRx() {
    CopySelected(LsbCOMRxLog, rxModel_, TxtRxLogString);
}
void TPageComDebug::CopySelectedTx() {
    CopySelected(LsbCOMTxLog, txModel_, TxtTxLogString);
}

}  // namespace orvan::pages
