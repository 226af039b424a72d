// The application object of the seal client.
#pragma once

#include "framework/application.h"

class CQEXTivaraApp : public qex::fw::Application {
public:
    CQEXTivaraApp();
    ~CQEXTivaraApp() override;

    // Runs the whole client: single-instance check, common controls,
    // sockets, ActiveX hosting, then the main dialog. Always FALSE, so the
    // process ends when it returns.
    BOOL InitInstance() override;

    // The named mutex "QEXTIVARA"; NULL in a duplicate process. Held until
    // the process ends.
    HANDLE m_hMutex = nullptr;
};
