// Exiv2 asks SHELL32 for the profile folder only to read its own lens-name
// file, which the host never needs. Importing SHELL32 loads it, and USER32
// with it, at every start (a third of a start under Wine), so the import
// pointer Exiv2 calls through is defined here and finds the function on first
// use. Linked into every program, so that the linker meets it before Exiv2.
#include <windows.h>

namespace {

using ProfileFolderFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

HRESULT WINAPI profileFolderOnFirstUse(HWND window, int folder, HANDLE token, DWORD flags, LPSTR path) noexcept {
    static const auto shellFunction = [] {
        const HMODULE shell = LoadLibraryW(L"shell32.dll");
        return shell == nullptr ? nullptr
                                : reinterpret_cast<ProfileFolderFunction>(
                                      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")));
    }();
    return shellFunction == nullptr ? E_FAIL : shellFunction(window, folder, token, flags, path);
}

}  // namespace

// The names an import library would give the pointer: i686 decorates
// __stdcall functions, x86_64 does not.
#if defined(__i386__)
#define PIXTAGGER_SHELL_IMPORT "__imp__SHGetFolderPathA@20"
#else
#define PIXTAGGER_SHELL_IMPORT "__imp_SHGetFolderPathA"
#endif

extern "C" {
ProfileFolderFunction profileFolderImport __asm__(PIXTAGGER_SHELL_IMPORT) = profileFolderOnFirstUse;
}
