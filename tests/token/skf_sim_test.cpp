// The software USB key, natively: folder store rules, PIN counter, RSA
// against OpenSSL, length protocol, handles; and the token operations
// running on it end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/skf/skf_sim.h"
#include "fake_skf.h"
#include "token/key_count.h"
#include "token/key_ops.h"
#include "token/skf_system.h"
#include "token/token_texts.h"

namespace qex::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spit(const fs::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

// One provisioned key made once; every test gets its own root with a copy.
class SoftKey : public ::testing::Test {
protected:
    static fs::path& Master() {
        static fs::path master;
        return master;
    }
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/qex-skf-master-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        Master() = tmpl;
        ASSERT_EQ(Shell(std::string("bash ") + QEX_PROVISION_SCRIPT + " --root " + Quote(Master()) +
                        " --name KEY1 --pin 123456 --retries 3 >/dev/null"),
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(Master()); }

    void SetUp() override {
        char tmpl[] = "/tmp/qex-skf-root-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        fs::copy(Master(), root, fs::copy_options::recursive);
        setenv("QEX_SKF_ROOT", root.c_str(), 1);
        key = root / "KEY1";
        app = key / "QEXAPP";
        container = app / "ZUL_TN";
    }
    void TearDown() override {
        EXPECT_EQ(SKFSim_OpenHandleCount(), 0) << "a handle stayed open";
        unsetenv("QEX_SKF_ROOT");
        fs::remove_all(root);
    }

    std::string Devices() {
        ULONG size = 0;
        EXPECT_EQ(SKF_EnumDev(TRUE, nullptr, &size), SAR_OK);
        std::string list(size, '\0');
        EXPECT_EQ(SKF_EnumDev(TRUE, list.data(), &size), SAR_OK);
        list.resize(size);
        return list;
    }
    void PlugIn(const std::string& name) {
        fs::create_directories(root / name);
        Spit(root / name / "device.ini", "name=x\n");
    }

    // Connect, open QEXAPP and ZUL_TN.
    struct Session {
        DEVHANDLE dev = nullptr;
        HAPPLICATION app = nullptr;
        HCONTAINER con = nullptr;
        ~Session() {
            if (con) SKF_CloseContainer(con);
            if (app) SKF_CloseApplication(app);
            if (dev) SKF_DisConnectDev(dev);
        }
    };
    void Open(Session& s, bool login) {
        char dev[] = "KEY1", appName[] = "QEXAPP", con[] = "ZUL_TN", pin[] = "123456";
        ASSERT_EQ(SKF_ConnectDev(dev, &s.dev), SAR_OK);
        ASSERT_EQ(SKF_OpenApplication(s.dev, appName, &s.app), SAR_OK);
        ULONG retries = 0;
        if (login) {
            ASSERT_EQ(SKF_VerifyPIN(s.app, USER_TYPE, pin, &retries), SAR_OK);
        }
        ASSERT_EQ(SKF_OpenContainer(s.app, con, &s.con), SAR_OK);
    }
    ULONG TryPin(const char* pin, ULONG* retries) {
        Session s;
        char dev[] = "KEY1", appName[] = "QEXAPP";
        EXPECT_EQ(SKF_ConnectDev(dev, &s.dev), SAR_OK);
        EXPECT_EQ(SKF_OpenApplication(s.dev, appName, &s.app), SAR_OK);
        std::string p(pin);
        return SKF_VerifyPIN(s.app, USER_TYPE, p.data(), retries);
    }

    fs::path root, key, app, container;
};

TEST_F(SoftKey, ListsPluggedInKeysAndFollowsPlugging) {
    EXPECT_EQ(Devices(), std::string("KEY1\0\0", 6));
    PlugIn("KEY0");
    EXPECT_EQ(Devices(), std::string("KEY0\0KEY1\0\0", 11));
    fs::remove_all(root / "KEY0");
    fs::remove(key / "device.ini");  // pulling out = the marker is gone
    EXPECT_EQ(Devices(), "");
}

TEST_F(SoftKey, EnumDevLengthProtocol) {
    ULONG size = 0;
    ASSERT_EQ(SKF_EnumDev(TRUE, nullptr, &size), SAR_OK);
    EXPECT_EQ(size, 6u);
    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof(small);
    EXPECT_EQ(SKF_EnumDev(TRUE, small, &size), SAR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(small[0], 'x');  // nothing written
    EXPECT_EQ(SKF_EnumDev(TRUE, small, nullptr), SAR_INVALIDPARAMERR);
}

TEST_F(SoftKey, MissingOrEmptyRootMeansNoKey) {
    setenv("QEX_SKF_ROOT", (root / "nowhere").c_str(), 1);
    ULONG size = 99;
    EXPECT_EQ(SKF_EnumDev(TRUE, nullptr, &size), SAR_OK);
    EXPECT_EQ(size, 0u);
    RecordingUi ui;
    BYTE cert[4096];
    ULONG len = sizeof cert;
    EXPECT_FALSE(ReadKeyCertificate(ui, SystemSkf(), cert, &len));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, text::kNoUsbKey);
}

TEST_F(SoftKey, OnlyWellFormedFolderNamesAreKeys) {
    Spit(root / "PLAINFILE", "not a key");
    fs::create_directories(root / "NO-MARKER");
    PlugIn(".hidden");
    fs::create_directories(root / "MARKER-IS-DIR" / "device.ini");
    PlugIn("Key With Spaces");
    PlugIn(std::string(64, 'L'));  // the longest name served
    PlugIn(std::string(65, 'M'));  // too long: skipped
    PlugIn("\xe5\xaf\x86\xe9\x92\xa5");  // native names are served as their bytes
    const std::string expected = std::string("KEY1\0Key With Spaces\0", 21) +
                                 std::string(64, 'L') + '\0' +
                                 "\xe5\xaf\x86\xe9\x92\xa5" + '\0' + '\0';
    EXPECT_EQ(Devices(), expected);
    EXPECT_EQ(CountUsbKeys(SystemSkf()), 4);
    DEVHANDLE dev = nullptr;
    std::string tooLong(65, 'M');
    EXPECT_NE(SKF_ConnectDev(tooLong.data(), &dev), SAR_OK);
    EXPECT_EQ(dev, nullptr);
    char spaced[] = "Key With Spaces";
    ASSERT_EQ(SKF_ConnectDev(spaced, &dev), SAR_OK);
    EXPECT_EQ(SKF_DisConnectDev(dev), SAR_OK);
}

TEST_F(SoftKey, PinCounterLocksAfterTheConfiguredTriesAndPersists) {
    ULONG retries = 0;
    EXPECT_EQ(TryPin("000000", &retries), SAR_PIN_INCORRECT);
    EXPECT_EQ(retries, 2u);
    EXPECT_EQ(TryPin("123456", &retries), SAR_OK);  // a good PIN restores the count
    EXPECT_EQ(retries, 3u);
    EXPECT_EQ(TryPin("1", &retries), SAR_PIN_INCORRECT);
    EXPECT_EQ(TryPin("2", &retries), SAR_PIN_INCORRECT);
    EXPECT_EQ(retries, 1u);
    EXPECT_EQ(Slurp(app / "pin-retries"), "1\n");  // each try is its own connection
    EXPECT_EQ(TryPin("3", &retries), SAR_PIN_INCORRECT);
    EXPECT_EQ(retries, 0u);
    EXPECT_EQ(TryPin("123456", &retries), SAR_PIN_LOCKED);
    EXPECT_EQ(retries, 0u);
    // Provisioning again unlocks it.
    ASSERT_EQ(Shell(std::string("bash ") + QEX_PROVISION_SCRIPT + " --root " + Quote(root) +
                    " --name KEY1 --retries 3 >/dev/null"),
              0);
    EXPECT_EQ(TryPin("123456", &retries), SAR_OK);
}

TEST_F(SoftKey, DamagedCounterCountsAsLocked) {
    Spit(app / "pin-retries", "lots\n");
    ULONG retries = 7;
    EXPECT_EQ(TryPin("123456", &retries), SAR_PIN_LOCKED);
}

TEST_F(SoftKey, SigningNeedsTheUserPinOfThisSession) {
    Session s;
    Open(s, /*login=*/false);
    BYTE data[32] = {1};
    BYTE sig[256];
    ULONG len = sizeof(sig);
    EXPECT_EQ(SKF_RSASignData(s.con, data, sizeof(data), sig, &len), SAR_USER_NOT_LOGGED_IN);
}

TEST_F(SoftKey, SignatureIsPkcs1Type1OfTheGivenBytesAsOpenSslReadsIt) {
    Session s;
    Open(s, true);
    std::string digest(32, '\0');
    for (int i = 0; i < 32; ++i) digest[i] = static_cast<char>(i * 7 + 1);
    BYTE sig[500];
    ULONG len = sizeof(sig);
    ASSERT_EQ(SKF_RSASignData(s.con, reinterpret_cast<BYTE*>(digest.data()), 32, sig, &len), SAR_OK);
    ASSERT_EQ(len, 256u);

    Spit(root / "sig.bin", std::string(reinterpret_cast<char*>(sig), len));
    ASSERT_EQ(Shell("openssl x509 -inform DER -in " + Quote(container / "sign-cert.der") +
                    " -out " + Quote(root / "cert.pem") + " && openssl pkeyutl -verifyrecover -certin -inkey " +
                    Quote(root / "cert.pem") + " -pkeyopt rsa_padding_mode:pkcs1 -in " +
                    Quote(root / "sig.bin") + " -out " + Quote(root / "recovered.bin") + " 2>/dev/null"),
              0);
    EXPECT_EQ(Slurp(root / "recovered.bin"), digest);

    // The key confirms its own signature, and only that one.
    RSAPUBLICKEYBLOB blob{};
    ULONG blobLen = sizeof(blob);
    ASSERT_EQ(SKF_ExportPublicKey(s.con, TRUE, reinterpret_cast<BYTE*>(&blob), &blobLen), SAR_OK);
    EXPECT_EQ(blobLen, 268u);
    EXPECT_EQ(blob.AlgID, (ULONG)SGD_RSA);
    EXPECT_EQ(blob.BitLen, 2048u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(blob.PublicExponent), 4), std::string("\0\1\0\1", 4));
    EXPECT_EQ(SKF_RSAVerify(s.dev, &blob, reinterpret_cast<BYTE*>(digest.data()), 32, sig, len), SAR_OK);
    sig[100] ^= 1;
    EXPECT_NE(SKF_RSAVerify(s.dev, &blob, reinterpret_cast<BYTE*>(digest.data()), 32, sig, len), SAR_OK);
    sig[100] ^= 1;
    digest[0] ^= 1;
    EXPECT_NE(SKF_RSAVerify(s.dev, &blob, reinterpret_cast<BYTE*>(digest.data()), 32, sig, len), SAR_OK);
}

TEST_F(SoftKey, LengthProtocolOfCertificateSignatureAndBlob) {
    Session s;
    Open(s, true);
    const std::string der = Slurp(container / "sign-cert.der");
    ULONG len = 0;
    ASSERT_EQ(SKF_ExportCertificate(s.con, TRUE, nullptr, &len), SAR_OK);
    EXPECT_EQ(len, der.size());
    std::string small(10, '\0');
    len = 10;
    EXPECT_EQ(SKF_ExportCertificate(s.con, TRUE, reinterpret_cast<BYTE*>(small.data()), &len),
              SAR_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, der.size());
    EXPECT_EQ(SKF_ExportCertificate(s.con, FALSE, nullptr, &len), SAR_CERTNOTFOUNTERR);

    BYTE data[20] = {9};
    BYTE sig[100];
    len = sizeof(sig);
    EXPECT_EQ(SKF_RSASignData(s.con, data, sizeof(data), sig, &len), SAR_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, 256u);
    BYTE big[256];
    std::string tooLong(246, 'd');  // 256 - 11 is the most type-1 padding carries
    len = sizeof(big);
    EXPECT_EQ(SKF_RSASignData(s.con, reinterpret_cast<BYTE*>(tooLong.data()), 246, big, &len),
              SAR_INDATALENERR);
    len = sizeof(big);
    EXPECT_EQ(SKF_RSASignData(s.con, reinterpret_cast<BYTE*>(tooLong.data()), 245, big, &len), SAR_OK);

    BYTE blob[100];
    len = sizeof(blob);
    EXPECT_EQ(SKF_ExportPublicKey(s.con, TRUE, blob, &len), SAR_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, 268u);
}

TEST_F(SoftKey, StaleAndForeignHandlesAreRefused) {
    DEVHANDLE dev = nullptr;
    char name[] = "KEY1";
    ASSERT_EQ(SKF_ConnectDev(name, &dev), SAR_OK);
    ASSERT_EQ(SKF_DisConnectDev(dev), SAR_OK);
    EXPECT_EQ(SKF_DisConnectDev(dev), SAR_INVALIDHANDLEERR);
    char apps[256];
    ULONG size = sizeof(apps);
    EXPECT_EQ(SKF_EnumApplication(dev, apps, &size), SAR_INVALIDHANDLEERR);
    int notAHandle = 0;
    EXPECT_EQ(SKF_CloseApplication(&notAHandle), SAR_INVALIDHANDLEERR);
    EXPECT_EQ(SKF_CloseContainer(nullptr), SAR_INVALIDHANDLEERR);
}

TEST_F(SoftKey, PulledOutKeyReportsDeviceRemoved) {
    Session s;
    Open(s, true);
    fs::remove(key / "device.ini");
    ULONG len = 0;
    EXPECT_EQ(SKF_ExportCertificate(s.con, TRUE, nullptr, &len), SAR_DEVICE_REMOVED);
    EXPECT_EQ(SKF_CloseContainer(s.con), SAR_OK);  // closing still works
    s.con = nullptr;
}

TEST_F(SoftKey, MissingApplicationOrContainer) {
    DEVHANDLE dev = nullptr;
    HAPPLICATION h = nullptr;
    HCONTAINER c = nullptr;
    char name[] = "KEY1", other[] = "NOAPP", appName[] = "QEXAPP", con[] = "NOCON";
    ASSERT_EQ(SKF_ConnectDev(name, &dev), SAR_OK);
    EXPECT_EQ(SKF_OpenApplication(dev, other, &h), SAR_APPLICATION_NOT_EXISTS);
    ASSERT_EQ(SKF_OpenApplication(dev, appName, &h), SAR_OK);
    EXPECT_EQ(SKF_OpenContainer(h, con, &c), SAR_FILE_NOT_EXIST);
    EXPECT_EQ(c, nullptr);
    SKF_CloseApplication(h);
    SKF_DisConnectDev(dev);
}

// The client's operations on the software key.
TEST_F(SoftKey, OperationsReadSignAndVerifyEndToEnd) {
    RecordingUi ui;
    BYTE cert[4096];
    ULONG certLen = sizeof cert;
    ASSERT_TRUE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(cert), certLen), Slurp(container / "sign-cert.der"));
    EXPECT_EQ(SKFSim_OpenHandleCount(), 0);

    const BYTE digest[32] = {0xde, 0xad, 0xbe, 0xef};
    BYTE sig[500];
    ULONG sigLen = sizeof sig;
    ASSERT_TRUE(SignWithKey(ui, SystemSkf(), "123456", digest, sizeof(digest), sig, &sigLen));
    EXPECT_EQ(sigLen, 256u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(SKFSim_OpenHandleCount(), 0);

    EXPECT_FALSE(SignWithKey(ui, SystemSkf(), "654321", digest, sizeof(digest), sig, &sigLen));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, text::kKeyPinFailed);
    EXPECT_EQ(SKFSim_OpenHandleCount(), 0);
}

TEST_F(SoftKey, OperationsOnAKeyWithoutContainerOrWithAHugeCertificate) {
    RecordingUi ui;
    BYTE cert[4096];
    ULONG certLen = 1;
    Spit(container / "sign-cert.der", std::string(5000, '\x30'));
    EXPECT_FALSE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_EQ(certLen, 1u);
    fs::rename(container, app / "OTHER");
    EXPECT_FALSE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_TRUE(ui.boxes.empty());
    PlugIn("KEY2");
    EXPECT_FALSE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_EQ(ui.status, std::vector<std::string>{text::kKeepOneKey});
}

}  // namespace
}  // namespace qex::test
