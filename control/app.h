// The module's application object: one per process, alive while the module
// is loaded.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

class CTesraApp {
public:
    // The socket library (Winsock 1.1), started on the first call and kept
    // for the life of the process. When it cannot start, the user is told
    // (string 201) and the result is false. Never called under the loader
    // lock.
    bool EnsureSockets();

    HINSTANCE instance() const;
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
};

// The process-wide application object.
CTesraApp& TheApp();

// Recorded by DllMain: a plain store, nothing that waits or locks.
void SetModuleInstance(HINSTANCE instance);
