#pragma once
// "Welder Event Log": the board's event log, read by the event-log feature
// and listed one event a row (number, date and time, value, description).
// A read that stops leaves the rows as they were and says why beneath them.

#include <QWidget>

#include "features/EventLog.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace orvan::pages {

class TPageWelderLog : public QWidget, public features::IEventLogView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder Event Log";
    explicit TPageWelderLog(QWidget* parent = nullptr);

    void OnEventLogRead(const features::TSequenceOutcome& outcome,
                        const features::TEventLogDecode& log) override;

    QPushButton* btnReadEventLog;
    QTableWidget* strWelderLog;  // header row, then one row per event
    QLabel* lblEventLogNote;     // why the last read did not list everything
};

}  // namespace orvan::pages
