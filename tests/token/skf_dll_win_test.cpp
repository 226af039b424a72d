// The real mtoken_gm3000.dll through the imported SKF functions, as the
// client uses it, and the stand-in digest module loaded by name. The key
// store is provisioned by the fixture before this program starts; its root
// arrives as a Unix path in QEX_SKF_ROOT, which the DLL maps onto drive Z:.
#include "core/win/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_skf.h"
#include "token/key_count.h"
#include "token/key_ops.h"
#include "token/skf_system.h"
#include "token/token_texts.h"

namespace qex::test {
namespace {

long OpenHandles() {
    using Fn = long(DEVAPI*)(void);
    HMODULE dll = GetModuleHandleA("mtoken_gm3000.dll");
    if (!dll) return -2;
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "SKFSim_OpenHandleCount")));
    return fn ? fn() : -3;
}

std::wstring RootW() {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(L"QEX_SKF_ROOT", buf, 1024);
    std::wstring root(buf, n);
    for (auto& c : root)
        if (c == L'/') c = L'\\';
    return L"Z:" + root;
}

// A device folder with nothing in it but the marker: listed, not usable.
void PlugInBare(const std::wstring& name) {
    std::wstring dir = RootW() + L"\\" + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    HANDLE f = CreateFileW((dir + L"\\device.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
}

void Unplug(const std::wstring& name) {
    std::wstring dir = RootW() + L"\\" + name;
    DeleteFileW((dir + L"\\device.ini").c_str());
    RemoveDirectoryW(dir.c_str());
}

std::string DeviceList() {
    ULONG size = 0;
    EXPECT_EQ(SKF_EnumDev(TRUE, nullptr, &size), (ULONG)SAR_OK);
    std::string list(size, '\0');
    EXPECT_EQ(SKF_EnumDev(TRUE, &list[0], &size), (ULONG)SAR_OK);
    list.resize(size);
    return list;
}

TEST(SkfDll, CountsTheProvisionedKey) {
    EXPECT_EQ(CountUsbKeys(SystemSkf()), 1);
    EXPECT_EQ(DeviceList(), std::string("GM3000 KEY\0\0", 12));
}

TEST(SkfDll, ReadsSignsAndVerifiesThroughTheOperations) {
    RecordingUi ui;
    BYTE cert[4096];
    ULONG certLen = sizeof cert;
    ASSERT_TRUE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_GT(certLen, 500u);
    EXPECT_EQ(cert[0], 0x30);  // a DER SEQUENCE
    EXPECT_EQ(OpenHandles(), 0);

    BYTE digest[32];
    for (int i = 0; i < 32; ++i) digest[i] = (BYTE)(0xA0 + i);
    BYTE sig[500];
    ULONG sigLen = sizeof sig;
    ASSERT_TRUE(SignWithKey(ui, SystemSkf(), "123456", digest, sizeof(digest), sig, &sigLen));
    EXPECT_EQ(sigLen, 256u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(OpenHandles(), 0);

    EXPECT_FALSE(SignWithKey(ui, SystemSkf(), "000000", digest, sizeof(digest), sig, &sigLen));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, text::kKeyPinFailed);
    EXPECT_EQ(OpenHandles(), 0);
    // Back to a full counter for whoever runs next.
    EXPECT_TRUE(SignWithKey(ui, SystemSkf(), "123456", digest, sizeof(digest), sig, &sigLen));
}

TEST(SkfDll, NamesTravelInCodePage936AndUnrepresentableOnesAreSkipped) {
    ASSERT_EQ(GetACP(), 936u);
    PlugInBare(L"\x5bc6\x94a5");        // 密钥
    PlugInBare(L"\x0e01\x0e02");        // Thai: no cp936 form
    EXPECT_EQ(DeviceList(), std::string("GM3000 KEY\0\xc3\xdc\xd4\xbf\0\0", 17));
    DEVHANDLE dev = nullptr;
    char gbk[] = "\xc3\xdc\xd4\xbf";
    EXPECT_EQ(SKF_ConnectDev(gbk, &dev), (ULONG)SAR_OK);
    EXPECT_EQ(SKF_DisConnectDev(dev), (ULONG)SAR_OK);

    // Two keys now: the operations ask to keep one.
    RecordingUi ui;
    BYTE cert[4096];
    ULONG certLen = sizeof cert;
    EXPECT_FALSE(ReadKeyCertificate(ui, SystemSkf(), cert, &certLen));
    EXPECT_EQ(ui.status, std::vector<std::string>{text::kKeepOneKey});
    Unplug(L"\x5bc6\x94a5");
    Unplug(L"\x0e01\x0e02");
    EXPECT_EQ(CountUsbKeys(SystemSkf()), 1);
}

// Restores QEX_SKF_ROOT when a test changes it.
class RootOverride {
public:
    RootOverride() {
        wchar_t buf[1024];
        DWORD n = GetEnvironmentVariableW(L"QEX_SKF_ROOT", buf, 1024);
        saved_.assign(buf, n);
    }
    ~RootOverride() { SetEnvironmentVariableW(L"QEX_SKF_ROOT", saved_.c_str()); }

private:
    std::wstring saved_;
};

TEST(SkfDll, RootMayBeAWindowsPathAndDefaultsToTheFolderBesideTheDll) {
    RootOverride restore;
    ASSERT_TRUE(SetEnvironmentVariableW(L"QEX_SKF_ROOT", RootW().c_str()));
    EXPECT_EQ(DeviceList(), std::string("GM3000 KEY\0\0", 12));

    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe, n);
    dir.resize(dir.find_last_of(L'\\'));  // the DLL sits beside the test program
    const std::wstring root = dir + L"\\skf-root";
    const std::wstring key = root + L"\\DEFAULT KEY";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(key.c_str(), nullptr);
    HANDLE f = CreateFileW((key + L"\\device.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    ASSERT_TRUE(SetEnvironmentVariableW(L"QEX_SKF_ROOT", nullptr));
    EXPECT_EQ(DeviceList(), std::string("DEFAULT KEY\0\0", 13));
    DeleteFileW((key + L"\\device.ini").c_str());
    RemoveDirectoryW(key.c_str());
    RemoveDirectoryW(root.c_str());
}

TEST(DigestModule, IsSha256WithTheCallersLengthProtocol) {
    using Fn = int(__stdcall*)(const unsigned char*, long long, int, int, unsigned char*, int*);
    HMODULE dll = LoadLibraryA("QEXMultiCACryptModule.dll");
    ASSERT_NE(dll, nullptr);
    auto get = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "QEXGetDigest")));
    ASSERT_NE(get, nullptr);
    unsigned char out[50] = {0};
    int len = 50;
    EXPECT_EQ(get((const unsigned char*)"abc", 3, 0, 0, out, &len), 0);
    ASSERT_EQ(len, 32);
    const unsigned char abc[32] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                   0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                   0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_EQ(memcmp(out, abc, 32), 0);
    len = 31;
    EXPECT_NE(get((const unsigned char*)"abc", 3, 0, 0, out, &len), 0);
    EXPECT_EQ(len, 32);
    len = 50;
    EXPECT_NE(get((const unsigned char*)"abc", -1, 0, 0, out, &len), 0);
    FreeLibrary(dll);
}

}  // namespace
}  // namespace qex::test
