#include "core/main_state.h"

namespace qex {

using Guard = std::lock_guard<std::mutex>;

void MainState::ResetForStart() {
    Guard g(m_lock);
    m_bHWRequested = false;
    m_strHWResult.clear();
    m_strPIN.clear();
    m_bNeedHW = true;
    m_bRunning = true;
}

bool MainState::IsRunning() const {
    Guard g(m_lock);
    return m_bRunning;
}

void MainState::SetRunning(bool value) {
    Guard g(m_lock);
    m_bRunning = value;
}

std::string MainState::GetSealImgURL() const {
    Guard g(m_lock);
    return m_strSealImgURL;
}

void MainState::SetSealImgURL(const std::string& value) {
    Guard g(m_lock);
    m_strSealImgURL = value;
}

int MainState::GetKeyCount() const {
    Guard g(m_lock);
    return m_nKeyCount;
}

void MainState::SetKeyCount(int value) {
    Guard g(m_lock);
    m_nKeyCount = value;
}

std::string MainState::GetCertHashBase64() const {
    Guard g(m_lock);
    return m_strCertHashBase64;
}

void MainState::SetCertHashBase64(const std::string& value) {
    Guard g(m_lock);
    m_strCertHashBase64 = value;
}

bool MainState::IsHWRequested() const {
    Guard g(m_lock);
    return m_bHWRequested;
}

void MainState::SetHWRequested(bool value) {
    Guard g(m_lock);
    m_bHWRequested = value;
}

std::string MainState::GetHWResult() const {
    Guard g(m_lock);
    return m_strHWResult;
}

void MainState::SetHWResult(const std::string& value) {
    Guard g(m_lock);
    m_strHWResult = value;
}

std::string MainState::GetNotice() const {
    Guard g(m_lock);
    return m_strNotice;
}

void MainState::SetNotice(const std::string& value) {
    Guard g(m_lock);
    m_strNotice = value;
}

bool MainState::IsNeedHW() const {
    Guard g(m_lock);
    return m_bNeedHW;
}

void MainState::SetNeedHW(bool value) {
    Guard g(m_lock);
    m_bNeedHW = value;
}

std::string MainState::GetWebsiteURL() const {
    Guard g(m_lock);
    return m_strWebsiteURL;
}

void MainState::SetWebsiteURL(const std::string& value) {
    Guard g(m_lock);
    m_strWebsiteURL = value;
}

std::string MainState::GetHelpURL() const {
    Guard g(m_lock);
    return m_strHelpURL;
}

void MainState::SetHelpURL(const std::string& value) {
    Guard g(m_lock);
    m_strHelpURL = value;
}

std::string MainState::GetPIN() const {
    Guard g(m_lock);
    return m_strPIN;
}

void MainState::SetPIN(const std::string& value) {
    Guard g(m_lock);
    m_strPIN = value;
}

void MainState::ClearHWResultIf(const std::string& used) {
    Guard g(m_lock);
    if (m_strHWResult == used) m_strHWResult.clear();
}

}  // namespace qex
