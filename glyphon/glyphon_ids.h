// Identity of the Glyphon module: class, interface and library ids, dispatch
// ids, resource ids and registry values. Shared by the control, its module
// and the hosts that create it.
#pragma once

#include "core/win/win32.h"

namespace qex::glyphon {

// {60F0B6B1-1AD2-482C-909E-113D0D771BE3}, coclass Glyphon.
inline constexpr CLSID kClsidGlyphon = {
    0x60F0B6B1, 0x1AD2, 0x482C, {0x90, 0x9E, 0x11, 0x3D, 0x0D, 0x77, 0x1B, 0xE3}};
// {C0ACF778-CBBD-4601-86BD-D93737E7B03E}, the property page.
inline constexpr CLSID kClsidGlyphonPropPage = {
    0xC0ACF778, 0xCBBD, 0x4601, {0x86, 0xBD, 0xD9, 0x37, 0x37, 0xE7, 0xB0, 0x3E}};
// {33EE43FE-DD6B-407E-83BD-4BC1AA417AA4}, dispinterface _DGlyphon.
inline constexpr IID kDiidDGlyphon = {
    0x33EE43FE, 0xDD6B, 0x407E, {0x83, 0xBD, 0x4B, 0xC1, 0xAA, 0x41, 0x7A, 0xA4}};
// {F4FB6B69-1653-4F03-A590-DBBD09EE8036}, dispinterface _DGlyphonEvents.
inline constexpr IID kDiidDGlyphonEvents = {
    0xF4FB6B69, 0x1653, 0x4F03, {0xA5, 0x90, 0xDB, 0xBD, 0x09, 0xEE, 0x80, 0x36}};
// {4CB5EEB1-0402-4F48-B245-9AD357E5A203}, type library GlyphonLib 1.0.
inline constexpr GUID kLibidGlyphon = {
    0x4CB5EEB1, 0x0402, 0x4F48, {0xB2, 0x45, 0x9A, 0xD3, 0x57, 0xE5, 0xA2, 0x03}};
inline constexpr WORD kLibVersionMajor = 1;
inline constexpr WORD kLibVersionMinor = 0;

inline constexpr char kClsidGlyphonText[] = "{60F0B6B1-1AD2-482C-909E-113D0D771BE3}";
inline constexpr char kClsidPropPageText[] = "{C0ACF778-CBBD-4601-86BD-D93737E7B03E}";
inline constexpr char kLibidText[] = "{4CB5EEB1-0402-4F48-B245-9AD357E5A203}";
inline constexpr char kProgIdCtrl[] = "GLYPHON.GlyphonCtrl.1";
inline constexpr char kProgIdPropPage[] = "GLYPHON.GlyphonPropPage.1";

// Dispatch ids of _DGlyphon.
inline constexpr DISPID kDispidDisplay = 1;
inline constexpr DISPID kDispidLookIt = 2;

// OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE
// | SETCLIENTSITEFIRST.
inline constexpr DWORD kMiscStatus = 0x20191;

// Persisted control version 1.0 (major in the high word).
inline constexpr DWORD kPersistVersion = 0x00010000;

}  // namespace qex::glyphon
