// The simulator's plain HTTP side: static pages and the admin commands.
#include "sim/sealservice/http_get.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/sealservice/store.h"
#include "sim_process.h"

namespace qex::sim {
namespace {

class SimHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::MakeTempDir();
        ASSERT_FALSE(dir.empty());
        store = std::make_unique<Store>(dir + "/db");
        ASSERT_TRUE(store->Init());
        std::ofstream(dir + "/demo.html") << "<p>demo</p>";
        std::ofstream(dir + "/../qex-secret.txt") << "secret";
    }
    void TearDown() override {
        store.reset();
        std::filesystem::remove(dir + "/../qex-secret.txt");
        std::filesystem::remove_all(dir);
    }
    std::string Get(const std::string& path) { return HandleGet(*store, dir, path); }

    std::string dir;
    std::unique_ptr<Store> store;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SimHttpTest, ServesFilesOfTheFolderAndNothingOutsideIt) {
    const std::string page = Get("/demo.html");
    EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_TRUE(Has(page, "Content-Type: text/html"));
    EXPECT_TRUE(Has(page, "Content-Length: 11\r\n"));
    EXPECT_TRUE(Has(page, "\r\n\r\n<p>demo</p>"));
    EXPECT_EQ(Get("/../qex-secret.txt").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(Get("/missing.html").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(Get("/").rfind("HTTP/1.1 200", 0), 0u);  // the demo page without index.html
}

TEST_F(SimHttpTest, RootServesTheFoldersIndexElseTheDemoPage) {
    EXPECT_TRUE(Has(Get("/"), "\r\n\r\n<p>demo</p>"));
    std::ofstream(dir + "/index.html") << "<p>index</p>";
    EXPECT_TRUE(Has(Get("/"), "\r\n\r\n<p>index</p>"));
    EXPECT_TRUE(Has(Get("/demo"), "\r\n\r\n<p>demo</p>"));
    // Without a folder: the built-in demo page.
    const std::string builtIn = HandleGet(*store, "", "/");
    EXPECT_EQ(builtIn.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_TRUE(Has(builtIn, "QexSeal.sign("));
    // And the library it loads, which a folder of one's own need not bring.
    EXPECT_TRUE(Has(Get("/sdk/qexseal.js"), "Content-Type: text/javascript"));
    EXPECT_TRUE(Has(Get("/sdk/qexseal.js"), "sealInfoHandler"));
    EXPECT_EQ(HandleGet(*store, "", "/index.html").rfind("HTTP/1.1 404", 0), 0u);
}

TEST_F(SimHttpTest, FaultModeIsCheckedAndStored) {
    EXPECT_TRUE(Has(Get("/admin/fault?mode=soap12"), "200 OK"));
    EXPECT_EQ(store->Setting("fault"), "soap12");
    EXPECT_TRUE(Has(Get("/admin/fault?mode=delay%3A250"), "200 OK"));
    EXPECT_EQ(store->Setting("fault"), "delay:250");
    EXPECT_TRUE(Has(Get("/admin/fault?mode=bogus"), "HTTP/1.1 400"));
    EXPECT_EQ(store->Setting("fault"), "delay:250");
    for (const char* capture : {"refuse-open", "refuse-poll", "never"}) {
        EXPECT_TRUE(Has(Get(std::string("/admin/fault?mode=") + capture), "200 OK"));
        EXPECT_EQ(store->Setting("fault"), capture);
    }
    Get("/admin/fault?mode=none");
    EXPECT_EQ(store->Setting("fault"), "");
}

TEST_F(SimHttpTest, FinishCaptureDecodesItsArguments) {
    const std::string id = store->OpenCapture();
    ASSERT_FALSE(id.empty());
    EXPECT_TRUE(Has(Get("/admin/finish-capture?id=nosuch&url=x&data=y"), "HTTP/1.1 404"));
    EXPECT_TRUE(Has(Get("/admin/finish-capture?id=" + id + "&url=http%3A%2F%2Fh%2F1.png&data=QU+J%2BD"),
                    "200 OK"));
    const auto capture = store->FindCapture(id);
    ASSERT_TRUE(capture);
    EXPECT_TRUE(capture->finished);
    EXPECT_EQ(capture->imageUrl, "http://h/1.png");
    EXPECT_EQ(capture->imageData, "QU J+D");
}

TEST_F(SimHttpTest, RegisterSealStoresUnitAndNameInCodePage936) {
    // "测试单位" and "电子公章" as UTF-8 bytes, the way a terminal passes them.
    const std::string unitUtf8 = "\xe6\xb5\x8b\xe8\xaf\x95\xe5\x8d\x95\xe4\xbd\x8d";
    const std::string nameUtf8 = "\xe7\x94\xb5\xe5\xad\x90\xe5\x85\xac\xe7\xab\xa0";
    const std::vector<std::string> args = {"--db", dir + "/db", "register-seal", "--cert-hash", "H=",
                                           "--unit", unitUtf8, "--name", nameUtf8, "--image-url",
                                           "http://i/1.png", "--web-url", "NOURL", "--need-hw", "1"};
    ASSERT_EQ(testing::RunToEnd(QEX_SEALSERVICE_EXE, args), 0);
    const auto seal = store->FindSeal("H=");
    ASSERT_TRUE(seal);
    EXPECT_EQ(seal->unit, "\xb2\xe2\xca\xd4\xb5\xa5\xce\xbb");
    EXPECT_EQ(seal->name, "\xb5\xe7\xd7\xd3\xb9\xab\xd5\xc2");
    EXPECT_TRUE(seal->needHandwriting);
    EXPECT_EQ(seal->webUrl, "NOURL");

    auto bad = args;
    bad[6] = "\xff\xfe";  // not UTF-8
    EXPECT_EQ(testing::RunToEnd(QEX_SEALSERVICE_EXE, bad), 2);
    bad = args;
    bad.resize(bad.size() - 2);  // --need-hw missing
    EXPECT_EQ(testing::RunToEnd(QEX_SEALSERVICE_EXE, bad), 2);
}

TEST(UrlDecode, PercentAndPlus) {
    EXPECT_EQ(UrlDecode("a%20b+c%2b%zz%4"), "a b c+%zz%4");
    EXPECT_EQ(QueryValue("a=1&b=%41&c", "b"), "A");
    EXPECT_EQ(QueryValue("a=1&b=%41&c", "c"), "");
    EXPECT_EQ(QueryValue("a=1", "z"), "");
}

}  // namespace
}  // namespace qex::sim
