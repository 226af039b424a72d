#include "service/endpoint.h"

#include "service/protocol.h"

namespace qex {

std::string ReadServiceEndpoint(IFileSystem& fs, IProfileReader& profile) {
    const std::string path = fs.SystemDirectory() + "\\" + protocol::kSettingsFileName;
    std::string url = profile.ReadString(path, protocol::kEndpointSection, protocol::kEndpointKey,
                                         protocol::kDefaultEndpoint, protocol::kEndpointReadSize);
    // The read allows 200 bytes, terminator included; enforced here as well,
    // so no reader can overrun the caller's buffer.
    if (url.size() > protocol::kEndpointReadSize - 1) {
        url.resize(protocol::kEndpointReadSize - 1);
    }
    return url;
}

}  // namespace qex
