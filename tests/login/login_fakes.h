// Fakes for the seal login: a digest module, a PIN prompt, the seal service
// and a UI whose status lines and boxes can be inspected from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/ui.h"
#include "login/digest_module.h"
#include "login/login_state.h"
#include "service/seal_service.h"

namespace qex::test {

// A deterministic digest of `size` bytes that depends on every data byte.
inline std::string FakeDigestOf(const std::string& data, int size) {
    std::string out;
    std::uint32_t h = 2166136261u;
    for (unsigned char c : data) h = (h ^ c) * 16777619u;
    for (int i = 0; i < size; ++i) {
        h = (h ^ static_cast<std::uint32_t>(i)) * 16777619u;
        out += static_cast<char>(h >> 24);
    }
    return out;
}

class FakeDigestModule : public IDigestModule {
public:
    bool loadable = true;
    bool hasEntry = true;
    int digestSize = 32;
    int failOnCall = 0;       // 1-based call that reports no digest, 0: none
    int reportedSizeOnFailure = 0;  // the length that call reports

    int loads = 0, unloads = 0;
    bool loaded = false;
    std::vector<std::string> digested;
    std::vector<int> roomGiven;
    bool calledWhileUnloaded = false;

    bool Load() override {
        ++loads;
        loaded = loadable;
        return loadable;
    }
    bool FindEntry() override { return loaded && hasEntry; }
    void Digest(const unsigned char* data, long long length, unsigned char* out,
                int* outLen) override {
        if (!loaded) calledWhileUnloaded = true;
        digested.emplace_back(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        roomGiven.push_back(*outLen);
        if (static_cast<int>(digested.size()) == failOnCall) {
            *outLen = reportedSizeOnFailure;
            return;
        }
        const std::string d = FakeDigestOf(digested.back(), digestSize);
        for (int i = 0; i < digestSize && i < *outLen; ++i) out[i] = static_cast<unsigned char>(d[i]);
        *outLen = digestSize;
    }
    void Unload() override {
        if (loaded) ++unloads;
        loaded = false;
    }
};

class FakePinPrompt : public IPinPrompt {
public:
    int answer = kIdOk;
    std::string typed = "123456";
    int asked = 0;
    std::function<void()> whileOpen;  // runs while the "dialog" is up

    int AskPin(std::string* pin) override {
        ++asked;
        if (whileOpen) whileOpen();
        if (answer == kIdOk) *pin = typed;
        return answer;
    }
};

class FakeSealService : public ISealService {
public:
    std::string loginCheckReply = "QEXRET:http://seal.example/img/1.png";
    std::vector<std::string> loginChecks;
    std::vector<std::pair<std::string, std::string>> sealLogs;
    std::mutex lock;

    std::string QueryUkNameByCerBase64(const std::string&) override { return std::string(); }
    std::string QueryUkImgByCerBase64(const std::string& arg0) override {
        std::lock_guard<std::mutex> g(lock);
        loginChecks.push_back(arg0);
        return loginCheckReply;
    }
    std::string AddUkSealLog(const std::string& arg0, const std::string& arg1) override {
        std::lock_guard<std::mutex> g(lock);
        sealLogs.emplace_back(arg0, arg1);
        return "QEXRET";
    }
    std::string QueryUkMsgByCerHashBase64(const std::string&) override { return std::string(); }
};

// Status lines and message boxes, safe to record from several threads.
class SharedUi : public IKeyUi {
public:
    void AppendStatus(const std::string& line) override {
        std::lock_guard<std::mutex> g(m_lock);
        m_status.push_back(line);
    }
    int ShowMessage(const std::string& text, const std::string&, unsigned) override {
        std::lock_guard<std::mutex> g(m_lock);
        m_boxes.push_back(text);
        return kIdOk;
    }
    std::vector<std::string> Status() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_status;
    }
    std::vector<std::string> Boxes() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_boxes;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_status;
    std::vector<std::string> m_boxes;
};

}  // namespace qex::test
