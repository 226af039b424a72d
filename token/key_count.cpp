#include "token/key_count.h"

#include <algorithm>

namespace qex {

namespace {

constexpr ULONG kNameListCapacity = 256;
// A size beyond this is not a device list but a broken library; we refuse
// it rather than allocate whatever it asks for.
constexpr ULONG kNameListLimit = 64 * 1024;
// Two extra NULs past the size given to the library end the list for us.
constexpr ULONG kGuardBytes = 2;
// A key plugged in between the two calls makes the second call report a
// too small buffer; we then ask again with the new size, a few times.
constexpr int kAttempts = 3;

}  // namespace

std::vector<std::string> DeviceList::Names() const {
    std::vector<std::string> names;
    const char* p = buffer.data();
    const char* end = p + buffer.size();
    while (p < end && *p != '\0') {
        const char* nul = std::find(p, end, '\0');
        names.emplace_back(p, nul);
        p = nul + 1;
    }
    return names;
}

std::string DeviceList::FirstName() const {
    if (buffer.empty()) return std::string();
    return std::string(buffer.data());  // buffer always holds a NUL
}

DeviceList EnumerateDevices(ISkf& skf) {
    DeviceList list;
    ULONG size = 0;
    skf.EnumDev(TRUE, nullptr, &size);  // its result is not examined
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (size > kNameListLimit) {
            list.result = SAR_INDATALENERR;
            list.buffer.assign(kGuardBytes, '\0');
            return list;
        }
        list.buffer.assign(std::max(size, kNameListCapacity) + kGuardBytes, '\0');
        ULONG inOut = size;
        list.result = skf.EnumDev(TRUE, list.buffer.data(), &inOut);
        if (list.result == SAR_BUFFER_TOO_SMALL && inOut > size) {
            size = inOut;
            continue;
        }
        // Whatever the library claims, it had only `size` bytes to write.
        list.size = std::min(inOut, std::max(size, kNameListCapacity));
        break;
    }
    return list;
}

int CountUsbKeys(ISkf& skf) {
    DeviceList list = EnumerateDevices(skf);
    if (list.result != SAR_OK) return 0;
    return static_cast<int>(list.Names().size());
}

}  // namespace qex
