#pragma once
// Main pages whose content is built by the features that own them (tuning,
// logs, EEPROM, clock, machine variants). They exist from the start with their
// captions, so the page indices stored in the settings stay stable.

#include <QWidget>

class QLabel;

namespace orvan::pages {

class TPageWelderTuning : public QWidget {
    Q_OBJECT
  public:
    explicit TPageWelderTuning(QWidget* parent = nullptr);
    QLabel* stxFactoryTuningImax;
};

#define ORVAN_EMPTY_PAGE(Class)                    \
    class Class : public QWidget {                 \
      public:                                      \
        explicit Class(QWidget* parent = nullptr); \
    };

ORVAN_EMPTY_PAGE(TPageWelderLog)
ORVAN_EMPTY_PAGE(TPageEeprom)
ORVAN_EMPTY_PAGE(TPageTimeKeep)
ORVAN_EMPTY_PAGE(TPagePelta)
ORVAN_EMPTY_PAGE(TPageDiameter)
ORVAN_EMPTY_PAGE(TPageFlanging)

#undef ORVAN_EMPTY_PAGE

}  // namespace orvan::pages
