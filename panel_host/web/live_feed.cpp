#include "web/live_feed.h"

#include <algorithm>

#include "text/transcript.h"
#include "web/json_text.h"
#include "web/page_transcript.h"
#include "web/runner_adapter.h"

namespace web {

namespace {

// Changes a router makes unseen (no step, nothing printed) reach the pages
// within this; GET /api/state looks again when its state is older.
constexpr std::chrono::milliseconds lookEvery{1000};
constexpr std::chrono::milliseconds freshFor{250};

live_message single(std::string text) { return {std::make_shared<const std::string>(std::move(text))}; }

}  // namespace

live_feed::live_feed(runner_adapter& adapter, transcript& out, std::string styles)
    : adapter_(adapter), out_(out), tracker_(adapter, std::move(styles))
{
}

void live_feed::start(page_transcript& page)
{
    page_ = &page;
    out_.flush();
    history_.clear();
    keep(page.take());
    lastRation_ = clock::now();
    look(lastRation_);
}

void live_feed::join(const std::shared_ptr<live_page>& page)
{
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [](const auto& weak) { return weak.expired(); }),
                 pages_.end());
    // What changed before it joined goes to the others first: the page
    // starts from the state that the next delta starts from.
    current(false);
    pages_.push_back(page);
    json::writer hello;
    hello.beginObject().key("type").value("transcript").key("reset").value(true);
    hello.key("text").value(history_).endObject();
    page->send(single(hello.take()));
    page->send(wholeMessage());
}

void live_feed::heard(const std::shared_ptr<live_page>& page, const std::string& message)
{
    if (message != "state")
        return;
    current(false);
    page->send(wholeMessage());
}

std::string live_feed::publish(bool stateChanged)
{
    if (page_ == nullptr)
        return {};
    out_.flush();
    std::string text = page_->take();
    auto now = clock::now();
    if (!text.empty()) {
        std::string sent = rationed(text, now);
        keep(sent);
        json::writer out;
        out.beginObject().key("type").value("transcript").key("text").value(sent).endObject();
        broadcast(single(out.take()));
    }
    dirty_ = dirty_ || stateChanged || !text.empty();
    auto since = now - lastLook_;
    if ((dirty_ && since >= spacing_) || since >= std::max<clock::duration>(lookEvery, spacing_))
        look(now);
    return text;
}

void live_feed::publishClock() { broadcast(single(clockMessage())); }

std::shared_ptr<const std::string> live_feed::stateJson() { return current(true); }

// The whole state at the version the pages are at; `fresh`: looked at
// within freshFor, for a request that reads it rather than follows it.
std::shared_ptr<const std::string> live_feed::current(bool fresh)
{
    auto now = clock::now();
    if (dirty_ || !whole_ || (fresh && now - lastLook_ > freshFor))
        look(now);
    if (!whole_)
        whole_ = std::make_shared<const std::string>(tracker_.whole());
    return whole_;
}

// Looks for what changed and sends it: a delta, or the whole state when
// its shape changed. A look that takes long spaces the next ones out.
void live_feed::look(clock::time_point now)
{
    dirty_ = false;
    state_tracker::change change = tracker_.look();
    auto took = clock::now() - now;
    lastLook_ = now;
    spacing_ = std::clamp<clock::duration>(took * 20, minSpacing, maxSpacing);
    if (!change.any)
        return;
    ++version_;
    whole_.reset();
    if (change.reshaped) {
        whole_ = std::make_shared<const std::string>(tracker_.whole());
        broadcast(wholeMessage());
        return;
    }
    broadcast(
        single("{\"type\":\"delta\",\"version\":" + std::to_string(version_) + ",\"delta\":" + change.delta + "}"));
}

live_message live_feed::wholeMessage()
{
    auto state = current(false);
    return {std::make_shared<const std::string>("{\"type\":\"state\",\"version\":" + std::to_string(version_) +
                                                ",\"state\":"),
            state, std::make_shared<const std::string>("}")};
}

// What the pages may get of a flood: transcriptBytesPerSecond, whole lines,
// and a line saying how much was left out.
std::string live_feed::rationed(std::string text, clock::time_point now)
{
    double refill = std::chrono::duration<double>(now - lastRation_).count() * transcriptBytesPerSecond;
    lastRation_ = now;
    allowance_ = std::min<double>(allowance_ + refill, transcriptBytesPerSecond);
    std::size_t cut = cutToLines(text, static_cast<std::size_t>(allowance_));
    if (cut > 0)
        text += leftOutLine(cut);
    allowance_ = std::max(0.0, allowance_ - static_cast<double>(text.size()));
    return text;
}

void live_feed::keep(const std::string& text)
{
    history_ += text;
    if (history_.size() > historyBytes) {
        std::size_t cut = history_.find('\n', history_.size() - historyBytes);
        history_.erase(0, cut == std::string::npos ? history_.size() - historyBytes : cut + 1);
    }
}

std::string live_feed::clockMessage() const
{
    json::writer out;
    out.beginObject().key("type").value("clock").key("now").value(adapter_.now());
    out.key("running").value(adapter_.clockSettings().running).key("speed").value(adapter_.clockSettings().speed);
    out.endObject();
    return out.take();
}

void live_feed::broadcast(const live_message& message)
{
    for (const auto& weak : pages_)
        if (auto page = weak.lock())
            page->send(message);
}

}  // namespace web
