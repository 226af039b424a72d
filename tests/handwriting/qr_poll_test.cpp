#include "handwriting/hw_texts.h"
#include "handwriting/qr_poll.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

namespace qex::hw {
namespace {

class FakeView : public IQrView {
public:
    void BringToTop() override { ++raised; }
    void StopTimer(int id) override { stopped.insert(id); }
    void ShowImage(const std::string& image) override { shown.push_back(image); }
    void EnableContinue() override { continueEnabled = true; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    int raised = 0;
    std::set<int> stopped;
    std::vector<std::string> shown;
    bool continueEnabled = false;
    std::vector<std::string> messages;
};

// Answers polls from a script; once the script is used up, "not yet".
class FakeService : public ISealService {
public:
    std::string QueryUkNameByCerBase64(const std::string& arg0) override {
        requests.push_back(arg0);
        if (replies.empty()) return "";
        std::string r = replies.front();
        replies.pop_front();
        return r;
    }
    std::string QueryUkImgByCerBase64(const std::string&) override { return ""; }
    std::string AddUkSealLog(const std::string&, const std::string&) override { return ""; }
    std::string QueryUkMsgByCerHashBase64(const std::string&) override { return ""; }

    std::deque<std::string> replies;
    std::vector<std::string> requests;
};

class QrPollTest : public ::testing::Test {
protected:
    QrPollTest() : poll(view, service) {
        poll.SetCaptureData("cap-7", "UVJQTkc=");
        poll.Init();
    }
    // Fires the poll timer while it still runs (a stopped timer sends nothing).
    void Tick(int times = 1) {
        for (int i = 0; i < times && !view.stopped.count(kPollTimer); ++i) poll.OnTimer(kPollTimer);
    }
    FakeView view;
    FakeService service;
    QrPoll poll;
};

TEST_F(QrPollTest, QrCodeIsShownOnlyByTheFirstTimer) {
    EXPECT_TRUE(view.shown.empty());
    poll.OnTimer(kShowQrTimer);
    EXPECT_EQ(std::vector<std::string>{"UVJQTkc="}, view.shown);
    EXPECT_TRUE(view.stopped.count(kShowQrTimer));
    EXPECT_TRUE(service.requests.empty());
    EXPECT_EQ(1, view.raised);
}

TEST_F(QrPollTest, PollsWithTheCaptureId) {
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2@@@@cap-7"}, service.requests);
    EXPECT_EQ(1, poll.PollCount());
}

TEST_F(QrPollTest, FinishedCaptureShowsTheHandwritingAndEnablesContinue) {
    service.replies = {"QEXRETabc@@@@http://h/hw.png@@@@SFdQTkc="};
    Tick();
    EXPECT_EQ("http://h/hw.png", poll.HWImageURL());
    EXPECT_EQ(std::vector<std::string>{"SFdQTkc="}, view.shown);
    EXPECT_TRUE(view.continueEnabled);
    EXPECT_TRUE(view.stopped.count(kPollTimer));
    EXPECT_EQ(0, poll.PollCount());
}

TEST_F(QrPollTest, MarkerWithOneFieldNeitherFinishesNorCounts) {
    service.replies = {"QEXRET@@@@http://h/hw.png", "QEXRET@@@@@@@@img"};
    Tick(2);
    EXPECT_FALSE(view.continueEnabled);
    EXPECT_FALSE(view.stopped.count(kPollTimer));
    EXPECT_EQ(0, poll.PollCount());
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(QrPollTest, LowerCaseMarkerAndEmptyRepliesAreCounted) {
    service.replies = {"qexret@@@@u@@@@i", ""};
    Tick(2);
    EXPECT_EQ(2, poll.PollCount());
    EXPECT_FALSE(view.continueEnabled);
}

TEST_F(QrPollTest, RefusalAnywhereStopsPolling) {
    service.replies = {"QEXRET@@@@u@@@@iQEXERROR"};
    Tick(3);
    EXPECT_EQ(std::vector<std::string>{text::kRefused}, view.messages);
    EXPECT_EQ(1u, service.requests.size());
    EXPECT_FALSE(view.continueEnabled);
}

TEST_F(QrPollTest, The1200thCountedPollTimesOutAndThe1199thDoesNot) {
    Tick(kMaxCountedPolls - 1);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(view.stopped.count(kPollTimer));
    Tick();
    EXPECT_EQ(std::vector<std::string>{text::kTimedOut}, view.messages);
    EXPECT_TRUE(view.stopped.count(kPollTimer));
    EXPECT_EQ(kMaxCountedPolls, poll.PollCount());
    Tick();
    EXPECT_EQ(static_cast<std::size_t>(kMaxCountedPolls), service.requests.size());
}

TEST_F(QrPollTest, UncountedRepliesDoNotBringTheTimeOutCloser) {
    for (int i = 0; i < kMaxCountedPolls - 1; ++i) service.replies.push_back(i % 2 ? "" : "QEXRET@@@@x");
    Tick(kMaxCountedPolls - 1);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ((kMaxCountedPolls - 1) / 2, poll.PollCount());
}

}  // namespace
}  // namespace qex::hw
