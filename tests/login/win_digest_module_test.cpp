// The digest module loader against the stand-in QEXMultiCACryptModule.dll
// that lies beside this program, as it lies beside the client.
#include "login/win_digest_module.h"

#include <gtest/gtest.h>

#include <string>

#include "../token/fake_skf.h"
#include "core/main_state.h"
#include "login/seal_login.h"
#include "login_fakes.h"
#include "service/base64.h"

namespace qex::test {
namespace {

std::string Digest(WinDigestModule& module, const std::string& data, int* size) {
    unsigned char out[50] = {};
    *size = 50;
    const int rc = module.Digest(reinterpret_cast<const unsigned char*>(data.data()),
                                 static_cast<long long>(data.size()), out, size);
    if (rc != 0) return "rc" + std::to_string(rc);
    return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(*size));
}

TEST(WinDigestModule, LoadsByNameDigestsAndUnloads) {
    WinDigestModule module;
    ASSERT_TRUE(module.Load());
    EXPECT_NE(GetModuleHandleA("QEXMultiCACryptModule.dll"), nullptr);
    ASSERT_TRUE(module.FindEntry());
    int size = 0;
    // SHA-256("abc")
    EXPECT_EQ(EncodeBase64(Digest(module, "abc", &size)), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    EXPECT_EQ(size, 32);
    module.Unload();
    EXPECT_EQ(GetModuleHandleA("QEXMultiCACryptModule.dll"), nullptr);
    // After unloading there is no entry to call, and nothing crashes.
    EXPECT_EQ(Digest(module, "abc", &size), "rc-1");
    EXPECT_FALSE(module.FindEntry());
}

TEST(WinDigestModule, LoadsAgainAfterEveryRun) {
    WinDigestModule module;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(module.Load());
        ASSERT_TRUE(module.FindEntry());
        int size = 0;
        EXPECT_EQ(Digest(module, "", &size).size(), 32u);
        module.Unload();
    }
}

TEST(WinDigestModule, SealLoginUsesTheModulesDigestAsTheKeysIdentity) {
    FakeSkf skf;
    RecordingUi ui;
    WinDigestModule module;
    FakePinPrompt pin;
    FakeSealService service;
    MainState state;
    state.ResetForStart();
    MainStateLogin loginState(state);
    SealLogin login(LoginParts{ui, skf, module, pin, service, loginState});

    EXPECT_FALSE(login.LoginAndSign("1", RunPolicy::kFailIfBusy).empty());
    WinDigestModule reference;
    ASSERT_TRUE(reference.Load());
    ASSERT_TRUE(reference.FindEntry());
    int size = 0;
    EXPECT_EQ(state.GetCertHashBase64(), EncodeBase64(Digest(reference, skf.cert, &size)));
    EXPECT_EQ(state.GetCertHashBase64().size(), 44u);
    EXPECT_EQ(skf.signedData, Digest(reference, "1", &size));
    reference.Unload();
    // The run did not leave the module loaded.
    EXPECT_EQ(GetModuleHandleA("QEXMultiCACryptModule.dll"), nullptr);
}

}  // namespace
}  // namespace qex::test
