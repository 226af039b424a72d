// Counting the USB keys that are plugged in, and the device enumeration
// that the key operations start with.
#pragma once

#include <string>
#include <vector>

#include "token/skf_api.h"

namespace qex {

// The name list of the devices present, as SKF_EnumDev leaves it.
struct DeviceList {
    ULONG result = SAR_FAIL;  // result of the second SKF_EnumDev call
    ULONG size = 0;           // the size the library returned with the list
    // The list itself: at least 256 bytes, zero-filled before the call and
    // always ending in two NULs of our own, so walking it cannot run off.
    std::vector<char> buffer;

    // The non-empty names before the first empty one.
    std::vector<std::string> Names() const;
    // The first name ("" when the list starts with an empty name).
    std::string FirstName() const;
};

// Two SKF_EnumDev calls (bPresent TRUE): the first learns the size, the
// second fills the buffer. The buffer grows to the size the first call
// reported, so a long list is read whole and never written past its end.
DeviceList EnumerateDevices(ISkf& skf);

// Number of keys present; 0 when the enumeration fails or finds none.
// Never talks to a key and never shows anything.
int CountUsbKeys(ISkf& skf);

}  // namespace qex
