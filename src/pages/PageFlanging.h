#pragma once
// "Flanging": the flanging machine's profiles.
// Its controls come with that feature; the page exists from the start so that
// the page indices kept in the settings stay stable.

#include <QWidget>

namespace orvan::pages {

class TPageFlanging : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Flanging";
    explicit TPageFlanging(QWidget* parent = nullptr);
};

}  // namespace orvan::pages
