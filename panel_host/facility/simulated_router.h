// simulated_router: the router played from its device file: a route is
// made at once and reported at once, a poll answered from the crosspoints.
#pragma once

#include "facility/router_link.h"
#include "facility/router_model.h"

class simulated_router final : public router_link {
public:
    simulated_router(device_model& device, router_reports& reports) : device_(device), reports_(reports) {}

    std::string describe() const override { return "simulated"; }
    std::string connect(int source, int destination) override
    {
        auto result = device_.route(source, destination);
        if (result != device_model::route_result::routed)
            return describe(result);
        reports_.reportChange(device_, destination);
        return std::string();
    }
    void poll(int first, int last, router_reports& answerTo) override
    {
        if (first < 1)
            first = 1;
        if (last > device_.destinations())
            last = device_.destinations();
        for (int destination = first; destination <= last; ++destination)
            answerTo.reportPolled(device_, destination);
    }

private:
    static std::string describe(device_model::route_result result) { return ::describe(result); }
    device_model& device_;
    router_reports& reports_;
};
