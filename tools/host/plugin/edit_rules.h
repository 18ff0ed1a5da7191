// pixtagger-host edit: the plug-in's own rule dialog over a rule file, saved
// when the dialog closes. Windows only: the dialogs are Win32 dialogs.
#pragma once

#include <string>

#include "pixtagger.h"
#include "plugin_library.h"

// Whether this build can show the dialogs (Windows).
bool canEditRules();

// Registers the common controls the dialogs need (a host's duty), runs
// acConfigDlg on the rules loaded from `config` (a full path) and saves them
// there with acSaveConfig. False with a one-line reason.
bool editRules(const PluginLibrary& library, ConditionList* list, const std::string& config, std::string& error);
