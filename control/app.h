// The module's application object: one per process, alive while the module
// is loaded.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

class CTesraApp {
public:
    // Module start: the socket library (Winsock 1.1) must come up, or the
    // module refuses to load after telling the user.
    BOOL InitInstance(HINSTANCE instance);
    // Module stop.
    void ExitInstance();

    HINSTANCE instance() const { return m_instance; }
    // The module's folder and the data root beneath it, set when a control's
    // window is created.
    void SetFolders(std::string moduleDir, std::string dataRoot) {
        m_moduleDir = std::move(moduleDir);
        m_dataRoot = std::move(dataRoot);
    }
    const std::string& moduleDir() const { return m_moduleDir; }
    const std::string& dataRoot() const { return m_dataRoot; }

private:
    std::string m_moduleDir;
    std::string m_dataRoot;
    HINSTANCE m_instance = nullptr;
    bool m_socketsUp = false;
};

// The process-wide application object.
CTesraApp& TheApp();
