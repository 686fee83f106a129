#pragma once
// "Welder Event Log": the board's event log, read by the logs feature.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPageWelderLog : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Event Log";
    explicit TPageWelderLog(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
