// The text protocol the client and the seal service speak inside the SOAP
// strings, and the settings that locate the service. Every literal lives
// here once; the client and the simulator both use these names.
#pragma once

#include <cstddef>

namespace qex::protocol {

// Request codes in front of the queryUkNameByCerBase64 arg0.
inline constexpr char kOpenCapture[] = "1@@@@HW";   // open a handwriting capture
inline constexpr char kPollCapture[] = "2@@@@";     // + capture id
inline constexpr char kLoginQuery[] = "3@@@@";      // + certificate digest (Base64)
// Request code in front of the queryUkMsgByCerHashBase64 arg0.
inline constexpr char kSealDetails[] = "QEX:";      // + certificate digest (Base64)

// Reply markers.
inline constexpr char kLoginCheckOk[] = "QEXRET:";  // queryUkImgByCerBase64: + seal image URL
inline constexpr char kSuccess[] = "QEXRET";
inline constexpr char kRefused[] = "QEXERROR";
inline constexpr char kFieldSeparator[] = "@@@@";
inline constexpr char kNoUrl[] = "NOURL";           // login query field 1: no web site
inline constexpr char kNeedHandwriting[] = "1";     // login query field 2

// Field numbers of the replies, after one separator has been appended.
inline constexpr int kLoginQueryWebUrlField = 1;
inline constexpr int kLoginQueryNeedHwField = 2;
inline constexpr int kCaptureIdField = 1;           // capture request reply
inline constexpr int kCaptureQrField = 2;
inline constexpr int kCaptureImageUrlField = 1;     // poll reply once finished
inline constexpr int kCaptureImageDataField = 2;
inline constexpr int kDetailsTimeField = 0;         // decoded seal details
inline constexpr int kDetailsUnitField = 1;
inline constexpr int kDetailsSealNameField = 2;

// The endpoint setting: [WS] URL of wsconfig.ini in the Windows system folder.
inline constexpr char kSettingsFileName[] = "wsconfig.ini";
inline constexpr char kEndpointSection[] = "WS";
inline constexpr char kEndpointKey[] = "URL";
inline constexpr std::size_t kSystemDirBufferSize = 200;
inline constexpr std::size_t kEndpointReadSize = 200;      // so at most 199 characters
inline constexpr std::size_t kEndpointBufferSize = 260;    // the proxy's endpoint holder
// Where the seal service simulator listens by default.
inline constexpr char kDefaultEndpoint[] = "http://127.0.0.1:8080/qexseal/ws/mycxf";
inline constexpr char kEndpointPathSuffix[] = "/ws/mycxf";

}  // namespace qex::protocol
