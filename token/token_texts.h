// Texts and fixed values of the USB key operations (code page 936 bytes
// in the g++ trees).
#pragma once

#include "core/texts.h"
#include "token/skf.h"

namespace qex::text {

inline constexpr char kNoUsbKey[] = "没有发现USBKEY";
inline constexpr char kConnectKeyFailed[] = "连接USBKEY失败";
inline constexpr char kKeyPinFailed[] = "认证USBKEY失败";
// kKeepOneKey ("请只保留一个USBKEY与电脑连接") comes from core/texts.h.

}  // namespace qex::text

namespace qex::token {

inline constexpr char kContainerName[] = "ZUL_TN";
inline constexpr ULONG kUserPinType = 1;           // USER_TYPE
inline constexpr ULONG kAppListCapacity = 256;

}  // namespace qex::token
