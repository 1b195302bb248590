#include "web/live_feed.h"

#include <algorithm>

#include "text/transcript.h"
#include "web/json_text.h"
#include "web/runner_adapter.h"

namespace web {

live_feed::live_feed(runner_adapter& adapter, transcript& out, std::string styles)
    : adapter_(adapter), out_(out), styles_(std::move(styles))
{
}

void live_feed::start(plain_text_sink& page)
{
    page_ = &page;
    out_.flush();
    history_ = page.take();
    publish(true);
}

void live_feed::join(const std::shared_ptr<live_page>& page)
{
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [](const auto& weak) { return weak.expired(); }),
                 pages_.end());
    pages_.push_back(page);
    json::writer hello;
    hello.beginObject()
        .key("type")
        .value("transcript")
        .key("reset")
        .value(true)
        .key("text")
        .value(history_)
        .endObject();
    page->send(std::make_shared<const std::string>(hello.take()));
    page->send(std::make_shared<const std::string>(stateMessage()));
}

std::string live_feed::publish(bool stateChanged)
{
    if (page_ == nullptr)
        return {};
    out_.flush();
    std::string text = page_->take();
    if (!text.empty()) {
        keep(text);
        json::writer out;
        out.beginObject().key("type").value("transcript").key("text").value(text).endObject();
        broadcast(out.take());
    }
    if (stateChanged || !text.empty())
        broadcast(stateMessage());
    return text;
}

void live_feed::publishClock() { broadcast(clockMessage()); }

void live_feed::keep(const std::string& text)
{
    history_ += text;
    if (history_.size() > historyBytes) {
        std::size_t cut = history_.find('\n', history_.size() - historyBytes);
        history_.erase(0, cut == std::string::npos ? history_.size() - historyBytes : cut + 1);
    }
}

std::string live_feed::stateJson() const { return adapter_.stateJson(styles_); }

std::string live_feed::stateMessage() const { return "{\"type\":\"state\",\"state\":" + stateJson() + "}"; }

std::string live_feed::clockMessage() const
{
    json::writer out;
    out.beginObject().key("type").value("clock").key("now").value(adapter_.now());
    out.key("running").value(adapter_.clockSettings().running).key("speed").value(adapter_.clockSettings().speed);
    out.endObject();
    return out.take();
}

void live_feed::broadcast(const std::string& message)
{
    auto shared = std::make_shared<const std::string>(message);
    for (const auto& weak : pages_)
        if (auto page = weak.lock())
            page->send(shared);
}

}  // namespace web
