// The about box (template 100): icon, version line, a short note and OK.
#pragma once

#include "app/resource.h"
#include "framework/dialog.h"

class CAboutDlg : public qex::fw::Dialog {
public:
    explicit CAboutDlg(HWND parent = nullptr) : Dialog(IDD_ABOUTBOX, parent) {}
};
