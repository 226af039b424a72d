// A main window that records what the key watch and the login command do.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"
#include "core/shell_texts.h"
#include "core/ui.h"
#include "login/key_watch.h"
#include "login/login_command.h"

namespace qex::test {

class FakeMainWindow : public IMainWindow, public ILoginCommandWindow, public IShellOpen {
public:
    std::string title = "版本：V1.8    当前状态：未登录";
    bool visible = true;
    bool loginEnabled = true;
    int tray = -1;  // none yet
    std::vector<std::string> lines;
    std::vector<std::string> boxes;  // "caption|text|type"
    std::vector<std::string> events;  // in order, for the ordering checks
    std::vector<std::string> launched;
    std::vector<std::string> shellOpened;
    std::vector<std::string> notices;  // "caption|url"
    std::string info;
    bool launchWorks = true;

    void AppendStatus(const std::string& line) override {
        lines.push_back(line);
        events.push_back("line:" + line);
    }
    int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override {
        boxes.push_back(caption + "|" + text + "|" + std::to_string(type));
        events.push_back("box");
        return kIdOk;
    }
    std::string GetTitle() override { return title; }
    void SetTitle(const std::string& t) override {
        title = t;
        events.push_back("title");
    }
    void ShowMainWindow(bool show) override {
        visible = show;
        events.push_back(show ? "show" : "hide");
    }
    void EnableLogin(bool enable) override { loginEnabled = enable; }
    void ShowHelpLink(bool) override {}
    void SetTrayState(int mode) override {
        tray = mode;
        events.push_back("tray" + std::to_string(mode));
    }

    void ResetStatusList() override {
        lines.clear();
        events.push_back("reset");
    }
    void ShowInfo(const std::string& text) override { info = text; }
    bool LaunchBrowser(const std::string& url) override {
        launched.push_back(url);
        events.push_back("launch");
        return launchWorks;
    }
    void ShowUrlNotice(const std::string& caption, const std::string& url) override {
        notices.push_back(caption + "|" + url);
        events.push_back("notice");
    }
    void OpenUrl(const std::string& url) override { shellOpened.push_back(url); }
};

class FakeProfile : public IProfileReader {
public:
    std::string website = "http://seal.example/site";
    std::vector<std::string> readPaths;
    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback, std::size_t) override {
        readPaths.push_back(path);
        if (section == "WEBSITE" && key == "URL" && !website.empty()) return website;
        return fallback;
    }
};

class FakeFileSystem : public IFileSystem {
public:
    std::string SystemDirectory() override { return "C:\\windows\\system32"; }
    long CountEntries(const std::string&) override { return -1; }
    std::string CurrentDirectory() override { return "C:\\"; }
    bool ChangeDirectory(const std::string&) override { return true; }
};

}  // namespace qex::test
