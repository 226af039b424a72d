// Where the seal service is: [WS] URL of wsconfig.ini in the Windows system
// folder, read again before every call so an edited URL takes effect at once.
#pragma once

#include <string>

#include "core/platform.h"

namespace qex {

// The endpoint from the settings file found through `fs` and read through
// `profile`: at most 199 characters; the default URL when the file or the
// key is missing; empty when the key is present but empty.
std::string ReadServiceEndpoint(IFileSystem& fs, IProfileReader& profile);

// Fills `buffer` (at least protocol::kEndpointReadSize bytes) with the
// endpoint, NUL-terminated, using the platform sources installed below.
void ReadServiceEndpoint(char* buffer);

// The platform services ReadServiceEndpoint(buffer) goes through. Windows
// builds start with the Win32 ones; native builds have no system folder
// until a caller (a test) installs its own. Install before the first service
// call: the pointers are read by every thread that calls the service, and
// the objects must outlive those calls. Null restores the built-in sources.
void SetServiceEndpointSources(IFileSystem* fs, IProfileReader* profile);

}  // namespace qex
