#pragma once
// "Pelta": the page of the Pelta welder.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPagePelta : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Pelta";
    explicit TPagePelta(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
