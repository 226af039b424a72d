#include "core/main_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace qex {
namespace {

TEST(MainState, ResetForStartGivesTheStartValuesBeforeWorkersRun) {
    MainState s;
    s.SetHWRequested(true);
    s.SetHWResult("http://hw/1.png");
    s.SetPIN("123456");
    s.SetNeedHW(false);
    s.SetRunning(false);
    s.SetSealImgURL("http://seal/1.png");
    s.SetCertHashBase64("abc=");
    s.ResetForStart();
    EXPECT_FALSE(s.IsHWRequested());
    EXPECT_EQ("", s.GetHWResult());
    EXPECT_EQ("", s.GetPIN());
    EXPECT_TRUE(s.IsNeedHW());
    EXPECT_TRUE(s.IsRunning());
    // Not part of the reset: the login state and the key identity.
    EXPECT_EQ("http://seal/1.png", s.GetSealImgURL());
    EXPECT_EQ("abc=", s.GetCertHashBase64());
}

// Writers replace whole strings while readers copy them: every copy must be
// one of the values written, never a mix (the sanitizer tree also checks
// the accesses themselves).
TEST(MainState, ConcurrentWritersAndReadersSeeWholeValues) {
    MainState s;
    const std::string a(300, 'a'), b(7, 'b');
    s.SetSealImgURL(a);
    s.SetCertHashBase64(a);
    s.SetHWResult(a);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < 20000; ++i) {
                const std::string& v = ((i + w) % 2) ? a : b;
                s.SetSealImgURL(v);
                s.SetCertHashBase64(v);
                s.SetHWResult(v);
                s.SetHWRequested(i % 2 == 0);
                s.SetKeyCount(i);
            }
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            while (!stop) {
                for (const std::string& v : {s.GetSealImgURL(), s.GetCertHashBase64(), s.GetHWResult()}) {
                    if (v != a && v != b) ++torn;
                }
                (void)s.IsHWRequested();
                (void)s.GetKeyCount();
            }
        });
    }
    threads[0].join();
    threads[1].join();
    stop = true;
    threads[2].join();
    threads[3].join();
    EXPECT_EQ(0, torn.load());
}

TEST(MainState, ClearHWResultIfKeepsAUrlStoredMeanwhile) {
    MainState s;
    s.SetHWResult("first");
    const std::string used = s.GetHWResult();
    s.SetHWResult("second");  // another capture finished while the reply was built
    s.ClearHWResultIf(used);
    EXPECT_EQ("second", s.GetHWResult());
    s.ClearHWResultIf("second");
    EXPECT_EQ("", s.GetHWResult());
}

}  // namespace
}  // namespace qex
