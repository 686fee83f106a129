#pragma once
// Time as the engine sees it. Nothing in the core reads a clock or sleeps by
// itself: the owner hands in a clock, and tests hand in one they move by hand.

#include <chrono>
#include <cstdint>

namespace orvan::link {

class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds on a clock that never goes backwards (time-outs).
    virtual std::int64_t MonotonicMs() const = 0;
    // Calendar time of the PC (log-line stamps, the board clock page).
    virtual std::chrono::system_clock::time_point WallNow() const = 0;
};

class SystemClock final : public IClock {
  public:
    std::int64_t MonotonicMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    std::chrono::system_clock::time_point WallNow() const override {
        return std::chrono::system_clock::now();
    }
};

// A clock that moves only when told to.
class ManualClock final : public IClock {
  public:
    // Starts at 7 December 2026, 06:47:30 UTC.
    explicit ManualClock(std::chrono::system_clock::time_point wallStart =
                             std::chrono::system_clock::time_point{
                                 std::chrono::seconds{1796626050}})
        : wallStart_(wallStart) {}
    std::int64_t MonotonicMs() const override { return nowMs_; }
    std::chrono::system_clock::time_point WallNow() const override {
        return wallStart_ + std::chrono::milliseconds{nowMs_};
    }
    void Advance(std::int64_t ms) { nowMs_ += ms; }

  private:
    std::chrono::system_clock::time_point wallStart_;
    std::int64_t nowMs_ = 0;
};

// A one-shot time-out measured on an IClock: started, it expires once its
// interval has passed; stopping it cancels it.
class OneShotTimeout {
  public:
    explicit OneShotTimeout(std::int64_t intervalMs) : intervalMs_(intervalMs) {}
    void Start(std::int64_t nowMs) {
        running_ = true;
        deadlineMs_ = nowMs + intervalMs_;
    }
    void Stop() { running_ = false; }
    bool Running() const { return running_; }
    bool Expired(std::int64_t nowMs) const { return running_ && nowMs >= deadlineMs_; }
    std::int64_t IntervalMs() const { return intervalMs_; }

  private:
    std::int64_t intervalMs_;
    std::int64_t deadlineMs_ = 0;
    bool running_ = false;
};

}  // namespace orvan::link
