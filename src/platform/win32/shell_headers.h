#pragma once
// The shell's COM headers (windows_api.h has already read <commctrl.h>, which
// they need, while WM_USER was still defined).
#include "platform/win32/windows_api.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
