// Texts of the PIN dialog and the URL notice dialog that the code uses
// (the templates carry their own). Code page 936 bytes in the g++ trees.
#pragma once

#include <cstddef>

#include "core/texts.h"

namespace qex::text {

inline constexpr char kPinTooShort[] = "密码长度不小于6位";
inline constexpr char kCopyByHand[] = "无法自动复制，请用鼠标进行操作！";
inline constexpr char kUrlPlaceholder[] = "这里显示帮助页面的URL";
// kAppCaption ("QEX电子签章") captions the copy message.

}  // namespace qex::text

namespace qex::dialogs {

inline constexpr std::size_t kMinPinBytes = 6;  // bytes of the ANSI text, not characters

}  // namespace qex::dialogs
