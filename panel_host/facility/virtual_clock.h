// virtual_clock: the simulator's time, in milliseconds from the start of a
// run, and everything due on it: the host timers a component started with
// "ET", revertives on their way from a router, and facility actions a
// scenario scheduled ("after").
//
// Time passes only when the runner advances it; due items come out one at
// a time in order of due time, items due at the same moment in the order
// they were scheduled, timers before others at the same moment when the
// timer was due first.
//
// A real router's reports are merged: a revertive scheduled for an owner,
// device and destination that already has one on its way replaces that
// one's source, and an action scheduled "once" for a key that is already
// waiting is not queued again. So a router that reports one destination a
// million times before the clock moves costs one entry, and what arrives
// is the last report, which is the router's state.
//
// Several components may share one clock: each has an owner number, and its
// timers and the revertives on their way to it carry that number. Timer 1
// of owner 0 and timer 1 of owner 2 are different timers. Owner 0 is the
// default, so a single component never names one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

// Names a merged item (kind 0: not merged).
struct clock_merge_key {
    int kind = 0;
    int owner = 0, device = 0, a = 0, b = 0;
    bool operator<(const clock_merge_key& other) const
    {
        return std::tie(kind, owner, device, a, b) < std::tie(other.kind, other.owner, other.device, other.a, other.b);
    }
};

struct clock_item {
    enum class kind { revertive, timer, action };
    kind what = kind::revertive;
    std::int64_t due = 0;
    std::uint64_t order = 0;
    // revertive
    int device = 0, destination = 0, source = 0;
    // timer
    int timerId = 0;
    // revertive and timer: the component it is for
    int owner = 0;
    // action: what the facility does then (a scenario's "after" line)
    std::function<void()> action;
    clock_merge_key merge;  // merged items only
};

class virtual_clock {
public:
    std::int64_t now() const { return now_; }

    // "ET id interval": (re)starts a periodic timer, first tick one interval
    // from now. An interval of 0 or less stops it.
    void startTimer(int id, int interval, int owner = 0);
    // False when it was not running.
    bool stopTimer(int id, int owner = 0);
    bool timerRunning(int id, int owner = 0) const { return timers_.count({owner, id}) != 0; }
    std::optional<int> timerInterval(int id, int owner = 0) const;
    // The running timers of one owner, id -> interval, in order of id.
    std::map<int, std::int64_t> timerIntervals(int owner = 0) const;

    void scheduleRevertive(std::int64_t delay, int device, int destination, int source, int owner = 0);
    void scheduleAction(std::int64_t delay, std::function<void()> action);
    // The same, merged (see above): a revertive still on its way to `owner`
    // for this device and destination takes `source` instead.
    void scheduleLatestRevertive(std::int64_t delay, int device, int destination, int source, int owner = 0);
    // An action for (device, a, b) that is queued only when none for them is
    // waiting; it reads what it delivers when it runs.
    void scheduleActionOnce(int device, int a, int b, std::int64_t delay, std::function<void()> action);

    // The earliest item due at or before `limit`, with the clock moved to
    // its due time; nullopt when none is (the clock stays). A timer comes
    // out with its next tick already scheduled.
    std::optional<clock_item> next(std::int64_t limit);
    // Moves the clock forward to `to` (never back).
    void advanceTo(std::int64_t to);
    // Revertives still on their way.
    std::size_t pending() const { return items_.size(); }
    // Forgets revertives and actions (not timers), e.g. when the component
    // goes away.
    void dropPending()
    {
        items_.clear();
        merged_.clear();
    }
    // Forgets the revertives on their way to one owner only.
    void dropPendingFor(int owner);

private:
    clock_item revertiveItem(std::int64_t delay, int device, int destination, int source, int owner);
    struct timer {
        std::int64_t next;
        std::uint64_t order;
    };
    std::int64_t now_ = 0;
    std::uint64_t order_ = 0;
    // Keyed by (owner, id).
    std::map<std::pair<int, int>, timer> timers_;
    std::map<std::pair<int, int>, std::int64_t> intervals_;
    using item_map = std::multimap<std::pair<std::int64_t, std::uint64_t>, clock_item>;
    item_map items_;
    std::map<clock_merge_key, item_map::iterator> merged_;  // the merged items waiting
    item_map::iterator insert(clock_item item);
};
