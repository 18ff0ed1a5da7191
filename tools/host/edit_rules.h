// pixtagger-host edit: the plug-in's own rule dialog over a rule file, saved
// when the dialog closes. Windows only: the dialogs are Win32 dialogs.
#pragma once

#include <string>

#include "plugin_api.h"
#include "plugin_library.h"

// Registers the common controls the dialogs need (a host's duty), loads the
// rules of `config` (a full path; a missing file gives no rules), runs
// acConfigDlg and saves with acSaveConfig. False with a one-line reason.
bool editRules(const PluginLibrary& library, const PluginApi& api, const std::string& config, std::string& error);
