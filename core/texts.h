// The system's own texts that more than one subsystem uses, defined once.
// Subsystem-specific texts live in each subsystem's own texts header.
// Compiled with -fexec-charset=GBK, so these are code page 936 bytes.
#pragma once

namespace qex::text {

inline constexpr char kAppCaption[] = "QEX电子签章";
inline constexpr char kSealCaption[] = "电子签章";
inline constexpr char kKeepOneKey[] = "请只保留一个USBKEY与电脑连接";

// The origin gate of the bridge.
inline constexpr char kOriginRefused[] = "本网页未获准使用签章客户端签章，请联系系统管理员";
inline constexpr char kOriginNotListed[] = "拒绝签章请求，来源网页不在允许的名单中：";
inline constexpr char kOriginNotGiven[] = "拒绝签章请求，请求没有给出来源网页";
inline constexpr char kOriginUnusable[] = "拒绝签章请求，无法识别来源网页：";
inline constexpr char kOriginAmbiguous[] = "拒绝签章请求，请求给出了不同的来源网页";
inline constexpr char kOriginHeadIncomplete[] = "拒绝签章请求，请求头不完整或超过8K";
inline constexpr char kOriginsIgnored[] = "允许签章的网页名单中有无法识别的条目，已忽略：";

}  // namespace qex::text
