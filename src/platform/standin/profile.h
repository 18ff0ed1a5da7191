// Our profile functions, with the names and contracts of Win32's
// GetPrivateProfileStringA and WritePrivateProfileStringA, for builds without
// Win32. Kept in their own namespace so a Windows test can run both side by side.
// Exhausted memory leaves them as std::bad_alloc: their callers are C++, and a
// default text in its place would pass for a missing key.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/standin/win32_types.h"
#endif

namespace standin {

// Copies the value of key in section of the file, or the default text, into
// buffer (at most size - 1 bytes and a terminating zero) and returns the count
// copied. Spaces and tabs around the value, then one pair of double quotes
// around it, are removed. Names compare case-insensitively (ASCII). The first
// of duplicate sections or keys wins. Reading never creates a file. Listing
// sections or keys (a null section or key) is not provided: an empty text.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size, LPCSTR path);

// Sets key in section of the file to text, creating the file, the section
// (after the last one) or the key (after the last key of its section) as
// needed; an existing value is replaced where it stands and every other byte
// is kept. A null text deletes the key, a null key the section. The file is
// replaced whole or not at all, and not rewritten when nothing changes.
// FALSE when the file cannot be written (missing folder, read-only file).
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR path);

}  // namespace standin
