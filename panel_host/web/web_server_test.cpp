// The server itself, on 127.0.0.1 with the sample installation and the real
// module (web_test_client.h): every route's methods, the table's 404 and
// 405 in the words of each area, the Host and Origin rules and the request
// limits, and a page's live stream (history and state on joining, a step's
// transcript and what it changed after).
#include "web/web_test_client.h"

namespace {

using namespace web_test;

TEST_F(Server, EveryRouteTakesItsMethodAndTheTableAnswersTheRest)
{
    using verb = http::verb;
    const char* const json = "application/json";
    const char* const plain = "text/plain; charset=utf-8";
    struct row {
        verb method;
        const char* target;
        const char* body;
        int status;
        const char* type;
        const char* says;  // found in the body
    };
    const row rows[] = {
        {verb::get, "/api/state", "", 200, json, "\"components\":[{\"name\":\"main\",\"exists\":true"},
        {verb::get, "/api/state?fresh=1", "", 200, json, "\"routers\":["},
        {verb::post, "/api/state", "", 405, json, "{\"error\":\"GET /api/state\"}"},
        {verb::get, "/api/step", "", 405, json, "POST /api/step with the text as body"},
        {verb::put, "/api/clock", "pause", 405, json, "POST /api/clock with the text as body"},
        {verb::get, "/api/record", "", 405, json, "POST /api/record with the text as body"},
        {verb::post, "/api/step", "say routed by the table", 200, json, "routed by the table"},
        {verb::post, "/api/step", "frobnicate", 400, json, "unknown line \\\"frobnicate\\\""},
        {verb::post, "/api/clock", "pause", 200, json, "\"type\":\"clock\""},
        {verb::post, "/api/clock", "speed 1000", 400, json, "not a speed from 0.1 to 100"},
        {verb::post, "/api/record", "", 200, json, "say routed by the table"},
        {verb::get, "/api/nothing", "", 404, json, "{\"error\":\"no such API: /api/nothing\"}"},
        {verb::post, "/api/nothing", "", 404, json, "no such API: /api/nothing"},
        {verb::get, "/api/live", "", 404, json, "no such API: /api/live"},  // not an upgrade
        {verb::get, "/", "", 200, "text/html; charset=utf-8", "<!"},
        {verb::get, "/panel.js?v=2", "", 200, "text/javascript; charset=utf-8", "/api/live"},
        {verb::post, "/", "", 405, plain, "only GET here"},
        {verb::get, "/nothing.html", "", 404, plain, "no such page: /nothing.html"},
        {verb::delete_, "/nothing.html", "", 405, plain, "only GET here"},
        {verb::get, "/api", "", 404, plain, "no such page: /api"},
        {verb::get, "/images/tick.png", "", 200, "image/png", "PNG"},
        {verb::post, "/images/tick.png", "", 405, plain, "only GET here"},
        {verb::get, "/images/none.png", "", 404, plain, ""},
        {verb::get, "/images/..%2fsecret", "", 400, plain, ""},
    };
    std::vector<reply> replies;
    serveWhile([&](unsigned short port) {
        for (const auto& r : rows)
            replies.push_back(ask(port, makeRequest(r.method, r.target, port, r.body)));
    });
    ASSERT_EQ(replies.size(), std::size(rows));
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const row& r = rows[i];
        const reply& got = replies[i];
        std::string request = std::string(http::to_string(r.method)) + " " + r.target;
        EXPECT_EQ(got.error, "") << request;
        EXPECT_EQ(got.status, r.status) << request << ": " << got.body;
        EXPECT_EQ(got.type, r.type) << request;
        EXPECT_NE(got.body.find(r.says), std::string::npos) << request << ": " << got.body;
    }
}

// A request from a page of another site, or to a name that merely resolves
// here, is refused before any route runs; so is what is too large to read.
TEST_F(Server, ForeignHostsAndOriginsAndOversizedRequestsAreRefused)
{
    struct row {
        const char* target;
        const char* field;  // a header set or replaced
        std::string value;
        int status;
        const char* says;
    };
    std::vector<row> rows;
    std::vector<reply> replies;
    serveWhile([&](unsigned short port) {
        std::string self = "127.0.0.1:" + std::to_string(port);
        rows = {
            {"/api/state", "Host", "rebound.example:" + std::to_string(port), 403,
             "{\"error\":\"request from another site refused\"}"},
            {"/", "Host", "rebound.example", 403, "request from another site refused\n"},
            {"/api/state", "Origin", "http://other.example", 403, "request from another site refused"},
            {"/api/state", "Origin", "http://" + self, 200, "\"components\""},
            {"/api/state", "Host", "localhost:" + std::to_string(port), 200, "\"components\""},
            {"/api/state", "Host", "localhost:1", 403, "request from another site refused"},
            {"/api/state", "Host", "[::1]:" + std::to_string(port + 1), 403, "request from another site refused"},
            {"/api/state", "X-Filler", std::string(9000, 'x'), 431, "request header larger than 8192 bytes"},
        };
        for (const auto& r : rows) {
            web::request req = makeRequest(http::verb::get, r.target, port);
            req.set(r.field, r.value);
            replies.push_back(ask(port, req));
        }
        web::request big = makeRequest(http::verb::post, "/api/step", port, "say " + std::string(20000, 'x'));
        replies.push_back(ask(port, big));
    });
    ASSERT_EQ(replies.size(), rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(replies[i].status, rows[i].status) << rows[i].field << ": " << replies[i].body;
        EXPECT_NE(replies[i].body.find(rows[i].says), std::string::npos) << rows[i].field << ": " << replies[i].body;
    }
    EXPECT_EQ(replies.back().status, 413);
    EXPECT_NE(replies.back().body.find("request body larger than 16384 bytes"), std::string::npos);
}

// The number after "version": in a live message; 0 when there is none.
unsigned long versionOf(const std::string& message)
{
    auto at = message.find("\"version\":");
    return at == std::string::npos ? 0 : std::stoul(message.substr(at + 10));
}

// A page joins with the history and the whole state, then hears a step's
// transcript and what it changed: a delta with the crosspoint routed, not
// the whole facility again. Asked, it gets the whole state once more. The
// stream opens at /api/live only.
TEST_F(Server, APageJoinsWithTheHistoryAndHearsWhatEachStepChanged)
{
    int elsewhere = 0;
    int opened = 0;
    std::string hello, firstState, stepped, delta, again;
    reply posted;
    serveWhile([&](unsigned short port) {
        elsewhere = live_client().open(port, "/api/elsewhere");
        live_client page;
        opened = page.open(port, "/api/live");
        hello = page.nextButClock();
        firstState = page.nextButClock();
        posted = ask(port, makeRequest(http::verb::post, "/api/step", port, "route 31 9 30"));
        stepped = page.transcriptWith("another controller routes on 31");
        delta = page.nextWith("delta", "\"routers\"");
        page.say("state");
        again = page.nextWith("state", "");
    });
    EXPECT_EQ(elsewhere, 404);
    EXPECT_EQ(opened, 101);
    EXPECT_EQ(hello.rfind("{\"type\":\"transcript\",\"reset\":true,\"text\":", 0), 0u) << hello;
    EXPECT_NE(hello.find("the browser view is at http://127.0.0.1:"), std::string::npos) << hello;
    EXPECT_EQ(firstState.rfind("{\"type\":\"state\",\"version\":", 0), 0u) << firstState;
    EXPECT_NE(firstState.find(",\"state\":{\"clock\":"), std::string::npos) << firstState;
    EXPECT_EQ(posted.status, 200) << posted.body;
    EXPECT_EQ(stepped.rfind("{\"type\":\"transcript\",\"text\":", 0), 0u) << stepped;
    EXPECT_EQ(delta, "{\"type\":\"delta\",\"version\":" + std::to_string(versionOf(firstState) + 1) +
                         ",\"delta\":{\"routers\":[{\"device\":31,\"crosspoints\":{\"30\":9}}]}}");
    EXPECT_EQ(again.rfind("{\"type\":\"state\",\"version\":" + std::to_string(versionOf(firstState) + 1) +
                              ",\"state\":{\"clock\":",
                          0),
              0u)
        << again.substr(0, 200);
}

}  // namespace
