// Win32 base types for builds without <windows.h>, with Windows' sizes and
// spellings, so product code reads the same on every build.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = unsigned char;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;
using HINSTANCE = struct HINSTANCE__*;  // NOLINT(bugprone-reserved-identifier): Windows' own name
using HWND = struct HWND__*;  // NOLINT(bugprone-reserved-identifier): Windows' own name

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define WINAPI
