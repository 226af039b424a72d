// The process-wide sources of the endpoint setting.
#include <atomic>
#include <cstring>

#include "service/endpoint.h"
#include "service/protocol.h"

#ifdef _WIN32
#include "core/win/win_platform.h"
#endif

namespace qex {
namespace {

std::atomic<IFileSystem*> g_fs{nullptr};
std::atomic<IProfileReader*> g_profile{nullptr};

#ifdef _WIN32
IFileSystem* BuiltInFileSystem() {
    static WinFileSystem fs(protocol::kSystemDirBufferSize);
    return &fs;
}

IProfileReader* BuiltInProfileReader() {
    static WinProfileReader profile;
    return &profile;
}
#else
// Native builds have no Windows system folder: with no sources installed the
// endpoint is the default, as with a missing settings file.
IFileSystem* BuiltInFileSystem() { return nullptr; }
IProfileReader* BuiltInProfileReader() { return nullptr; }
#endif

}  // namespace

void SetServiceEndpointSources(IFileSystem* fs, IProfileReader* profile) {
    g_fs.store(fs);
    g_profile.store(profile);
}

void ReadServiceEndpoint(char* buffer) {
    if (buffer == nullptr) {
        return;
    }
    IFileSystem* fs = g_fs.load();
    IProfileReader* profile = g_profile.load();
    if (fs == nullptr) fs = BuiltInFileSystem();
    if (profile == nullptr) profile = BuiltInProfileReader();
    const std::string url = fs != nullptr && profile != nullptr
                                ? ReadServiceEndpoint(*fs, *profile)
                                : std::string(protocol::kDefaultEndpoint);
    std::memcpy(buffer, url.c_str(), url.size() + 1);
}

}  // namespace qex
