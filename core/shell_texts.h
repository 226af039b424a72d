// Texts of the main window and its start-up, defined once. Code page 936
// bytes in the g++ trees (see texts.h).
#pragma once

#include "core/texts.h"

namespace qex::text {

inline constexpr char kAlreadyRunning[] = "程序已经启动，不能重复运行！";
inline constexpr char kNoKey[] = "未连接USBKEY";
inline constexpr char kOneKeyPleaseLogin[] = "检测到签章USBKEY与电脑连接，请登录";
// kKeepOneKey (texts.h) is the start-up line for two or more keys.

inline constexpr char kTitleLoggedIn[] = "当前状态：已登录";
inline constexpr char kTitleLoggedOut[] = "当前状态：未登录";
inline constexpr char kLoggedInMark[] = "已登录";

inline constexpr char kTrayTipLoggedIn[] = "已登录，可签章";
inline constexpr char kTrayTipLoggedOut[] = "未登录，不可签章";

inline constexpr char kHelpLinkText[] = "帮助";

}  // namespace qex::text
