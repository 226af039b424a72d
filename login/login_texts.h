// Texts and fixed values of the seal login (code page 936 bytes in the g++
// trees). The PIN and key messages come from the token's own texts.
#pragma once

#include <cstddef>

namespace qex::text {

inline constexpr char kReadCertFailed[] = "读取USBKEY证书失败";
inline constexpr char kLoadDigestModuleFailed[] = "加载动态库 QEXMultiCACryptModule.dll 失败！";
inline constexpr char kDigestEntryMissing[] = "动态库 QEXMultiCACryptModule.dll 中没有 QEXGetDigest 函数，请重新安装本产品！";
inline constexpr char kDigestFailed[] = "QEXMultiCACryptModule.dll 计算摘要失败，请重新安装本产品！";
inline constexpr char kSealServerUnreachable[] = "连接签章服务器失败，请检查网络或联系技术人员！";
inline constexpr char kSealServiceBadReply[] = "服务请求返回的数据错误，请重新安装本产品！";
inline constexpr char kLoginBusy[] = "正在进行另一次登录或签章，请稍后再试";

}  // namespace qex::text

namespace qex::login {

inline constexpr char kDigestModuleName[] = "QEXMultiCACryptModule.dll";
inline constexpr char kDigestEntryName[] = "QEXGetDigest";
inline constexpr char kLoginText[] = "1";  // what the login command signs

// Working buffers of one run.
inline constexpr std::size_t kCertBufferSize = 4096;
inline constexpr std::size_t kDigestBufferSize = 50;     // also the capacity passed to the module
inline constexpr std::size_t kDigestTextSize = 50;       // Base64 of the certificate digest
inline constexpr std::size_t kSignatureBufferSize = 500;
inline constexpr std::size_t kSignatureTextSize = 400;   // Base64 of the signature

}  // namespace qex::login

namespace qex::text {

// Key watch.
inline constexpr char kKeepOnlyOneUk[] = "请只保留一个UK与电脑连接，并重新登录";
inline constexpr char kUkInserted[] = "检测到UK插入，请登录";

// Login command.
inline constexpr char kAutoLoginFailed[] = "自动登录失败，请稍后联系技术人员";
inline constexpr char kUrlNoticeCaption[] = "提示：若未能自动打开电子签章网页";
inline constexpr char kVisitThisAddress[] = "若未能自动打开电子签章网页，请访问以下网址：";
inline constexpr char kLoginSucceeded[] = "登录电子签章客户端成功";
// kSealCaption ("电子签章") captions the warning box.

}  // namespace qex::text
