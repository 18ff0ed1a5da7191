#include "plugin_api.h"

namespace {

template <typename Fn>
bool resolve(const PluginLibrary& library, const char* name, Fn& fn, std::string& missing) {
    fn = library.get<Fn>(name);
    if (fn == nullptr && missing.empty()) missing = name;
    return fn != nullptr;
}

}  // namespace

bool resolvePluginApi(const PluginLibrary& library, PluginApi& api, std::string& missing) {
    missing.clear();
    resolve(library, "acLoadConfig", api.loadConfig, missing);
    resolve(library, "acReleaseConfig", api.releaseConfig, missing);
    resolve(library, "acGetAC", api.getAC, missing);
    resolve(library, "acGetAttNum", api.attNum, missing);
    resolve(library, "acGetAttName", api.attName, missing);
    resolve(library, "acGetCatPath", api.catPath, missing);
    resolve(library, "acReleaseAC", api.releaseAC, missing);
    resolve(library, "acGetRequireOfPIState", api.requiredState, missing);
    return missing.empty();
}
