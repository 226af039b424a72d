// Time spent in the software key per seal, measured through the DLL the
// client loads (mtoken_gm3000.dll, found next to this program): the whole
// key session one sign request makes (enumerate, connect, open the
// application, verify the PIN, open the container, sign, export the public
// key, verify, close) and RSASignData alone on an open container.
// Usage: skf_bench.exe [iterations] [pin]   with QEX_SKF_ROOT set to a key root.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "token/skf.h"

namespace {

typedef ULONG(DEVAPI* EnumDevFn)(BOOL, LPSTR, ULONG*);
typedef ULONG(DEVAPI* ConnectDevFn)(LPSTR, DEVHANDLE*);
typedef ULONG(DEVAPI* CloseFn)(HANDLE);
typedef ULONG(DEVAPI* EnumAppFn)(DEVHANDLE, LPSTR, ULONG*);
typedef ULONG(DEVAPI* OpenAppFn)(DEVHANDLE, LPSTR, HAPPLICATION*);
typedef ULONG(DEVAPI* VerifyPinFn)(HAPPLICATION, ULONG, LPSTR, ULONG*);
typedef ULONG(DEVAPI* OpenContainerFn)(HAPPLICATION, LPSTR, HCONTAINER*);
typedef ULONG(DEVAPI* SignFn)(HCONTAINER, BYTE*, ULONG, BYTE*, ULONG*);
typedef ULONG(DEVAPI* ExportPubFn)(HCONTAINER, BOOL, BYTE*, ULONG*);
typedef ULONG(DEVAPI* VerifyFn)(DEVHANDLE, RSAPUBLICKEYBLOB*, BYTE*, ULONG, BYTE*, ULONG);

struct Skf {
    EnumDevFn enumDev;
    ConnectDevFn connect;
    CloseFn disconnect;
    EnumAppFn enumApp;
    OpenAppFn openApp;
    CloseFn closeApp;
    VerifyPinFn verifyPin;
    OpenContainerFn openContainer;
    CloseFn closeContainer;
    SignFn sign;
    ExportPubFn exportPub;
    VerifyFn verify;
};

template <typename T>
bool Bind(HMODULE dll, const char* name, T* fn) {
    *fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (!*fn) std::fprintf(stderr, "missing %s\n", name);
    return *fn != nullptr;
}

bool Load(Skf* s) {
    HMODULE dll = LoadLibraryA("mtoken_gm3000.dll");
    if (!dll) return false;
    return Bind(dll, "SKF_EnumDev", &s->enumDev) && Bind(dll, "SKF_ConnectDev", &s->connect) &&
           Bind(dll, "SKF_DisConnectDev", &s->disconnect) &&
           Bind(dll, "SKF_EnumApplication", &s->enumApp) &&
           Bind(dll, "SKF_OpenApplication", &s->openApp) &&
           Bind(dll, "SKF_CloseApplication", &s->closeApp) && Bind(dll, "SKF_VerifyPIN", &s->verifyPin) &&
           Bind(dll, "SKF_OpenContainer", &s->openContainer) &&
           Bind(dll, "SKF_CloseContainer", &s->closeContainer) && Bind(dll, "SKF_RSASignData", &s->sign) &&
           Bind(dll, "SKF_ExportPublicKey", &s->exportPub) && Bind(dll, "SKF_RSAVerify", &s->verify);
}

struct Session {
    DEVHANDLE dev = nullptr;
    HAPPLICATION app = nullptr;
    HCONTAINER con = nullptr;
};

bool Open(const Skf& s, const char* pin, Session* out) {
    char names[1024];
    ULONG len = sizeof(names);
    if (s.enumDev(TRUE, names, &len) != 0 || !names[0]) return false;
    if (s.connect(names, &out->dev) != 0) return false;
    char apps[256];
    len = sizeof(apps);
    if (s.enumApp(out->dev, apps, &len) != 0 || !apps[0]) return false;
    if (s.openApp(out->dev, apps, &out->app) != 0) return false;
    std::vector<char> p(pin, pin + std::strlen(pin) + 1);
    ULONG retries = 0;
    if (s.verifyPin(out->app, USER_TYPE, p.data(), &retries) != 0) return false;
    char container[] = "ZUL_TN";
    return s.openContainer(out->app, container, &out->con) == 0;
}

void Close(const Skf& s, Session* ss) {
    if (ss->con) s.closeContainer(ss->con);
    if (ss->app) s.closeApp(ss->app);
    if (ss->dev) s.disconnect(ss->dev);
}

bool SignAndVerify(const Skf& s, const Session& ss, BYTE* data, ULONG dataLen) {
    BYTE sig[500];
    ULONG sigLen = sizeof(sig);
    if (s.sign(ss.con, data, dataLen, sig, &sigLen) != 0) return false;
    RSAPUBLICKEYBLOB blob;
    std::memset(&blob, 0, sizeof(blob));
    ULONG blobLen = sizeof(blob);
    if (s.exportPub(ss.con, TRUE, reinterpret_cast<BYTE*>(&blob), &blobLen) != 0) return false;
    return s.verify(ss.dev, &blob, data, dataLen, sig, sigLen) == 0;
}

double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    int n = argc > 1 ? std::atoi(argv[1]) : 50;
    const char* pin = argc > 2 ? argv[2] : "123456";
    Skf s;
    if (!Load(&s)) {
        std::fprintf(stderr, "cannot load mtoken_gm3000.dll\n");
        return 1;
    }
    // The client signs a 32-byte digest of the text.
    BYTE digest[32];
    for (int i = 0; i < 32; ++i) digest[i] = static_cast<BYTE>(i * 7 + 1);
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);

    QueryPerformanceCounter(&a);
    for (int i = 0; i < n; ++i) {
        Session ss;
        bool ok = Open(s, pin, &ss) && SignAndVerify(s, ss, digest, sizeof(digest));
        Close(s, &ss);
        if (!ok) {
            std::fprintf(stderr, "key session %d failed\n", i);
            return 1;
        }
    }
    QueryPerformanceCounter(&b);
    std::printf("session_ms=%.3f\n", Ms(a, b, f) / n);

    Session ss;
    if (!Open(s, pin, &ss)) return 1;
    BYTE sig[500];
    QueryPerformanceCounter(&a);
    for (int i = 0; i < n; ++i) {
        ULONG sigLen = sizeof(sig);
        if (s.sign(ss.con, digest, sizeof(digest), sig, &sigLen) != 0) return 1;
    }
    QueryPerformanceCounter(&b);
    std::printf("sign_ms=%.3f\n", Ms(a, b, f) / n);
    Close(s, &ss);
    std::printf("iterations=%d\n", n);
    return 0;
}
