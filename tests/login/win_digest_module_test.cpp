// The digest module loader against the stand-in QEXMultiCACryptModule.dll
// that lies beside this program, as it lies beside the client.
#include "login/win_digest_module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "login/digest_call.h"

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
    module.Digest(reinterpret_cast<const unsigned char*>(data.data()), static_cast<long long>(data.size()), out,
                  size);
    if (*size <= 0 || *size > 50) return "size" + std::to_string(*size);
    return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(*size));
}

constexpr char kAbcSha256[] = "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=";

TEST(WinDigestModule, LoadsByNameDigestsAndUnloads) {
    WinDigestModule module;
    ASSERT_TRUE(module.Load());
    EXPECT_NE(GetModuleHandleA("QEXMultiCACryptModule.dll"), nullptr);
    ASSERT_TRUE(module.FindEntry());
    int size = 0;
    // SHA-256("abc")
    EXPECT_EQ(EncodeBase64(Digest(module, "abc", &size)), kAbcSha256);
    EXPECT_EQ(size, 32);
    module.Unload();
    EXPECT_EQ(GetModuleHandleA("QEXMultiCACryptModule.dll"), nullptr);
    // After unloading there is no entry to call, and nothing crashes.
    EXPECT_EQ(Digest(module, "abc", &size), "size0");
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
    SealLogin login(LoginParts{ui, skf, module, pin, service, state});

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

// Modules built as a maker's may be: one whose entry returns a nonzero value
// after filling the buffer, one whose entry uses the C calling convention.
// Both digest correctly, run after run, and the login signs with them.
TEST(WinDigestModule, EntriesOfAnyResultAndEitherConventionDigest) {
    for (const char* name : {"QEXDigestNonzero.dll", "QEXDigestCdecl.dll"}) {
        WinDigestModule module(name);
        ASSERT_TRUE(module.Load()) << name;
        ASSERT_TRUE(module.FindEntry()) << name;
        // A wrong stack pointer after each call would add up over the loop
        // and bring the process down long before its end.
        for (int i = 0; i < 20000; ++i) {
            int size = 0;
            ASSERT_EQ(EncodeBase64(Digest(module, "abc", &size)), kAbcSha256) << name << " call " << i;
        }
        module.Unload();

        FakeSkf skf;
        RecordingUi ui;
        FakePinPrompt pin;
        FakeSealService service;
        MainState state;
        state.ResetForStart();
        WinDigestModule loaded(name);
        SealLogin login(LoginParts{ui, skf, loaded, pin, service, state});
        EXPECT_FALSE(login.LoginAndSign("1", RunPolicy::kFailIfBusy).empty()) << name;
        EXPECT_EQ(state.GetCertHashBase64().size(), 44u) << name;
        int size = 0;
        WinDigestModule reference(name);
        ASSERT_TRUE(reference.Load() && reference.FindEntry());
        EXPECT_EQ(skf.signedData, Digest(reference, "1", &size)) << name;
    }
}

// The thunk itself, against entries of both conventions that check every
// argument they get: each call must see its own arguments, and the caller's
// frame (the loop counter, the locals) must survive hundreds of thousands
// of calls of either kind.
struct SeenArguments {
    const unsigned char* data;
    long long length;
    int reserved1, reserved2;
    unsigned char* out;
    int* outLength;
};
SeenArguments g_seen;

int __stdcall StdcallEntry(const unsigned char* data, long long length, int r1, int r2, unsigned char* out,
                           int* outLength) {
    g_seen = {data, length, r1, r2, out, outLength};
    *outLength = 7;
    return 11;
}

int __cdecl CdeclEntry(const unsigned char* data, long long length, int r1, int r2, unsigned char* out,
                       int* outLength) {
    g_seen = {data, length, r1, r2, out, outLength};
    *outLength = 9;
    return -13;
}

TEST(DigestCall, PassesTheArgumentsAndKeepsTheCallersStackForEitherConvention) {
    struct Case {
        FARPROC entry;
        int length;
        int result;
    };
    const Case cases[] = {
        {reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&StdcallEntry)), 7, 11},
        {reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&CdeclEntry)), 9, -13},
    };
    unsigned char data[3] = {1, 2, 3};
    unsigned char out[50];
    const long long big = 0x123456789LL;
    for (const Case& c : cases) {
        for (int i = 0; i < 300000; ++i) {
            int outLength = 50;
            const long long length = (i % 2) ? big : static_cast<long long>(i);
            const int result = login::CallDigestEntry(c.entry, data, length, out, &outLength);
            if (result != c.result || outLength != c.length || g_seen.data != data || g_seen.length != length ||
                g_seen.reserved1 != 0 || g_seen.reserved2 != 0 || g_seen.out != out ||
                g_seen.outLength != &outLength) {
                FAIL() << "call " << i << ": result " << result << ", length " << outLength;
            }
        }
    }
}

}  // namespace
}  // namespace qex::test
