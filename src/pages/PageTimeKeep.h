#pragma once
// "Date / Time": the board's clock.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPageTimeKeep : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Date / Time";
    explicit TPageTimeKeep(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
