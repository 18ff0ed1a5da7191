// The exports a classifying host calls, resolved by name from the loaded
// plug-in library.
#pragma once

#include <string>

#include "pixtagger.h"
#include "plugin_library.h"

struct PluginApi {
    PFN_acLoadConfig loadConfig = nullptr;
    PFN_acReleaseConfig releaseConfig = nullptr;
    PFN_acGetAC getAC = nullptr;
    PFN_acGetAttNum attNum = nullptr;
    PFN_acGetAttName attName = nullptr;
    PFN_acGetCatPath catPath = nullptr;
    PFN_acReleaseAC releaseAC = nullptr;
    PFN_acGetRequireOfPIState requiredState = nullptr;
};

// False with the name of the first missing export in `missing`.
bool resolvePluginApi(const PluginLibrary& library, PluginApi& api, std::string& missing);
