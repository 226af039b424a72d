// A scripted SKF library for the token logic tests: each function returns
// what the test set up and records what it was given, and the fake counts
// the handles it handed out and got back.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/ui.h"
#include "token/skf_api.h"

namespace qex::test {

inline std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) {
        list += n;
        list += '\0';
    }
    list += '\0';
    return list;
}

class FakeSkf : public ISkf {
public:
    // Scripted answers.
    std::string devices = NameList({"KEY1"});
    ULONG firstSizeOverride = 0;   // non-zero: the first EnumDev call reports this
    ULONG secondSizeOverride = 0;  // non-zero: the second call returns this size
    ULONG enumResult = SAR_OK;     // second EnumDev call
    bool connectGivesHandle = true;
    ULONG connectResult = SAR_OK;
    std::string apps = NameList({"APP1"});
    ULONG enumAppResult = SAR_OK;
    ULONG openAppResult = SAR_OK;
    ULONG pinResult = SAR_OK;
    ULONG openContainerResult = SAR_OK;
    std::string cert = std::string(1200, '\x30');
    ULONG exportCertResult = SAR_OK;
    std::string signature = std::string(256, '\x5a');
    ULONG signResult = SAR_OK;
    ULONG exportKeyResult = SAR_OK;
    ULONG verifyResult = SAR_OK;

    // What the fake saw.
    int enumDevCalls = 0;
    std::vector<ULONG> enumDevSizesIn;
    std::vector<std::string> connectNames;
    ULONG appListSizeIn = 0;
    std::string openedApp;
    ULONG pinType = 99;
    std::string pin;
    std::string containerName;
    BOOL certSignFlag = FALSE;
    ULONG certLenIn = 0;
    std::string signedData;
    ULONG sigLenIn = 0;
    BOOL keySignFlag = FALSE;
    ULONG blobLenIn = 0;
    bool blobWasZeroed = false;
    DEVHANDLE verifyDevice = nullptr;
    std::string verifiedData;
    std::string verifiedSignature;
    RSAPUBLICKEYBLOB verifiedBlob{};
    int opened = 0;  // handles handed out minus handles closed
    int closeCalls = 0;
    std::vector<std::string> calls;

    ULONG EnumDev(BOOL, LPSTR list, ULONG* size) override {
        ++enumDevCalls;
        calls.push_back("EnumDev");
        const ULONG needed = devices.size() <= 1 ? 0 : (ULONG)devices.size();
        if (!list) {
            *size = firstSizeOverride ? firstSizeOverride : needed;
            return SAR_OK;
        }
        enumDevSizesIn.push_back(*size);
        if (enumResult != SAR_OK) return enumResult;
        if (*size < needed) {
            *size = needed;
            return SAR_BUFFER_TOO_SMALL;
        }
        std::memcpy(list, devices.data(), needed);
        *size = secondSizeOverride ? secondSizeOverride : needed;
        return SAR_OK;
    }
    ULONG ConnectDev(LPSTR name, DEVHANDLE* dev) override {
        calls.push_back("ConnectDev");
        connectNames.push_back(name);
        *dev = connectGivesHandle ? Hand(kDevice) : nullptr;
        return connectResult;
    }
    ULONG DisConnectDev(DEVHANDLE dev) override { return Close("DisConnectDev", dev, kDevice); }
    ULONG EnumApplication(DEVHANDLE, LPSTR list, ULONG* size) override {
        calls.push_back("EnumApplication");
        appListSizeIn = *size;
        if (enumAppResult != SAR_OK) return enumAppResult;
        std::memcpy(list, apps.data(), std::min<size_t>(apps.size(), *size));
        *size = (ULONG)apps.size();
        return SAR_OK;
    }
    ULONG OpenApplication(DEVHANDLE, LPSTR name, HAPPLICATION* app) override {
        calls.push_back("OpenApplication");
        openedApp = name;
        if (openAppResult != SAR_OK) return openAppResult;
        *app = Hand(kApp);
        return SAR_OK;
    }
    ULONG CloseApplication(HAPPLICATION app) override { return Close("CloseApplication", app, kApp); }
    ULONG VerifyPIN(HAPPLICATION, ULONG type, LPSTR p, ULONG* retries) override {
        calls.push_back("VerifyPIN");
        pinType = type;
        pin = p;
        *retries = 3;
        return pinResult;
    }
    ULONG OpenContainer(HAPPLICATION, LPSTR name, HCONTAINER* con) override {
        calls.push_back("OpenContainer");
        containerName = name;
        if (openContainerResult != SAR_OK) return openContainerResult;
        *con = Hand(kContainer);
        return SAR_OK;
    }
    ULONG CloseContainer(HCONTAINER con) override { return Close("CloseContainer", con, kContainer); }
    ULONG ExportCertificate(HCONTAINER, BOOL sign, BYTE* out, ULONG* len) override {
        calls.push_back("ExportCertificate");
        certSignFlag = sign;
        certLenIn = *len;
        if (exportCertResult != SAR_OK) return exportCertResult;
        if (cert.size() > *len) {
            *len = (ULONG)cert.size();
            return SAR_BUFFER_TOO_SMALL;
        }
        std::memcpy(out, cert.data(), cert.size());
        *len = (ULONG)cert.size();
        return SAR_OK;
    }
    ULONG RSASignData(HCONTAINER, BYTE* data, ULONG dataLen, BYTE* sig, ULONG* len) override {
        calls.push_back("RSASignData");
        signedData.assign(reinterpret_cast<char*>(data), dataLen);
        sigLenIn = *len;
        if (signResult != SAR_OK) return signResult;
        if (signature.size() > *len) {
            *len = (ULONG)signature.size();
            return SAR_BUFFER_TOO_SMALL;
        }
        std::memcpy(sig, signature.data(), signature.size());
        *len = (ULONG)signature.size();
        return SAR_OK;
    }
    ULONG ExportPublicKey(HCONTAINER, BOOL sign, BYTE* blob, ULONG* len) override {
        calls.push_back("ExportPublicKey");
        keySignFlag = sign;
        blobLenIn = *len;
        blobWasZeroed = std::all_of(blob, blob + sizeof(RSAPUBLICKEYBLOB), [](BYTE b) { return b == 0; });
        if (exportKeyResult != SAR_OK) return exportKeyResult;
        RSAPUBLICKEYBLOB key{};
        key.AlgID = SGD_RSA;
        key.BitLen = 2048;
        key.Modulus[0] = 0xC1;
        key.PublicExponent[3] = 3;
        std::memcpy(blob, &key, sizeof(key));
        *len = sizeof(key);
        return SAR_OK;
    }
    ULONG RSAVerify(DEVHANDLE dev, RSAPUBLICKEYBLOB* blob, BYTE* data, ULONG dataLen, BYTE* sig,
                    ULONG sigLen) override {
        calls.push_back("RSAVerify");
        verifyDevice = dev;
        verifiedBlob = *blob;
        verifiedData.assign(reinterpret_cast<char*>(data), dataLen);
        verifiedSignature.assign(reinterpret_cast<char*>(sig), sigLen);
        return verifyResult;
    }

    static constexpr char kDevice = 'D', kApp = 'A', kContainer = 'C';
    char handles[3] = {kDevice, kApp, kContainer};

private:
    HANDLE Hand(char kind) {
        ++opened;
        return &handles[kind == kDevice ? 0 : kind == kApp ? 1 : 2];
    }
    ULONG Close(const char* what, HANDLE h, char kind) {
        calls.push_back(what);
        ++closeCalls;
        if (h == &handles[kind == kDevice ? 0 : kind == kApp ? 1 : 2]) --opened;
        return SAR_OK;
    }
};

// Records the message boxes and status lines of the key operations.
class RecordingUi : public IKeyUi {
public:
    struct Box {
        std::string text, caption;
        unsigned type;
    };
    std::vector<Box> boxes;
    std::vector<std::string> status;
    void AppendStatus(const std::string& line) override { status.push_back(line); }
    int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
        boxes.push_back({text, caption, type});
        return kIdOk;
    }
};

}  // namespace qex::test
