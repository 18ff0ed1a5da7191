// The code page questions product code asks of Win32, answered for builds
// without it: the plug-in's texts are code page 932 everywhere.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/standin/win32_types.h"
#endif

namespace standin {

// TRUE for a lead byte of a two-byte character in `codePage`; this stand-in
// knows code page 932 alone and answers FALSE for any other.
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar);

}  // namespace standin
