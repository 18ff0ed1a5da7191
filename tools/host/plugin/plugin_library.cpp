#include "plugin_library.h"

#if defined(_WIN32)
#include <windows.h>

PluginLibrary::PluginLibrary(const std::filesystem::path& path) {
    handle_ = reinterpret_cast<void*>(LoadLibraryW(path.c_str()));
    if (handle_ == nullptr) error_ = "LoadLibraryW failed with error " + std::to_string(GetLastError());
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* PluginLibrary::byName(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void* PluginLibrary::byOrdinal(unsigned ordinal) const {
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(handle_), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal))));
}

#else
#include <dlfcn.h>

PluginLibrary::PluginLibrary(const std::filesystem::path& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        error_ = dlerror();  // NOLINT(concurrency-mt-unsafe): the host loads it on one thread, first
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

void* PluginLibrary::byName(const char* name) const { return dlsym(handle_, name); }

void* PluginLibrary::byOrdinal(unsigned) const { return nullptr; }

#endif
