; QEXTivara-setup.exe: the seal client, Glyphon.ocx and the settings files.
;
; Built by CMake (target "installer") with
;   makensis -INPUTCHARSET UTF8 -DSRC_BIN=<tree>/bin -DOUT_FILE=<exe> QEXTivara.nsi
;
; Command line (all optional; values with spaces in double quotes):
;   /S                 silent: no pages, no questions
;   /SERVICEURL=<url>  seal service endpoint, [WS] URL of the system folder's wsconfig.ini
;   /WEBSITE=<url>     sealing web site, [WEBSITE] URL of the install folder's wsconfig.ini
;   /HELP=<url>        help page, [HELP] URL of the install folder's wsconfig.ini
;   /ORIGINS=<list>    the pages that may seal, [BRIDGE] ORIGINS of the install
;                      folder's wsconfig.ini: origins such as https://seal.example.cn
;                      separated by commas or spaces (quote the list if it has spaces);
;                      empty or absent everywhere: every page may seal
;   /NOAUTOSTART       do not start the client at logon
; An option left out keeps the value already on the machine (an upgrade
; keeps its settings); in the interactive run the page shows it.
; Exit codes: 0 installed, 1 cancelled or failed, 2 the client is running.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef SRC_BIN
  !error "define SRC_BIN, the build tree's bin folder"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "QEXTivara-setup.exe"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include "common.nsh"

!define CLIENT_EXE "QEXTivara.exe"
!define CONTROL_FILE "Glyphon.ocx"
!define UNINST_EXE "uninst.exe"
!define UNINST_KEY "${UNINST_ROOT}\${PRODUCT_KEY}"
!define CONFIG_FILE "wsconfig.ini"
!define INSTALL_LOG "install.log"

Name "${PRODUCT_NAME}"
Caption "${PRODUCT_NAME} ${PRODUCT_VERSION} 安装"
UninstallCaption "${PRODUCT_NAME} 卸载"
OutFile "${OUT_FILE}"
; Replaced in .onInit by the folder the client looks in.
InstallDir "$PROGRAMFILES32\ZULQEX"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT_NAME} ${PRODUCT_VERSION}"

VIProductVersion "${PRODUCT_VERSION}"
VIFileVersion "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "${PRODUCT_PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT_PUBLISHER}"

Var ServiceURL
Var WebsiteURL
Var HelpURL
Var Origins
Var AutoStart
Var EditService
Var EditWebsite
Var EditHelp
Var EditOrigins

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "本向导将在您的电脑上安装 ${PRODUCT_NAME} ${PRODUCT_VERSION}。$\r$\n$\r$\n安装前请先退出正在运行的签章客户端。$\r$\n$\r$\n点击“下一步”继续。"
!insertmacro MUI_PAGE_WELCOME
Page custom SettingsPage SettingsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${CLIENT_EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "启动签章客户端"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

!insertmacro QEX_INSTALL_FOLDER_FUNC ""
!insertmacro QEX_CLIENT_RUNNING_FUNC ""
!insertmacro QEX_CLIENT_RUNNING_FUNC "un."

;  Command line options. FileFunc's GetOptions cuts a value at the next "/",
; which every URL has, so options are found here: the name (any case) at the
; start of the line or after a space or a double quote; the value runs to
; the closing quote when the option or its value is quoted, else to the next
; space. In: $R0 the command line, $R1 the name with its "=" (or a bare
; switch). Out: $R2 the value; error flag set when the option is absent.
Function GetUrlOption
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  ClearErrors
  StrLen $R3 $R1
  StrCpy $R4 0
  ${Do}
    StrCpy $R5 $R0 $R3 $R4
    ${If} $R5 == ""
      SetErrors
      ${Break}
    ${EndIf}
    ${If} $R5 == $R1
      StrCpy $R6 ""
      ${If} $R4 > 0
        IntOp $R6 $R4 - 1
        StrCpy $R6 $R0 1 $R6
      ${EndIf}
      ${If} $R6 == ""
      ${OrIf} $R6 == " "
      ${OrIf} $R6 == '"'
        IntOp $R4 $R4 + $R3
        StrCpy $R2 $R0 "" $R4
        ${If} $R6 != '"'
          StrCpy $R5 $R2 1
          ${If} $R5 == '"'
            StrCpy $R6 '"'
            StrCpy $R2 $R2 "" 1
          ${Else}
            StrCpy $R6 " "
          ${EndIf}
        ${EndIf}
        ; $R6 is now the character that ends the value.
        StrCpy $R4 0
        ${Do}
          StrCpy $R5 $R2 1 $R4
          ${IfThen} $R5 == "" ${|} ${Break} ${|}
          ${IfThen} $R5 == $R6 ${|} ${Break} ${|}
          IntOp $R4 $R4 + 1
        ${Loop}
        StrCpy $R2 $R2 $R4
        ${Break}
      ${EndIf}
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd

; ---------------------------------------------------------------------------
; Start: the folder, a running client, the settings from the command line
; or from the files already installed.

Function .onInit
  Call QexInstallFolder
  StrCpy $INSTDIR $0
  !insertmacro QEX_REQUIRE_CLIENT_STOPPED ""

  ReadINIStr $ServiceURL "$SYSDIR\${CONFIG_FILE}" "WS" "URL"
  ReadINIStr $WebsiteURL "$INSTDIR\${CONFIG_FILE}" "WEBSITE" "URL"
  ReadINIStr $HelpURL "$INSTDIR\${CONFIG_FILE}" "HELP" "URL"
  ReadINIStr $Origins "$INSTDIR\${CONFIG_FILE}" "BRIDGE" "ORIGINS"
  StrCpy $AutoStart "1"

  ${GetParameters} $R0
  StrCpy $R1 "/SERVICEURL="
  Call GetUrlOption
  ${IfNot} ${Errors}
    StrCpy $ServiceURL $R2
  ${EndIf}
  StrCpy $R1 "/WEBSITE="
  Call GetUrlOption
  ${IfNot} ${Errors}
    StrCpy $WebsiteURL $R2
  ${EndIf}
  StrCpy $R1 "/HELP="
  Call GetUrlOption
  ${IfNot} ${Errors}
    StrCpy $HelpURL $R2
  ${EndIf}
  StrCpy $R1 "/ORIGINS="
  Call GetUrlOption
  ${IfNot} ${Errors}
    StrCpy $Origins $R2
  ${EndIf}
  StrCpy $R1 "/NOAUTOSTART"
  Call GetUrlOption
  ${IfNot} ${Errors}
    StrCpy $AutoStart "0"
  ${EndIf}
FunctionEnd

Function SettingsPage
  !insertmacro MUI_HEADER_TEXT "签章服务设置" "签章服务地址写入系统文件夹的 wsconfig.ini，网站和帮助地址写入安装文件夹的 wsconfig.ini。"
  nsDialogs::Create 1018
  Pop $R9
  ${If} $R9 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 12u "签章服务地址（例如 http://服务器:8080/seal/ws/mycxf）："
  Pop $R8
  ${NSD_CreateText} 0 12u 100% 12u "$ServiceURL"
  Pop $EditService
  ${NSD_CreateLabel} 0 27u 100% 12u "签章网站地址（插入USBKEY和登录后打开）："
  Pop $R8
  ${NSD_CreateText} 0 39u 100% 12u "$WebsiteURL"
  Pop $EditWebsite
  ${NSD_CreateLabel} 0 54u 100% 12u "帮助页面地址（留空则不显示帮助链接）："
  Pop $R8
  ${NSD_CreateText} 0 66u 100% 12u "$HelpURL"
  Pop $EditHelp
  ${NSD_CreateLabel} 0 81u 100% 12u "允许签章的网页（如 https://seal.example.cn，多个用逗号分隔；留空则不限制）："
  Pop $R8
  ${NSD_CreateText} 0 93u 100% 12u "$Origins"
  Pop $EditOrigins
  ${NSD_CreateLabel} 0 112u 100% 24u "安装文件夹：$INSTDIR$\r$\n签章客户端只在此文件夹中读取设置，不能更改。"
  Pop $R8
  nsDialogs::Show
FunctionEnd

Function SettingsPageLeave
  ${NSD_GetText} $EditService $ServiceURL
  ${NSD_GetText} $EditWebsite $WebsiteURL
  ${NSD_GetText} $EditHelp $HelpURL
  ${NSD_GetText} $EditOrigins $Origins
FunctionEnd

; ---------------------------------------------------------------------------
; Vendor libraries: the client imports the key's SKF library and loads the
; digest module by name, so Windows looks for both in the client's folder,
; the system folders and the folders of PATH. We look in the same places.
; (For a 32-bit process $SYSDIR is what the 32-bit client sees, SysWOW64 on
; 64-bit Windows.)

; In: $R1 file name. Out: $R2 full path, "" when not found.
Function FindVendorFile
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  StrCpy $R2 ""
  ${If} ${FileExists} "$INSTDIR\$R1"
    StrCpy $R2 "$INSTDIR\$R1"
  ${ElseIf} ${FileExists} "$SYSDIR\$R1"
    StrCpy $R2 "$SYSDIR\$R1"
  ${ElseIf} ${FileExists} "$WINDIR\$R1"
    StrCpy $R2 "$WINDIR\$R1"
  ${Else}
    ReadEnvStr $R3 PATH
    ${DoWhile} $R3 != ""
      ; Cut the first entry off at ";".
      StrCpy $R4 0
      ${Do}
        StrCpy $R5 $R3 1 $R4
        ${IfThen} $R5 == "" ${|} ${Break} ${|}
        ${IfThen} $R5 == ";" ${|} ${Break} ${|}
        IntOp $R4 $R4 + 1
      ${Loop}
      StrCpy $R6 $R3 $R4
      IntOp $R4 $R4 + 1
      StrCpy $R3 $R3 "" $R4
      ${If} $R6 != ""
      ${AndIf} ${FileExists} "$R6\$R1"
        StrCpy $R2 "$R6\$R1"
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd

; In: $R0 open log handle, $R1 file name, $R7 what it is.
; Appends a line for a missing file to $R8 (the list shown to the user).
Function CheckVendorFile
  Call FindVendorFile
  ${If} $R2 == ""
    StrCpy $R8 "$R8$\r$\n    $R1（$R7）"
    FileWrite $R0 "缺少: $R1（$R7）$\r$\n"
    DetailPrint "缺少厂商组件：$R1"
  ${Else}
    FileWrite $R0 "已找到: $R2$\r$\n"
    DetailPrint "已找到厂商组件：$R2"
  ${EndIf}
FunctionEnd

; Writes the result to install.log in the install folder. Interactive: a
; box names what is missing and asks whether to go on. Silent: nobody can
; answer, so the install goes on and the log tells the administrator.
Function CheckVendorPieces
  StrCpy $R8 ""
  FileOpen $R0 "$INSTDIR\${INSTALL_LOG}" w
  FileWrite $R0 "${PRODUCT_NAME} ${PRODUCT_VERSION}$\r$\n"
  FileWrite $R0 "安装文件夹: $INSTDIR$\r$\n"
  StrCpy $R1 "mtoken_gm3000.dll"
  StrCpy $R7 "USBKEY的SKF接口库，随USBKEY驱动安装"
  Call CheckVendorFile
  StrCpy $R1 "QEXMultiCACryptModule.dll"
  StrCpy $R7 "摘要模块"
  Call CheckVendorFile
  FileClose $R0
  ${If} $R8 != ""
    ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION "在安装文件夹、系统文件夹和 PATH 中没有找到以下厂商组件：$R8$\r$\n$\r$\n没有它们签章客户端不能启动或不能登录。请另行安装USBKEY驱动和摘要模块（可以在安装本程序之后安装）。$\r$\n$\r$\n是否继续安装？" /SD IDYES IDNO`
      Delete "$INSTDIR\${INSTALL_LOG}"
      ; The output folder is our working folder and cannot go while it is.
      SetOutPath "$TEMP"
      RMDir "$INSTDIR"
      Abort "安装已取消：缺少厂商组件。"
    ${EndIf}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------

Section "签章客户端" SecClient
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  Call CheckVendorPieces

  File "${SRC_BIN}\${CLIENT_EXE}"
  File "${SRC_BIN}\${CONTROL_FILE}"

  ClearErrors
  RegDLL "$INSTDIR\${CONTROL_FILE}"
  ${If} ${Errors}
    DetailPrint "注册 ${CONTROL_FILE} 失败"
    MessageBox MB_OK|MB_ICONSTOP "注册控件 ${CONTROL_FILE} 失败，手写签名窗口将不能使用。" /SD IDOK
    SetErrorLevel 1
  ${EndIf}

  ; The client only reads these files; an empty value is left out, which
  ; the client treats like a missing one.
  Delete "$INSTDIR\${CONFIG_FILE}"
  ${If} $WebsiteURL != ""
    WriteINIStr "$INSTDIR\${CONFIG_FILE}" "WEBSITE" "URL" "$WebsiteURL"
  ${EndIf}
  ${If} $HelpURL != ""
    WriteINIStr "$INSTDIR\${CONFIG_FILE}" "HELP" "URL" "$HelpURL"
  ${EndIf}
  ${If} $Origins != ""
    WriteINIStr "$INSTDIR\${CONFIG_FILE}" "BRIDGE" "ORIGINS" "$Origins"
    DetailPrint "只允许以下网页签章：$Origins"
  ${EndIf}
  FlushINI "$INSTDIR\${CONFIG_FILE}"

  ; The system folder's file is the machine's: remember whether we created
  ; it, so the uninstaller removes it only then. File system redirection
  ; stays on, so on 64-bit Windows this is SysWOW64\wsconfig.ini, the file
  ; the 32-bit client reads.
  ${If} $ServiceURL != ""
    ${IfNot} ${FileExists} "$SYSDIR\${CONFIG_FILE}"
      WriteRegDWORD HKLM "${UNINST_KEY}" "QexCreatedSystemConfig" 1
    ${EndIf}
    WriteINIStr "$SYSDIR\${CONFIG_FILE}" "WS" "URL" "$ServiceURL"
    FlushINI "$SYSDIR\${CONFIG_FILE}"
    DetailPrint "签章服务地址写入 $SYSDIR\${CONFIG_FILE}"
  ${EndIf}

  ${If} $AutoStart == "1"
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT_KEY}" '"$INSTDIR\${CLIENT_EXE}"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT_KEY}"
  ${EndIf}

  CreateShortCut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\${CLIENT_EXE}"

  WriteUninstaller "$INSTDIR\${UNINST_EXE}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PRODUCT_PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${CLIENT_EXE}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINST_EXE}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINST_EXE}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; ---------------------------------------------------------------------------
; Uninstall: everything the installer added. The log "d:\seallog.txt" is
; the user's record and stays; so do files other packages put into the
; folder (the developer package has its own uninstaller).

Function un.onInit
  !insertmacro QEX_REQUIRE_CLIENT_STOPPED "un."
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  ClearErrors
  UnRegDLL "$INSTDIR\${CONTROL_FILE}"
  ${If} ${Errors}
    DetailPrint "注销 ${CONTROL_FILE} 失败"
  ${EndIf}
  Delete "$INSTDIR\${CONTROL_FILE}"
  Delete "$INSTDIR\${CLIENT_EXE}"
  Delete "$INSTDIR\${CONFIG_FILE}"
  Delete "$INSTDIR\${INSTALL_LOG}"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "QexCreatedSystemConfig"
  ${If} $0 == 1
    Delete "$SYSDIR\${CONFIG_FILE}"
  ${EndIf}

  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  Delete "$INSTDIR\${UNINST_EXE}"
  RMDir "$INSTDIR"
SectionEnd
