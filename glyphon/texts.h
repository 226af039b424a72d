// The control's own texts (code page 936 bytes in the g++ trees).
#pragma once

namespace qex::glyphon::text {

inline constexpr char kImageFileName[] = "KD_QR_HT.png";
inline constexpr char kDecodeError[] = "生成二维码错误，请取消后重试或联系管理员";
inline constexpr char kFileError[] = "生成二维码失败，请取消后重试或联系管理员";
// The caption is the one all seal dialogs share: qex::text::kSealCaption.

}  // namespace qex::glyphon::text
