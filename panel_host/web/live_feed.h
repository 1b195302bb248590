// live_feed: what the browser view pushes to its open pages. Each page gets,
// as it joins, the transcript kept so far and the whole state; after that,
// every piece of transcript as it is printed, the state after anything that
// changed it, and the clock now and then. Which pages are open, and what
// each is sent, is decided here; how a message reaches a page is its
// connection's business (live_page).
//
// No Beast here: a page is anything that takes messages, so the feed is
// tested without sockets.
//
// Thread: the event loop's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class plain_text_sink;
class runner_adapter;
class transcript;

namespace web {

// One open page as the feed sees it.
class live_page {
public:
    virtual ~live_page() = default;
    // Queues one message (JSON text) for the page. A connection that cannot
    // keep up drops its page itself; the feed goes on with the others.
    virtual void send(std::shared_ptr<const std::string> message) = 0;
};

class live_feed {
public:
    // Transcript kept for pages that open later; older whole lines go first.
    static constexpr std::size_t historyBytes = std::size_t{256} * 1024;

    // `styles`: the installation's state-sheet styles as JSON, part of
    // every state.
    live_feed(runner_adapter& adapter, transcript& out, std::string styles);

    // Feeds pages from `page`, the transcript's copy for them; what it holds
    // already is the start of the history. Until then, and after stop(),
    // nothing is printed to pages.
    void start(plain_text_sink& page);
    void stop() { page_ = nullptr; }

    // A page that opened: it gets the history and the state, then all that
    // the others get.
    void join(const std::shared_ptr<live_page>& page);

    // Sends what was printed since the last call and, when anything
    // happened, the state to every page; returns the text sent.
    std::string publish(bool stateChanged);
    // Sends the clock to every page.
    void publishClock();

    // {"components": ..., "routers": ..., ...}: what GET /api/state answers.
    std::string stateJson() const;
    // {"type": "clock", ...}: the clock message, also the answer to a clock request.
    std::string clockMessage() const;

private:
    std::string stateMessage() const;
    void keep(const std::string& text);
    void broadcast(const std::string& message);

    runner_adapter& adapter_;
    transcript& out_;
    std::string styles_;
    plain_text_sink* page_ = nullptr;
    std::string history_;
    // Pages that have closed are let go at the next join; a page's own
    // connection ends it, so this holds no more than the connections do.
    std::vector<std::weak_ptr<live_page>> pages_;
};

}  // namespace web
