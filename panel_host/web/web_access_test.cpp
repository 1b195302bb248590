// Who may ask the browser view anything: the access key (made, read from a
// file, compared, carried in a cookie, a Bearer header or the URL once),
// and the server on 127.0.0.1 with the rules of an address beyond loopback
// switched on: what a request without the key, with a wrong one, or naming
// another host is answered, and what is logged of it.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "temp_installation.h"
#include "web/access_token.h"
#include "web/web_test_client.h"

namespace fs = std::filesystem;

namespace {

using namespace web_test;

TEST(AccessKey, IsMadeFromTheSystemsRandomSource)
{
    std::set<std::string> keys;
    for (int i = 0; i < 50; ++i) {
        std::string key, error;
        ASSERT_TRUE(web::makeToken(key, error)) << error;
        EXPECT_EQ(key.size(), 48u);  // 192 bits
        EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos) << key;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 50u);
}

TEST(AccessKey, IsComparedWholeAndFoundInItsHeaders)
{
    const std::string key = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(web::sameToken(key, key));
    EXPECT_FALSE(web::sameToken(key.substr(0, key.size() - 1), key));  // one character short
    EXPECT_FALSE(web::sameToken(key + "0", key));
    EXPECT_FALSE(web::sameToken("1" + key.substr(1), key));
    EXPECT_FALSE(web::sameToken("", key));
    EXPECT_FALSE(web::sameToken("", ""));  // no key is never a key

    EXPECT_EQ(web::bearerToken("Bearer abc"), "abc");
    EXPECT_EQ(web::bearerToken("bearer  abc "), "abc");
    EXPECT_EQ(web::bearerToken("Basic abc"), std::nullopt);
    EXPECT_EQ(web::bearerToken("Bearer"), std::nullopt);
    EXPECT_EQ(web::cookieValue("a=1; panel_host_key_80=xyz; b=2", "panel_host_key_80"), "xyz");
    EXPECT_EQ(web::cookieValue("panel_host_key_8080=xyz", "panel_host_key_80"), std::nullopt);
    EXPECT_EQ(web::queryValue("/?token=ab%2Dc&x=1", "token"), "ab-c");
    EXPECT_EQ(web::queryValue("/?tokens=1", "token"), std::nullopt);
    EXPECT_EQ(web::withoutQueryValue("/?token=abc", "token"), "/");
    EXPECT_EQ(web::withoutQueryValue("/panel.js?v=2&token=abc&w=3", "token"), "/panel.js?v=2&w=3");
}

TEST(AccessKey, AFileKeepsItWhenItIsItsOwnersAlone)
{
    temp_installation place;
    std::string file = place.root() + "/key";
    std::string key, again, error;
    bool made = false;
    ASSERT_TRUE(web::tokenFromFile(file, key, made, error)) << error;
    EXPECT_TRUE(made);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(web::tokenFromFile(file, again, made, error)) << error;
    EXPECT_FALSE(made);
    EXPECT_EQ(again, key);  // the same key after a restart

    ::chmod(file.c_str(), 0644);
    EXPECT_FALSE(web::tokenFromFile(file, again, made, error));
    EXPECT_NE(error.find("can be read or written by others (mode 0644); make it its owner's alone: chmod 600"),
              std::string::npos)
        << error;
    ::chmod(file.c_str(), 0600);
    std::ofstream(file) << "studio\n";
    EXPECT_FALSE(web::tokenFromFile(file, again, made, error));
    EXPECT_NE(error.find("is not a key: 32 to 256"), std::string::npos) << error;
    std::ofstream(file) << std::string(40, 'k') << "\r\nsecond line\n";
    ASSERT_TRUE(web::tokenFromFile(file, again, made, error)) << error;
    EXPECT_EQ(again, std::string(40, 'k'));
    EXPECT_FALSE(web::tokenFromFile(place.root(), again, made, error));
    EXPECT_NE(error.find("is not a file"), std::string::npos) << error;
}

// What the server asks of a request beyond loopback, through the real
// server on 127.0.0.1 with those rules switched on.
TEST_F(Server, BeyondLoopbackEveryRequestNeedsTheKey)
{
    std::string url, key;
    struct row {
        std::string what;
        reply got;
    };
    std::vector<row> rows;
    int liveWithout = 0, liveWrong = 0, liveWith = 0;
    serveWhile(
        [&](const served& at) {
            url = at.url;
            key = url.substr(url.find("?token=") + 7);
            auto get = [&](const std::string& what, const std::string& target, const char* field = nullptr,
                           const std::string& value = std::string(), http::verb method = http::verb::get) {
                web::request req = makeRequest(method, target, at.port, method == http::verb::post ? "say hi" : "");
                if (field != nullptr)
                    req.set(field, value);
                rows.push_back({what, ask(at.port, req)});
            };
            std::string cookie = "panel_host_key_" + std::to_string(at.port) + "=";
            get("page without", "/");
            get("api without", "/api/state");
            get("image without", "/images/tick.png");
            get("unknown path without", "/nothing.html");
            get("step without", "/api/step", nullptr, "", http::verb::post);
            get("url key", "/?token=" + key);
            get("url key, other query kept", "/panel.js?v=2&token=" + key);
            get("url key, path naming another site", "//elsewhere.example/?token=" + key);
            get("wrong url key", "/?token=" + std::string(key.size(), '0'));
            get("short url key", "/?token=" + key.substr(1));
            get("url key on a POST", "/api/step?token=" + key, nullptr, "", http::verb::post);
            get("cookie", "/api/state", "Cookie", cookie + key);
            get("short cookie", "/api/state", "Cookie", cookie + key.substr(0, key.size() - 1));
            get("other port's cookie", "/api/state", "Cookie", "panel_host_key_1=" + key);
            get("bearer", "/api/state", "Authorization", "Bearer " + key);
            get("bearer step", "/api/step", "Authorization", "Bearer " + key, http::verb::post);
            get("wrong bearer", "/api/state", "Authorization", "Bearer " + key + "0");
            get("rebinding host", "/api/state", "Host", "rebound.example:" + std::to_string(at.port));
            liveWithout = live_client().open(at.port, "/api/live");
            liveWrong = live_client().open(at.port, "/api/live", cookie + key.substr(1));
            live_client page;
            liveWith = page.open(at.port, "/api/live", cookie + key);
        },
        [](web_settings& web) { web.remoteRules = true; });
    EXPECT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
    EXPECT_EQ(key.size(), 48u) << url;
    const struct {
        const char* what;
        int status;
        const char* says;
    } expected[] = {
        {"page without", 401, "panel_host asks for its access key: open the URL it printed"},
        {"api without", 401, "{\"error\":\"panel_host asks for its access key"},
        {"image without", 401, "asks for its access key"},
        {"unknown path without", 401, "asks for its access key"},
        {"step without", 401, "asks for its access key"},
        {"url key", 303, ""},
        {"url key, other query kept", 303, ""},
        {"url key, path naming another site", 303, ""},
        {"wrong url key", 401, "asks for its access key"},
        {"short url key", 401, "asks for its access key"},
        {"url key on a POST", 401, "asks for its access key"},
        {"cookie", 200, "\"components\""},
        {"short cookie", 401, "asks for its access key"},
        {"other port's cookie", 401, "asks for its access key"},
        {"bearer", 200, "\"routers\""},
        {"bearer step", 200, "\"ok\":true"},
        {"wrong bearer", 401, "asks for its access key"},
        {"rebinding host", 403, "request from another site refused"},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const reply& got = rows[i].got;
        EXPECT_EQ(rows[i].what, expected[i].what);
        EXPECT_EQ(got.status, expected[i].status) << rows[i].what << ": " << got.body << got.error;
        EXPECT_NE(got.body.find(expected[i].says), std::string::npos) << rows[i].what << ": " << got.body;
        if (got.status == 401) {
            // How to get in, and nothing of the facility.
            EXPECT_LT(got.body.size(), 300u) << rows[i].what;
            EXPECT_EQ(got.body.find("CAM"), std::string::npos) << rows[i].what;
        }
    }
    EXPECT_EQ(rows[5].got.location, "/");
    EXPECT_EQ(rows[6].got.location, "/panel.js?v=2");
    EXPECT_EQ(rows[7].got.location, "/");
    EXPECT_EQ(rows[5].got.setCookie, "panel_host_key_" + url.substr(17, url.find('/', 17) - 17) + "=" + key +
                                         "; HttpOnly; SameSite=Strict; Path=/");
    EXPECT_EQ(liveWithout, 401);
    EXPECT_EQ(liveWrong, 401);
    EXPECT_EQ(liveWith, 101);
    // Every refusal counted: the rows refused, and the two streams.
    EXPECT_EQ(refused, 14u);
}

// Each refusal is counted; the log takes a line a second at most, with the
// address, the path and why, and a line for those it left out.
TEST_F(Server, RefusalsAreCountedAndLoggedALineASecondAtMost)
{
    serveWhile(
        [&](const served& at) {
            for (int i = 0; i < 30; ++i)
                ask(at.port, makeRequest(http::verb::get, "/api/state?n=" + std::to_string(i), at.port));
        },
        [](web_settings& web) { web.remoteRules = true; });
    EXPECT_EQ(refused, 30u);
    std::string printed = text.str();
    EXPECT_NE(printed.find("panel_host: refused 127.0.0.1 GET /api/state: no access key (1 in all)"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("more in the last second, the last 127.0.0.1 GET /api/state: no access key (30 in all)"),
              std::string::npos)
        << printed;
    std::size_t lines = 0;
    for (std::size_t at = printed.find("panel_host: refused"); at != std::string::npos;
         at = printed.find("panel_host: refused", at + 1))
        ++lines;
    EXPECT_LE(lines, 6u) << printed;
    EXPECT_NE(printed.find("panel_host: 30 requests refused while serving"), std::string::npos) << printed;
}

// --token-file asks for the key on loopback too; a file others can read is
// refused before anything is served.
TEST_F(Server, ATokenFileAsksForTheKeyOnLoopbackToo)
{
    temp_installation place;
    std::string file = place.root() + "/key";
    std::ofstream(file) << std::string(32, 'q') << "\n";
    ::chmod(file.c_str(), 0600);
    reply without, with;
    std::string url;
    serveWhile(
        [&](const served& at) {
            url = at.url;
            without = ask(at.port, makeRequest(http::verb::get, "/api/state", at.port));
            web::request req = makeRequest(http::verb::get, "/api/state", at.port);
            req.set(http::field::authorization, "Bearer " + std::string(32, 'q'));
            with = ask(at.port, req);
        },
        [&](web_settings& web) { web.tokenFile = file; });
    EXPECT_NE(url.find("/?token=" + std::string(32, 'q')), std::string::npos) << url;
    EXPECT_EQ(without.status, 401);
    EXPECT_EQ(with.status, 200);

    ::chmod(file.c_str(), 0640);
    auto runner = start();
    session_recorder session(*runner, "<terminal>");
    web_settings web;
    web.tokenFile = file;
    event_loop loop;
    web::web_server server(web, *runner, routers, out, session, loop);
    std::string error;
    EXPECT_FALSE(server.listen("127.0.0.1", 0, error));
    EXPECT_NE(error.find("can be read or written by others (mode 0640)"), std::string::npos) << error;
}

}  // namespace
