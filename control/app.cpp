#include <winsock2.h>

#include "control/app.h"

#include "res/resource.h"

CTesraApp& TheApp() {
    static CTesraApp app;
    return app;
}

BOOL CTesraApp::InitInstance(HINSTANCE instance) {
    m_instance = instance;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        char text[256] = {};
        ::LoadStringA(instance, IDS_SOCKET_INIT_FAILED, text, sizeof text);
        ::MessageBoxA(nullptr, text, nullptr, MB_OK);
        return FALSE;
    }
    m_socketsUp = true;
    return TRUE;
}

void CTesraApp::ExitInstance() {
    if (m_socketsUp) ::WSACleanup();
    m_socketsUp = false;
}
