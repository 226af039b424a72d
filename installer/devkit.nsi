; QEXTivara-devkit-setup.exe: our simulated vendor pieces for developers and
; test machines, the software USB key (mtoken_gm3000.dll) and the stand-in
; digest module, installed beside the client with an empty "skf-root"
; device folder, and qexseal.js for sealing pages in "sdk". Never part of a
; real installation.
;
;   makensis -INPUTCHARSET UTF8 -DSRC_BIN=<tree>/bin -DOUT_FILE=<exe> devkit.nsi
;
; /S installs silently. The folder is the client's (same rule), whether or
; not the client is installed yet. Exit codes as the client's installer.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef SRC_BIN
  !error "define SRC_BIN, the build tree's bin folder"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "QEXTivara-devkit-setup.exe"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include "common.nsh"

!define DEVKIT_KEY "${PRODUCT_KEY}-devkit"
!define UNINST_EXE "devkit-uninst.exe"
!define UNINST_KEY "${UNINST_ROOT}\${DEVKIT_KEY}"
!define NOTE_FILE "skf-root\说明.txt"

Name "${PRODUCT_NAME} 开发者包"
Caption "${PRODUCT_NAME} 开发者包 ${PRODUCT_VERSION} 安装"
UninstallCaption "${PRODUCT_NAME} 开发者包 卸载"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES32\ZULQEX"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT_NAME} ${PRODUCT_VERSION}"

VIProductVersion "${PRODUCT_VERSION}"
VIFileVersion "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT_NAME} 开发者包"
VIAddVersionKey /LANG=2052 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "模拟USBKEY和摘要模块（仅供开发测试）"
VIAddVersionKey /LANG=2052 "CompanyName" "${PRODUCT_PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT_PUBLISHER}"

!define MUI_WELCOMEPAGE_TEXT "本向导安装软件模拟的USBKEY（mtoken_gm3000.dll）和摘要模块（QEXMultiCACryptModule.dll），仅供开发和测试签章网页使用，不能用于正式签章。$\r$\n$\r$\n安装后请在 skf-root 文件夹中创建模拟USBKEY，详见其中的“说明.txt”。"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!insertmacro QEX_INSTALL_FOLDER_FUNC ""
!insertmacro QEX_CLIENT_RUNNING_FUNC ""
!insertmacro QEX_CLIENT_RUNNING_FUNC "un."

Function .onInit
  Call QexInstallFolder
  StrCpy $INSTDIR $0
  !insertmacro QEX_REQUIRE_CLIENT_STOPPED ""
FunctionEnd

Section "模拟组件" SecDevkit
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${SRC_BIN}\mtoken_gm3000.dll"
  File "${SRC_BIN}\QEXMultiCACryptModule.dll"
  CreateDirectory "$INSTDIR\skf-root"
  File "/oname=${NOTE_FILE}" "skf-root-note.txt"
  SetOutPath "$INSTDIR\sdk"
  File "..\sdk\qexseal.js" "..\sdk\qexseal.mjs" "..\sdk\qexseal.d.ts" "..\sdk\README.md"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\${UNINST_EXE}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT_NAME} 开发者包"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PRODUCT_PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINST_EXE}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINST_EXE}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  !insertmacro QEX_REQUIRE_CLIENT_STOPPED "un."
FunctionEnd

; Keys made in skf-root are the developer's data: the folder goes only when
; it is empty.
Section "Uninstall"
  Delete "$INSTDIR\mtoken_gm3000.dll"
  Delete "$INSTDIR\QEXMultiCACryptModule.dll"
  Delete "$INSTDIR\${NOTE_FILE}"
  Delete "$INSTDIR\sdk\qexseal.js"
  Delete "$INSTDIR\sdk\qexseal.mjs"
  Delete "$INSTDIR\sdk\qexseal.d.ts"
  Delete "$INSTDIR\sdk\README.md"
  RMDir "$INSTDIR\sdk"
  RMDir "$INSTDIR\skf-root"
  DeleteRegKey HKLM "${UNINST_KEY}"
  Delete "$INSTDIR\${UNINST_EXE}"
  RMDir "$INSTDIR"
SectionEnd
