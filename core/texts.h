// The system's own texts that more than one subsystem uses, defined once.
// Subsystem-specific texts live in each subsystem's own texts header.
// Compiled with -fexec-charset=GBK, so these are code page 936 bytes.
#pragma once

namespace qex::text {

inline constexpr char kAppCaption[] = "QEX电子签章";
inline constexpr char kSealCaption[] = "电子签章";
inline constexpr char kKeepOneKey[] = "请只保留一个USBKEY与电脑连接";

}  // namespace qex::text
