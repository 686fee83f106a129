#pragma once
// How a feature's sequence ended: every sequence a controller starts ends
// with exactly one of these, completed or stopped with where and why.

#include <string>

namespace orvan::features {

struct TSequenceOutcome {
    bool completed = false;
    std::string where;  // where it stopped ("page 5 of 32, address 128")
    std::string why;    // the board's refusal text, "RX TimeOut"...

    static TSequenceOutcome Completed() { return {true, {}, {}}; }
    static TSequenceOutcome Stopped(std::string where, std::string why) {
        return {false, std::move(where), std::move(why)};
    }
};

}  // namespace orvan::features
