// The one door to Win32 for product code: the real <windows.h> on Windows,
// our stand-in declarations of the same names everywhere else.
#pragma once

#if defined(_WIN32)
#include <windows.h>
// Message and structure definitions only: the plug-in never links or
// initialises the common controls, the host registers them.
#include <commctrl.h>
#else
#include "platform/standin/code_page.h"
#include "platform/standin/profile.h"
#include "platform/standin/win32_types.h"

using standin::GetPrivateProfileStringA;
using standin::IsDBCSLeadByteEx;
using standin::WritePrivateProfileStringA;
#endif
