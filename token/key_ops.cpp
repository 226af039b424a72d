#include "token/key_ops.h"

#include <cstring>
#include <string>
#include <vector>

#include "token/key_count.h"
#include "token/token_texts.h"

namespace qex {

namespace {

// Owns the handles of one pass over the key and closes what was opened, in
// reverse order (container, application, device), whichever way the pass
// ends. Close results are of no interest.
class KeySession {
public:
    explicit KeySession(ISkf& skf) : skf_(skf) {}
    ~KeySession() {
        if (containerOpen) skf_.CloseContainer(container);
        if (applicationOpen) skf_.CloseApplication(application);
        if (device) skf_.DisConnectDev(device);
    }
    KeySession(const KeySession&) = delete;
    KeySession& operator=(const KeySession&) = delete;

    DEVHANDLE device = nullptr;
    HAPPLICATION application = nullptr;
    bool applicationOpen = false;
    HCONTAINER container = nullptr;
    bool containerOpen = false;

private:
    ISkf& skf_;
};

// The SKF functions take LPSTR; they get a copy they may scribble on.
std::vector<char> MutableText(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

void ShowKeyMessage(IKeyUi& ui, const char* text) {
    ui.ShowMessage(text, std::string(), kMbIconWarning | kMbOk);
}

// The common first half: pick the single key, connect it and open its
// first application. False (with the messages due) when that fails.
bool OpenKeyApplication(IKeyUi& ui, ISkf& skf, KeySession& session) {
    DeviceList list = EnumerateDevices(skf);
    if (list.result != SAR_OK) return false;
    if (list.size == 0) {
        ShowKeyMessage(ui, text::kNoUsbKey);
        return false;
    }
    if (list.Names().size() > 1) {
        ui.AppendStatus(text::kKeepOneKey);
        return false;
    }
    // A list that starts with an empty name still goes to the library, which
    // then refuses it (the message below).
    std::vector<char> name = MutableText(list.FirstName());
    skf.ConnectDev(name.data(), &session.device);  // only the handle counts
    if (!session.device) {
        ShowKeyMessage(ui, text::kConnectKeyFailed);
        return false;
    }
    // Two extra NULs past the size given to the library end the list for us.
    char apps[token::kAppListCapacity + 2] = {0};
    ULONG appsSize = token::kAppListCapacity;
    if (skf.EnumApplication(session.device, apps, &appsSize) != SAR_OK) return false;
    if (skf.OpenApplication(session.device, apps, &session.application) != SAR_OK) return false;
    session.applicationOpen = true;
    return true;
}

bool OpenSigningContainer(ISkf& skf, KeySession& session) {
    std::vector<char> name = MutableText(token::kContainerName);
    if (skf.OpenContainer(session.application, name.data(), &session.container) != SAR_OK)
        return false;
    session.containerOpen = true;
    return true;
}

}  // namespace

BOOL ReadKeyCertificate(IKeyUi& ui, ISkf& skf, BYTE* cert, ULONG* certLen) {
    KeySession session(skf);
    if (!OpenKeyApplication(ui, skf, session)) return FALSE;
    if (!OpenSigningContainer(skf, session)) return FALSE;
    const ULONG capacity = *certLen;
    ULONG len = capacity;
    if (skf.ExportCertificate(session.container, TRUE, cert, &len) != SAR_OK) return FALSE;
    // A library that claims more than the buffer holds is not believed.
    if (len > capacity) return FALSE;
    *certLen = len;
    return TRUE;
}

BOOL SignWithKey(IKeyUi& ui, ISkf& skf, const char* pin, const BYTE* data, ULONG dataLen,
                 BYTE* sig, ULONG* sigLen) {
    KeySession session(skf);
    if (!OpenKeyApplication(ui, skf, session)) return FALSE;

    std::vector<char> pinBuffer = MutableText(pin ? pin : "");
    ULONG retries = 0;  // not looked at: the PIN is not retried here
    if (skf.VerifyPIN(session.application, token::kUserPinType, pinBuffer.data(), &retries) !=
        SAR_OK) {
        ShowKeyMessage(ui, text::kKeyPinFailed);
        return FALSE;
    }
    if (!OpenSigningContainer(skf, session)) return FALSE;

    // The library takes non-const pointers; it gets its own copy of the data.
    std::vector<BYTE> dataCopy(data, data + dataLen);
    BYTE* dataPtr = dataCopy.empty() ? nullptr : dataCopy.data();
    const ULONG capacity = *sigLen;
    ULONG len = capacity;
    if (skf.RSASignData(session.container, dataPtr, dataLen, sig, &len) != SAR_OK) return FALSE;
    if (len > capacity) return FALSE;
    *sigLen = len;

    RSAPUBLICKEYBLOB blob;
    std::memset(&blob, 0, sizeof(blob));
    ULONG blobLen = sizeof(blob);
    if (skf.ExportPublicKey(session.container, TRUE, reinterpret_cast<BYTE*>(&blob), &blobLen) !=
        SAR_OK)
        return FALSE;
    return skf.RSAVerify(session.device, &blob, dataPtr, dataLen, sig, len) == SAR_OK ? TRUE
                                                                                      : FALSE;
}

}  // namespace qex
