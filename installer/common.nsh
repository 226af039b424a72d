; Shared by the client's installer and the developer package: product
; texts, the install folder rule and the vendor library search.
!ifndef QEX_COMMON_NSH
!define QEX_COMMON_NSH

!define PRODUCT_NAME "QEX全浏览器电子签章客户端"
!define PRODUCT_KEY "QEXTivara"
!define PRODUCT_PUBLISHER "ZULQEX"
!ifndef PRODUCT_VERSION
  !define PRODUCT_VERSION "1.0.0.12"
!endif
!define UNINST_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The client's single-instance mutex: while it exists the client runs and
; its files are in use.
!define CLIENT_MUTEX "QEXTIVARA"

; The client finds its settings only in one fixed folder, so the installer
; uses exactly the client's rule instead of $PROGRAMFILES32 (which may be
; localised or moved): on the drive of the system folder, "Program Files
; (x86)\ZULQEX" when <d>:\windows\syswow64 holds more than 500 entries
; ("." and ".." counted), else "Program Files\ZULQEX".
; Out: $0 the folder.
!macro QEX_INSTALL_FOLDER_FUNC prefix
Function ${prefix}QexInstallFolder
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $1 $SYSDIR 1
  StrCpy $2 0
  ClearErrors
  FindFirst $3 $4 "$1:\windows\syswow64\*.*"
  ${DoWhile} $4 != ""
    IntOp $2 $2 + 1
    ${IfThen} $2 > 500 ${|} ${Break} ${|}
    FindNext $3 $4
  ${Loop}
  ${If} $3 != ""
    FindClose $3
  ${EndIf}
  ${If} $2 > 500
    StrCpy $0 "$1:\Program Files (x86)\ZULQEX"
  ${Else}
    StrCpy $0 "$1:\Program Files\ZULQEX"
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend

; Whether the client is running (its mutex exists). Out: $0 "1" or "0".
!macro QEX_CLIENT_RUNNING_FUNC prefix
Function ${prefix}QexClientRunning
  Push $1
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${CLIENT_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 "1"
  ${Else}
    StrCpy $0 "0"
  ${EndIf}
  Pop $1
FunctionEnd
!macroend

; Asks the user to close a running client (Retry/Cancel); a silent run
; cannot ask and gives up. Quits with exit code 2 on Cancel.
!macro QEX_REQUIRE_CLIENT_STOPPED prefix
  ${Do}
    Call ${prefix}QexClientRunning
    ${IfThen} $0 == "0" ${|} ${Break} ${|}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "签章客户端正在运行，请先在托盘菜单中退出签章客户端，然后点击“重试”。" /SD IDCANCEL IDCANCEL`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
!macroend

!endif
