// Texts of the seal service client (code page 936 bytes in the g++ trees).
#pragma once

namespace qex::text {

// A bounded call that got no answer in time; %d is the bound in seconds.
inline constexpr char kServiceNoAnswer[] = "签章服务器%d秒内没有应答，已放弃本次请求";

}  // namespace qex::text
