// What the login procedure reads and writes of the main window's shared
// state, and the PIN prompt it may show. The state is shared between the
// main and the bridge thread, so every access is a guarded copy.
#pragma once

#include <string>

#include "core/main_state.h"

namespace qex {

class ILoginState {
public:
    virtual ~ILoginState() = default;
    virtual std::string GetPIN() = 0;
    virtual void SetPIN(const std::string& pin) = 0;
    virtual std::string GetSealImgURL() = 0;
    virtual void SetSealImgURL(const std::string& url) = 0;
    virtual std::string GetCertHashBase64() = 0;
    virtual void SetCertHashBase64(const std::string& hash) = 0;
};

// The main window's state as the login procedure sees it.
class MainStateLogin : public ILoginState {
public:
    explicit MainStateLogin(MainState& state) : m_state(state) {}
    std::string GetPIN() override { return m_state.GetPIN(); }
    void SetPIN(const std::string& pin) override { m_state.SetPIN(pin); }
    std::string GetSealImgURL() override { return m_state.GetSealImgURL(); }
    void SetSealImgURL(const std::string& url) override { m_state.SetSealImgURL(url); }
    std::string GetCertHashBase64() override { return m_state.GetCertHashBase64(); }
    void SetCertHashBase64(const std::string& hash) override { m_state.SetCertHashBase64(hash); }

private:
    MainState& m_state;
};

// The PIN dialog, run modally on the calling thread. Returns kIdOk with the
// typed PIN in *pin, or kIdCancel.
class IPinPrompt {
public:
    virtual ~IPinPrompt() = default;
    virtual int AskPin(std::string* pin) = 0;
};

}  // namespace qex
