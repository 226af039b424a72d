// Texts and markers of the browser bridge, defined once. Code page 936.
#pragma once

namespace qex::bridge::text {

// Request grammar (matched case-sensitively).
inline constexpr char kDataStart[] = "?data=";
inline constexpr char kDataEnd[] = "QEXDATAEND";
inline constexpr char kUserStart[] = "&user=";

// Status lines.
inline constexpr char kNoData[] = "No ?data= & QEXDATAEND";
inline constexpr char kUserNoEnd[] = "user= & No QEXDATAEND";
inline constexpr char kSealUser[] = "当前印章使用人 :";
inline constexpr char kSealName[] = "当前印章名称 :";
inline constexpr char kRequiredUnit[] = "系统要求的签章单位名称是：";
inline constexpr char kUnitMismatchLine[] = "当前印章与系统要求的印章不符";
inline constexpr char kNoUnitGiven[] = "没有指定签章单位";
inline constexpr char kSignFailedLine[] = "签章失败，发生异常";
inline constexpr char kSignOkLine[] = "签章成功";

// Reply texts (the ERR values).
inline constexpr char kWaitHandwriting[] = "等待录入手写签名";
inline constexpr char kLoginFirst[] = "请先登录签章客户端";
inline constexpr char kSealInfoFailed[] = ":获取签章信息时发生异常，请联系技术人员或稍候重试";
inline constexpr char kUnitMismatch[] = "签章失败，当前签章USBKEY所属单位和系统要求的不一致";
inline constexpr char kSignFailed[] = "签章失败，发生异常，请联系技术人员或稍候重试";

inline constexpr char kCallback[] = "sealInfoHandler";

// Listener.
inline constexpr char kNetInitFailed1[] = "初始化网络失败1,请重新运行";
inline constexpr char kNetInitFailed2[] = "初始化网络失败2，请重新运行";
inline constexpr char kConnectionReceived[] = "接收连接";
inline constexpr char kTransferError[] = "网络传输错误";
inline constexpr char kReplyFailed1[] = "回传数据失败1";
inline constexpr char kReplyFailed2[] = "回传数据失败2";
inline constexpr char kReplyFailed3[] = "回传数据失败3";
inline constexpr char kLocalPeerPrefix[] = "127.0.0.1";
inline constexpr char kListenAddress[] = "127.0.0.1";

}  // namespace qex::bridge::text
