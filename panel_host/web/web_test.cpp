// The browser view's pieces that need no browser: the address option and
// the Host rules, the image paths a request may name, the styles file, and
// the adapter between scenario lines and the runner (errors, state,
// recording). The server's routes and live stream are driven through
// sockets in web_server_test.cpp, the page in a browser (tests/).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "facility/router_model.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/session_recorder.h"
#include "temp_installation.h"
#include "text/utf8.h"
#include "web/json_text.h"
#include "web/runner_adapter.h"
#include "web/serve_address.h"
#include "web/web_files.h"
#include "web/web_test_facility.h"
#include "web/web_view.h"

namespace fs = std::filesystem;

namespace {

TEST(ServeAddress, ReadsPortAndOptionalAddress)
{
    struct row {
        const char* text;
        bool ok;
        const char* address;
        unsigned short port;
        const char* error;
    };
    const row rows[] = {
        {"8080", true, "127.0.0.1", 8080, ""},
        {"0", true, "127.0.0.1", 0, ""},
        {"0.0.0.0:9000", true, "0.0.0.0", 9000, ""},
        {"[::1]:81", true, "::1", 81, ""},
        {"65536", false, "", 0, "\"65536\" is not a port number"},
        {"80x", false, "", 0, "\"80x\" is not a port number"},
        {"localhost:80", false, "", 0, "\"localhost\" is not an IP address"},
        {"[::1]80", false, "", 0, "is not [ADDRESS]:PORT"},
        {"127.0.0.1:", false, "", 0, "\"\" is not a port number"},
    };
    for (const auto& r : rows) {
        std::string address, error;
        unsigned short port = 1;
        EXPECT_EQ(parseServeAddress(r.text, address, port, error), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(address, r.address) << r.text;
            EXPECT_EQ(port, r.port) << r.text;
        } else {
            EXPECT_NE(error.find(r.error), std::string::npos) << r.text << ": " << error;
        }
    }
}

TEST(ImagePaths, ServeOnlyFilesInsideTheImagesFolders)
{
    temp_installation place;
    fs::path root(place.root());
    fs::create_directories(root / "layouts" / "images" / "sub");
    fs::create_directories(root / "install" / "images");
    std::ofstream(root / "layouts" / "images" / "tick.png") << "tick";
    std::ofstream(root / "layouts" / "images" / "sub" / "a.png") << "a";
    std::ofstream(root / "install" / "images" / "logo.png") << "logo";
    std::ofstream(root / "secret.txt") << "secret";
    fs::create_symlink(root / "secret.txt", root / "layouts" / "images" / "link.png");
    std::vector<std::string> folders{(root / "layouts").string(), (root / "install").string()};

    struct row {
        const char* request;  // as sent, before decoding
        const char* found;    // file name found, or "" when not
        bool refused;
    };
    const row rows[] = {
        {"tick.png", "tick.png", false},
        {"sub/a.png", "a.png", false},
        {"logo.png", "logo.png", false},  // from the second folder
        {"none.png", "", false},
        {"../secret.txt", "", true},
        {"..%2fsecret.txt", "", true},
        {"%2e%2e/secret.txt", "", true},
        {"sub/../../secret.txt", "", true},
        {"%2fetc%2fpasswd", "", true},
        {"a\\b.png", "", true},
        {"link.png", "", true},  // a link out of the folder
        {"bad%zz", "", true},
    };
    for (const auto& r : rows) {
        std::string name, why;
        bool refused = false;
        std::string file;
        if (percentDecode(r.request, name))
            file = findImage(folders, name, refused, why);
        else
            refused = true;
        EXPECT_EQ(fs::path(file).filename().string(), r.found) << r.request;
        EXPECT_EQ(refused, r.refused) << r.request << ": " << why;
    }
}

TEST(Styles, FileOverridesAndExtendsTheDefaultPaletteAndReportsBadEntries)
{
    temp_installation place;
    std::string file = place.root() + "/panel_styles.ini";
    std::ofstream(file) << "[take_high]\nbackground=#00ff00\ncolor=black\n"
                           "[mine]\nbackground=rgb(1, 2, 3)\nbold=yes\n"
                           "[evil]\nbackground=red;}body{display:none\n"
                           "[odd]\nshadow=#000\n";
    std::vector<std::string> problems;
    std::string styles = stylesJson(readStyles(file, problems));
    EXPECT_NE(styles.find("\"take_high\":{\"background\":\"#00ff00\",\"color\":\"black\""), std::string::npos);
    EXPECT_NE(styles.find("\"mine\":{\"background\":\"rgb(1, 2, 3)\""), std::string::npos);
    EXPECT_NE(styles.find("\"take_low\""), std::string::npos);
    EXPECT_EQ(styles.find("evil"), std::string::npos);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("[evil] background: \"red;}body{display:none\" is not a colour"), std::string::npos);
    EXPECT_NE(problems[1].find("[odd] shadow: unknown key"), std::string::npos);
}

TEST(Json, QuotesControlCharactersAndBadUtf8)
{
    EXPECT_EQ(json::quote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(json::quote("CAM \xE2\x96\xB6 \xff"), "\"CAM \xE2\x96\xB6 \\ufffd\"");
    // DEL is escaped too, so no text on the wire holds an invisible control.
    EXPECT_EQ(json::quote("\x1f \x7f~"), "\"\\u001f \\u007f~\"");
    json::writer out;
    out.beginObject().key("a").beginArray().value(1).value("x").null().endArray().key("b").value(true).endObject();
    EXPECT_EQ(out.text(), "{\"a\":[1,\"x\",null],\"b\":true}");
}

// Which Host and Origin headers the server answers: on loopback a loopback
// name with the port listened on; on another address that address, the
// address of ours a connection reached when listening on every address,
// or a name given with --allow-host, with the port. A page of another site
// is refused by its Origin everywhere.
TEST(HostRules, AHostMustNameThisServerWithItsPort)
{
    struct row {
        const char* listening;
        const char* host;
        const char* origin;  // null: no Origin header
        const char* local;   // the address of ours the connection reached
        bool allowed;
    };
    const row rows[] = {
        {"127.0.0.1", "127.0.0.1:8080", nullptr, "127.0.0.1", true},
        {"127.0.0.1", "localhost:8080", nullptr, "127.0.0.1", true},
        {"127.0.0.1", "LocalHost:8080", nullptr, "127.0.0.1", true},
        {"127.0.0.1", "[::1]:8080", nullptr, "127.0.0.1", true},
        {"127.0.0.1", "localhost:9999", nullptr, "127.0.0.1", false},  // another port: another server
        {"127.0.0.1", "localhost:1", nullptr, "127.0.0.1", false},
        {"127.0.0.1", "localhost", nullptr, "127.0.0.1", false},  // port 80 only
        {"127.0.0.1", "127.0.0.1:08080", nullptr, "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1:8080", "http://127.0.0.1:8080", "127.0.0.1", true},
        {"127.0.0.1", "rebound.example:8080", nullptr, "127.0.0.1", false},
        {"127.0.0.1", "", nullptr, "127.0.0.1", false},
        {"127.0.0.1", "[::1", nullptr, "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1:8080", "http://other.example", "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1:8080", "", "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.1:8080", "https://127.0.0.1:8080", "127.0.0.1", false},
        {"::1", "[::1]:8080", nullptr, "::1", true},
        {"::0001", "[::1]:8080", nullptr, "::1", true},
        // Beyond loopback: the address, never a name that merely resolves here.
        {"192.168.1.5", "192.168.1.5:8080", nullptr, "192.168.1.5", true},
        {"192.168.1.5", "192.168.1.5:8081", nullptr, "192.168.1.5", false},
        {"192.168.1.5", "studio-pc:8080", nullptr, "192.168.1.5", false},
        {"192.168.1.5", "rebound.example:8080", "http://rebound.example:8080", "192.168.1.5", false},
        {"192.168.1.5", "localhost:8080", nullptr, "192.168.1.5", false},
        {"0.0.0.0", "10.0.0.7:8080", nullptr, "10.0.0.7", true},  // the address reached
        {"0.0.0.0", "10.0.0.8:8080", nullptr, "10.0.0.7", false},
        {"0.0.0.0", "localhost:8080", nullptr, "127.0.0.1", true},  // from this machine
        {"0.0.0.0", "127.0.0.1:8080", nullptr, "127.0.0.1", true},
        {"0.0.0.0", "localhost:8080", nullptr, "10.0.0.7", false},
        {"0.0.0.0", "studio-pc:8080", nullptr, "10.0.0.7", false},
        {"0.0.0.0", "studio-pc:8080", "http://studio-pc:8080", "10.0.0.7", false},
        {"::", "[fd00::7]:8080", nullptr, "fd00::7", true},
    };
    for (const auto& r : rows) {
        web::host_rules rules;
        rules.listeningOn(r.listening, 8080);
        std::optional<std::string> origin;
        if (r.origin != nullptr)
            origin = r.origin;
        EXPECT_EQ(rules.allows(r.host, origin, r.local), r.allowed)
            << r.listening << " Host " << r.host << " Origin " << (r.origin == nullptr ? "none" : r.origin) << ": "
            << rules.refusal(r.host, origin, r.local);
    }
    web::host_rules v6;
    v6.listeningOn("::0001", 81);
    EXPECT_EQ(v6.host(), "[::1]:81");
}

// --allow-host names the server answers beyond loopback, and the loopback
// rules a test switches on for 127.0.0.1.
TEST(HostRules, AllowedNamesAndTheRulesOfAnotherAddress)
{
    web::host_rules rules;
    rules.listeningOn("0.0.0.0", 8080);
    rules.allow("Studio-PC.example");
    rules.allow("::1");
    EXPECT_TRUE(rules.remote());
    EXPECT_TRUE(rules.allows("studio-pc.example:8080", std::string("http://studio-pc.example:8080"), "10.0.0.7"));
    EXPECT_FALSE(rules.allows("studio-pc.example:8081", std::nullopt, "10.0.0.7"));
    EXPECT_FALSE(rules.allows("evil.studio-pc.example:8080", std::nullopt, "10.0.0.7"));
    EXPECT_TRUE(rules.allows("[::1]:8080", std::nullopt, "10.0.0.7"));
    std::vector<std::string> hosts = rules.hosts();
    EXPECT_NE(std::find(hosts.begin(), hosts.end(), "127.0.0.1:8080"), hosts.end());
    EXPECT_NE(std::find(hosts.begin(), hosts.end(), "studio-pc.example:8080"), hosts.end());

    web::host_rules forced;
    forced.listeningOn("127.0.0.1", 8080);
    EXPECT_FALSE(forced.remote());
    forced.treatAsRemote();
    EXPECT_TRUE(forced.remote());
    EXPECT_TRUE(forced.allows("127.0.0.1:8080", std::nullopt, "127.0.0.1"));
    EXPECT_FALSE(forced.allows("rebound.example:8080", std::nullopt, "127.0.0.1"));

    std::string error;
    for (const char* good : {"studio-pc", "studio.example.org", "10.0.0.7", "::1"})
        EXPECT_TRUE(web::checkAllowedHost(good, error)) << good;
    for (const char* bad : {"", "studio-pc:8080", "http://studio-pc", "-x", "a b", "[::1]"})
        EXPECT_FALSE(web::checkAllowedHost(bad, error)) << bad;
}

// What the page gets for bytes that are not UTF-8: one U+FFFD for each
// maximal ill-formed subsequence, as the browser's decoder would give for
// the same bytes. A character cut short is one; a byte that can start no
// character there (a surrogate's, an overlong form's, F5..FF) is one each.
TEST(Json, EachIllFormedRunBecomesOneReplacement)
{
    const std::string r = "\\ufffd";
    const struct {
        const char* bytes;
        std::string quoted;
    } cases[] = {
        // Surrogates, and the characters just beside them.
        {"\xED\xA0\x80", r + r + r},
        {"\xED\xBF\xBF", r + r + r},
        {"<\xED\xB0\x80>", "<" + r + r + r + ">"},
        {"\xED\x9F\xBF \xEE\x80\x80", "\xED\x9F\xBF \xEE\x80\x80"},
        // Overlong forms of '/' and of U+0000, in two, three and four bytes.
        {"\xC0\xAF", r + r},
        {"\xC1\xBF", r + r},
        {"\xE0\x80\xAF", r + r + r},
        {"\xE0\x9F\xBF", r + r + r},
        {"\xF0\x80\x80\xAF", r + r + r + r},
        {"\xF0\x8F\xBF\xBF", r + r + r + r},
        // Above U+10FFFF, and lead bytes that never start UTF-8.
        {"\xF4\x90\x80\x80", r + r + r + r},
        {"\xF5\x80\x80\x80", r + r + r + r},
        {"\xF7\xBF\xBF\xBF", r + r + r + r},
        {"\xF8\x88\x80\x80\x80", r + r + r + r + r},
        {"\xFE\xFF", r + r},
        // Cut short: at the end, before an ASCII byte, before another lead.
        {"CAM \xE2\x96", "CAM " + r},
        {"\xF0\x9F\x8E", r},
        {"\xF0\x9F\x8E!", r + "!"},
        {"\xE2\x96\xE2\x96\xB6", r + "\xE2\x96\xB6"},
        {"\xC3", r},
        // Stray continuation bytes.
        {"\x80\xBF", r + r},
        // The standard's own example.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", "a" + r + r + r + "b" + r + "c" + r + r + "d"},
        // Well-formed at the edges passes as it is.
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(json::quote(c.bytes), "\"" + c.quoted + "\"") << c.bytes;
    for (unsigned lead = 0xF5; lead <= 0xFF; ++lead)
        EXPECT_EQ(json::quote(std::string(1, static_cast<char>(lead))), "\"" + r + "\"") << lead;
}

// Whatever the bytes, the page is handed well-formed UTF-8 with no raw
// control character: every string of one and two bytes, and of three
// starting with a lead byte.
TEST(Json, QuotedTextIsAlwaysWellFormed)
{
    std::size_t faults = 0;
    auto expectClean = [&](const std::string& text) {
        const std::string quoted = json::quote(text);
        bool clean = utf8::wellFormed(quoted);
        for (char c : quoted)
            clean = clean && static_cast<unsigned char>(c) >= 0x20;
        if (!clean && ++faults <= 5)
            ADD_FAILURE() << "quote of " << text.size() << " bytes: " << quoted;
    };
    for (unsigned first = 0; first < 256; ++first) {
        expectClean(std::string{static_cast<char>(first)});
        for (unsigned second = 0; second < 256; ++second) {
            expectClean(std::string{static_cast<char>(first), static_cast<char>(second)});
            if (first >= 0xC0)
                for (unsigned third : {0x00u, 0x41u, 0x80u, 0x9Fu, 0xA0u, 0xBFu, 0xC0u, 0xFFu})
                    expectClean({static_cast<char>(first), static_cast<char>(second), static_cast<char>(third)});
        }
    }
    EXPECT_EQ(faults, 0u);
}

// The adapter on the sample installation with the real module: what the
// page's requests turn into, and a recording that replays to the same state.
using Adapter = web_test_facility;

TEST_F(Adapter, BadTextGetsTheParsersMessageAndRunsNothing)
{
    auto runner = start();
    session_recorder session(*runner, "<terminal>");
    runner_adapter adapter(*runner, routers, out, session);
    struct row {
        const char* text;
        const char* error;
        const char* where;
    };
    const row rows[] = {
        {"frobnicate", "unknown line \"frobnicate\" (try: help)", "<browser>:1"},
        {"wait soon", "\"soon\" is not a time", "<browser>:1"},
        {"expect sent\n  CD '1' 'Take'", "the \"expect sent\" block is not closed", "<browser>:1"},
        {"create\nfrobnicate", "unknown line \"frobnicate\"", "<browser>:2"},
        {"B: route 31 1 3", "\"route\" is a line of the facility: it takes no component name", "<browser>:1"},
        {"create\ndestroy", "one step at a time", "<browser>:1"},
        {"  # nothing", "nothing to run", "<browser>:1"},
    };
    for (const auto& r : rows) {
        step_outcome outcome = adapter.runText(r.text, "<browser>");
        EXPECT_FALSE(outcome.accepted) << r.text;
        EXPECT_NE(outcome.error.find(r.error), std::string::npos) << r.text << ": " << outcome.error;
        EXPECT_EQ(outcome.where, r.where) << r.text;
    }
    EXPECT_FALSE(runner->componentExists());
    // Nothing of it reached the recording.
    std::string recorded = session.scenarioText();
    for (const char* part : {"frobnicate", "\ncreate", "\nwait", "\nexpect sent"})
        EXPECT_EQ(recorded.find(part), std::string::npos) << part << " in\n" << recorded;
}

// Two components driven as the page drives them: the state names whose each
// panel is, an answer comes from the component the line addressed, and the
// session's recording replays to the same state.
TEST_F(Adapter, TwoComponentsRecordedReplayToTheSameState)
{
    std::string scenario;
    {
        auto runner = start();
        session_recorder session(*runner, "<terminal>");
        runner_adapter adapter(*runner, routers, out, session);
        for (const char* line : {"create", "set matrixobject MTX", "set uselevels 1,2,3", "B: create",
                                 "B: set matrixobject MTX", "B: set uselevels 1,2,3", "fault offline 33"})
            EXPECT_TRUE(adapter.runText(line, "<browser>").accepted) << line;
        std::string state = adapter.stateJson("{}");
        for (const char* part : {"\"components\":[{\"name\":\"main\",\"exists\":true,\"panels\":[\"1\"]},"
                                 "{\"name\":\"B\",\"exists\":true,\"panels\":[\"1\"]}]",
                                 "{\"panel\":\"1\",\"component\":\"main\",", "{\"panel\":\"1\",\"component\":\"B\",",
                                 "{\"id\":\"Take\",\"kind\":\"button\",\"x\":130,\"y\":150,\"w\":100,\"h\":40,"
                                 "\"enabled\":false,",
                                 "\"offline\":[33]", "\"namesDevices\":[{\"device\":20,",
                                 "{\"device\":31,\"name\":\"Video router\",\"online\":true,\"sources\":24,"
                                 "\"destinations\":32,"})
            EXPECT_NE(state.find(part), std::string::npos) << part;
        EXPECT_TRUE(adapter.runText("fault online 33", "<browser>").accepted);

        EXPECT_TRUE(adapter.runText("B: set srcpkg 2", "<browser>").accepted);
        EXPECT_TRUE(adapter.runText("set srcpkg 1", "<browser>").accepted);
        adapter.passTime(1500);  // the wall clock between two clicks
        EXPECT_TRUE(adapter.runText("set destpkg 3", "<browser>").accepted);
        adapter.passTime(2200);
        EXPECT_TRUE(adapter.runText("main: press Take", "<browser>").failures.empty());
        step_outcome answer = adapter.runText("B: get srcpkg", "<browser>");
        ASSERT_TRUE(answer.answer.has_value());
        EXPECT_EQ(answer.answer->rfind("srcpkg=2", 0), 0u) << *answer.answer;
        step_outcome failed = adapter.runText("B: expect enabled Take", "<browser>");
        ASSERT_EQ(failed.failures.size(), 1u);
        EXPECT_EQ(failed.failures[0].rfind("<browser>:1: B: Take: expected enabled", 0), 0u) << failed.failures[0];
        adapter.passTime(300);
        scenario = session.scenarioText();
        EXPECT_NE(scenario.find("create\nset matrixobject MTX\nset uselevels 1,2,3\nB: create\n"), std::string::npos)
            << scenario;
        EXPECT_NE(scenario.find("set srcpkg 1\nwait 1500ms\nset destpkg 3\nwait 2200ms\nmain: press Take\n"
                                "B: get srcpkg\n# failed here, so not replayed:\n#   B: expect enabled Take\n"
                                "wait 300ms\n"),
                  std::string::npos)
            << scenario;
        for (const char* part : {"expect crosspoint 31 3 1\n", "main: expect text Src_UL1 \"VTR 1\"\n",
                                 "main: expect enabled Undo\n", "B: expect disabled Take\n"})
            EXPECT_NE(scenario.find(part), std::string::npos) << part << " in\n" << scenario;
        runner->finish();
    }
    // A fresh facility and runner replay it with every expectation met.
    routers = router_model();
    std::string error;
    ASSERT_TRUE(routers.load(std::string(ZELM_SOURCE_DIR) + "/examples/installation/SYS/config/system", error));
    std::size_t failuresBefore = out.failureCount();
    auto runner = start();
    parsed_scenario parsed = parseScenario(scenario, "recorded.scn");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front().message;
    for (const auto& step : parsed.steps)
        runner->run(step);
    EXPECT_GT(runner->expectationsChecked(), 40);
    EXPECT_EQ(out.failureCount(), failuresBefore) << text.str();
    runner->finish();
}

}  // namespace
