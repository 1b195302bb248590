#include "routers/doubles/double_commands.h"

#include <map>
#include <sstream>
#include <vector>

#include "routers/doubles/swp08_double.h"
#include "routers/doubles/videohub_double.h"

namespace {

using words = std::vector<std::string>;
using command = std::string (*)(router_double&, const words&);

bool number(const std::string& word, long& value, long low = 0, long high = 100000000)
{
    if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stol(word);
    return value >= low && value <= high;
}

// The numbers of words[1..count], or an error.
std::string numbers(const words& line, std::size_t count, long* out)
{
    if (line.size() < count + 1)
        return line[0] + ": needs " + std::to_string(count) + (count == 1 ? " number" : " numbers");
    for (std::size_t i = 0; i < count; ++i)
        if (!number(line[i + 1], out[i]))
            return line[0] + ": \"" + line[i + 1] + "\" is not a number";
    return std::string();
}

bool onOff(const words& line, bool& on)
{
    on = line.size() > 1 && line[1] == "on";
    return line.size() > 1 && (line[1] == "on" || line[1] == "off");
}

swp08_double* swp(router_double& router) { return dynamic_cast<swp08_double*>(&router); }
videohub_double* hub(router_double& router) { return dynamic_cast<videohub_double*>(&router); }

std::string route(router_double& router, const words& line)
{
    long n[2] = {};
    std::string error = numbers(line, 2, n);
    if (error.empty())
        (line[0] == "route" ? router.routeByOther(int(n[0]), int(n[1])) : router.setRouteQuietly(int(n[0]), int(n[1])));
    return error;
}

std::string tally(router_double& router, const words& line)
{
    long n[1] = {};
    std::string error = numbers(line, 1, n);
    if (!error.empty())
        return error;
    if (swp(router) == nullptr)
        return "tally: SW-P-08 only";
    swp(router)->sendTally(int(n[0]));
    return std::string();
}

std::string restart(router_double& router, const words& line)
{
    long shift = 0, down = 500;
    if (line.size() < 2 || !number(line[1], shift) || (line.size() > 2 && !number(line[2], down)))
        return "restart: SHIFT [MS]";
    const double_state& now = router.state();
    std::vector<int> routes(now.routes);
    for (auto& input : routes)
        input = now.inputs > 0 ? int((input + shift) % now.inputs) : 0;
    router.restart(routes, std::chrono::milliseconds(down));
    return std::string();
}

std::string switches(router_double& router, const words& line)
{
    bool on = false;
    if (!onOff(line, on))
        return line[0] + ": on or off";
    (line[0] == "refuse" ? router.refuse(on) : router.silence(on));
    return std::string();
}

std::string counted(router_double& router, const words& line)
{
    long n[1] = {};
    std::string error = numbers(line, 1, n);
    if (!error.empty())
        return error;
    auto count = static_cast<std::size_t>(n[0]);
    if (line[0] == "late")
        router.startLate(std::chrono::milliseconds(n[0]));
    else if (line[0] == "slow")
        router.readSlowly(count);
    else if (line[0] == "junk")
        router.floodJunk(count);
    else if (line[0] == "flood")
        router.floodReports(count);
    else if (line[0] == "nak" && swp(router) != nullptr)
        swp(router)->nakNext(int(n[0]));
    else if (line[0] == "flood-labels" && hub(router) != nullptr)
        hub(router)->floodLabels(count);
    else if (line[0] == "lock" && hub(router) != nullptr)
        hub(router)->lockByOther(int(n[0]));
    else
        return line[0] + ": not for this protocol";
    return std::string();
}

std::string plain(router_double& router, const words& line)
{
    if (line[0] == "dump")
        router.sendDump();
    else if (line[0] == "drop")
        router.dropClients();
    else if (line[0] == "out-of-range")
        router.sendOutOfRange();
    else if (line[0] == "corrupt" && swp(router) != nullptr)
        swp(router)->corruptNext();
    else if (line[0] == "state") {
        std::string routes = "routes";
        for (int input : router.state().routes)
            routes += " " + std::to_string(input);
        return routes;
    } else
        return line[0] + ": not for this protocol";
    return std::string();
}

std::string dumpAnswer(router_double& router, const words& line)
{
    static const std::map<std::string, swp08_double::dump_answer> ways = {
        {"dump", swp08_double::dump_answer::dump},
        {"tallies", swp08_double::dump_answer::tallies},
        {"none", swp08_double::dump_answer::none}};
    if (swp(router) == nullptr)
        return "dump-answer: SW-P-08 only";
    auto found = line.size() > 1 ? ways.find(line[1]) : ways.end();
    if (found == ways.end())
        return "dump-answer: dump, tallies or none";
    swp(router)->answerDumps(found->second);
    return std::string();
}

std::string relabel(router_double& router, const words& line)
{
    long n[2] = {};
    std::string error = numbers(line, 2, n);
    if (!error.empty())
        return error;
    if (hub(router) == nullptr)
        return "relabel: Videohub only";
    std::string text;
    for (std::size_t i = 3; i < line.size(); ++i)
        text += (i > 3 ? " " : "") + line[i];
    hub(router)->relabel(int(n[0]), int(n[1]), text);
    return std::string();
}

}  // namespace

std::string runDoubleCommand(router_double& router, const std::string& text)
{
    static const std::map<std::string, command> commands = {
        {"route", route},        {"set", route},       {"tally", tally},   {"dump", plain},
        {"restart", restart},    {"late", counted},    {"drop", plain},    {"refuse", switches},
        {"silence", switches},   {"nak", counted},     {"corrupt", plain}, {"dump-answer", dumpAnswer},
        {"slow", counted},       {"junk", counted},    {"flood", counted}, {"flood-labels", counted},
        {"out-of-range", plain}, {"relabel", relabel}, {"lock", counted},  {"state", plain}};
    std::istringstream in(text);
    words line;
    for (std::string word; in >> word;)
        line.push_back(word);
    if (line.empty())
        return std::string();
    auto found = commands.find(line[0]);
    if (found == commands.end())
        return "unknown command \"" + line[0].substr(0, 40) + "\"";
    return found->second(router, line);
}
