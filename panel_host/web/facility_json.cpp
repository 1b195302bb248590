#include "web/facility_json.h"

#include <string>

#include "facility/router_model.h"
#include "facility/simulated_host.h"
#include "web/json_text.h"

namespace {

void writeNames(json::writer& out, const device_model& device)
{
    out.key("names").beginObject();
    for (int database = 0; database < nameDatabases; ++database) {
        if (device.namesIn(database) == 0)
            continue;
        out.key(std::to_string(database)).beginObject();
        forEachName(device, database,
                    [&out](int index, const std::string& name) { out.key(std::to_string(index)).value(name); });
        out.endObject();
    }
    out.endObject();
}

// The packages of one names database, as {"index", "name"} in index order.
void writePackageList(json::writer& out, const char* key, const device_model& device, int database)
{
    out.key(key).beginArray();
    constexpr int probeLimit = 100000;
    int count = device.namesIn(database);
    int found = 0;
    for (int index = 0; index < probeLimit && found < count && found < maxPackagesListed; ++index)
        if (auto name = device.name(database, index)) {
            out.beginObject().key("index").value(index).key("name").value(*name).endObject();
            ++found;
        }
    out.endArray();
}

void writeRouter(json::writer& out, const device_model& device)
{
    out.beginObject();
    out.key("device").value(device.number());
    out.key("name").value(device.name());
    out.key("online").value(device.online());
    out.key("sources").value(device.sources());
    out.key("destinations").value(device.destinations());
    out.key("crosspoints").beginArray();
    for (int destination = 1; destination <= device.destinations(); ++destination)
        out.value(device.crosspoint(destination).value_or(0));
    out.endArray();
    writeNames(out, device);
    out.endObject();
}

}  // namespace

// Names may sit past the device's size, so the indices are probed upwards
// from 0 until all that the device holds are found.
void forEachName(const device_model& device, int database,
                 const std::function<void(int index, const std::string& name)>& visit)
{
    int count = device.namesIn(database);
    int found = 0;
    for (int index = 0; index < nameProbeLimit && found < count; ++index)
        if (auto name = device.name(database, index)) {
            visit(index, *name);
            ++found;
        }
}

void writeFaults(json::writer& out, const facility_faults& faults, const router_model& routers)
{
    out.key("faults").beginObject();
    out.key("delay").value(faults.delay);
    out.key("drop").value(faults.dropPercent);
    out.key("duplicate").value(faults.duplicatePercent);
    out.key("offline").beginArray();
    for (const auto& entry : routers.devices())
        if (!entry.second.online())
            out.value(entry.first);
    out.endArray();
    out.endObject();
}

void writeRouters(json::writer& out, const router_model& routers)
{
    out.key("routers").beginArray();
    for (const auto& entry : routers.devices())
        if (entry.second.isRouter())
            writeRouter(out, entry.second);
    out.endArray();
}

void writeNamesDevices(json::writer& out, const router_model& routers)
{
    out.key("namesDevices").beginArray();
    for (const auto& entry : routers.devices()) {
        const device_model& device = entry.second;
        if (device.isRouter())
            continue;
        out.beginObject();
        out.key("device").value(device.number());
        out.key("name").value(device.name());
        out.key("online").value(device.online());
        writeNames(out, device);
        out.endObject();
    }
    out.endArray();
}

void writePackages(json::writer& out, const router_model& routers)
{
    out.key("packages").beginArray();
    for (const auto& entry : routers.devices()) {
        const device_model& device = entry.second;
        if (device.isRouter() || (device.namesIn(0) == 0 && device.namesIn(1) == 0))
            continue;
        out.beginObject();
        out.key("device").value(device.number());
        out.key("name").value(device.name());
        writePackageList(out, "sources", device, 0);
        writePackageList(out, "destinations", device, 1);
        out.endObject();
    }
    out.endArray();
}
