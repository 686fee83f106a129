#pragma once
// The diameter/height sensor page.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPageDiameter : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Diameter / Height";
    explicit TPageDiameter(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
