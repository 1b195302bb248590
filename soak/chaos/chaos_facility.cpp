#include "chaos_facility.h"

#include <chrono>
#include <cstdio>
#include <set>

#include "temp_installation.h"

using namespace std::chrono_literals;

// ---------------------------------------------------------------- tally_reader

void tally_reader::write(std::string_view text)
{
    for (char c : text) {
        if (c != '\n') {
            // A line longer than any the host prints is cut, never kept whole.
            if (partial_.size() < longestLine)
                partial_ += c;
            continue;
        }
        line(partial_);
        partial_.clear();
    }
}

void tally_reader::line(const std::string& text)
{
    ++linesRead_;
    if (recent_.size() >= keptLines)
        recent_.pop_front();
    recent_.push_back(text);
    const std::string mark = "<- revertive device ";
    std::size_t at = text.find(mark);
    if (at == std::string::npos)
        return;
    std::string rest = text.substr(at + mark.size());
    int device = 0, destination = 0, source = 0;
    char name[64] = {0};
    std::string component = first_;
    if (std::sscanf(rest.c_str(), "%d to %63[^:]: destination %d carries source %d", &device, name, &destination,
                    &source) == 4) {
        component = name;
    } else if (std::sscanf(rest.c_str(), "%d: destination %d carries source %d", &device, &destination, &source) != 3) {
        return;
    }
    handed_[component][{device, destination}] = source;
}

std::string tally_reader::recent() const
{
    std::string text;
    for (const std::string& line : recent_)
        text += line + '\n';
    return text;
}

// ---------------------------------------------------------------- chaos_facility

namespace {

link_timing chaosTiming()
{
    // Short waits, so that a silent router costs a round little, and quick
    // retries, so that a dropped link is back within the quiet period.
    link_timing timing;
    timing.ack = 500ms;
    timing.reply = 500ms;
    timing.firstRetry = 50ms;
    timing.longestRetry = 200ms;
    timing.connect = 1000ms;
    return timing;
}

}  // namespace

chaos_facility::chaos_facility(chaos_paths paths)
    : paths_(std::move(paths)),
      file_(paths_.transcriptFile.empty() ? std::string() : paths_.transcriptFile, std::ios::trunc),
      out_(paths_.transcriptFile.empty() ? nowhere_ : file_, transcript_style{2, false, false, false})
{
    out_.addSink(reader_);
}

chaos_facility::~chaos_facility()
{
    // Everything on the loop goes before the loop; the links before the
    // runner whose hosts hold them.
    links_.reset();
    runner_.reset();
    doubles_.clear();
    out_.removeSink(reader_);
    unsetEnvironmentVariable("QV_ROOT");
    unsetEnvironmentVariable("QV_SYSTEM");
}

const std::vector<int>& chaos_facility::devices()
{
    static const std::vector<int> numbers = {31, 32, 33};
    return numbers;
}

const std::vector<std::string>& chaos_facility::componentNames()
{
    static const std::vector<std::string> names = {"A", "B", "C"};
    return names;
}

std::string chaos_facility::protocolOf(int device) { return device == 32 ? "videohub" : "swp08"; }

bool chaos_facility::start(std::string& error)
{
    setEnvironmentVariable("QV_ROOT", paths_.installation);
    setEnvironmentVariable("QV_SYSTEM", "SYS");
    const std::string systemDir = paths_.installation + "/SYS/config/system";
    if (!routers_.load(systemDir, error))
        return false;
    std::vector<std::string> overrides;
    for (int number : devices()) {
        double_state state;
        if (!double_state::fromDeviceFile(systemDir + "/dev_0" + std::to_string(number) + ".ini", 1, state, error))
            return false;
        std::unique_ptr<router_double> router;
        if (protocolOf(number) == "videohub")
            router = std::make_unique<videohub_double>(loop_.context(), state);
        else
            router = std::make_unique<swp08_double>(loop_.context(), state);
        if (!router->listen(0, error))
            return false;
        overrides.push_back(std::to_string(number) + "=" + protocolOf(number) +
                            ":127.0.0.1:" + std::to_string(router->port()));
        doubles_[number] = std::move(router);
    }
    runner_settings settings;
    settings.modulePath = paths_.modulePath;
    settings.layoutDir = paths_.layoutDir;
    runner_ = std::make_unique<scenario_runner>(settings, routers_, out_);
    if (!runner_->openModule(error))
        return false;
    links_ = std::make_unique<router_links>(loop_, chaosTiming());
    if (!wireRouterLinks(*links_, routers_, *runner_, overrides, error))
        return false;
    links_->connectAll();
    std::string lines;
    for (const std::string& name : componentNames())
        for (const char* line : {": create\n", ": set matrixobject MTX\n", ": set uselevels 1,2,3\n"})
            lines.append(name).append(line);
    if (!run(lines)) {
        error = "the components could not be set up:\n" + reader_.recent();
        return false;
    }
    return true;
}

bool chaos_facility::run(const std::string& lines)
{
    parsed_scenario parsed = parseScenario(lines, "chaos.scn");
    if (!parsed.errors.empty())
        return false;
    const std::size_t before = runner_->failureCount();
    for (const auto& step : parsed.steps)
        runner_->run(step);
    out_.flush();
    return runner_->failureCount() == before;
}

std::map<int, std::vector<std::pair<int, int>>> chaos_facility::registrationsOf(const std::string& component)
{
    const std::string was = runner_->currentComponent();
    run("use " + component + "\n");
    auto registrations = runner_->host().registrations();
    run("use " + was + "\n");
    return registrations;
}
