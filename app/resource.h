// Resource ids of QEXTivara.exe. Also included by the resource script, so
// plain #defines only.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_QEXTIVARA_DIALOG    102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME           128
#include "core/tray_icons.h"  // IDI_TRAY_RED, IDI_TRAY_GREEN
#define IDC_LIST_STATUS         1001
#define IDC_EDIT_INFO           1002
#define IDC_BTN_RESIGN          1004
#define IDC_STATIC_HELP         1005
#define IDM_ABOUTBOX            0x0010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
