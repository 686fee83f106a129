#pragma once
// "Welder Tuning": power diagnosis and tuning. The procedures come with their
// feature; the page already shows the maximum work current of the
// configuration on the pages.

#include <QWidget>

class QLabel;

namespace orvan::pages {

class TPageWelderTuning : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Tuning";
    explicit TPageWelderTuning(QWidget* parent = nullptr);

    // The maximum work current of the configuration shown, in amperes.
    void ShowFactoryTuningImax(double amperes, char decimalSeparator);

    QLabel* stxFactoryTuningImax;
};

}  // namespace orvan::pages
