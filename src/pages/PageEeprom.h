#pragma once
// "EEPROM Manager": the board's EEPROM listing, dump, byte writes and format.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPageEeprom : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "EEPROM Manager";
    explicit TPageEeprom(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
