#include "handwriting/hw_texts.h"
#include "handwriting/wait_pass.h"

#include <gtest/gtest.h>

#include "tests/service/fake_seal_service.h"

#include <string>
#include <vector>

namespace qex::hw {
namespace {

class FakeWaitHost : public IWaitHost {
public:
    void AppendStatus(const std::string& line) override { events.push_back("line:" + line); }
    bool HWRequested() override { return requested; }
    void ClearHWRequested() override {
        requested = false;
        events.push_back("clear");
    }
    std::string GetHWResult() override { return result; }
    void SetHWResult(const std::string& url) override {
        result = url;
        events.push_back("result:" + url);
    }
    void ShowMainWindow() override { events.push_back("show"); }
    void HideMainWindow() override { events.push_back("hide"); }
    void StatusReport(const std::string& text) override { events.push_back("report:" + text); }
    int RunCaptureDialog(const std::string& id, const std::string& qr, std::string& url) override {
        events.push_back("dialog:" + id + "|" + qr);
        if (requestDuringDialog) requested = true;
        url = dialogUrl;
        return dialogResult;
    }

    bool requested = true;
    bool requestDuringDialog = false;
    std::string result;
    int dialogResult = kIdOk;
    std::string dialogUrl = "http://h/hw.png";
    std::vector<std::string> events;
};

// The service answers every handwriting request with `reply`.
testing::FakeSealService ScriptedService(const std::string& reply) {
    testing::FakeSealService service;
    service.Reply("queryUkNameByCerBase64", "", reply);
    return service;
}

// The arg0 of every call made.
std::vector<std::string> Requests(const testing::FakeSealService& service) {
    std::vector<std::string> out;
    for (const auto& call : service.Calls()) out.push_back(call.arg0);
    return out;
}

TEST(WaitPass, NothingHappensWithoutARequest) {
    FakeWaitHost host;
    host.requested = false;
    auto service = ScriptedService("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(PassOutcome::kIdle, RunWaitPass(host, service));
    EXPECT_TRUE(host.events.empty());
    EXPECT_TRUE(service.Calls().empty());
}

TEST(WaitPass, HeldHandwritingOnlyClearsTheFlag) {
    FakeWaitHost host;
    host.result = "http://h/old.png";
    auto service = ScriptedService("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(PassOutcome::kAlreadyHeld, RunWaitPass(host, service));
    EXPECT_EQ(std::vector<std::string>{"clear"}, host.events);
    EXPECT_TRUE(service.Calls().empty());
}

TEST(WaitPass, CaptureStoresTheResultBeforeClearingTheFlagAndHides) {
    FakeWaitHost host;
    auto service = ScriptedService("QEXRET@@@@id-1@@@@UVI=");
    EXPECT_EQ(PassOutcome::kCaptured, RunWaitPass(host, service));
    EXPECT_EQ(std::vector<std::string>{"1@@@@HW"}, Requests(service));
    const std::vector<std::string> expected = {"show",    "dialog:id-1|UVI=",
                                               std::string("line:") + text::kCaptured,
                                               "result:http://h/hw.png", "clear", "hide", "clear"};
    EXPECT_EQ(expected, host.events);
    EXPECT_EQ("http://h/hw.png", host.result);
    EXPECT_FALSE(host.requested);
}

TEST(WaitPass, RefusalComesBeforeTheMarkerTest) {
    FakeWaitHost host;
    auto service = ScriptedService("QEXRET@@@@id@@@@qrQEXERROR");
    EXPECT_EQ(PassOutcome::kRefused, RunWaitPass(host, service));
    EXPECT_EQ(std::string("report:") + text::kRequestRefused, host.events[1]);
    EXPECT_FALSE(host.requested);
}

TEST(WaitPass, LowerCaseOrEmptyRepliesAreBadData) {
    for (const char* reply : {"qexret@@@@id@@@@qr", ""}) {
        FakeWaitHost host;
        auto service = ScriptedService(reply);
        EXPECT_EQ(PassOutcome::kBadData, RunWaitPass(host, service));
        EXPECT_EQ(std::string("report:") + text::kBadData, host.events[1]);
        EXPECT_FALSE(host.requested);
        EXPECT_EQ("", host.result);
    }
}

TEST(WaitPass, MarkerWithoutFieldsOpensTheDialogWithEmptyData) {
    FakeWaitHost host;
    auto service = ScriptedService("QEXRET");
    RunWaitPass(host, service);
    EXPECT_EQ("dialog:|", host.events[1]);
}

TEST(WaitPass, GivingUpKeepsTheWindowAndAbsorbsRequestsMadeMeanwhile) {
    FakeWaitHost host;
    host.dialogResult = kIdCancel;
    host.requestDuringDialog = true;
    auto service = ScriptedService("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(PassOutcome::kGivenUp, RunWaitPass(host, service));
    EXPECT_EQ(std::string("report:") + text::kGivenUp, host.events[2]);
    EXPECT_EQ("", host.result);
    EXPECT_FALSE(host.requested);
    for (const auto& e : host.events) EXPECT_NE("hide", e);
}

}  // namespace
}  // namespace qex::hw
