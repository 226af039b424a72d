#include "login/seal_login.h"

#include <gtest/gtest.h>

#include "../token/fake_skf.h"
#include "core/main_state.h"
#include "login/login_texts.h"
#include "login_fakes.h"
#include "service/base64.h"
#include "token/token_texts.h"

namespace qex::test {
namespace {

using Lines = std::vector<std::string>;

class SealLoginTest : public ::testing::Test {
protected:
    SealLoginTest() { state.ResetForStart(); }

    std::string Run(const std::string& text) {
        return login.LoginAndSign(text, RunPolicy::kFailIfBusy);
    }
    std::string CertHash() const {
        return EncodeBase64(FakeDigestOf(skf.cert, digest.digestSize));
    }

    FakeSkf skf;
    SharedUi ui;
    FakeDigestModule digest;
    FakePinPrompt pin;
    FakeSealService service;
    MainState state;
    SealLogin login{LoginParts{ui, skf, digest, pin, service, state}};
};

TEST_F(SealLoginTest, SignsTheTextsDigestAndConfirmsTheKeyWithTheService) {
    const std::string result = Run("1");

    EXPECT_EQ(result, EncodeBase64(skf.signature));
    EXPECT_EQ(skf.signedData, FakeDigestOf("1", 32));
    EXPECT_EQ(skf.pin, "123456");
    EXPECT_EQ(state.GetCertHashBase64(), CertHash());
    EXPECT_EQ(state.GetSealImgURL(), "http://seal.example/img/1.png");
    EXPECT_EQ(service.loginChecks, Lines{CertHash()});
    ASSERT_EQ(service.sealLogs.size(), 1u);
    EXPECT_EQ(service.sealLogs[0].first, CertHash());
    EXPECT_EQ(service.sealLogs[0].second, "1");
    EXPECT_TRUE(ui.Status().empty());
    // The module digests the certificate, then the text, into 50-byte room,
    // and is loaded and unloaded once per run.
    EXPECT_EQ(digest.digested, (Lines{skf.cert, "1"}));
    EXPECT_EQ(digest.roomGiven, (std::vector<int>{50, 50}));
    EXPECT_EQ(digest.loads, 1);
    EXPECT_EQ(digest.unloads, 1);
    EXPECT_FALSE(digest.calledWhileUnloaded);
    EXPECT_EQ(skf.opened, 0);

    Run("1");
    EXPECT_EQ(digest.loads, 2);
    EXPECT_EQ(digest.unloads, 2);
}

TEST_F(SealLoginTest, TheLoginTextAndAPageTextGiveDifferentSignatures) {
    Run("1");
    const std::string loginDigest = skf.signedData;
    Run("contract 42QEXDATAEND");
    EXPECT_NE(skf.signedData, loginDigest);
    EXPECT_EQ(service.sealLogs.back().second, "contract 42QEXDATAEND");
}

TEST_F(SealLoginTest, PinIsAskedOnceAndReusedByLaterRuns) {
    EXPECT_FALSE(Run("1").empty());
    EXPECT_FALSE(Run("1").empty());
    EXPECT_FALSE(Run("page text").empty());
    EXPECT_EQ(pin.asked, 1);
    EXPECT_EQ(state.GetPIN(), "123456");
}

TEST_F(SealLoginTest, RejectedPinIsForgottenAndAskedAgain) {
    skf.pinResult = SAR_PIN_INCORRECT;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Boxes(), Lines{text::kKeyPinFailed});
    EXPECT_EQ(state.GetPIN(), "");
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_TRUE(service.loginChecks.empty());

    skf.pinResult = SAR_OK;
    EXPECT_FALSE(Run("1").empty());
    EXPECT_EQ(pin.asked, 2);
}

TEST_F(SealLoginTest, FailedSelfVerificationAlsoClearsTheCachedPin) {
    Run("1");
    skf.verifyResult = SAR_FAIL;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(state.GetPIN(), "");
}

TEST_F(SealLoginTest, CancelledPinDialogStopsSilently) {
    state.SetSealImgURL("http://old");
    pin.answer = kIdCancel;
    EXPECT_EQ(Run("1"), "");
    EXPECT_TRUE(ui.Status().empty());
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_EQ(state.GetPIN(), "");
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_EQ(skf.signedData, "");
    EXPECT_TRUE(service.loginChecks.empty());
    EXPECT_EQ(digest.unloads, digest.loads);
}

TEST_F(SealLoginTest, UnreadableCertificate) {
    state.SetPIN("654321");
    state.SetSealImgURL("http://old");
    skf.exportCertResult = SAR_FAIL;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kReadCertFailed});
    EXPECT_EQ(state.GetPIN(), "654321");
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_EQ(digest.loads, 0);
}

TEST_F(SealLoginTest, MissingDigestModule) {
    state.SetPIN("654321");
    digest.loadable = false;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kLoadDigestModuleFailed});
    EXPECT_EQ(state.GetPIN(), "654321");
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_EQ(pin.asked, 0);
}

// The module without its entry, or an entry that fails, must not lead to
// signing whatever was in the buffer.
TEST_F(SealLoginTest, ModuleWithoutTheDigestEntryIsUnloadedAndNothingIsSigned) {
    digest.hasEntry = false;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kDigestEntryMissing});
    EXPECT_TRUE(digest.digested.empty());
    EXPECT_EQ(digest.unloads, 1);
    EXPECT_EQ(pin.asked, 0);
    EXPECT_EQ(skf.signedData, "");
}

TEST_F(SealLoginTest, FailingCertificateDigestKeepsTheOldIdentity) {
    state.SetCertHashBase64("previous==");
    digest.failOnCall = 1;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kDigestFailed});
    EXPECT_EQ(state.GetCertHashBase64(), "previous==");
    EXPECT_EQ(digest.unloads, 1);
    EXPECT_EQ(skf.signedData, "");
}

TEST_F(SealLoginTest, FailingTextDigestSignsNothing) {
    digest.failOnCall = 2;
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kDigestFailed});
    EXPECT_EQ(pin.asked, 0);
    EXPECT_EQ(skf.signedData, "");
}

TEST_F(SealLoginTest, DigestLengthOutsideTheBufferIsAFailure) {
    for (int reported : {0, 51, 4096}) {
        FakeDigestModule module;
        module.failOnCall = 2;
        module.reportedSizeOnFailure = reported;
        SharedUi localUi;
        SealLogin local{LoginParts{localUi, skf, module, pin, service, state}};
        EXPECT_EQ(local.LoginAndSign("1", RunPolicy::kFailIfBusy), "") << reported;
        EXPECT_EQ(localUi.Status(), Lines{text::kDigestFailed}) << reported;
    }
}

TEST_F(SealLoginTest, LoginCheckWithoutReplyKeepsThePin) {
    service.loginCheckReply = "";
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), Lines{text::kSealServerUnreachable});
    EXPECT_EQ(state.GetPIN(), "123456");
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_TRUE(service.sealLogs.empty());
}

TEST_F(SealLoginTest, AServiceGivenForTheRunTakesAllOfItsCalls) {
    // A sign request passes its own (time-bounded) service: the run must not
    // fall back to the parts' one for any call.
    FakeSealService requestService;
    const std::string result = login.LoginAndSign("page", RunPolicy::kWaitIfBusy, &requestService);
    EXPECT_EQ(result, EncodeBase64(skf.signature));
    EXPECT_EQ(requestService.loginChecks, Lines{CertHash()});
    ASSERT_EQ(requestService.sealLogs.size(), 1u);
    EXPECT_EQ(requestService.sealLogs[0].second, "page");
    EXPECT_TRUE(service.loginChecks.empty());
    EXPECT_TRUE(service.sealLogs.empty());
}

TEST_F(SealLoginTest, UnregisteredKeyListsTheReplyAndSendsNoSealLog) {
    service.loginCheckReply = "QEXERROR@@@@not registered";
    EXPECT_EQ(Run("1"), "");
    EXPECT_EQ(ui.Status(), (Lines{"QEXERROR@@@@not registered", text::kSealServiceBadReply}));
    EXPECT_EQ(state.GetSealImgURL(), "QEXERROR@@@@not registered");
    EXPECT_EQ(state.GetPIN(), "123456");
    EXPECT_TRUE(service.sealLogs.empty());
    EXPECT_FALSE(skf.signedData.empty());  // signed, but not handed out
}

TEST_F(SealLoginTest, MarkerMustStandAtTheStartExactly) {
    for (const char* reply : {"qexret:http://x", "QEXRET http://x", " QEXRET:http://x", "QEXRET"}) {
        service.loginCheckReply = reply;
        EXPECT_EQ(Run("1"), "") << reply;
    }
    service.loginCheckReply = "QEXRET:";
    EXPECT_FALSE(Run("1").empty());
    EXPECT_EQ(state.GetSealImgURL(), "");
}

TEST_F(SealLoginTest, SignatureFillingItsTextBufferExactlyIsReturnedWhole) {
    skf.signature = std::string(300, '\x7f');  // 400 Base64 characters, no room for a NUL
    const std::string result = Run("1");
    EXPECT_EQ(result.size(), 400u);
    EXPECT_EQ(result, EncodeBase64(skf.signature));
}

TEST_F(SealLoginTest, SignatureTooLongForItsTextGivesNoResultAndNoSealLog) {
    skf.signature = std::string(301, '\x7f');
    EXPECT_EQ(Run("1"), "");
    EXPECT_TRUE(ui.Status().empty());
    EXPECT_EQ(state.GetSealImgURL(), "http://seal.example/img/1.png");
    EXPECT_TRUE(service.sealLogs.empty());
}

TEST_F(SealLoginTest, CertificateDigestOver36BytesGivesAnEmptyIdentity) {
    digest.digestSize = 36;
    Run("1");
    EXPECT_EQ(state.GetCertHashBase64().size(), 48u);

    digest.digestSize = 37;
    Run("1");
    EXPECT_EQ(state.GetCertHashBase64(), "");
    EXPECT_EQ(service.loginChecks.back(), "");
}

}  // namespace
}  // namespace qex::test
