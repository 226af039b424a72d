// The simulator's handwriting capture end to end over its port: the QR code
// of "1@@@@HW", the phone page it leads to, the phone's submit, the poll
// reply, the stored image, and the capture faults.
#include <gtest/gtest.h>
#include <png.h>
#include <qrencode.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/text_util.h"
#include "service/base64.h"
#include "service/field.h"
#include "sim/sealservice/capture_web.h"
#include "sim/sealservice/images.h"
#include "sim/sealservice/logic.h"
#include "sim/sealservice/png_image.h"
#include "sim_process.h"
#include "sim_web_client.h"

namespace qex::sim {
namespace {

using testing::HttpGet;
using testing::HttpPost;
using testing::QueryUkName;

// The host the QR codes name: not the loopback address the server listens
// on, so the test sees that the setting is used.
constexpr char kPublicHost[] = "sealsim.test";

struct Grey {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
};

bool ReadPng(const std::string& bytes, Grey* out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    image.format = PNG_FORMAT_GRAY;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->pixels.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out->pixels.data(), 0, nullptr) != 0;
}

// A small real PNG, as a phone's canvas would send.
std::string SignaturePng() {
    GreyImage image;
    image.width = 120;
    image.height = 60;
    image.pixels.assign(120 * 60, 255);
    for (int x = 10; x < 110; ++x) image.pixels[30 * 120 + x] = 0;
    return EncodePng(image);
}

std::string Field(const std::string& reply, int n) { return GetField(reply + "@@@@", "@@@@", n); }

class SimCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = testing::MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        sim_ = std::make_unique<testing::SimProcess>();
        ASSERT_TRUE(sim_->Start(QEX_SEALSERVICE_EXE, dir_ + "/seals.db", dir_, {"--public-host", kPublicHost}));
        store_ = std::make_unique<Store>(dir_ + "/seals.db");
    }
    static void TearDownTestSuite() {
        sim_.reset();
        store_.reset();
        std::filesystem::remove_all(dir_);
    }
    void SetUp() override {
        ASSERT_TRUE(sim_) << "simulator not running";
        port = sim_->port();
        ASSERT_EQ(HttpGet(port, "/admin/fault?mode=none").status, 200);
    }
    std::string Base() const { return std::string("http://") + kPublicHost + ":" + std::to_string(port); }
    // Opens a capture; its id.
    std::string Open() {
        const std::string reply = QueryUkName(port, "1@@@@HW");
        EXPECT_TRUE(StartsWith(reply, "QEXRET@@@@")) << reply;
        return Field(reply, 1);
    }
    std::string Poll(const std::string& id) { return QueryUkName(port, "2@@@@" + id); }

    int port = 0;
    static std::string dir_;
    static std::unique_ptr<testing::SimProcess> sim_;
    static std::unique_ptr<Store> store_;
};

std::string SimCaptureTest::dir_;
std::unique_ptr<testing::SimProcess> SimCaptureTest::sim_;
std::unique_ptr<Store> SimCaptureTest::store_;

TEST_F(SimCaptureTest, QrCodeIsASmallPngOfThePhonePageUrl) {
    const std::string reply = QueryUkName(port, "1@@@@HW");
    ASSERT_TRUE(StartsWith(reply, "QEXRET@@@@")) << reply;
    const std::string id = Field(reply, 1);
    ASSERT_EQ(id.size(), 16u);
    const std::string png = DecodeBase64(Field(reply, 2));
    const std::string url = Base() + "/phone/capture?id=" + id;

    // One bit per pixel, grey, square.
    ASSERT_GE(png.size(), 33u);
    EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    EXPECT_EQ(png[24], 1) << "bit depth";
    EXPECT_EQ(png[25], 0) << "colour type";
    Grey image;
    ASSERT_TRUE(ReadPng(png, &image));
    ASSERT_EQ(image.width, image.height);

    // Module by module what libqrencode makes of the URL, with the quiet zone white.
    QRcode* code = QRcode_encodeString8bit(url.c_str(), 0, QR_ECLEVEL_M);
    ASSERT_NE(code, nullptr);
    const int m = kQrModulePixels, q = kQrQuietModules;
    ASSERT_EQ(image.width, (code->width + 2 * q) * m);
    int wrong = 0;
    for (int my = -q; my < code->width + q; ++my) {
        for (int mx = -q; mx < code->width + q; ++mx) {
            const bool dark = mx >= 0 && my >= 0 && mx < code->width && my < code->width &&
                              (code->data[my * code->width + mx] & 1);
            const unsigned char centre = image.pixels[((my + q) * m + m / 2) * image.width + (mx + q) * m + m / 2];
            wrong += (centre < 128) != dark;
        }
    }
    QRcode_free(code);
    EXPECT_EQ(wrong, 0);

    // And a real decoder reads the URL back, where one is installed.
    if (std::system("command -v zbarimg >/dev/null 2>&1") == 0) {
        const std::string file = dir_ + "/qr.png";
        std::ofstream(file, std::ios::binary) << png;
        const std::string out = dir_ + "/qr.txt";
        ASSERT_EQ(std::system(("zbarimg -q --raw " + file + " >" + out + " 2>/dev/null").c_str()), 0);
        std::ifstream in(out);
        std::string decoded;
        std::getline(in, decoded);
        EXPECT_EQ(decoded, url);
    }
}

TEST_F(SimCaptureTest, PhoneSubmitFinishesTheCaptureAndThePollCarriesTheImage) {
    const std::string id = Open();
    const auto page = HttpGet(port, "/phone/capture?id=" + id);
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_TRUE(Contains(page.body, "name=\"viewport\""));
    EXPECT_TRUE(Contains(page.body, "<canvas"));
    EXPECT_TRUE(Contains(page.body, "\xe6\xb8\x85\xe9\x99\xa4")) << "UTF-8 of the clear button";
    EXPECT_TRUE(Contains(page.body, "\xe6\x8f\x90\xe4\xba\xa4")) << "UTF-8 of the submit button";
    EXPECT_TRUE(Contains(page.body, "/phone/submit?id="));

    const std::string waiting = Poll(id);
    EXPECT_FALSE(StartsWith(waiting, "QEXRET"));
    EXPECT_FALSE(Contains(waiting, "QEXERROR"));

    const std::string png = SignaturePng();
    const auto submitted = HttpPost(port, "/phone/submit?id=" + id, "data:image/png;base64," + EncodeBase64(png));
    EXPECT_EQ(submitted.status, 200) << submitted.body;

    const std::string imageUrl = Base() + "/hw/" + id + ".png";
    EXPECT_EQ(Poll(id), "QEXRET@@@@" + imageUrl + "@@@@" + EncodeBase64(png));
    const auto image = HttpGet(port, "/hw/" + id + ".png");
    EXPECT_EQ(image.status, 200);
    EXPECT_EQ(image.Header("Content-Type"), "image/png");
    EXPECT_EQ(image.body, png);

    // Finished: the phone is told so, and a second submit changes nothing.
    EXPECT_EQ(HttpGet(port, "/phone/capture?id=" + id).status, 409);
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, EncodeBase64(SealPng())).status, 409);
    EXPECT_EQ(HttpGet(port, "/hw/" + id + ".png").body, png);
}

TEST_F(SimCaptureTest, UnknownCapturesAreAnsweredClearly) {
    const auto page = HttpGet(port, "/phone/capture?id=nosuch");
    EXPECT_EQ(page.status, 404);
    EXPECT_TRUE(Contains(page.body, "charset=\"utf-8\""));
    EXPECT_EQ(HttpGet(port, "/phone/capture").status, 404);
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=nosuch", EncodeBase64(SignaturePng())).status, 404);
    EXPECT_EQ(HttpGet(port, "/hw/nosuch.png").status, 404);
    EXPECT_EQ(HttpGet(port, "/phone/submit?id=nosuch").status, 405);
    EXPECT_TRUE(Contains(Poll("nosuch"), "QEXERROR"));
}

TEST_F(SimCaptureTest, SubmitBodiesAreCheckedAndBounded) {
    const std::string id = Open();
    const std::string png = SignaturePng();
    // Not an image, another image type, a truncated PNG: refused, capture still open.
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, "hello").status, 400);
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, "data:image/jpeg;base64," + EncodeBase64(png)).status, 400);
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, EncodeBase64(png.substr(0, 20))).status, 400);
    EXPECT_FALSE(StartsWith(Poll(id), "QEXRET"));

    // Over the bound: refused on the header alone, before any body is sent.
    const auto big = testing::Exchange(port, "POST /phone/submit?id=" + id +
                                                 " HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
                                                 "Content-Length: " + std::to_string(kMaxPostBytes + 1) + "\r\n\r\n");
    EXPECT_EQ(big.status, 413);
    // No length at all: refused too.
    const auto chunked = testing::Exchange(port, "POST /phone/submit?id=" + id +
                                                     " HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                     "5\r\nhello\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.status, 411);
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, "").status, 400);
    EXPECT_FALSE(StartsWith(Poll(id), "QEXRET"));

    // Exactly at the bound is read whole: raw Base64 padded with line breaks.
    std::string body = EncodeBase64(png);
    body.resize(kMaxPostBytes, '\n');
    EXPECT_EQ(HttpPost(port, "/phone/submit?id=" + id, body).status, 200);
    EXPECT_EQ(Field(Poll(id), 2), EncodeBase64(png));
}

TEST_F(SimCaptureTest, CaptureFaultsRefuseOrNeverFinish) {
    const std::string id = Open();

    ASSERT_EQ(HttpGet(port, "/admin/fault?mode=refuse-open").status, 200);
    const std::string refused = QueryUkName(port, "1@@@@HW");
    EXPECT_TRUE(StartsWith(refused, "QEXERROR")) << refused;
    // Other requests are answered as usual.
    EXPECT_FALSE(StartsWith(Poll(id), "QEXRET"));
    EXPECT_FALSE(Contains(Poll(id), "QEXERROR"));

    ASSERT_EQ(HttpGet(port, "/admin/fault?mode=refuse-poll").status, 200);
    EXPECT_TRUE(Contains(Poll(id), "QEXERROR"));
    EXPECT_TRUE(StartsWith(QueryUkName(port, "1@@@@HW"), "QEXRET@@@@"));

    // The command line sets the same modes.
    ASSERT_EQ(testing::RunToEnd(QEX_SEALSERVICE_EXE, {"--db", dir_ + "/seals.db", "set-fault", "never"}), 0);
    ASSERT_EQ(HttpPost(port, "/phone/submit?id=" + id, EncodeBase64(SignaturePng())).status, 200);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Poll(id), kCaptureWaiting);

    ASSERT_EQ(HttpGet(port, "/admin/fault?mode=none").status, 200);
    EXPECT_EQ(Field(Poll(id), 1), Base() + "/hw/" + id + ".png");
}

TEST_F(SimCaptureTest, PublicHostMustBeAHost) {
    // It ends up inside every QR code's URL.
    for (const char* bad : {"", "evil.test/x?", "a b", "h#frag"}) {
        EXPECT_EQ(testing::RunToEnd(QEX_SEALSERVICE_EXE,
                                    {"--db", dir_ + "/other.db", "--port", "0", "--public-host", bad}),
                  2)
            << bad;
    }
}

TEST_F(SimCaptureTest, DemoPageAndSealImageAreServed) {
    for (const char* path : {"/", "/demo", "/demo.html"}) {
        const auto page = HttpGet(port, path);
        EXPECT_EQ(page.status, 200) << path;
        EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8") << path;
        EXPECT_TRUE(Contains(page.body, "<script src=\"/sdk/qexseal.js\"></script>")) << path;
        EXPECT_TRUE(Contains(page.body, "QexSeal.sign(")) << path;
    }
    // The library the demo loads, built in as well.
    for (const char* name : {"qexseal.js", "qexseal.mjs"}) {
        const auto lib = HttpGet(port, std::string("/sdk/") + name);
        EXPECT_EQ(lib.status, 200) << name;
        EXPECT_EQ(lib.Header("Content-Type"), "text/javascript") << name;
        std::ifstream file(std::string(QEX_SDK_DIR "/") + name, std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(source.empty()) << name;
        EXPECT_EQ(lib.body, source) << name;
    }
    EXPECT_EQ(HttpGet(port, "/sdk/missing.js").status, 404);
    // Built in, byte for byte the file of the source tree.
    std::ifstream file(QEX_SITE_DIR "/demo.html", std::ios::binary);
    const std::string source((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(HttpGet(port, "/demo").body, source);

    const auto seal = HttpGet(port, "/seal/1.png");
    EXPECT_EQ(seal.status, 200);
    EXPECT_EQ(seal.Header("Content-Type"), "image/png");
    int width = 0, height = 0;
    EXPECT_TRUE(PngSize(seal.body, &width, &height));
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 160);
    EXPECT_EQ(HttpGet(port, "/seal/.png").status, 404);
}

// The parts of a submit and the image route that need no server.
TEST(SubmittedPng, TakesDataUrlsAndRawBase64OfPngsOnly) {
    const std::string png = SignaturePng();
    EXPECT_EQ(SubmittedPng("data:image/png;base64," + EncodeBase64(png)), png);
    EXPECT_EQ(SubmittedPng(EncodeBase64(png) + "\r\n"), png);
    EXPECT_EQ(SubmittedPng("data:text/plain;base64," + EncodeBase64(png)), "");
    EXPECT_EQ(SubmittedPng(""), "");
    // A header that claims a picture bigger than any phone canvas.
    std::string huge = png;
    huge[16] = 0;
    huge[17] = 0;
    huge[18] = 0x13;
    huge[19] = 0x88;  // width 5000
    EXPECT_EQ(SubmittedPng(EncodeBase64(huge)), "");
}

TEST(HandwritingImage, OnlyFinishedCapturesWithAPng) {
    const std::string dir = testing::MakeTempDir();
    Store store(dir + "/db");
    ASSERT_TRUE(store.Init());
    const std::string open = store.OpenCapture();
    const std::string other = store.OpenCapture();
    ASSERT_TRUE(store.FinishCapture(other, "http://h/1.png", "aGFuZA=="));
    EXPECT_EQ(HandwritingImage(store, "/hw/" + open + ".png").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(HandwritingImage(store, "/hw/" + other + ".png").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(HandwritingImage(store, "/hw/.png").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(HandwritingImage(store, "/hw/" + open).rfind("HTTP/1.1 404", 0), 0u);
    // The phone's submit takes only a capture that is still open.
    EXPECT_TRUE(store.FinishOpenCapture(open, "u", EncodeBase64(SignaturePng())));
    EXPECT_FALSE(store.FinishOpenCapture(open, "v", "w"));
    EXPECT_EQ(store.FindCapture(open)->imageUrl, "u");
    EXPECT_EQ(HandwritingImage(store, "/hw/" + open + ".png").rfind("HTTP/1.1 200", 0), 0u);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qex::sim
