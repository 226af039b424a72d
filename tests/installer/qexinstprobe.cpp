// Looks at an installed machine the way the 32-bit client does and prints
// what it finds as key=value lines (the installer tests read them):
//   qexinstprobe settings              where the client reads its settings
//                                      and what it reads there
//   qexinstprobe progid <ProgID>       the class id and in-process server
//                                      a ProgID resolves to (exit 1: none)
//   qexinstprobe reg HKCU|HKLM <key> <value>   one registry string (exit 1: none)
//   qexinstprobe run <command line>    runs it as it stands (Wine would quote
//                                      an argument such as NSIS's "_?=<dir>")
//                                      and exits with its exit code
// Built 32-bit, so registry and file system redirection are the client's.
#include "core/win/win32.h"
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/install_settings.h"
#include "core/win/win_platform.h"
#include "service/endpoint.h"

namespace {

// Values in the driver's escaping (the tests' parser undoes it).
void Print(const char* key, const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '\n') escaped += "\\n";
        else if (c == '\r') escaped += "\\r";
        else escaped += c;
    }
    std::printf("%s=%s\n", key, escaped.c_str());
}

bool ReadRegString(HKEY root, const std::string& subkey, const char* value, std::string* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buf[2048] = {};
    DWORD size = sizeof(buf) - 1;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    *out = buf;
    return true;
}

int Settings() {
    char sysdir[MAX_PATH] = {};
    GetSystemDirectoryA(sysdir, sizeof(sysdir));
    Print("sysdir", sysdir);
    char endpoint[260] = {};
    qex::ReadServiceEndpoint(endpoint);
    Print("endpoint", endpoint);
    qex::WinFileSystem fs;
    qex::WinProfileReader profile;
    const std::string config = qex::GetInstallConfigPath(fs);
    Print("install_config", config);
    Print("website", qex::ReadWebsiteURL(profile, config));
    Print("help", qex::ReadHelpURL(profile, config));
    Print("origins", qex::ReadBridgeOrigins(profile, config));
    return 0;
}

int ProgId(const char* progId) {
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 255);
    if (FAILED(CoInitialize(nullptr))) {
        return 2;
    }
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(wide, &clsid);
    CoUninitialize();
    if (FAILED(hr)) {
        std::printf("hr=0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    wchar_t text[64] = {};
    StringFromGUID2(clsid, text, 64);
    char clsidText[64] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, clsidText, sizeof(clsidText), nullptr, nullptr);
    Print("clsid", clsidText);
    std::string server;
    if (ReadRegString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsidText + "\\InprocServer32", nullptr,
                      &server)) {
        Print("server", server);
    }
    return 0;
}

int Reg(const char* root, const char* subkey, const char* value) {
    HKEY hroot = std::strcmp(root, "HKCU") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    std::string text;
    if (!ReadRegString(hroot, subkey, value, &text)) {
        return 1;
    }
    Print("value", text);
    return 0;
}

int Run(const char* commandLine) {
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
        return 255;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("exit=%lu\n", static_cast<unsigned long>(code));
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "settings") == 0) return Settings();
    if (argc == 3 && std::strcmp(argv[1], "progid") == 0) return ProgId(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "reg") == 0) return Reg(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "run") == 0) return Run(argv[2]);
    std::fprintf(stderr, "usage: qexinstprobe settings | progid <ProgID> | reg HKCU|HKLM <key> <value> | run <line>\n");
    return 2;
}
