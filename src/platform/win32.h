// The one door to Win32 for product code: the real <windows.h> on Windows,
// our stand-in declarations of the same names everywhere else.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/standin/profile.h"
#include "platform/standin/win32_types.h"

using standin::GetPrivateProfileStringA;
using standin::WritePrivateProfileStringA;
#endif
