// Resource ids of the handwriting dialog.
#pragma once

#define IDD_DIALOG_QR 136
#define IDC_GLYPHONCTRL1 1003
