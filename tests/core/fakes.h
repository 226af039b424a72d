// Fakes of the platform and window interfaces for the shell's unit tests.
#pragma once

#include "core/platform.h"
#include "core/tray_state.h"
#include "core/ui.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace qex::testing {

class FakeFileSystem : public IFileSystem {
public:
    std::string systemDir = "C:\\windows\\system32";
    std::map<std::string, long> folders;  // entries per folder that can be entered
    std::string cwd = "Z:\\work";
    std::vector<std::string> countedDirs;

    std::string SystemDirectory() override { return systemDir; }
    long CountEntries(const std::string& dir) override {
        countedDirs.push_back(dir);
        auto it = folders.find(dir);
        return it == folders.end() ? -1 : it->second;
    }
    std::string CurrentDirectory() override { return cwd; }
    bool ChangeDirectory(const std::string& dir) override {
        if (folders.count(dir) == 0 && dir != cwdHome) return false;
        cwd = dir;
        return true;
    }
    std::string cwdHome = "Z:\\work";
};

class FakeProfile : public IProfileReader {
public:
    // (path, section, key) -> value
    std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
    std::vector<std::string> readPaths;
    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback, std::size_t bufferSize) override {
        readPaths.push_back(path);
        auto it = values.find({path, section, key});
        std::string v = it == values.end() ? fallback : it->second;
        if (v.size() > bufferSize - 1) v.resize(bufferSize - 1);
        return v;
    }
};

class FakeWindow : public IMainWindow {
public:
    std::vector<std::string> lines;
    std::string title;
    bool shown = true, loginEnabled = true, helpShown = false;
    int helpLinkCalls = 0, loginCalls = 0;
    std::vector<int> trayModes;

    void AppendStatus(const std::string& line) override { lines.push_back(line); }
    int ShowMessage(const std::string&, const std::string&, unsigned) override { return kIdOk; }
    std::string GetTitle() override { return title; }
    void SetTitle(const std::string& t) override { title = t; }
    void ShowMainWindow(bool show) override { shown = show; }
    void EnableLogin(bool enable) override { loginEnabled = enable; ++loginCalls; }
    void ShowHelpLink(bool show) override { helpShown = show; ++helpLinkCalls; }
    void SetTrayState(int mode) override { trayModes.push_back(mode); }
};

// Records the shell's view of the tray: which icons are shown, and the calls.
class FakeTray : public ITray {
public:
    std::map<int, std::string> shown;  // icon id -> tip
    std::vector<std::string> calls;
    bool Add(const TrayRecord& r) override {
        calls.push_back("add " + std::to_string(r.iconId));
        if (shown.count(r.iconId)) return false;
        shown[r.iconId] = r.tip;
        return true;
    }
    bool Remove(const TrayRecord& r) override {
        calls.push_back("remove " + std::to_string(r.iconId));
        return shown.erase(r.iconId) == 1;
    }
};

}  // namespace qex::testing
