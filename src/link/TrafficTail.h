#pragma once
// The last lines of traffic, kept whatever front end runs: a technician's
// report ends with them, so a field problem shows what the line carried just
// before. It sits between the exchange cycle and the front end's listener and
// hands every event on unchanged.

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "link/ExchangeCycle.h"

namespace orvan::link {

class TTrafficTail : public IExchangeListener {
  public:
    static constexpr std::size_t kDefaultLines = 200;

    explicit TTrafficTail(IExchangeListener* next = nullptr, std::size_t lines = kDefaultLines)
        : next_(next), limit_(lines == 0 ? 1 : lines) {}

    // "TX ...", "RX ...", "-- RX TimeOut", oldest first.
    std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
    void Clear() { lines_.clear(); }

    void OnLinkState(std::string_view text) override {
        if (next_) next_->OnLinkState(text);
    }
    void OnTxLog(const std::string& line) override {
        Keep("TX " + line);
        if (next_) next_->OnTxLog(line);
    }
    void OnRxLog(const std::string& line) override {
        Keep("RX " + line);
        if (next_) next_->OnRxLog(line);
    }
    void OnAnswer(const std::uint8_t* data, std::uint8_t lengthLow) override {
        if (next_) next_->OnAnswer(data, lengthLow);
    }
    void OnRxTimeout() override {
        Keep("-- " + std::string(kLinkTimeout));
        if (next_) next_->OnRxTimeout();
    }
    void OnPortLost(const std::string& why) override {
        Keep("-- " + std::string(kLinkPortLost) + ": " + why);
        if (next_) next_->OnPortLost(why);
    }

  private:
    void Keep(std::string line) {
        lines_.push_back(std::move(line));
        while (lines_.size() > limit_) lines_.pop_front();
    }

    IExchangeListener* next_;
    std::size_t limit_;
    std::deque<std::string> lines_;
};

}  // namespace orvan::link
