// The SKF functions of the software USB key. Every entry catches whatever
// the C++ underneath might throw: nothing may cross the DLL boundary.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "sim/skf/sim_handles.h"
#include "sim/skf/sim_rsa.h"
#include "sim/skf/sim_store.h"
#include "sim/skf/skf_sim.h"
#include "token/skf.h"

using namespace qex::sim;

namespace {

constexpr char kEncCertFile[] = "enc-cert.der";
constexpr char kEncKeyFile[] = "enc-key.sexp";
constexpr ULONG kDefaultMaxRetries = 10;

#define SKF_GUARD_BEGIN try {
#define SKF_GUARD_END \
    }                 \
    catch (...) {     \
        return SAR_FAIL; \
    }

// A run of NUL-terminated names ended by an empty name; no names give an
// empty list of size 0, which is what the client takes for "no key".
ULONG WriteNameList(const std::vector<Entry>& entries, LPSTR buffer, ULONG* size) {
    if (!size) return SAR_INVALIDPARAMERR;
    std::string list;
    for (const Entry& e : entries) {
        list += e.name;
        list += '\0';
    }
    if (!list.empty()) list += '\0';
    const ULONG needed = (ULONG)list.size();
    if (!buffer) {
        *size = needed;
        return SAR_OK;
    }
    if (*size < needed) {
        *size = needed;
        return SAR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, list.data(), needed);
    *size = needed;
    return SAR_OK;
}

// Copies a blob out with the usual SKF length protocol: no buffer asks for
// the length, a short buffer gets the length and SAR_BUFFER_TOO_SMALL.
ULONG CopyOut(const void* data, ULONG len, BYTE* out, ULONG* outLen) {
    if (!outLen) return SAR_INVALIDPARAMERR;
    if (!out) {
        *outLen = len;
        return SAR_OK;
    }
    if (*outLen < len) {
        *outLen = len;
        return SAR_BUFFER_TOO_SMALL;
    }
    std::memcpy(out, data, len);
    *outLen = len;
    return SAR_OK;
}

bool Plugged(const Object& o) { return IsFile(o.devicePath / kDeviceMarker); }

// The live object behind a handle whose key is still plugged in.
ULONG Resolve(void* handle, Kind kind, Object** out) {
    Object* o = LookUp(handle, kind);
    if (!o) return SAR_INVALIDHANDLEERR;
    if (!Plugged(*o)) return SAR_DEVICE_REMOVED;
    *out = o;
    return SAR_OK;
}

ULONG ParseCount(const std::string& text, ULONG fallback) {
    if (text.empty() || text.size() > 4) return fallback;
    ULONG n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        n = n * 10 + (ULONG)(c - '0');
    }
    return n;
}

std::mutex& PinLock() {
    static std::mutex m;
    return m;
}

}  // namespace

extern "C" {

ULONG DEVAPI SKF_EnumDev(BOOL /*bPresent*/, LPSTR szNameList, ULONG* pulSize) {
    SKF_GUARD_BEGIN
    // Absent devices are not known to a folder store: both kinds list the
    // keys plugged in now.
    return WriteNameList(ListEntries(Root(), kDeviceMarker), szNameList, pulSize);
    SKF_GUARD_END
}

ULONG DEVAPI SKF_ConnectDev(LPSTR szName, DEVHANDLE* phDev) {
    SKF_GUARD_BEGIN
    if (!phDev) return SAR_INVALIDPARAMERR;
    *phDev = nullptr;
    if (!szName || !*szName) return SAR_INVALIDPARAMERR;
    Entry device;
    if (!FindEntry(Root(), kDeviceMarker, szName, &device)) return SAR_DEVICE_REMOVED;
    Object o{Kind::Device, device.name, device.path, device.path};
    *phDev = OpenHandle(o);
    return SAR_OK;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_DisConnectDev(DEVHANDLE hDev) {
    SKF_GUARD_BEGIN
    return CloseHandle(hDev, Kind::Device) ? SAR_OK : SAR_INVALIDHANDLEERR;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_EnumApplication(DEVHANDLE hDev, LPSTR szAppName, ULONG* pulSize) {
    SKF_GUARD_BEGIN
    Object* dev = nullptr;
    if (ULONG rc = Resolve(hDev, Kind::Device, &dev)) return rc;
    return WriteNameList(ListEntries(dev->path, kAppMarker), szAppName, pulSize);
    SKF_GUARD_END
}

ULONG DEVAPI SKF_OpenApplication(DEVHANDLE hDev, LPSTR szAppName, HAPPLICATION* phApplication) {
    SKF_GUARD_BEGIN
    if (!phApplication) return SAR_INVALIDPARAMERR;
    *phApplication = nullptr;
    Object* dev = nullptr;
    if (ULONG rc = Resolve(hDev, Kind::Device, &dev)) return rc;
    if (!szAppName || !*szAppName) return SAR_APPLICATION_NAME_INVALID;
    Entry app;
    if (!FindEntry(dev->path, kAppMarker, szAppName, &app)) return SAR_APPLICATION_NOT_EXISTS;
    Object o{Kind::Application, app.name, app.path, dev->devicePath};
    *phApplication = OpenHandle(o);
    return SAR_OK;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_CloseApplication(HAPPLICATION hApplication) {
    SKF_GUARD_BEGIN
    return CloseHandle(hApplication, Kind::Application) ? SAR_OK : SAR_INVALIDHANDLEERR;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_VerifyPIN(HAPPLICATION hApplication, ULONG ulPINType, LPSTR szPIN,
                           ULONG* pulRetryCount) {
    SKF_GUARD_BEGIN
    Object* app = nullptr;
    if (ULONG rc = Resolve(hApplication, Kind::Application, &app)) return rc;
    if (ulPINType == ADMIN_TYPE) return SAR_NOTSUPPORTYETERR;
    if (ulPINType != USER_TYPE) return SAR_USER_TYPE_INVALID;
    if (!szPIN) return SAR_INVALIDPARAMERR;

    std::lock_guard<std::mutex> guard(PinLock());
    std::string ini;
    if (!ReadFile(app->path / kAppMarker, &ini)) return SAR_READFILEERR;
    const std::string userPin = IniValue(ini, "user-pin");
    if (userPin.empty()) return SAR_USER_PIN_NOT_INITIALIZED;
    ULONG maxRetries = ParseCount(IniValue(ini, "max-retries"), kDefaultMaxRetries);
    if (maxRetries == 0) maxRetries = kDefaultMaxRetries;

    // The counter lives in the device folder, so a lock survives unplugging
    // and every process that uses the key sees the same count.
    const fs::path counterFile = app->path / kPinRetriesFile;
    std::string counter;
    ULONG left = maxRetries;
    if (ReadFile(counterFile, &counter)) {
        while (!counter.empty() && (counter.back() == '\n' || counter.back() == '\r'))
            counter.pop_back();
        left = ParseCount(counter, 0);  // an unreadable counter counts as locked
        if (left > maxRetries) left = maxRetries;
    }
    if (left == 0) {
        app->userLoggedIn = false;
        if (pulRetryCount) *pulRetryCount = 0;
        return SAR_PIN_LOCKED;
    }
    if (userPin == szPIN) {
        if (left != maxRetries && !WriteFile(counterFile, std::to_string(maxRetries) + "\n"))
            return SAR_WRITEFILEERR;
        app->userLoggedIn = true;
        if (pulRetryCount) *pulRetryCount = maxRetries;
        return SAR_OK;
    }
    --left;
    app->userLoggedIn = false;
    if (pulRetryCount) *pulRetryCount = left;
    if (!WriteFile(counterFile, std::to_string(left) + "\n")) return SAR_WRITEFILEERR;
    return SAR_PIN_INCORRECT;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_OpenContainer(HAPPLICATION hApplication, LPSTR szContainerName,
                               HCONTAINER* phContainer) {
    SKF_GUARD_BEGIN
    if (!phContainer) return SAR_INVALIDPARAMERR;
    *phContainer = nullptr;
    Object* app = nullptr;
    if (ULONG rc = Resolve(hApplication, Kind::Application, &app)) return rc;
    if (!szContainerName || !*szContainerName) return SAR_INVALIDPARAMERR;
    Entry container;
    if (!FindEntry(app->path, nullptr, szContainerName, &container)) return SAR_FILE_NOT_EXIST;
    Object o{Kind::Container, container.name, container.path, app->devicePath};
    o.application = app;
    *phContainer = OpenHandle(o);
    return SAR_OK;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_CloseContainer(HCONTAINER hContainer) {
    SKF_GUARD_BEGIN
    return CloseHandle(hContainer, Kind::Container) ? SAR_OK : SAR_INVALIDHANDLEERR;
    SKF_GUARD_END
}

ULONG DEVAPI SKF_ExportCertificate(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbCert,
                                   ULONG* pulCertLen) {
    SKF_GUARD_BEGIN
    Object* con = nullptr;
    if (ULONG rc = Resolve(hContainer, Kind::Container, &con)) return rc;
    if (!pulCertLen) return SAR_INVALIDPARAMERR;
    std::string cert;
    if (!ReadFile(con->path / (bSignFlag ? kSignCertFile : kEncCertFile), &cert) || cert.empty())
        return SAR_CERTNOTFOUNTERR;
    return CopyOut(cert.data(), (ULONG)cert.size(), pbCert, pulCertLen);
    SKF_GUARD_END
}

ULONG DEVAPI SKF_RSASignData(HCONTAINER hContainer, BYTE* pbData, ULONG ulDataLen,
                             BYTE* pbSignature, ULONG* pulSignLen) {
    SKF_GUARD_BEGIN
    Object* con = nullptr;
    if (ULONG rc = Resolve(hContainer, Kind::Container, &con)) return rc;
    if (!pbData || !pulSignLen) return SAR_INVALIDPARAMERR;
    // The private key is used only in a session whose user PIN was verified
    // on the application that opened this container.
    Object* app = LookUp(con->application, Kind::Application);
    if (!app || !app->userLoggedIn) return SAR_USER_NOT_LOGGED_IN;
    std::string key;
    if (!ReadFile(con->path / kSignKeyFile, &key)) return SAR_KEYNOTFOUNTERR;
    const ULONG k = RsaModulusBytes(key);
    if (k == 0) return SAR_KEYNOTFOUNTERR;
    if (!pbSignature) {
        *pulSignLen = k;
        return SAR_OK;
    }
    if (*pulSignLen < k) {
        *pulSignLen = k;
        return SAR_BUFFER_TOO_SMALL;
    }
    std::vector<BYTE> sig;
    if (ULONG rc = RsaSign(key, pbData, ulDataLen, &sig)) return rc;
    return CopyOut(sig.data(), (ULONG)sig.size(), pbSignature, pulSignLen);
    SKF_GUARD_END
}

ULONG DEVAPI SKF_ExportPublicKey(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbBlob,
                                 ULONG* pulBlobLen) {
    SKF_GUARD_BEGIN
    Object* con = nullptr;
    if (ULONG rc = Resolve(hContainer, Kind::Container, &con)) return rc;
    if (!pulBlobLen) return SAR_INVALIDPARAMERR;
    std::string key;
    if (!ReadFile(con->path / (bSignFlag ? kSignKeyFile : kEncKeyFile), &key))
        return SAR_KEYNOTFOUNTERR;
    RSAPUBLICKEYBLOB blob;
    if (ULONG rc = RsaPublicBlob(key, &blob)) return rc;
    return CopyOut(&blob, (ULONG)sizeof(blob), pbBlob, pulBlobLen);
    SKF_GUARD_END
}

ULONG DEVAPI SKF_RSAVerify(DEVHANDLE hDev, RSAPUBLICKEYBLOB* pRSAPubKeyBlob, BYTE* pbData,
                           ULONG ulDataLen, BYTE* pbSignature, ULONG ulSignLen) {
    SKF_GUARD_BEGIN
    Object* dev = nullptr;
    if (ULONG rc = Resolve(hDev, Kind::Device, &dev)) return rc;
    if (!pRSAPubKeyBlob || !pbData || !pbSignature) return SAR_INVALIDPARAMERR;
    return RsaVerify(*pRSAPubKeyBlob, pbData, ulDataLen, pbSignature, ulSignLen);
    SKF_GUARD_END
}

long DEVAPI SKFSim_OpenHandleCount(void) {
    try {
        return OpenHandleCount();
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
