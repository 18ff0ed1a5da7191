// The ANSI code page questions product code asks of Win32, answered for builds
// without it: the plug-in's texts are code page 932 everywhere.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/standin/win32_types.h"
#endif

namespace standin {

// TRUE for a lead byte of a two-byte character in code page 932.
BOOL IsDBCSLeadByte(BYTE testChar);

}  // namespace standin
