// Texts of the handwriting capture, defined once. Code page 936.
#pragma once

namespace qex::hw::text {

// Handwriting dialog.
inline constexpr char kRefused[] = "非法参数调用，请重新登录！";
inline constexpr char kTimedOut[] = "等待超时，请重新登录！";

// Handwriting wait thread.
inline constexpr char kRequestRefused[] = "申请录入手写签名失败，请稍后重试或与管理员联系！";
inline constexpr char kBadData[] = "服务器传回的数据错误，请稍后重试或与管理员联系";
inline constexpr char kCaptured[] = "录入手写签名图像成功";
inline constexpr char kGivenUp[] = "放弃录入手写签名";

// Re-sign command of the main window.
inline constexpr char kLoginFirst[] = "请先登录";
inline constexpr char kResignRefused[] = "申请录入手写签名失败，请稍后登录或联系管理员";
inline constexpr char kResignBadData[] = "服务器传回的数据错误，请稍后登录或联系管理员";
inline constexpr char kResignFailed[] = "采集手写签名失败";

}  // namespace qex::hw::text
