#include "web/route_table.h"

namespace web {

namespace {

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

route_table::route_table(std::function<bool()> panelBusy) : panelBusy_(std::move(panelBusy))
{
    // Every path has an area, whatever the table is given.
    areas_.push_back({"", false, "not found: "});
}

void route_table::area(std::string prefix, bool json, std::string notFound)
{
    for (auto& rule : areas_)
        if (rule.prefix == prefix) {
            rule = {std::move(prefix), json, std::move(notFound)};
            return;
        }
    areas_.push_back({std::move(prefix), json, std::move(notFound)});
}

void route_table::add(route entry) { routes_.push_back(std::move(entry)); }

std::string route_table::pathOf(const request& req)
{
    std::string target(req.target());
    return target.substr(0, target.find('?'));
}

const route_table::area_rule& route_table::areaOf(const std::string& path) const
{
    const area_rule* found = &areas_.front();
    for (const auto& rule : areas_)
        if (startsWith(path, rule.prefix) && rule.prefix.size() >= found->prefix.size())
            found = &rule;
    return *found;
}

// The routes of the path's area that match it best: those of its exact path,
// else those of the longest prefix. Several when one path takes several methods.
std::vector<const route*> route_table::routesAt(const std::string& path) const
{
    const area_rule& area = areaOf(path);
    std::vector<const route*> best;
    std::size_t bestScore = 0;
    for (const auto& entry : routes_) {
        bool matches = entry.prefix ? startsWith(path, entry.path) : path == entry.path;
        if (!matches || &areaOf(entry.path) != &area)
            continue;
        // An exact path outranks every prefix, however long.
        std::size_t score = entry.prefix ? entry.path.size() + 1 : std::string::npos;
        if (best.empty() || score > bestScore) {
            best.assign(1, &entry);
            bestScore = score;
        } else if (score == bestScore) {
            best.push_back(&entry);
        }
    }
    return best;
}

reply route_table::answer(const request& req) const
{
    std::string path = pathOf(req);
    const area_rule& area = areaOf(path);
    std::vector<const route*> candidates = routesAt(path);
    if (candidates.empty())
        return error(req, area, http::status::not_found, area.notFound + path);
    const route* chosen = nullptr;
    for (const route* entry : candidates)
        if (entry->method == req.method())
            chosen = entry;
    if (chosen == nullptr)
        return error(req, area, http::status::method_not_allowed, candidates.front()->usage);
    if (chosen->entersPanel && panelBusy_())
        return error(req, area, http::status::service_unavailable,
                     "the panel is busy with an event (waiting for a router); try again");
    if (std::optional<reply> res = chosen->handle(req, path))
        return std::move(*res);
    return error(req, area, http::status::not_found, area.notFound + path);
}

response route_table::refuse(const request& req, http::status status, const std::string& message) const
{
    return error(req, areaOf(pathOf(req)), status, message);
}

response route_table::error(const request& req, const area_rule& area, http::status status,
                            const std::string& message) const
{
    return area.json ? jsonError(req, status, message) : plainError(req, status, message);
}

}  // namespace web
