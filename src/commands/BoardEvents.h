#pragma once
// One session, several front ends: the window's pages and the feature
// controllers all hear the board events of the areas they implement. The
// session emits into TBoardEvents; each listener subscribes once and is added
// to the fan-out of every area interface it derives from.
//
// A listener may subscribe or unsubscribe listeners (itself included) while
// an event is being delivered: one removed is not called again, one added
// hears the next event, not the current one.

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <vector>

#include "commands/BoardView.h"

namespace orvan::commands {

// The listeners of one area interface, in the order they were added.
template <typename IView>
class TFanout {
  public:
    void Add(IView& view) {
        if (std::find(views_.begin(), views_.end(), &view) == views_.end()) views_.push_back(&view);
    }
    void Remove(IView& view) {
        for (IView*& v : views_)
            if (v == &view) v = nullptr;
        if (depth_ == 0) std::erase(views_, nullptr);
    }
    std::size_t Count() const {
        return static_cast<std::size_t>(std::count_if(views_.begin(), views_.end(),
                                                      [](const IView* v) { return v != nullptr; }));
    }

    // Calls `event` on every listener with the same arguments (never moved:
    // each listener sees them as they were).
    template <typename Base, typename... Params, typename... Args>
    void Notify(void (Base::*event)(Params...), const Args&... args) {
        static_assert(std::is_base_of_v<Base, IView>);
        ++depth_;
        // By index and up to the count at the start: the vector may grow meanwhile.
        const std::size_t n = views_.size();
        for (std::size_t i = 0; i < n; ++i)
            if (views_[i] != nullptr) (views_[i]->*event)(args...);
        if (--depth_ == 0) std::erase(views_, nullptr);
    }

    // Calls `fn(view)` on every listener, under the same rules as Notify.
    template <typename Fn>
    void ForEach(Fn&& fn) {
        ++depth_;
        const std::size_t n = views_.size();
        for (std::size_t i = 0; i < n; ++i)
            if (views_[i] != nullptr) fn(*views_[i]);
        if (--depth_ == 0) std::erase(views_, nullptr);
    }

  private:
    std::vector<IView*> views_;  // null where one was removed during delivery
    int depth_ = 0;              // deliveries under way
};

// The fan-outs of every area. A new area is one more entry in Areas.
class TBoardEvents {
  public:
    using Areas = std::tuple<TFanout<IIdentityView>, TFanout<IVariableView>, TFanout<IStatusView>,
                             TFanout<IBoardClockView>, TFanout<IProcedureView>,
                             TFanout<IMachineView>, TFanout<IMemoryView>, TFanout<ILinkView>>;

    template <typename IView>
    TFanout<IView>& Of() {
        return std::get<TFanout<IView>>(areas_);
    }

    // Adds `view` to every area it implements (once, however often called).
    template <typename T>
    void Subscribe(T& view) {
        std::apply([&](auto&... f) { (SubscribeTo(f, view), ...); }, areas_);
    }
    template <typename T>
    void Unsubscribe(T& view) {
        std::apply([&](auto&... f) { (UnsubscribeFrom(f, view), ...); }, areas_);
    }
    // Listeners in all areas together (one subscribed to three areas counts three).
    std::size_t Count() const {
        return std::apply([](const auto&... f) { return (f.Count() + ...); }, areas_);
    }

    // events.Notify(&IStatusView::OnIoStatus, words);
    template <typename IView, typename... Params, typename... Args>
    void Notify(void (IView::*event)(Params...), const Args&... args) {
        Of<IView>().Notify(event, args...);
    }

  private:
    template <typename IView, typename T>
    static void SubscribeTo(TFanout<IView>& f, T& view) {
        if constexpr (std::is_base_of_v<IView, T>) f.Add(static_cast<IView&>(view));
    }
    template <typename IView, typename T>
    static void UnsubscribeFrom(TFanout<IView>& f, T& view) {
        if constexpr (std::is_base_of_v<IView, T>) f.Remove(static_cast<IView&>(view));
    }

    Areas areas_;
};

}  // namespace orvan::commands
