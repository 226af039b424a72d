#include "login/seal_login.h"

#include <vector>

#include "core/step_trace.h"
#include "login/login_texts.h"
#include "service/base64.h"
#include "service/replies.h"
#include "token/key_ops.h"

namespace qex {

namespace {

// The login this thread is running, if any.
thread_local const SealLogin* t_running = nullptr;

class RunMark {
public:
    explicit RunMark(const SealLogin* login) { t_running = login; }
    ~RunMark() { t_running = nullptr; }
    RunMark(const RunMark&) = delete;
    RunMark& operator=(const RunMark&) = delete;
};

// Keeps the digest module loaded for exactly one run, whichever way it ends.
class ModuleLoad {
public:
    explicit ModuleLoad(IDigestModule& module) : m_module(module), m_loaded(module.Load()) {
        QEX_STEP("digest module loaded");
    }
    ~ModuleLoad() {
        if (m_loaded) m_module.Unload();
        QEX_STEP("digest module unloaded");
    }
    ModuleLoad(const ModuleLoad&) = delete;
    ModuleLoad& operator=(const ModuleLoad&) = delete;
    bool Loaded() const { return m_loaded; }

private:
    IDigestModule& m_module;
    bool m_loaded;
};

// One call of the module's entry into a 50-byte buffer. What the entry
// returns is not looked at (the maker's module may return anything); the
// length it reports is: a length outside the buffer must not be read as a
// digest, it would be signed or sent as the key's identity.
bool DigestInto(IDigestModule& module, const unsigned char* data, std::size_t length,
                std::vector<unsigned char>* digest) {
    unsigned char buffer[login::kDigestBufferSize] = {};
    int size = static_cast<int>(login::kDigestBufferSize);
    module.Digest(data, static_cast<long long>(length), buffer, &size);
    if (size <= 0 || size > static_cast<int>(login::kDigestBufferSize)) return false;
    digest->assign(buffer, buffer + size);
    return true;
}

// Base64 into a zero-filled buffer of `room` bytes with capacity `room`, as
// the service expects the key's identity: a text that does not fit leaves
// the buffer empty. Only the characters written are taken, so a text that
// fills the buffer to its last byte is not read past its end.
std::string EncodeInto(const std::vector<unsigned char>& bytes, std::size_t room) {
    std::vector<char> buffer(room, '\0');
    std::size_t capacity = room;
    if (!EncodeBase64(bytes.data(), bytes.size(), buffer.data(), &capacity)) return std::string();
    return std::string(buffer.data(), capacity);
}

}  // namespace

std::string SealLogin::LoginAndSign(std::string text, RunPolicy policy, ISealService* service,
                                    const std::function<void()>& whenStarted) {
    std::unique_lock<std::mutex> run(m_run, std::defer_lock);
    if (t_running == this || (policy == RunPolicy::kFailIfBusy && !run.try_lock())) {
        m_parts.ui.AppendStatus(text::kLoginBusy);
        return std::string();
    }
    if (!run.owns_lock()) run.lock();
    RunMark mark(this);
    if (whenStarted) whenStarted();
    return Run(text, service != nullptr ? *service : m_parts.service);
}

std::string SealLogin::Run(const std::string& text, ISealService& service) {
    IKeyUi& ui = m_parts.ui;
    MainState& state = m_parts.state;
    state.SetSealImgURL(std::string());

    std::vector<unsigned char> cert(login::kCertBufferSize, 0);
    ULONG certLen = static_cast<ULONG>(login::kCertBufferSize);
    if (!ReadKeyCertificate(ui, m_parts.skf, cert.data(), &certLen)) {
        ui.AppendStatus(text::kReadCertFailed);
        return std::string();
    }
    QEX_STEP("key: certificate read");

    std::string certHash;
    std::vector<unsigned char> textDigest;
    {
        ModuleLoad module(m_parts.digest);
        if (!module.Loaded()) {
            ui.AppendStatus(text::kLoadDigestModuleFailed);
            return std::string();
        }
        if (!m_parts.digest.FindEntry()) {
            ui.AppendStatus(text::kDigestEntryMissing);
            return std::string();
        }
        std::vector<unsigned char> certDigest;
        if (!DigestInto(m_parts.digest, cert.data(), certLen, &certDigest)) {
            ui.AppendStatus(text::kDigestFailed);
            return std::string();
        }
        QEX_STEP("digest: certificate");
        certHash = EncodeInto(certDigest, login::kDigestTextSize);
        state.SetCertHashBase64(certHash);
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        if (!DigestInto(m_parts.digest, bytes, text.size(), &textDigest)) {
            ui.AppendStatus(text::kDigestFailed);
            return std::string();
        }
        QEX_STEP("digest: text");
    }

    std::string pin = state.GetPIN();
    if (pin.empty()) {
        std::string typed;
        if (m_parts.pin.AskPin(&typed) != kIdOk) return std::string();
        pin = typed;
        state.SetPIN(pin);
    }

    std::vector<unsigned char> signature(login::kSignatureBufferSize, 0);
    ULONG sigLen = static_cast<ULONG>(login::kSignatureBufferSize);
    if (!SignWithKey(ui, m_parts.skf, pin.c_str(), textDigest.data(),
                     static_cast<ULONG>(textDigest.size()), signature.data(), &sigLen)) {
        state.SetPIN(std::string());
        return std::string();
    }
    QEX_STEP("key: PIN, sign");
    signature.resize(sigLen);
    const std::string result = EncodeInto(signature, login::kSignatureTextSize);

    // The seal image URL is written once, in its final form: the bridge reads
    // it as the login flag at any moment.
    const std::string reply = service.QueryUkImgByCerBase64(certHash);
    if (reply.empty()) {
        ui.AppendStatus(text::kSealServerUnreachable);
        return std::string();
    }
    std::string sealImgUrl;
    if (!ParseLoginCheckReply(reply, &sealImgUrl)) {
        state.SetSealImgURL(reply);
        ui.AppendStatus(reply);
        ui.AppendStatus(text::kSealServiceBadReply);
        return std::string();
    }
    state.SetSealImgURL(sealImgUrl);

    if (!result.empty()) service.AddUkSealLog(certHash, text);
    return result;
}

}  // namespace qex
