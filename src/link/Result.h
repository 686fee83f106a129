#pragma once
// The result of anything that can fail: whether it worked and, when not, why,
// in words for the user. Marked so that a caller cannot drop it unread
// (`(void)` says "I know, and it does not matter here").

#include <string>
#include <utility>

namespace orvan {

struct [[nodiscard]] TResult {
    bool ok = false;
    std::string why;  // empty when ok
    explicit operator bool() const { return ok; }
    static TResult Ok() { return {true, {}}; }
    static TResult Fail(std::string why) { return {false, std::move(why)}; }
    // Nothing was done and there is nothing to say (an empty field left empty).
    static TResult Cancelled() { return {false, {}}; }
};

}  // namespace orvan
