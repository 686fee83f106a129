#pragma once
// "EEPROM Manager": typed text written at an address from three rows, raw
// reads listed in the grid (address, hexadecimal, characters), the dump of
// the whole memory, its format, and a whole board kept in a dump file and
// written back from one.

#include <QWidget>
#include <array>
#include <vector>

#include "commands/BoardView.h"
#include "features/EepromTools.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QLabel;

namespace orvan::pages {

class TPageEeprom : public QWidget, public commands::IMemoryView, public features::IEepromView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "EEPROM Manager";
    explicit TPageEeprom(QWidget* parent = nullptr);

    // The write row whose radio button is selected (0..2).
    int SelectedRow() const;
    QString RowText(int row) const;
    QString RowAddress(int row) const;

    // The listing: the dump starts it afresh (a header and one empty row);
    // rows of a dump fill the last row and append an empty one, rows of a
    // raw read are appended.
    void ClearListing();
    void AddRows(const std::vector<commands::MemoryRow>& rows, bool dump);
    // Board events: the rows of a raw read, of a dump answer.
    void OnMemoryRows(const std::vector<commands::MemoryRow>& rows) override {
        AddRows(rows, false);
    }
    void OnEepromDumpRows(const std::vector<commands::MemoryRow>& rows) override {
        AddRows(rows, true);
    }
    // Data rows shown (the empty row that ends a dump included).
    int ListingRows() const;
    QString Cell(int col, int row) const;
    // One line under the buttons: what the last tool did or why it stopped.
    void ShowStatus(const QString& text);
    QString Status() const;

    std::array<QRadioButton*, 3> RBCmdActive{};
    std::array<QLineEdit*, 3> TxtParameters{};
    std::array<QLineEdit*, 3> TxtAddress{};
    QLineEdit* TxtEEPROMReadAddress;
    QLineEdit* TxtEEPROMReadLength;
    QPushButton* cmdE2PWriteBytes;
    QPushButton* cmdE2PReadBytes;
    QPushButton* cmdE2PDumpAll;
    QPushButton* cmdE2PFormat;
    QPushButton* cmdE2PSaveDump;
    QPushButton* cmdE2PRestoreDump;
    QTableWidget* strEEPROM;
    QLabel* lblE2PStatus;
};

}  // namespace orvan::pages
