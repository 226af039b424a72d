// The Windows headers, included in the one order that suits every file of
// ours: Winsock 2 first (windows.h would otherwise bring in the old
// winsock.h, and the two cannot be in one file). Include this instead of
// <windows.h>; headers for single areas (shellapi.h, ocidl.h, ...) follow it.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
