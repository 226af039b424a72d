#include "tests/glyphon/test_support.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <mutex>

namespace qex::glyphon::test {
namespace {

uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutBe32(std::string* out, uint32_t v) {
    out->push_back(static_cast<char>(v >> 24));
    out->push_back(static_cast<char>(v >> 16));
    out->push_back(static_cast<char>(v >> 8));
    out->push_back(static_cast<char>(v));
}

void PutChunk(std::string* png, const char* type, const std::string& data) {
    PutBe32(png, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png->append(typed);
    PutBe32(png, Crc32(typed));
}

std::string ZlibStored(const std::string& raw) {
    std::string z("\x78\x01", 2);
    size_t pos = 0;
    do {
        const size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        const bool last = pos + n == raw.size();
        z.push_back(static_cast<char>(last ? 1 : 0));
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(&z, (b << 16) | a);
    return z;
}

// The recorder's state: one module patched at a time.
std::mutex g_boxesMutex;
std::vector<RecordedBox> g_boxes;

int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::lock_guard<std::mutex> lock(g_boxesMutex);
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}

void** FindImportSlot(HMODULE module, const char* dll, void* target) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk); thunk->u1.Function; ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) == target) {
                return reinterpret_cast<void**>(&thunk->u1.Function);
            }
        }
    }
    return nullptr;
}

}  // namespace

std::string MakePng(int width, int height, const std::function<COLORREF(int, int)>& pixel) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    PutBe32(&ihdr, static_cast<uint32_t>(width));
    PutBe32(&ihdr, static_cast<uint32_t>(height));
    ihdr.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
    PutChunk(&png, "IHDR", ihdr);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            raw.push_back(static_cast<char>(GetRValue(c)));
            raw.push_back(static_cast<char>(GetGValue(c)));
            raw.push_back(static_cast<char>(GetBValue(c)));
        }
    }
    PutChunk(&png, "IDAT", ZlibStored(raw));
    PutChunk(&png, "IEND", std::string());
    return png;
}

std::string MakeGreyPng(int width, int height, int bits, const std::function<bool(int, int)>& dark) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    PutBe32(&ihdr, static_cast<uint32_t>(width));
    PutBe32(&ihdr, static_cast<uint32_t>(height));
    ihdr.push_back(static_cast<char>(bits));
    ihdr.append("\x00\x00\x00\x00", 4);  // grey, deflate, no filter, no interlace
    PutChunk(&png, "IHDR", ihdr);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        if (bits == 1) {
            for (int x = 0; x < width; x += 8) {
                unsigned char byte = 0;
                for (int k = 0; k < 8; ++k) {
                    const bool white = x + k >= width || !dark(x + k, y);
                    if (white) byte = static_cast<unsigned char>(byte | (0x80 >> k));
                }
                raw.push_back(static_cast<char>(byte));
            }
        } else {
            for (int x = 0; x < width; ++x) raw.push_back(static_cast<char>(dark(x, y) ? 0 : 255));
        }
    }
    PutChunk(&png, "IDAT", ZlibStored(raw));
    PutChunk(&png, "IEND", std::string());
    return png;
}

std::string SolidPng(int width, int height, COLORREF colour) {
    return MakePng(width, height, [colour](int, int) { return colour; });
}

std::string EncodeBase64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += "=";
    }
    return out;
}

std::wstring OcxPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + L"Glyphon.ocx";
}

HMODULE LoadOcx() { return LoadLibraryW(OcxPath().c_str()); }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ImageFilePath() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "KD_QR_HT.png";
}

MessageBoxRecorder::MessageBoxRecorder(HMODULE module) {
    void* real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA"));
    slot_ = module && real ? FindImportSlot(module, "user32.dll", real) : nullptr;
    if (!slot_) return;
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    original_ = *slot_;
    *slot_ = reinterpret_cast<void*>(&RecordingMessageBoxA);
    VirtualProtect(slot_, sizeof(void*), old, &old);
    Take();
}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (!slot_) return;
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    *slot_ = original_;
    VirtualProtect(slot_, sizeof(void*), old, &old);
}

std::vector<RecordedBox> MessageBoxRecorder::Take() {
    std::lock_guard<std::mutex> lock(g_boxesMutex);
    std::vector<RecordedBox> out;
    out.swap(g_boxes);
    return out;
}

bool PumpUntil(const std::function<bool()>& done, DWORD ceilingMs) {
    const ULONGLONG end = GetTickCount64() + ceilingMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

}  // namespace qex::glyphon::test
