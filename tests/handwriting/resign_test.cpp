#include "core/shell_texts.h"
#include "handwriting/hw_texts.h"
#include "handwriting/resign.h"

#include <gtest/gtest.h>

#include "tests/service/fake_seal_service.h"

#include <string>
#include <vector>

namespace qex::hw {
namespace {

class FakeResignHost : public IResignHost {
public:
    void AppendStatus(const std::string& line) override { lines.push_back(line); }
    std::string GetTitle() override { return title; }
    void SetHWResult(const std::string& url) override { result = url; }
    int RunCaptureDialog(const std::string& id, const std::string& qr, std::string& url) override {
        dialogs.push_back(id + "|" + qr);
        url = "http://h/hw.png";
        return dialogResult;
    }

    std::string title = qex::text::kTitleLoggedIn;
    std::string result = "http://h/earlier.png";
    int dialogResult = kIdOk;
    std::vector<std::string> lines, dialogs;
};

// The service answers every handwriting request with `reply`.
testing::FakeSealService OneReply(const std::string& reply) {
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

TEST(Resign, NotLoggedInOnlyAsksToLogIn) {
    FakeResignHost host;
    host.title = qex::text::kTitleLoggedOut;
    auto service = OneReply("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(ResignOutcome::kNotLoggedIn, RunResign(host, service));
    EXPECT_EQ(std::vector<std::string>{text::kLoginFirst}, host.lines);
    EXPECT_TRUE(service.Calls().empty());
}

TEST(Resign, CaptureReplacesTheHeldHandwriting) {
    FakeResignHost host;
    auto service = OneReply("QEXRET@@@@cap-3@@@@UVI=");
    EXPECT_EQ(ResignOutcome::kCaptured, RunResign(host, service));
    EXPECT_EQ(std::vector<std::string>{"1@@@@HW"}, Requests(service));
    EXPECT_EQ(std::vector<std::string>{"cap-3|UVI="}, host.dialogs);
    EXPECT_EQ("http://h/hw.png", host.result);
    EXPECT_TRUE(host.lines.empty());
}

TEST(Resign, RefusalIsTestedBeforeTheMarker) {
    FakeResignHost host;
    auto service = OneReply("QEXRET@@@@id@@@@QEXERROR");
    EXPECT_EQ(ResignOutcome::kRefused, RunResign(host, service));
    EXPECT_EQ(std::vector<std::string>{text::kResignRefused}, host.lines);
    EXPECT_TRUE(host.dialogs.empty());
}

TEST(Resign, LowerCaseMarkerOrNoReplyIsADataError) {
    for (const char* reply : {"qexret@@@@id@@@@qr", ""}) {
        FakeResignHost host;
        auto service = OneReply(reply);
        EXPECT_EQ(ResignOutcome::kBadData, RunResign(host, service));
        EXPECT_EQ(std::vector<std::string>{text::kResignBadData}, host.lines);
    }
}

TEST(Resign, GivingUpKeepsTheEarlierHandwriting) {
    FakeResignHost host;
    host.dialogResult = kIdCancel;
    auto service = OneReply("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(ResignOutcome::kFailed, RunResign(host, service));
    EXPECT_EQ(std::vector<std::string>{text::kResignFailed}, host.lines);
    EXPECT_EQ("http://h/earlier.png", host.result);
}

TEST(Resign, TheLoginFlagIsFoundAnywhereInTheTitle) {
    FakeResignHost host;
    host.title = std::string("x") + qex::text::kLoggedInMark + "y";
    auto service = OneReply("QEXRET@@@@id@@@@qr");
    EXPECT_EQ(ResignOutcome::kCaptured, RunResign(host, service));
}

}  // namespace
}  // namespace qex::hw
