// The texts the user reads, as the program holds them: each must be the
// code page 936 form of its wording, since every window, status line and
// message box takes them through the ANSI calls. One table for the client's
// and the control's own texts (the Wine tests read the same texts back from
// the running program, from their own table); the wording is the one a
// user sees, converted here by the system's own converter, never typed as
// bytes.
#include <gtest/gtest.h>

#include <string>

#include "core/shell_texts.h"
#include "core/texts.h"
#include "dialogs/dialog_texts.h"
#include "glyphon/texts.h"
#include "handwriting/hw_texts.h"
#include "login/login_texts.h"
#include "service/service_texts.h"
#include "token/token_texts.h"

#ifdef _WIN32
#include "core/win/code_page.h"
#else
#include <iconv.h>
#endif

namespace qex {
namespace {

struct UserText {
    const char* name;
    const char* held;     // what the program holds
    const char* wording;  // what the user reads, in UTF-8
};

const UserText kTexts[] = {
    {"kAppCaption", text::kAppCaption, u8"QEX电子签章"},
    {"kSealCaption", text::kSealCaption, u8"电子签章"},
    {"kKeepOneKey", text::kKeepOneKey, u8"请只保留一个USBKEY与电脑连接"},
    {"kOriginRefused", text::kOriginRefused, u8"本网页未获准使用签章客户端签章，请联系系统管理员"},
    {"kOriginNotListed", text::kOriginNotListed, u8"拒绝签章请求，来源网页不在允许的名单中："},
    {"kOriginNotGiven", text::kOriginNotGiven, u8"拒绝签章请求，请求没有给出来源网页"},
    {"kOriginUnusable", text::kOriginUnusable, u8"拒绝签章请求，无法识别来源网页："},
    {"kOriginAmbiguous", text::kOriginAmbiguous, u8"拒绝签章请求，请求给出了不同的来源网页"},
    {"kOriginHeadIncomplete", text::kOriginHeadIncomplete, u8"拒绝签章请求，请求头不完整或超过8K"},
    {"kOriginsIgnored", text::kOriginsIgnored, u8"允许签章的网页名单中有无法识别的条目，已忽略："},
    {"kAlreadyRunning", text::kAlreadyRunning, u8"程序已经启动，不能重复运行！"},
    {"kNoKey", text::kNoKey, u8"未连接USBKEY"},
    {"kOneKeyPleaseLogin", text::kOneKeyPleaseLogin, u8"检测到签章USBKEY与电脑连接，请登录"},
    {"kTitleLoggedIn", text::kTitleLoggedIn, u8"当前状态：已登录"},
    {"kTitleLoggedOut", text::kTitleLoggedOut, u8"当前状态：未登录"},
    {"kTrayTipLoggedIn", text::kTrayTipLoggedIn, u8"已登录，可签章"},
    {"kTrayTipLoggedOut", text::kTrayTipLoggedOut, u8"未登录，不可签章"},
    {"kHelpLinkText", text::kHelpLinkText, u8"帮助"},
    {"kReadCertFailed", text::kReadCertFailed, u8"读取USBKEY证书失败"},
    {"kLoadDigestModuleFailed", text::kLoadDigestModuleFailed, u8"加载动态库 QEXMultiCACryptModule.dll 失败！"},
    {"kSealServerUnreachable", text::kSealServerUnreachable, u8"连接签章服务器失败，请检查网络或联系技术人员！"},
    {"kSealServiceBadReply", text::kSealServiceBadReply, u8"服务请求返回的数据错误，请重新安装本产品！"},
    {"kKeepOnlyOneUk", text::kKeepOnlyOneUk, u8"请只保留一个UK与电脑连接，并重新登录"},
    {"kUkInserted", text::kUkInserted, u8"检测到UK插入，请登录"},
    {"kAutoLoginFailed", text::kAutoLoginFailed, u8"自动登录失败，请稍后联系技术人员"},
    {"kUrlNoticeCaption", text::kUrlNoticeCaption, u8"提示：若未能自动打开电子签章网页"},
    {"kVisitThisAddress", text::kVisitThisAddress, u8"若未能自动打开电子签章网页，请访问以下网址："},
    {"kLoginSucceeded", text::kLoginSucceeded, u8"登录电子签章客户端成功"},
    {"kNoUsbKey", text::kNoUsbKey, u8"没有发现USBKEY"},
    {"kConnectKeyFailed", text::kConnectKeyFailed, u8"连接USBKEY失败"},
    {"kKeyPinFailed", text::kKeyPinFailed, u8"认证USBKEY失败"},
    {"kPinTooShort", text::kPinTooShort, u8"密码长度不小于6位"},
    {"kCopyByHand", text::kCopyByHand, u8"无法自动复制，请用鼠标进行操作！"},
    {"kUrlPlaceholder", text::kUrlPlaceholder, u8"这里显示帮助页面的URL"},
    {"hw::kRefused", hw::text::kRefused, u8"非法参数调用，请重新登录！"},
    {"hw::kTimedOut", hw::text::kTimedOut, u8"等待超时，请重新登录！"},
    {"hw::kRequestRefused", hw::text::kRequestRefused, u8"申请录入手写签名失败，请稍后重试或与管理员联系！"},
    {"hw::kBadData", hw::text::kBadData, u8"服务器传回的数据错误，请稍后重试或与管理员联系"},
    {"hw::kCaptured", hw::text::kCaptured, u8"录入手写签名图像成功"},
    {"hw::kGivenUp", hw::text::kGivenUp, u8"放弃录入手写签名"},
    {"hw::kLoginFirst", hw::text::kLoginFirst, u8"请先登录"},
    {"hw::kResignRefused", hw::text::kResignRefused, u8"申请录入手写签名失败，请稍后登录或联系管理员"},
    {"hw::kResignBadData", hw::text::kResignBadData, u8"服务器传回的数据错误，请稍后登录或联系管理员"},
    {"hw::kResignFailed", hw::text::kResignFailed, u8"采集手写签名失败"},
    {"glyphon::kDecodeError", glyphon::text::kDecodeError, u8"生成二维码错误，请取消后重试或联系管理员"},
    {"glyphon::kFileError", glyphon::text::kFileError, u8"生成二维码失败，请取消后重试或联系管理员"},
};

// The bytes the program must hold for `utf8`: its code page 936 form (in
// the sanitizer tree, whose compiler keeps literals in UTF-8, the wording
// itself).
std::string Expected(const std::string& utf8) {
#if defined(QEX_UTF8_LITERALS)
    return utf8;
#elif defined(_WIN32)
    bool exact = false;
    const std::string gbk = win::FromWide(win::ToWide(utf8, CP_UTF8), 936, &exact);
    return exact ? gbk : std::string("<not in code page 936>");
#else
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no converter>";
    std::string in = utf8, out(in.size() * 2 + 4, '\0');
    char* src = &in[0];
    char* dst = &out[0];
    size_t left = in.size(), room = out.size();
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || left != 0) return "<not in code page 936>";
    out.resize(out.size() - room);
    return out;
#endif
}

TEST(UserTexts, AreTheCodePage936FormOfTheirWording) {
    for (const UserText& t : kTexts) {
        EXPECT_EQ(Expected(t.wording), std::string(t.held)) << t.name;
    }
}

}  // namespace
}  // namespace qex
