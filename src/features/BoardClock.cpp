#include "features/BoardClock.h"

#include "commands/Builders.h"

namespace orvan::features {

namespace {

using namespace orvan::commands;

TResult Queued(const SendResult& r) {
    return r ? TResult::Ok() : TResult::Fail(r.why);
}

}  // namespace

std::vector<double> ClockTimeValues(const TTimeOfDay& t) {
    return {static_cast<double>(t.hours), static_cast<double>(t.minutes),
            static_cast<double>(t.seconds)};
}

std::vector<double> ClockDateFields(const TDate& d) {
    return {static_cast<double>(d.day), static_cast<double>(d.month),
            static_cast<double>(WeekDay(d)), static_cast<double>(d.year - 2000)};
}

TResult TBoardClock::Read() {
    problems_.clear();
    link::TComProtocol& p = session_.Protocol();
    for (std::uint16_t code : {ClockTime, ClockDate, ClockRun}) {
        const TResult r = Queued(SendReadVariable(p, code));
        if (!r) return r;
    }
    return TResult::Ok();
}

TResult TBoardClock::Set(const TDate& date, const TTimeTexts& time) {
    TTimeOfDay t;
    std::string why;
    if (!ParseTimeTexts(time, t, &why)) return TResult::Fail(why);
    return Set(date, t);
}

TResult TBoardClock::Set(const TDate& date, const TTimeOfDay& time) {
    if (!ValidTime(time))
        return TResult::Fail("not a time of day: " + TimeText(time) + "; nothing sent");
    // The board keeps the year as year - 2000 in one byte.
    if (!ValidDate(date) || date.year < 2000 || date.year > 2255)
        return TResult::Fail("the board clock holds dates from 2000-01-01 to 2255-12-31, not " +
                             DateText(date) + "; nothing sent");
    // Both built before either is queued: the board gets both or neither.
    link::TCmd timeCmd, dateCmd;
    std::string why;
    const std::vector<double> tv = ClockTimeValues(time), dv = ClockDateFields(date);
    if (!MakeWriteVariable(ClockTime, tv, timeCmd, &why) ||
        !MakeWriteVariable(ClockDate, dv, dateCmd, &why))
        return TResult::Fail(why);
    link::TComProtocol& p = session_.Protocol();
    const link::QueueResult a = p.QueueCommand(timeCmd);
    if (!a) return TResult::Fail(a.why);
    const link::QueueResult b = p.QueueCommand(dateCmd);
    if (!b) return TResult::Fail(b.why);
    return TResult::Ok();
}

TResult TBoardClock::SetRunning(bool running) {
    return Queued(SendWriteVariable(session_.Protocol(), ClockRun, {running ? 1.0 : 0.0}));
}

void TBoardClock::OnClockTime(std::uint8_t h, std::uint8_t m, std::uint8_t s) {
    const TTimeOfDay t{h, m, s};
    if (!ValidTime(t)) {
        time_.reset();
        Problem("the board answered the time " + std::to_string(h) + ":" + std::to_string(m) + ":" +
                std::to_string(s) + ", which is not a time of day");
        return;
    }
    time_ = t;
    views_.Notify(&IBoardClockPage::ShowBoardTime, t);
}

void TBoardClock::OnClockDate(int year, int month, int day, bool valid) {
    const TDate d{year, month, day};
    if (!valid || !ValidDate(d)) {
        date_.reset();
        Problem("the board answered the date day " + std::to_string(day) + ", month " +
                std::to_string(month) + ", year " + std::to_string(year) + ", which is not a date");
        return;
    }
    date_ = d;
    views_.Notify(&IBoardClockPage::ShowBoardDate, d);
}

void TBoardClock::OnClockRun(bool running) {
    running_ = running;
    views_.Notify(&IBoardClockPage::ShowClockRunning, running);
}

void TBoardClock::Problem(std::string text) {
    problems_.push_back(text);
    views_.Notify(&IBoardClockPage::ShowClockProblem, text);
}

}  // namespace orvan::features
