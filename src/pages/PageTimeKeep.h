#pragma once
// "Date / Time": the board's real-time clock. The date and the three time
// edits are the exchange area: the board's clock is read into them, the PC's
// clock copied into them, and they are written to the board; the factory
// tuning date is taken from them too.

#include <QWidget>

#include "features/BoardClock.h"

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvan::pages {

class TPageTimeKeep : public QWidget, public features::IBoardClockPage {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Date / Time";
    explicit TPageTimeKeep(QWidget* parent = nullptr);

    // The fields as they stand.
    features::TDate Date() const;
    features::TTimeTexts TimeTexts() const;
    // "Get PC Time": the date, and the time without leading zeros.
    void ShowPcTime(const features::TLocalNow& now);
    // The last problem shown (empty when none).
    QString Problem() const;

    // What the board answered.
    void ShowBoardTime(const features::TTimeOfDay& t) override;
    void ShowBoardDate(const features::TDate& d) override;
    void ShowClockRunning(bool running) override;
    void ShowClockProblem(const std::string& text) override;

    QCalendarWidget* calOrvanDate;
    QLineEdit* edtHours;
    QLineEdit* edtMinutes;
    QLineEdit* edtSeconds;
    QCheckBox* chkTKClockEN;
    QPushButton* cmdGetOrvanTime;
    QPushButton* cmdGetPcTime;
    QPushButton* cmdSetOrvanTime;
    QPushButton* cmdSetTKClockHalt;
    QLabel* lblClockProblem;

  private:
    void ShowTime(int h, int m, int s);
};

}  // namespace orvan::pages
