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
    if (links.size() == 0)
        return true;
    // The links report to the first host; a name they changed reaches every
    // component from the clock, as "rename" would.
    host.setNameListener([&runner](device_model& device, int database, int index) {
        runner.nameChanged(device.number(), database, index, device.name(database, index).value_or(std::string()));
    });
    runner.setBetweenSteps([&links] { links.settle(); });
    return true;
}

void deliverReports(router_links& links, scenario_runner& runner)
{
    links.settle();
    // No virtual time passes: only what is due now is delivered.
    runner.passTime(0);
}
