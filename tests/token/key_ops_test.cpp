#include "token/key_ops.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_skf.h"
#include "token/token_texts.h"

namespace qex::test {
namespace {

using Calls = std::vector<std::string>;

struct Pass {
    FakeSkf skf;
    RecordingUi ui;
    BYTE cert[4096] = {0};
    ULONG certLen = sizeof cert;  // the room, as the callers pass it
    BYTE sig[500] = {0};
    ULONG sigLen = sizeof sig;
    const std::string data = std::string("digest\0bytes", 12);

    BOOL Read() { return ReadKeyCertificate(ui, skf, cert, &certLen); }
    BOOL Sign(const char* pin = "123456") {
        return SignWithKey(ui, skf, pin, reinterpret_cast<const BYTE*>(data.data()),
                           (ULONG)data.size(), sig, &sigLen);
    }
    // The closes the fake saw, in order.
    Calls Closes() const {
        Calls closes;
        for (const auto& c : skf.calls)
            if (c.rfind("Close", 0) == 0 || c == "DisConnectDev") closes.push_back(c);
        return closes;
    }
    void ExpectNoUi() const {
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_TRUE(ui.status.empty());
    }
    void ExpectOneBox(const char* text) const {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, text);
        EXPECT_EQ(ui.boxes[0].caption, "");
        EXPECT_EQ(ui.boxes[0].type, kMbIconWarning | kMbOk);
        EXPECT_TRUE(ui.status.empty());
    }
};

const Calls kAllClosed = {"CloseContainer", "CloseApplication", "DisConnectDev"};

TEST(ReadKeyCertificate, ReadsTheSigningCertificateOfContainerZulTn) {
    Pass r;
    ASSERT_TRUE(r.Read());
    EXPECT_EQ(r.certLen, r.skf.cert.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.cert), r.certLen), r.skf.cert);
    EXPECT_EQ(r.skf.connectNames, Calls{"KEY1"});
    EXPECT_EQ(r.skf.appListSizeIn, 256u);
    EXPECT_EQ(r.skf.openedApp, "APP1");
    EXPECT_EQ(r.skf.containerName, "ZUL_TN");
    EXPECT_EQ(r.skf.certSignFlag, TRUE);
    EXPECT_EQ(r.skf.certLenIn, 4096u);
    r.ExpectNoUi();
    EXPECT_EQ(r.Closes(), kAllClosed);
    EXPECT_EQ(r.skf.opened, 0);
}

TEST(ReadKeyCertificate, OpensTheFirstApplicationWhateverItIs) {
    Pass r;
    r.skf.apps = NameList({"SJK1234 APP", "OTHER"});
    EXPECT_TRUE(r.Read());
    EXPECT_EQ(r.skf.openedApp, "SJK1234 APP");
}

TEST(ReadKeyCertificate, CertificateLongerThanTheBufferFailsQuietly) {
    Pass r;
    r.skf.cert = std::string(4097, 'c');
    EXPECT_FALSE(r.Read());
    EXPECT_EQ(r.certLen, 4096u);  // written only on success
    r.ExpectNoUi();
    EXPECT_EQ(r.Closes(), kAllClosed);
}

// The room is the caller's: a smaller buffer is what the library is told
// of, and what does not fit there is never written past it.
TEST(KeyOperations, TheCallersRoomIsHonoured) {
    Pass r;
    r.skf.cert = std::string(300, 'c');
    r.certLen = 200;
    EXPECT_FALSE(r.Read());
    EXPECT_EQ(r.skf.certLenIn, 200u);
    EXPECT_EQ(r.certLen, 200u);
    EXPECT_EQ(r.cert[200], 0);
    r.certLen = 300;
    EXPECT_TRUE(r.Read());
    EXPECT_EQ(r.certLen, 300u);

    Pass s;
    s.sigLen = 255;  // the fake's signature has 256 bytes
    EXPECT_FALSE(s.Sign());
    EXPECT_EQ(s.skf.sigLenIn, 255u);
    EXPECT_EQ(s.sig[255], 0);
}

TEST(ReadKeyCertificate, CertificateOfExactly4096BytesIsRead) {
    Pass r;
    r.skf.cert = std::string(4096, 'c');
    EXPECT_TRUE(r.Read());
    EXPECT_EQ(r.certLen, 4096u);
}

TEST(SignWithKey, VerifiesPinSignsAndHasTheKeyVerify) {
    Pass r;
    ASSERT_TRUE(r.Sign("8888"));
    EXPECT_EQ(r.skf.pinType, 1u);
    EXPECT_EQ(r.skf.pin, "8888");
    EXPECT_EQ(r.skf.containerName, "ZUL_TN");
    EXPECT_EQ(r.skf.signedData, r.data);
    EXPECT_EQ(r.skf.sigLenIn, 500u);
    EXPECT_EQ(r.sigLen, 256u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.sig), r.sigLen), r.skf.signature);
    EXPECT_EQ(r.skf.keySignFlag, TRUE);
    EXPECT_EQ(r.skf.blobLenIn, 268u);
    EXPECT_TRUE(r.skf.blobWasZeroed);
    // Verified on the key: device handle, the exported blob, same data and signature.
    EXPECT_EQ(r.skf.verifyDevice, &r.skf.handles[0]);
    EXPECT_EQ(r.skf.verifiedBlob.BitLen, 2048u);
    EXPECT_EQ(r.skf.verifiedBlob.Modulus[0], 0xC1);
    EXPECT_EQ(r.skf.verifiedData, r.data);
    EXPECT_EQ(r.skf.verifiedSignature, r.skf.signature);
    r.ExpectNoUi();
    EXPECT_EQ(r.Closes(), kAllClosed);
    EXPECT_EQ(r.skf.opened, 0);
}

TEST(SignWithKey, RejectedPinShowsOneBoxAndStops) {
    Pass r;
    r.skf.pinResult = SAR_PIN_INCORRECT;
    EXPECT_FALSE(r.Sign());
    r.ExpectOneBox(text::kKeyPinFailed);
    EXPECT_EQ(r.skf.containerName, "");  // no container opened
    EXPECT_EQ(r.Closes(), (Calls{"CloseApplication", "DisConnectDev"}));
    EXPECT_EQ(r.sigLen, 500u);
}

TEST(SignWithKey, SignatureTheKeyDoesNotConfirmFailsWithLengthWritten) {
    Pass r;
    r.skf.verifyResult = SAR_FAIL;
    EXPECT_FALSE(r.Sign());
    EXPECT_EQ(r.sigLen, 256u);
    r.ExpectNoUi();
    EXPECT_EQ(r.Closes(), kAllClosed);
}

TEST(SignWithKey, FailedKeyExportFailsWithLengthWritten) {
    Pass r;
    r.skf.exportKeyResult = SAR_KEYNOTFOUNTERR;
    EXPECT_FALSE(r.Sign());
    EXPECT_EQ(r.sigLen, 256u);
    EXPECT_EQ(std::count(r.skf.calls.begin(), r.skf.calls.end(), "RSAVerify"), 0);
    r.ExpectNoUi();
}

TEST(SignWithKey, FailedSigningLeavesTheLengthAlone) {
    Pass r;
    r.skf.signResult = SAR_USER_NOT_LOGGED_IN;
    EXPECT_FALSE(r.Sign());
    EXPECT_EQ(r.sigLen, 500u);
    r.ExpectNoUi();
    EXPECT_EQ(r.Closes(), kAllClosed);
}

// A library that reports more bytes than the buffer it was given holds
// must not make the caller read past that buffer.
struct OverstatingSkf : FakeSkf {
    ULONG ExportCertificate(HCONTAINER c, BOOL f, BYTE* out, ULONG* len) override {
        FakeSkf::ExportCertificate(c, f, out, len);
        *len = 5000;
        return SAR_OK;
    }
    ULONG RSASignData(HCONTAINER c, BYTE* d, ULONG n, BYTE* sig, ULONG* len) override {
        FakeSkf::RSASignData(c, d, n, sig, len);
        *len = 501;
        return SAR_OK;
    }
};

TEST(KeyOperations, OverstatedLengthsAreNotBelieved) {
    OverstatingSkf skf;
    RecordingUi ui;
    BYTE cert[4096];
    ULONG certLen = 1;
    EXPECT_FALSE(ReadKeyCertificate(ui, skf, cert, &certLen));
    EXPECT_EQ(certLen, 1u);
    BYTE sig[500];
    ULONG sigLen = 1;
    const BYTE data[4] = {1, 2, 3, 4};
    EXPECT_FALSE(SignWithKey(ui, skf, "1", data, 4, sig, &sigLen));
    EXPECT_EQ(sigLen, 1u);
    EXPECT_EQ(skf.opened, 0);
}

// The selection of the key is the same for both operations: each row runs
// against both.
struct Op {
    const char* name;
    std::function<BOOL(Pass&)> run;
};
const Op kOps[] = {{"read", [](Pass& r) { return r.Read(); }},
                   {"sign", [](Pass& r) { return r.Sign(); }}};

TEST(KeySelection, NoKeyShowsNoUsbKey) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.devices = NameList({});
        EXPECT_FALSE(op.run(r));
        r.ExpectOneBox(text::kNoUsbKey);
        EXPECT_TRUE(r.skf.connectNames.empty());
    }
}

TEST(KeySelection, TwoKeysAskToKeepOneWithoutConnecting) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.devices = NameList({"KEY1", "KEY2"});
        EXPECT_FALSE(op.run(r));
        EXPECT_TRUE(r.ui.boxes.empty());
        EXPECT_EQ(r.ui.status, Calls{text::kKeepOneKey});
        EXPECT_TRUE(r.skf.connectNames.empty());
        EXPECT_TRUE(r.Closes().empty());
    }
}

TEST(KeySelection, FailedEnumerationIsSilent) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.enumResult = SAR_FAIL;
        EXPECT_FALSE(op.run(r));
        r.ExpectNoUi();
        EXPECT_TRUE(r.skf.connectNames.empty());
    }
}

TEST(KeySelection, ConnectWithoutHandleShowsConnectFailed) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.connectGivesHandle = false;
        EXPECT_FALSE(op.run(r));
        r.ExpectOneBox(text::kConnectKeyFailed);
        EXPECT_TRUE(r.Closes().empty());
    }
}

TEST(KeySelection, OnlyTheHandleOfTheConnectionCounts) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.connectResult = SAR_FAIL;  // but a handle came back
        EXPECT_TRUE(op.run(r));
        r.ExpectNoUi();
        EXPECT_EQ(r.skf.opened, 0);
    }
}

TEST(KeySelection, EmptyFirstNameStillGoesToTheLibrary) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.devices = std::string("\0\0", 2);
        r.skf.connectGivesHandle = false;
        EXPECT_FALSE(op.run(r));
        EXPECT_EQ(r.skf.connectNames, Calls{""});
        r.ExpectOneBox(text::kConnectKeyFailed);
    }
}

TEST(KeySelection, ApplicationFailuresAreSilentAndDisconnect) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        {
            Pass r;
            r.skf.enumAppResult = SAR_FAIL;
            EXPECT_FALSE(op.run(r));
            r.ExpectNoUi();
            EXPECT_EQ(r.Closes(), Calls{"DisConnectDev"});
        }
        {
            Pass r;
            r.skf.openAppResult = SAR_APPLICATION_NOT_EXISTS;
            EXPECT_FALSE(op.run(r));
            r.ExpectNoUi();
            EXPECT_EQ(r.Closes(), Calls{"DisConnectDev"});
        }
    }
}

TEST(KeySelection, MissingContainerIsSilentAndClosesAppAndDevice) {
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        Pass r;
        r.skf.openContainerResult = SAR_FILE_NOT_EXIST;
        EXPECT_FALSE(op.run(r));
        r.ExpectNoUi();
        EXPECT_EQ(r.Closes(), (Calls{"CloseApplication", "DisConnectDev"}));
    }
}

// Every way a pass can end: nothing stays open.
TEST(KeySelection, EveryPathClosesWhatItOpened) {
    const std::vector<std::function<void(FakeSkf&)>> setups = {
        [](FakeSkf&) {},
        [](FakeSkf& s) { s.devices = NameList({}); },
        [](FakeSkf& s) { s.devices = NameList({"A", "B", "C"}); },
        [](FakeSkf& s) { s.connectGivesHandle = false; },
        [](FakeSkf& s) { s.enumAppResult = SAR_FAIL; },
        [](FakeSkf& s) { s.openAppResult = SAR_FAIL; },
        [](FakeSkf& s) { s.pinResult = SAR_PIN_LOCKED; },
        [](FakeSkf& s) { s.openContainerResult = SAR_FAIL; },
        [](FakeSkf& s) { s.exportCertResult = SAR_FAIL; },
        [](FakeSkf& s) { s.cert = std::string(5000, 'x'); },
        [](FakeSkf& s) { s.signResult = SAR_FAIL; },
        [](FakeSkf& s) { s.exportKeyResult = SAR_FAIL; },
        [](FakeSkf& s) { s.verifyResult = SAR_FAIL; },
    };
    for (size_t i = 0; i < setups.size(); ++i) {
        for (const Op& op : kOps) {
            SCOPED_TRACE(std::string(op.name) + " row " + std::to_string(i));
            Pass r;
            setups[i](r.skf);
            op.run(r);
            EXPECT_EQ(r.skf.opened, 0);
        }
    }
}

}  // namespace
}  // namespace qex::test
