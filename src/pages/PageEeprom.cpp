#include "pages/PageEeprom.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLineEdit* Edit(QWidget* parent, const QString& name, const char* text) {
    auto* e = new QLineEdit(QString::fromLatin1(text), parent);
    e->setObjectName(name);
    return e;
}

}  // namespace

TPageEeprom::TPageEeprom(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshEEPROM"));
    QWidget* body = ScrollBody(this);
    auto* row = new QHBoxLayout(body);
    auto* tools = new QVBoxLayout();

    auto* write = new QGroupBox(QStringLiteral("Write EEPROM "), body);
    write->setObjectName(QStringLiteral("grbE2PWrite"));
    auto* wg = new QGridLayout(write);
    static const char* texts[3] = {"CfgData123", "CfgData789", "CfgData789"};
    wg->addWidget(new QLabel(QStringLiteral("Text"), write), 0, 1);
    wg->addWidget(new QLabel(QStringLiteral("Address"), write), 0, 2);
    for (int i = 0; i < 3; ++i) {
        RBCmdActive[i] = new QRadioButton(write);
        RBCmdActive[i]->setObjectName(QStringLiteral("RBCmdActive%1").arg(i + 1));
        TxtParameters[i] = Edit(write, QStringLiteral("TxtParameters%1").arg(i + 1), texts[i]);
        TxtAddress[i] = Edit(write, QStringLiteral("TxtAddress%1").arg(i + 1), "0");
        TxtAddress[i]->setMaximumWidth(70);
        wg->addWidget(RBCmdActive[i], i + 1, 0);
        wg->addWidget(TxtParameters[i], i + 1, 1);
        wg->addWidget(TxtAddress[i], i + 1, 2);
    }
    RBCmdActive[0]->setChecked(true);
    cmdE2PWriteBytes = Button(write, "cmdE2PWriteBytes", "Write selected byte");
    wg->addWidget(cmdE2PWriteBytes, 4, 0, 1, 3);
    tools->addWidget(write);

    auto* read = new QGroupBox(QStringLiteral("Read EEPROM "), body);
    read->setObjectName(QStringLiteral("grbE2PRead"));
    auto* rg = new QGridLayout(read);
    TxtEEPROMReadAddress = Edit(read, QStringLiteral("TxtEEPROMReadAddress"), "0");
    TxtEEPROMReadLength = Edit(read, QStringLiteral("TxtEEPROMReadLength"), "32");
    rg->addWidget(new QLabel(QStringLiteral("Address"), read), 0, 0);
    rg->addWidget(TxtEEPROMReadAddress, 0, 1);
    rg->addWidget(new QLabel(QStringLiteral("Length"), read), 1, 0);
    rg->addWidget(TxtEEPROMReadLength, 1, 1);
    cmdE2PReadBytes = Button(read, "cmdE2PReadBytes", "Read EEPROM");
    rg->addWidget(cmdE2PReadBytes, 2, 0, 1, 2);
    tools->addWidget(read);

    cmdE2PDumpAll = Button(body, "cmdE2PDumpAll", "Dump entire EEPROM");
    cmdE2PFormat = Button(body, "cmdE2PFormat", "Format");
    cmdE2PSaveDump = Button(body, "cmdE2PSaveDump", "Save dump to file...");
    cmdE2PRestoreDump = Button(body, "cmdE2PRestoreDump", "Write dump file to board...");
    for (QPushButton* b : {cmdE2PDumpAll, cmdE2PSaveDump, cmdE2PRestoreDump, cmdE2PFormat})
        tools->addWidget(b);
    lblE2PStatus = new QLabel(body);
    lblE2PStatus->setObjectName(QStringLiteral("lblE2PStatus"));
    lblE2PStatus->setWordWrap(true);
    tools->addWidget(lblE2PStatus);
    tools->addStretch(1);
    row->addLayout(tools, 0);

    strEEPROM = new QTableWidget(0, 3, body);
    strEEPROM->setObjectName(QStringLiteral("strEEPROM"));
    strEEPROM->setHorizontalHeaderLabels(
        {QStringLiteral("Address"), QStringLiteral("HEX Value"), QStringLiteral("ASCII Value")});
    strEEPROM->setEditTriggers(QAbstractItemView::NoEditTriggers);
    strEEPROM->verticalHeader()->hide();
    strEEPROM->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    strEEPROM->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    strEEPROM->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    strEEPROM->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    row->addWidget(strEEPROM, 1);
    SetTabOrderByLayout(this);
}

int TPageEeprom::SelectedRow() const {
    for (int i = 0; i < 3; ++i)
        if (RBCmdActive[i]->isChecked()) return i;
    return 0;
}

QString TPageEeprom::RowText(int row) const {
    return TxtParameters.at(static_cast<std::size_t>(row))->text();
}

QString TPageEeprom::RowAddress(int row) const {
    return TxtAddress.at(static_cast<std::size_t>(row))->text();
}

void TPageEeprom::ClearListing() {
    strEEPROM->setRowCount(1);
    for (int c = 0; c < 3; ++c) strEEPROM->setItem(0, c, new QTableWidgetItem(QString()));
}

void TPageEeprom::AddRows(const std::vector<commands::MemoryRow>& rows, bool dump) {
    for (const commands::MemoryRow& r : rows) {
        int at = strEEPROM->rowCount();
        if (dump && at > 0) {
            --at;  // the empty row that ends the dump listing
        } else {
            strEEPROM->setRowCount(at + 1);
        }
        // The bytes as they are: one character per byte, never decoded as UTF-8.
        const QString cells[3] = {
            QString::fromLatin1(r.addressText.c_str()), QString::fromLatin1(r.hexText.c_str()),
            QString::fromLatin1(r.asciiText.data(), static_cast<qsizetype>(r.asciiText.size()))};
        for (int c = 0; c < 3; ++c) strEEPROM->setItem(at, c, new QTableWidgetItem(cells[c]));
        if (dump) {
            strEEPROM->setRowCount(at + 2);
            for (int c = 0; c < 3; ++c) strEEPROM->setItem(at + 1, c, new QTableWidgetItem());
        }
    }
    if (strEEPROM->rowCount() > 0) strEEPROM->scrollToBottom();
}

int TPageEeprom::ListingRows() const {
    return strEEPROM->rowCount();
}

QString TPageEeprom::Cell(int col, int row) const {
    const QTableWidgetItem* it = strEEPROM->item(row, col);
    return it ? it->text() : QString();
}

void TPageEeprom::ShowStatus(const QString& text) {
    lblE2PStatus->setText(text);
}

QString TPageEeprom::Status() const {
    return lblE2PStatus->text();
}

}  // namespace orvan::pages
