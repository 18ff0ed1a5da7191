// pixtagger-host: a host of our own that loads the plug-in at run time and
// classifies image files by their size, or edits the rules in the plug-in's
// dialog, as a host application would.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "classify_run.h"
#include "file_list.h"
#include "images/image_size.h"
#include "options.h"
#include "plugin/plugin_api.h"
#include "plugin/profile_path.h"
#include "rules/rule_file_choice.h"
#include "rules/rule_file_copy.h"
#include "rules/rules_command.h"
#include "system/file_kind.h"
#include "system/program_location.h"
#include "system/text_output.h"
#include "text/messages.h"
#include "text/path_text.h"

#include "plugin/edit_rules.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kAllRead = 0;
constexpr int kSomeUnreadable = 1;
constexpr int kBadUsage = 2;

#if defined(_WIN32)
constexpr const char* kPluginFile = "pixtagger.dll";
#else
constexpr const char* kPluginFile = "pixtagger.so";
#endif

void say(const std::string& line) { writeProgramLine(stderr, line); }

int fail(const std::string& reason) {
    say(reason);
    return kBadUsage;
}

// The plug-in beside the program, or in lib/pixtagger of an installed prefix.
fs::path defaultPlugin() {
    const fs::path here = programDirectory();
    const fs::path installed = here / ".." / "lib" / "pixtagger" / kPluginFile;
    std::error_code error;
    if (!fs::exists(here / kPluginFile, error) && fs::exists(installed, error)) return installed.lexically_normal();
    return here / kPluginFile;
}

// A rule file's path as the plug-in gets it: a full path, since Win32's
// profile functions look a name without a folder up in the Windows
// directory. Empty, with a one-line reason said, when refused.
std::string pathForPlugin(const fs::path& path, fs::path& full) {
    const std::string named = pathText(path);
    std::error_code fsError;
    full = fs::absolute(path, fsError).lexically_normal();
    if (fsError) {
        fail(named + ": " + fsError.message());
        return {};
    }
    const bool exists = fs::exists(full, fsError);
    std::string reason;
    if (exists && !fs::is_regular_file(full, fsError)) reason = tr("%s, not a rule file", {nonFileKind(full)});
    // A rule file that is not there loads as no rules at all: a mistyped name.
    if (!exists) reason = tr("no such rule file");
    std::string ansi;
    if (reason.empty() && !profilePathForPlugin(full, ansi, reason)) ansi.clear();
    if (!reason.empty()) {
        fail(named + ": " + reason);
        ansi.clear();
    }
    return ansi;
}

int printVersion(const fs::path& pluginPath) {
    const PluginLibrary library(pluginPath);
    const auto version = library.loaded() ? library.get<PFN_acGetVersion>("acGetVersion") : nullptr;
    if (version == nullptr) return fail(tr("%s: cannot load the plug-in to ask its version", {pathText(pluginPath)}));
    writeText(stdout, std::string("pixtagger-host ") + version() + "\n");
    return kAllRead;
}

// The plug-in's exports; false with a one-line reason said.
bool loadPlugin(const PluginLibrary& library, const fs::path& pluginPath, PluginApi& api) {
    std::string missing;
    if (!library.loaded()) {
        fail(tr("%s: cannot load the plug-in: %s", {pathText(pluginPath), library.error()}));
    } else if (!resolvePluginApi(library, api, missing)) {
        fail(tr("%s: the plug-in has no export %s", {pathText(pluginPath), missing}));
    } else {
        return true;
    }
    return false;
}

// edit: the plug-in's dialog over a copy of the rules it starts from (the
// user's own, else the shipped examples); the plug-in saves into a scratch
// copy of the file saved to, put in place as rules puts its changes.
int edit(const Options& options, const fs::path& pluginPath) {
    if (!canEditRules())
        return fail(tr("editing the rules needs Windows: the plug-in's rule dialogs are Win32 dialogs"));
    const RuleFileChoice choice = chooseRuleFile(options.config, RuleFileUse::Edit);
    if (!choice.error.empty()) return fail(choice.error);
    if (!choice.note.empty()) say(choice.note);
    RuleFileCopy copy;
    std::string error;
    if (!copy.open(choice, true, error)) return fail(error);
    const PluginLibrary library(pluginPath);
    PluginApi api;
    if (!loadPlugin(library, pluginPath, api)) return kBadUsage;
    ConditionList* list = api.loadConfig(copy.startForPlugin().c_str());
    if (list == nullptr) return fail(tr("%s: acLoadConfig returned null", {pathText(choice.path)}));
    bool written = false;
    const bool edited = editRules(library, list, copy.scratchForPlugin(), error) &&
                        copy.saveMadeElsewhere(written, error);
    api.releaseConfig(list);
    return edited ? kAllRead : fail(error);
}

int run(const std::vector<std::string>& args) {
    int exitCode = 0;
    const std::optional<Options> options = parseOptions(args, exitCode);
    if (!options) return exitCode;
    const fs::path pluginPath = options->plugin.empty() ? defaultPlugin() : options->plugin;
    if (options->command == Options::Command::Version) return printVersion(pluginPath);

    if (options->command == Options::Command::Rules) {
        RulesRequest request = options->rules;
        request.config = options->config;
        request.json = options->json;
        return runRules(request);
    }
    if (options->command == Options::Command::Edit) return edit(*options, pluginPath);

    const RuleFileChoice choice = chooseRuleFile(options->config, RuleFileUse::Read);
    if (!choice.error.empty()) return fail(choice.error);
    if (!choice.note.empty()) say(choice.note);
    fs::path config;
    const std::string load = pathForPlugin(choice.path, config);
    if (load.empty()) return kBadUsage;

    const PluginLibrary library(pluginPath);
    PluginApi api;
    if (!loadPlugin(library, pluginPath, api)) return kBadUsage;

    ConditionList* list = api.loadConfig(load.c_str());
    if (list == nullptr) {
        // Said as rules check says it; the generic line only if memory ran out.
        const std::string reason = refusalText(config, pathText(config));
        return fail(reason.empty() ? tr("%s: acLoadConfig returned null", {pathText(config)}) : reason);
    }

    ImageFiles files(options->paths, options->followLinks);
    for (const ImageFiles::Problem& problem : files.problems()) say(pathText(problem.path) + ": " + problem.reason);
    if (files.linkedFoldersLeftOut() > 0) {
        say(trn("%s linked folder left out: symbolic links to folders are followed only with -L (--follow)",
                "%s linked folders left out: symbolic links to folders are followed only with -L (--follow)",
                files.linkedFoldersLeftOut(), {std::to_string(files.linkedFoldersLeftOut())}));
    }

    initImageSizeReader();
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const RunReport report = classifyFiles(api, list, files, *options, stdout, stderr);
    api.releaseConfig(list);
    return report.unreadable + report.sidecarsFailed + report.embeddedFailed + files.problems().size() == 0
               ? kAllRead
               : kSomeUnreadable;
}

}  // namespace

#if defined(_WIN32)
// UTF-16 from the start: the ANSI command line cannot spell every name.
int wmain(int argc, wchar_t** argv) {
    initMessages(programDirectory());
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(pathUtf8(fs::path(argv[i])));
    return run(args);
}
#else
int main(int argc, char** argv) {
    initMessages(programDirectory());
    return run(std::vector<std::string>(argv, argv + argc));
}
#endif
