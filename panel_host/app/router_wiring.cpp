#include "app/router_wiring.h"

#include <memory>
#include <utility>

#include "facility/simulated_host.h"
#include "scenario/scenario_runner.h"

bool wireRouterLinks(router_links& links, router_model& routers, scenario_runner& runner,
                     const std::vector<std::string>& overrides, std::string& error)
{
    simulated_host& host = runner.host();
    auto keep = [&host](int device, std::unique_ptr<router_link> link) { host.setLink(device, std::move(link)); };
    if (!links.setUp(routers, host, keep, overrides, error))
        return false;
    if (links.size() > 0)
        runner.setBetweenSteps([&links, &runner] { handOverNames(links, runner); });
    return true;
}

void handOverNames(router_links& links, scenario_runner& runner)
{
    for (const auto& change : links.settle())
        runner.nameChanged(change.device, change.database, change.index, change.name);
}

void deliverReports(router_links& links, scenario_runner& runner)
{
    handOverNames(links, runner);
    // No virtual time passes: only what is due now is delivered.
    runner.passTime(0);
}
