// live_feed: what the browser view pushes to its open pages. Each page gets,
// as it joins, the transcript kept so far and the whole state; after that,
// every piece of transcript as it is printed, what changed in the state
// (a delta) after anything that may have changed it, and the clock now and
// then. Which pages are open, and what each is sent, is decided here; how
// a message reaches a page is its connection's business (live_page).
//
// Bounded in bytes throughout: the transcript kept for pages that join
// later (historyBytes), what a flood prints (page_transcript, and at most
// transcriptBytesPerSecond to the pages), what waits for one page
// (page_queue). The whole state is built only for a page that joins or
// asks, and for GET /api/state, and shared by all of them until it
// changes; changes are looked for when something happened, and then at
// most once in `spacing` (which grows with what a look costs), and once a
// second whatever happened, for the changes a router made unseen.
//
// No Beast here: a page is anything that takes messages, so the feed is
// tested without sockets.
//
// Thread: the event loop's.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "web/page_queue.h"
#include "web/state_tracker.h"

class runner_adapter;
class transcript;

namespace web {

class page_transcript;

// One open page as the feed sees it.
class live_page {
public:
    virtual ~live_page() = default;
    // Queues one message (JSON text, in pieces) for the page. A connection
    // that cannot keep up drops its page itself; the feed goes on with the
    // others.
    virtual void send(const live_message& message) = 0;
};

class live_feed {
public:
    using clock = std::chrono::steady_clock;
    // Transcript kept for pages that open later; older whole lines go first.
    static constexpr std::size_t historyBytes = std::size_t{256} * 1024;
    // What a flood of the transcript may send to the pages.
    static constexpr std::size_t transcriptBytesPerSecond = std::size_t{256} * 1024;
    // Looks for changes are at least this far apart, and take at most a
    // twentieth of the time.
    static constexpr std::chrono::milliseconds minSpacing{50};
    static constexpr std::chrono::milliseconds maxSpacing{1000};

    // `styles`: the installation's state-sheet styles as JSON, part of
    // every state.
    live_feed(runner_adapter& adapter, transcript& out, std::string styles);

    // Feeds pages from `page`, the transcript's copy for them; what it holds
    // already is the start of the history. Until then, and after stop(),
    // nothing is printed to pages.
    void start(page_transcript& page);
    void stop() { page_ = nullptr; }

    // A page that opened: it gets the history and the whole state, then all
    // that the others get.
    void join(const std::shared_ptr<live_page>& page);
    // A page said something: "state" asks for the whole state again.
    void heard(const std::shared_ptr<live_page>& page, const std::string& message);

    // Sends what was printed since the last call to every page and, when
    // anything happened (and a look is due), what changed in the state.
    // Returns the text printed.
    std::string publish(bool stateChanged);
    // Sends the clock to every page.
    void publishClock();

    // The whole state as it is now: what GET /api/state answers.
    std::shared_ptr<const std::string> stateJson();
    // {"type": "clock", ...}: the clock message, also the answer to a clock request.
    std::string clockMessage() const;
    // Counts the states: each delta goes from one to the next.
    std::uint64_t version() const { return version_; }

private:
    void look(clock::time_point now);
    std::shared_ptr<const std::string> current(bool fresh);
    live_message wholeMessage();
    std::string rationed(std::string text, clock::time_point now);
    void keep(const std::string& text);
    void broadcast(const live_message& message);

    runner_adapter& adapter_;
    transcript& out_;
    state_tracker tracker_;
    page_transcript* page_ = nullptr;
    std::string history_;
    // Pages that have closed are let go at the next join; a page's own
    // connection ends it, so this holds no more than the connections do.
    std::vector<std::weak_ptr<live_page>> pages_;
    std::uint64_t version_ = 0;
    // The whole state at version_, built in the same turn as the last look
    // (so it is what the next delta starts from), or none.
    std::shared_ptr<const std::string> whole_;
    bool dirty_ = false;  // something happened since the last look
    clock::time_point lastLook_;
    clock::duration spacing_ = minSpacing;
    double allowance_ = transcriptBytesPerSecond;  // transcript bytes the pages may get now
    clock::time_point lastRation_;
};

}  // namespace web
