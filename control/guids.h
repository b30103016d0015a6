// The module's class and interface identities. The type library's come from
// the generated header; the property page is not in the type library.
#pragma once

#include <windows.h>

#include "tesra_h.h"

// {C43F0AC5-F344-448E-8A37-EE610DC3E425}
inline constexpr CLSID CLSID_TesraPropPage = {0xc43f0ac5, 0xf344, 0x448e, {0x8a, 0x37, 0xee, 0x61, 0x0d, 0xc3, 0xe4, 0x25}};

inline constexpr char kControlProgId[] = "TESRA.TesraCtrl.1";
inline constexpr char kPropPageProgId[] = "TESRA.TesraPropPage.1";
// Set client site first, inside-out, cannot link inside, recompose on resize.
inline constexpr DWORD kControlMiscStatus = 0x20091;
