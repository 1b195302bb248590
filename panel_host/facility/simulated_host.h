// simulated_host: the host link that panel_host hands to a component. It
// reads every command line the component sends and plays the host's part:
// panels and controls (panel_model), routers and names databases
// (router_model), timers and revertives on the virtual clock, and the
// facility's faults.
//
// Answers ("PS", "TG", "RN", "XI") are texts owned here (answer_ledger).
// Those of "TG", "RN" and "XI" must come back with kind 5, exactly once;
// takeUnreturnedAnswers() reports any that did not, and send() reports
// give-backs of texts never handed out or handed back twice. The "PS"
// answer is only tested for null by components and never given back.
//
// Several components of one facility each get a host link of their own
// (their own panels, answers, registrations and timers, the timers under
// the link's owner number on the shared clock); the routers, the faults and
// their dice, and the links to real routers are shared. A route that a
// router reports (reportChange, whoever made it) goes to the route listener,
// which hands it to every link (deliverChange), so every component
// registered for the destination hears of it; a poll is answered to the
// link that asked. A name a real router changed goes to the name listener
// on the clock, merged per index.
//
// A device offline by a fault ignores "RC", "RR", "RU" and "RP" and leaves
// "RN" unanswered. A real router whose link is down ignores only "RC": the
// registrations stay, its link keeps the polls for when it is back, and
// "RN" answers from the names the host holds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "facility/answer_ledger.h"
#include "facility/panel_model.h"
#include "facility/router_link.h"
#include "facility/router_model.h"
#include "facility/virtual_clock.h"
#include "text/transcript.h"
#include "zelm_host_link.h"

struct host_command;

struct facility_faults {
    std::int64_t delay = 0;    // revertives arrive this many ms after the change
    int dropPercent = 0;       // share of revertives lost
    int duplicatePercent = 0;  // share of revertives delivered twice
};

class simulated_host final : public zelm_host_link, public router_reports {
public:
    simulated_host(panel_model& panels, router_model& routers, virtual_clock& clock, transcript& out,
                   std::string layoutDir, int clockOwner = 0);
    ~simulated_host() override;
    simulated_host(const simulated_host&) = delete;
    simulated_host& operator=(const simulated_host&) = delete;

    const char* send(const char* text, std::int32_t kind) override;

    // Command lines (kind 0) sent since the last clearSent().
    const std::vector<std::string>& sent() const { return sent_; }
    void clearSent() { sent_.clear(); }
    // Notices ("HN") in order: the last `keptNotices` of them, since a
    // component may send one on every event of a long run.
    static constexpr std::size_t keptNotices = 1000;
    const std::deque<std::string>& notices() const { return notices_; }

    // Faults. The seed makes drops and duplicates repeatable.
    facility_faults& faults() { return *faults_; }
    void seed(std::uint32_t value) { random_->seed(value); }
    // From now on this link uses the faults, dice and real routers' links
    // of `facility`.
    void shareFaults(simulated_host& facility)
    {
        faults_ = facility.faults_;
        random_ = facility.random_;
        realLinks_ = facility.realLinks_;
    }

    // Called for every route this link made ("RC"), instead of reporting
    // the change to this link alone.
    void setRouteListener(std::function<void(device_model&, int destination)> listener)
    {
        routeListener_ = std::move(listener);
    }

    // Called, on the clock, for a name a router's link changed (reportName):
    // once per index, however often it changed before the clock moved.
    void setNameListener(std::function<void(device_model&, int database, int index)> listener)
    {
        nameListener_ = std::move(listener);
    }

    // Registrations ("RR", "RU") of this link: device -> destination ranges.
    const std::map<int, std::vector<std::pair<int, int>>>& registrations() const { return registrations_; }
    bool isRegistered(int device, int destination) const;
    void dropRegistrations(int device) { registrations_.erase(device); }
    int clockOwner() const { return clockOwner_; }

    // A router reports a destination's source changed (by a component or
    // by another controller): handed to the route listener, which delivers
    // it to every link; without one, delivered here.
    void reportChange(device_model& device, int destination) override;
    // Queues the change's revertive when the destination is registered here
    // and the router online, through the faults.
    void deliverChange(device_model& device, int destination);
    void reportPolled(device_model& device, int destination) override;
    void reportName(device_model& device, int database, int index) override;
    void reportLink(const device_model& device, const std::string& text, level how) override;
    void reportLeftOut(const device_model& device, std::uint64_t count, level how) override;

    // How "RC" and "RP" reach a router: a simulated router of this link's
    // own (so that its poll answers come here) unless a link to a real one
    // was set (routers/router_setup.h); those are shared by every link of
    // the facility and report to the link they were set on.
    void setLink(int device, std::unique_ptr<router_link> link);
    router_link& linkFor(device_model& device);

    // Answers handed out and not given back since the last call, each
    // reported once. Returns the texts of the commands they answered.
    std::vector<std::string> takeUnreturnedAnswers();
    // Protocol problems (malformed lines, bad give-backs) since the last call.
    std::vector<std::string> takeProblems();

    const std::string& layoutDir() const { return layoutDir_; }

private:
    // A line of `how` kind: a warning, a note, or a detail.
    void reportAt(level how, const std::string& line);
    const char* handle(const std::string& line);
    // One handler a command word (the table in handle()); each gets the
    // parsed command and the line it came from.
    const char* showPanel(const host_command& command, const std::string& line);
    const char* addNotice(const host_command& command, const std::string& line);
    const char* setProperty(const host_command& command, const std::string& line);
    const char* readProperty(const host_command& command, const std::string& line);
    const char* enableControl(const host_command& command, const std::string& line);
    const char* listControls(const host_command& command, const std::string& line);
    const char* setTimer(const host_command& command, const std::string& line);
    const char* closing(const host_command& command, const std::string& line);
    const char* route(const host_command& command, const std::string& line);
    const char* readName(const host_command& command, const std::string& line);
    const char* pollRange(const host_command& command, const std::string& line);
    const char* registerRange(const host_command& command, const std::string& line);
    const char* unregister(const host_command& command, const std::string& line);
    // "RP" and "RR": the router and the range, or null (and said why).
    device_model* rangeCommand(const host_command& command, int* values, bool& add);
    // Remarks made while a command is handled are printed after the command
    // line itself, so they are gathered first.
    struct remark {
        bool warning;
        std::string text;
    };
    void note(const std::string& text);
    void warn(const std::string& text);
    std::vector<remark>* remarks_ = nullptr;
    void giveBack(const char* text);
    void queueRevertive(const device_model& router, int destination, int source);
    // Notes how many revertives the faults lost or doubled since the last call.
    void reportFaults();
    int lost_ = 0;
    int duplicated_ = 0;
    bool deviceFor(const std::string& command, int number, device_model*& device, bool needRouter);
    bool numbers(const std::string& command, const std::vector<std::string>& args, std::size_t count, int* out);

    panel_model& panels_;
    router_model& routers_;
    virtual_clock& clock_;
    transcript& out_;
    std::string layoutDir_;
    int clockOwner_ = 0;
    facility_faults ownFaults_;
    std::mt19937 ownRandom_{1};
    facility_faults* faults_ = &ownFaults_;
    std::mt19937* random_ = &ownRandom_;
    std::function<void(device_model&, int)> routeListener_;
    std::function<void(device_model&, int, int)> nameListener_;
    std::map<int, std::vector<std::pair<int, int>>> registrations_;
    answer_ledger answers_;
    std::vector<std::string> sent_;
    std::deque<std::string> notices_;
    std::vector<std::string> problems_;
    std::map<int, std::unique_ptr<router_link>> simulatedLinks_;
    using link_map = std::map<int, std::unique_ptr<router_link>>;
    std::shared_ptr<link_map> realLinks_ = std::make_shared<link_map>();
};

// Where a layout file named in "PS" is read from: absolute paths as they
// are, others below `layoutDir`.
std::string resolveLayoutPath(const std::string& file, const std::string& layoutDir);
