// Resource ids of Glyphon.ocx (also read by the resource compiler).
#pragma once

#define IDS_GLYPHON_TYPENAME 1
#define IDS_PROPPAGE_TYPENAME 2
#define IDS_PROPPAGE_CAPTION 200
#define IDB_GLYPHON_TOOLBOX 1
#define IDD_PROPPAGE_GLYPHON 200
#define IDR_TYPELIB 1
