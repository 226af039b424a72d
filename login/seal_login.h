// The seal login: turns the USB key into a seal identity confirmed by the
// seal service and signs a text with it (LoginAndSign).
//
// It runs on the main thread (login command) and on the bridge thread (sign
// requests). Two runs never overlap: they share the cached PIN, the digest
// module and the seal image URL, and two PIN dialogs at once would only
// confuse the user. While it runs, a run on the bridge thread sends status
// lines to the main window and waits for it; so the main thread must never
// block on the run lock, or each thread would wait for the other. The main
// thread therefore only tries the lock (kFailIfBusy) and, when a bridge run
// holds it, gives up at once with a status line; the bridge thread may wait
// (kWaitIfBusy), since nothing the main thread does while holding the lock
// waits for the bridge thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "core/ui.h"
#include "login/digest_module.h"
#include "login/login_state.h"
#include "service/seal_service.h"
#include "token/skf_api.h"

namespace qex {

enum class RunPolicy { kWaitIfBusy, kFailIfBusy };

struct LoginParts {
    IKeyUi& ui;
    ISkf& skf;
    IDigestModule& digest;
    IPinPrompt& pin;
    ISealService& service;
    MainState& state;
};

class SealLogin {
public:
    explicit SealLogin(const LoginParts& parts) : m_parts(parts) {}
    SealLogin(const SealLogin&) = delete;
    SealLogin& operator=(const SealLogin&) = delete;

    // The Base64 signature of the digest of `text`, made by the key and
    // accepted by the service's login check; the empty text on any failure
    // (the run has then written its own status lines). `service`, when
    // given, takes the place of the parts' service for this run: a sign
    // request passes its own. `whenStarted` runs once the run is sure to
    // go ahead, before anything else: a run refused because another one
    // holds the login changes nothing but its status line.
    std::string LoginAndSign(std::string text, RunPolicy policy, ISealService* service = nullptr,
                             const std::function<void()>& whenStarted = {});

private:
    std::string Run(const std::string& text, ISealService& service);

    LoginParts m_parts;
    // Held for a whole run. A run started again on the thread that holds
    // it (a message handled while its PIN dialog is up) is refused like any
    // other overlap instead of locking the mutex a second time; the thread
    // knows that from a thread-local mark (see seal_login.cpp).
    std::mutex m_run;
};

}  // namespace qex
