// The state of the main window that the worker threads share with it.
//
// The bridge thread, the handwriting wait thread and the main thread all read
// and write these fields. Every access goes through one mutex, and string
// getters hand out copies, so a reader never sees a string half-written by
// another thread. The lock is held only for the copy itself: never call out
// (status lines, message boxes, anything that waits for the main thread)
// while holding it, or a worker and the main thread can block each other.
#pragma once

#include <mutex>
#include <string>

namespace qex {

class MainState {
public:
    MainState() = default;
    MainState(const MainState&) = delete;
    MainState& operator=(const MainState&) = delete;

    // The values the dialog gives the shared fields before any worker thread
    // starts: no handwriting requested or held, no cached PIN, handwriting
    // required, keep running, not logged in for the bridge.
    void ResetForStart();

    bool IsRunning() const;
    void SetRunning(bool running);

    std::string GetSealImgURL() const;
    void SetSealImgURL(const std::string& url);

    int GetKeyCount() const;
    void SetKeyCount(int count);

    std::string GetCertHashBase64() const;
    void SetCertHashBase64(const std::string& hash);

    bool IsHWRequested() const;
    void SetHWRequested(bool requested);

    std::string GetHWResult() const;
    void SetHWResult(const std::string& url);
    // Forgets the held URL only if it is still `used`: one stored by another
    // thread after `used` was read stays for the next sign request.
    void ClearHWResultIf(const std::string& used);

    std::string GetNotice() const;
    void SetNotice(const std::string& notice);

    bool IsNeedHW() const;
    void SetNeedHW(bool need);

    std::string GetWebsiteURL() const;
    void SetWebsiteURL(const std::string& url);

    std::string GetHelpURL() const;
    void SetHelpURL(const std::string& url);

    std::string GetPIN() const;
    void SetPIN(const std::string& pin);

private:
    mutable std::mutex m_lock;
    bool m_bRunning = true;
    std::string m_strSealImgURL;
    int m_nKeyCount = 0;
    std::string m_strCertHashBase64;
    bool m_bHWRequested = false;
    std::string m_strHWResult;
    std::string m_strNotice;
    bool m_bNeedHW = true;
    std::string m_strWebsiteURL;
    std::string m_strHelpURL;
    std::string m_strPIN;
};

}  // namespace qex
