// Self-registration of the module's classes and type library.
#pragma once

#include <windows.h>

HRESULT RegisterModule();
HRESULT UnregisterModule();
