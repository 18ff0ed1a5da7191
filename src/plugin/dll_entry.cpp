// The library's load and unload entry. The plug-in keeps no global state, so
// there is nothing to set up or tear down beyond the runtime's own work.
#include "platform/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
