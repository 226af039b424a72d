// Resource ids of the PIN dialog and the URL notice dialog. Included by
// dialogs.rc as well, so plain #defines only.
#pragma once

#define IDD_PIN_DIALOG      140
#define IDC_PIN_EDIT        1002

#define IDD_URL_NOTICE      138
#define IDC_URL_EDIT        1002
#define IDC_URL_COPY        1004
