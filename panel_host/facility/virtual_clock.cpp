#include "facility/virtual_clock.h"

void virtual_clock::startTimer(int id, int interval, int owner)
{
    if (interval <= 0) {
        stopTimer(id, owner);
        return;
    }
    timers_[{owner, id}] = timer{now_ + interval, order_++};
    intervals_[{owner, id}] = interval;
}

bool virtual_clock::stopTimer(int id, int owner)
{
    intervals_.erase({owner, id});
    return timers_.erase({owner, id}) != 0;
}

std::optional<int> virtual_clock::timerInterval(int id, int owner) const
{
    auto found = intervals_.find({owner, id});
    if (found == intervals_.end())
        return std::nullopt;
    return static_cast<int>(found->second);
}

std::map<int, std::int64_t> virtual_clock::timerIntervals(int owner) const
{
    std::map<int, std::int64_t> running;
    for (const auto& entry : intervals_)
        if (entry.first.first == owner)
            running.emplace(entry.first.second, entry.second);
    return running;
}

void virtual_clock::dropPendingFor(int owner)
{
    for (auto it = items_.begin(); it != items_.end();)
        if (it->second.what == clock_item::kind::revertive && it->second.owner == owner) {
            merged_.erase(it->second.merge);
            it = items_.erase(it);
        } else {
            ++it;
        }
}

virtual_clock::item_map::iterator virtual_clock::insert(clock_item item)
{
    auto key = std::make_pair(item.due, item.order);
    return items_.emplace(key, std::move(item));
}

clock_item virtual_clock::revertiveItem(std::int64_t delay, int device, int destination, int source, int owner)
{
    clock_item item;
    item.what = clock_item::kind::revertive;
    item.due = now_ + (delay < 0 ? 0 : delay);
    item.order = order_++;
    item.device = device;
    item.destination = destination;
    item.source = source;
    item.owner = owner;
    return item;
}

void virtual_clock::scheduleRevertive(std::int64_t delay, int device, int destination, int source, int owner)
{
    insert(revertiveItem(delay, device, destination, source, owner));
}

void virtual_clock::scheduleLatestRevertive(std::int64_t delay, int device, int destination, int source, int owner)
{
    clock_merge_key key{1, owner, device, destination, 0};
    auto waiting = merged_.find(key);
    if (waiting != merged_.end()) {
        waiting->second->second.source = source;
        return;
    }
    clock_item item = revertiveItem(delay, device, destination, source, owner);
    item.merge = key;
    merged_.emplace(key, insert(std::move(item)));
}

void virtual_clock::scheduleActionOnce(int device, int a, int b, std::int64_t delay, std::function<void()> action)
{
    clock_merge_key key{2, 0, device, a, b};
    if (merged_.count(key) != 0)
        return;
    clock_item item;
    item.what = clock_item::kind::action;
    item.due = now_ + (delay < 0 ? 0 : delay);
    item.order = order_++;
    item.action = std::move(action);
    item.merge = key;
    merged_.emplace(key, insert(std::move(item)));
}

void virtual_clock::scheduleAction(std::int64_t delay, std::function<void()> action)
{
    clock_item item;
    item.what = clock_item::kind::action;
    item.due = now_ + (delay < 0 ? 0 : delay);
    item.order = order_++;
    item.action = std::move(action);
    insert(std::move(item));
}

std::optional<clock_item> virtual_clock::next(std::int64_t limit)
{
    // The earliest timer.
    auto earliestTimer = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (earliestTimer == timers_.end() || it->second.next < earliestTimer->second.next ||
            (it->second.next == earliestTimer->second.next && it->second.order < earliestTimer->second.order))
            earliestTimer = it;
    auto earliestItem = items_.begin();

    bool timerFirst = false;
    if (earliestTimer != timers_.end()) {
        const timer& t = earliestTimer->second;
        timerFirst = earliestItem == items_.end() || t.next < earliestItem->first.first ||
                     (t.next == earliestItem->first.first && t.order < earliestItem->first.second);
    }
    if (timerFirst) {
        timer& t = earliestTimer->second;
        if (t.next > limit)
            return std::nullopt;
        clock_item item;
        item.what = clock_item::kind::timer;
        item.due = t.next;
        item.order = t.order;
        item.owner = earliestTimer->first.first;
        item.timerId = earliestTimer->first.second;
        now_ = t.next;
        t.next += intervals_[earliestTimer->first];
        t.order = order_++;
        return item;
    }
    if (earliestItem == items_.end() || earliestItem->first.first > limit)
        return std::nullopt;
    clock_item item = earliestItem->second;
    if (item.merge.kind != 0)
        merged_.erase(item.merge);
    items_.erase(earliestItem);
    if (item.due > now_)
        now_ = item.due;
    return item;
}

void virtual_clock::advanceTo(std::int64_t to)
{
    if (to > now_)
        now_ = to;
}
