// The module's application object: one per process, alive while the module
// is loaded.
#pragma once

#include <windows.h>

#include <string>

class CTesraApp {
public:
    // Module start: the socket library (Winsock 1.1) must come up, or the
    // module refuses to load after telling the user.
    BOOL InitInstance(HINSTANCE instance);
    // Module stop.
    void ExitInstance();

    HINSTANCE instance() const { return m_instance; }

private:
    HINSTANCE m_instance = nullptr;
    bool m_socketsUp = false;
};

// The process-wide application object.
CTesraApp& TheApp();
