#pragma once
// The board's real-time clock ("Date / Time" page): read time, date and the
// running flag, set date and time from the page's fields or the PC's clock,
// start and halt it. The page's date and time fields are the exchange area;
// the factory tuning date (TIdentity) takes them as its input too.
//
// A time or date the board cannot hold is refused before anything is queued,
// and time and date go together or not at all. A time or date the board
// answers that does not exist is reported to the page, never shown.

#include <functional>
#include <optional>
#include <string>

#include "commands/BoardView.h"
#include "commands/Session.h"
#include "features/TypedInput.h"

namespace orvan::features {

// What the clock page shows.
class IBoardClockPage {
  public:
    virtual ~IBoardClockPage() = default;
    virtual void ShowBoardTime(const TTimeOfDay& /*t*/) {}
    virtual void ShowBoardDate(const TDate& /*d*/) {}
    virtual void ShowClockRunning(bool /*running*/) {}
    // The board answered a time or date that does not exist.
    virtual void ShowClockProblem(const std::string& /*text*/) {}
};

class TBoardClock : public commands::IBoardClockView {
  public:
    explicit TBoardClock(commands::TSession& session) : session_(session) {}

    commands::TFanout<IBoardClockPage>& Views() { return views_; }
    // The PC's clock (tests fix it).
    std::function<TLocalNow()> pcNow = [] { return LocalNow(); };

    // "Get board time": ClockTime, ClockDate, ClockRun, in this order.
    TResult Read();
    // "Set board Data/Time": ClockTime then ClockDate, both checked first.
    TResult Set(const TDate& date, const TTimeTexts& time);
    TResult Set(const TDate& date, const TTimeOfDay& time);
    // "Set" of "Time keeper Enable": starts or halts the clock.
    TResult SetRunning(bool running);
    // "Get PC Time": what the page's fields take.
    TLocalNow PcTime() const { return pcNow(); }

    // The last values the board answered in this session (nothing until read
    // or when the answer was not a time or date).
    const std::optional<TTimeOfDay>& BoardTime() const { return time_; }
    const std::optional<TDate>& BoardDate() const { return date_; }
    const std::optional<bool>& Running() const { return running_; }
    // Answers that were not a time or a date, since the last Read().
    const std::vector<std::string>& Problems() const { return problems_; }

    // Board events.
    void OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) override;
    void OnClockDate(int year, int month, int day, bool valid) override;
    void OnClockRun(bool running) override;

  private:
    void Problem(std::string text);

    commands::TSession& session_;
    commands::TFanout<IBoardClockPage> views_;
    std::optional<TTimeOfDay> time_;
    std::optional<TDate> date_;
    std::optional<bool> running_;
    std::vector<std::string> problems_;
};

// The value bytes of ClockTime and ClockDate as the board takes them.
std::vector<double> ClockTimeValues(const TTimeOfDay& t);
std::vector<double> ClockDateFields(const TDate& d);

}  // namespace orvan::features
