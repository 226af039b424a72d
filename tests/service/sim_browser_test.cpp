// The simulator's pages in a real browser (headless Chromium, when it is
// installed): a finger drawing on the phone page and submitting, and the demo
// sealing page talking JSONP to a stand-in for the seal client's bridge.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <png.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/text_util.h"
#include "service/base64.h"
#include "service/field.h"
#include "sim_process.h"
#include "sim_web_client.h"

namespace qex::sim {
namespace {

bool HaveChromium() { return std::system("command -v chromium >/dev/null 2>&1") == 0; }

// The page's DOM after the scripts ran; virtual time lets the page's timers
// run without the test waiting for them.
std::string DumpDom(const std::string& url, const std::string& workDir) {
    const std::string profile = workDir + "/chromium-profile";
    std::filesystem::remove_all(profile);
    const std::string out = workDir + "/dom.html";
    const std::string command =
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--user-data-dir=" + profile + " --virtual-time-budget=20000 --dump-dom '" + url + "' >" + out +
        " 2>/dev/null";
    std::system(command.c_str());
    std::ifstream in(out, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Dark and light pixel counts of a PNG.
bool CountPixels(const std::string& bytes, long* dark, long* light) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    image.format = PNG_FORMAT_GRAY;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
    *dark = *light = 0;
    for (auto p : pixels) (p < 128 ? *dark : *light) += 1;
    return true;
}

class SimBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveChromium()) GTEST_SKIP() << "chromium is not installed";
        dir = testing::MakeTempDir();
        ASSERT_FALSE(dir.empty());
        std::filesystem::create_directory(dir + "/www");
        sim = std::make_unique<testing::SimProcess>();
        ASSERT_TRUE(sim->Start(QEX_SEALSERVICE_EXE, dir + "/seals.db", dir, {"--www", dir + "/www"}));
    }
    void TearDown() override {
        sim.reset();
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    std::string Page(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(sim->port()) + path;
    }

    std::string dir;
    std::unique_ptr<testing::SimProcess> sim;
};

// Drives the phone page in a frame of the same origin: a drag with a touch
// pointer, then the submit button; the outcome lands in data-outcome.
constexpr char kDriver[] = R"(<!DOCTYPE html><meta charset="utf-8"><body>
<iframe id="f" style="width:400px;height:700px" src="/phone/capture?id=ID"></iframe>
<script>
var f = document.getElementById('f');
f.onload = function () {
  var d = f.contentDocument, w = f.contentWindow, pad = d.getElementById('pad');
  var r = pad.getBoundingClientRect();
  function ev(type, x, y) {
    pad.dispatchEvent(new w.PointerEvent(type, { pointerId: 7, pointerType: 'touch', isPrimary: true,
      bubbles: true, cancelable: true, clientX: r.left + x, clientY: r.top + y }));
  }
  ev('pointerdown', 20, 20);
  for (var i = 1; i <= 30; i++) ev('pointermove', 20 + i * 8, 20 + (i % 6) * 10);
  ev('pointerup', 260, 40);
  d.getElementById('submit').click();
  var t = setInterval(function () {
    var s = d.body.getAttribute('data-state');
    if (s) { clearInterval(t); document.body.setAttribute('data-outcome', s); }
  }, 50);
};
</script>)";

TEST_F(SimBrowserTest, PhonePageDrawingIsSubmittedAsTheHandwriting) {
    const std::string open = testing::QueryUkName(sim->port(), "1@@@@HW");
    const std::string id = GetField(open + "@@@@", "@@@@", 1);
    ASSERT_FALSE(id.empty()) << open;
    std::string driver = kDriver;
    driver.replace(driver.find("ID"), 2, id);
    std::ofstream(dir + "/www/drive.html") << driver;

    const std::string dom = DumpDom(Page("/drive.html"), dir);
    EXPECT_TRUE(Contains(dom, "data-outcome=\"submitted\"")) << dom.substr(0, 2000);

    const std::string reply = testing::QueryUkName(sim->port(), "2@@@@" + id) + "@@@@";
    ASSERT_TRUE(StartsWith(reply, "QEXRET@@@@")) << reply.substr(0, 200);
    const std::string png = DecodeBase64(GetField(reply, "@@@@", 2));
    long dark = 0, light = 0;
    ASSERT_TRUE(CountPixels(png, &dark, &light));
    // The stroke is there, on white (not transparent, which reads as black).
    EXPECT_GT(dark, 100);
    EXPECT_GT(light, dark * 10);
    EXPECT_EQ(testing::HttpGet(sim->port(), "/hw/" + id + ".png").body, png);
}

TEST_F(SimBrowserTest, PhonePageAutodrawSubmitsOnItsOwn) {
    const std::string open = testing::QueryUkName(sim->port(), "1@@@@HW");
    const std::string id = GetField(open + "@@@@", "@@@@", 1);
    ASSERT_FALSE(id.empty()) << open;
    const std::string dom = DumpDom(Page("/phone/capture?autodraw=1&id=" + id), dir);
    EXPECT_TRUE(Contains(dom, "data-state=\"submitted\"")) << dom.substr(0, 2000);
    EXPECT_TRUE(StartsWith(testing::QueryUkName(sim->port(), "2@@@@" + id), "QEXRET@@@@http://"));
    // Opened again after the submit: the phone is told the capture is done.
    const std::string again = DumpDom(Page("/phone/capture?autodraw=1&id=" + id), dir);
    EXPECT_FALSE(Contains(again, "<canvas"));
}

// A stand-in for the client's bridge: answers each request with the next
// JSONP body, in HTTP/1.0, and remembers the request lines.
class FakeBridge {
public:
    explicit FakeBridge(std::vector<std::string> bodies) : bodies_(std::move(bodies)) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(socket_, 8) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port_ = ntohs(addr.sin_port);
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeBridge() {
        stop_ = true;
        thread_.join();
        ::close(socket_);
    }
    int port() const { return port_; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        std::size_t next = 0;
        while (!stop_) {
            pollfd p{socket_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int c = ::accept(socket_, nullptr, nullptr);
            if (c < 0) continue;
            std::string request;
            char buf[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 2000) <= 0) break;
                const ssize_t n = ::recv(c, buf, sizeof(buf), 0);
                if (n <= 0) break;
                request.append(buf, static_cast<std::size_t>(n));
            }
            if (!request.empty()) {
                const std::string body = bodies_[std::min(next++, bodies_.size() - 1)];
                const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                          std::to_string(body.size()) + "\r\n\r\n" + body;
                ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request.substr(0, request.find("\r\n")));
            }
            ::close(c);
        }
    }

    std::vector<std::string> bodies_;
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

TEST_F(SimBrowserTest, DemoPageWaitsForTheHandwritingThenShowsTheSeal) {
    const std::string images = "http://127.0.0.1:" + std::to_string(sim->port());
    // The success reply as the client writes it: code page 936 bytes
    // ("测试单位", "电子公章"), PLAIN the page's text as it was sent.
    const std::string success =
        "sealInfoHandler({\"IMGURL\":\"" + images + "/seal/1.png\",\"SIGNVAL\":\"U0lHTkFUVVJF\","
        "\"UID\":\"n4bQgYhMfWWaL+qgxVrQFaO/TxsrC4Is0V1sFbDwCgg=\",\"TIME\":\"2026-12-09 11:00:00\","
        "\"USER\":\"\xb2\xe2\xca\xd4\xb5\xa5\xce\xbb\",\"SEALNAME\":\"\xb5\xe7\xd7\xd3\xb9\xab\xd5\xc2\","
        "\"STATUS\":\"0\",\"PLAIN\":\"%E5%90%8C%E6%84%8F%E3%80%82%E8%AF%B7%E6%8C%89%E5%90%88%E5%90%8C"
        "%E7%AC%AC3%E6%9D%A1%E5%8A%9E%E7%90%86%E3%80%82QEXDATAEND\",\"HWIMGURL\":\"" + images + "/hw/x.png\"});";
    // "等待录入手写签名"
    const std::string waiting =
        "sealInfoHandler({\"STATUS\":\"2\",\"ERR\":\"\xb5\xc8\xb4\xfd\xc2\xbc\xc8\xeb\xca\xd6\xd0\xb4\xc7\xa9\xc3\xfb\"});";
    FakeBridge bridge({waiting, waiting, success});
    ASSERT_NE(bridge.port(), 0);

    const std::string dom = DumpDom(Page("/demo?autosign=1&bridge=" + std::to_string(bridge.port())), dir);
    EXPECT_TRUE(Contains(dom, "data-result=\"ok\"")) << dom.substr(0, 3000);
    // The GBK reply read as GBK: the page shows the unit and name correctly.
    EXPECT_TRUE(Contains(dom, "<td id=\"r-user\">\xe6\xb5\x8b\xe8\xaf\x95\xe5\x8d\x95\xe4\xbd\x8d</td>"));
    EXPECT_TRUE(Contains(dom, "<td id=\"r-sealname\">\xe7\x94\xb5\xe5\xad\x90\xe5\x85\xac\xe7\xab\xa0</td>"));
    EXPECT_TRUE(Contains(dom, "src=\"" + images + "/hw/x.png\""));

    const auto requests = bridge.Requests();
    ASSERT_EQ(requests.size(), 3u) << "asked again after each wait, then stopped";
    for (const auto& line : requests) {
        // The page's default text, percent-encoded, then the end marker.
        EXPECT_TRUE(StartsWith(line, "GET /?data=%E5%90%8C%E6%84%8F")) << line;
        EXPECT_TRUE(Contains(line, "QEXDATAEND&_=")) << line;
        EXPECT_FALSE(Contains(line, "&user=")) << line;
    }
}

TEST_F(SimBrowserTest, DemoPageShowsTheClientsRefusalAndAsksNoMore) {
    // "请先登录签章客户端" in code page 936.
    FakeBridge bridge({"sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\""
                       "\xc7\xeb\xcf\xc8\xb5\xc7\xc2\xbc\xc7\xa9\xd5\xc2\xbf\xcd\xbb\xa7\xb6\xcb\"});"});
    ASSERT_NE(bridge.port(), 0);
    const std::string dom = DumpDom(Page("/demo?autosign=1&bridge=" + std::to_string(bridge.port())), dir);
    EXPECT_TRUE(Contains(dom, "data-status=\"1\"")) << dom.substr(0, 3000);
    EXPECT_TRUE(Contains(dom, "data-result=\"error\""));
    EXPECT_TRUE(Contains(dom, "\xe8\xaf\xb7\xe5\x85\x88\xe7\x99\xbb\xe5\xbd\x95\xe7\xad\xbe\xe7\xab\xa0"
                              "\xe5\xae\xa2\xe6\x88\xb7\xe7\xab\xaf"));
    EXPECT_EQ(bridge.Requests().size(), 1u);
}

TEST_F(SimBrowserTest, DemoPageReportsAClientThatIsNotRunning) {
    const std::string dom = DumpDom(Page("/demo?autosign=1&bridge=" + std::to_string(testing::UnusedPort())), dir);
    EXPECT_TRUE(Contains(dom, "data-result=\"error\"")) << dom.substr(0, 3000);
    // "无法连接签章客户端"
    EXPECT_TRUE(Contains(dom, "\xe6\x97\xa0\xe6\xb3\x95\xe8\xbf\x9e\xe6\x8e\xa5\xe7\xad\xbe\xe7\xab\xa0"));
}

}  // namespace
}  // namespace qex::sim
