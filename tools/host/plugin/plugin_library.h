// Loads the built plug-in library the way a host does and resolves its
// exports by name, or by ordinal where the platform has ordinals.
#pragma once

#include <filesystem>
#include <string>

class PluginLibrary {
public:
    explicit PluginLibrary(const std::filesystem::path& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* byName(const char* name) const;
    void* byOrdinal(unsigned ordinal) const;  // null where ordinals do not exist

    template <typename Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(byName(name));
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};
