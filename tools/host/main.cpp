// pixtagger-host: a host of our own that loads the plug-in at run time and
// classifies image files by their size, or edits the rules in the plug-in's
// dialog, as a host application would.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "classify_run.h"
#include "file_list.h"
#include "image_size.h"
#include "options.h"
#include "plugin_api.h"
#include "program_location.h"

#if defined(_WIN32)
#include <windows.h>

#include "edit_rules.h"
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

#if defined(_WIN32)
// The host prints UTF-8; the console gets its own code page back at exit.
class Utf8Console {
public:
    Utf8Console() : previous_(GetConsoleOutputCP()) {
        if (previous_ != 0) SetConsoleOutputCP(CP_UTF8);
    }
    ~Utf8Console() {
        if (previous_ != 0) SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
};
#endif

int fail(const std::string& reason) {
    std::fprintf(stderr, "pixtagger-host: %s\n", reason.c_str());
    return kBadUsage;
}

// The shipped rules: examples/rules.ini beside the program (the Windows
// package), share/pixtagger/rules.ini of an installed prefix, or the source
// tree's two folders up from a build folder.
std::string shippedRules() {
    const fs::path here = programDirectory();
    for (const fs::path& candidate : {here / "examples" / "rules.ini", here / ".." / "share" / "pixtagger" / "rules.ini",
                                      here / ".." / "examples" / "rules.ini",
                                      here / ".." / ".." / "examples" / "rules.ini"}) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
    }
    return std::string();
}

// The plug-in beside the program, or in lib/pixtagger of an installed prefix.
std::string defaultPlugin() {
    const fs::path here = programDirectory();
    const fs::path installed = here / ".." / "lib" / "pixtagger" / kPluginFile;
    std::error_code error;
    if (!fs::exists(here / kPluginFile, error) && fs::exists(installed, error)) return installed.lexically_normal().string();
    return (here / kPluginFile).string();
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    const Utf8Console console;
#endif
    std::string error;
    const std::optional<Options> options = parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "pixtagger-host: %s\n%s\n", error.c_str(), kUsage);
        return kBadUsage;
    }

    std::string config = options->config;
    if (config.empty()) {
        config = shippedRules();
        if (config.empty()) return fail("no --config given and no examples/rules.ini beside the program");
    }
    const bool edit = options->command == Options::Command::Edit;
#if !defined(_WIN32)
    if (edit) return fail("editing the rules needs Windows: the plug-in's rule dialogs are Win32 dialogs");
#endif
    // The plug-in gets a full path: Win32's profile functions look a name
    // without a folder up in the Windows directory, not the current folder.
    std::error_code fsError;
    const fs::path configPath = fs::absolute(config, fsError).lexically_normal();
    if (fsError) return fail(config + ": " + fsError.message());
    const bool exists = fs::exists(configPath, fsError);
    if (exists && !fs::is_regular_file(configPath, fsError))
        return fail(config + ": " + nonFileKind(configPath.string()) + ", not a rule file");
    // A rule file that is not there loads as no rules at all. For classify
    // that is a mistyped name; edit creates the file when it saves.
    if (!exists && !edit) return fail(config + ": no such rule file");
    if (!exists && !fs::is_directory(configPath.parent_path(), fsError))
        return fail(config + ": no such folder for the rule file");
    config = configPath.string();

    const std::string pluginPath = options->plugin.empty() ? defaultPlugin() : options->plugin;
    const PluginLibrary library(pluginPath);
    if (!library.loaded()) return fail(pluginPath + ": cannot load the plug-in: " + library.error());
    PluginApi api;
    std::string missing;
    if (!resolvePluginApi(library, api, missing)) return fail(pluginPath + ": the plug-in has no export " + missing);

    ConditionList* list = api.loadConfig(config.c_str());
    if (list == nullptr) return fail(config + ": acLoadConfig returned null (an invalid integer or count in the rule file)");

#if defined(_WIN32)
    if (edit) {
        std::string editError;
        const bool edited = editRules(library, list, config, editError);
        api.releaseConfig(list);
        return edited ? kAllRead : fail(editError);
    }
#endif

    const FileList files = collectImageFiles(options->paths);
    for (const std::string& path : files.missing) std::fprintf(stderr, "pixtagger-host: %s: no such file or folder\n", path.c_str());

    initImageSizeReader();
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const RunReport report = classifyFiles(api, list, files.files, options->json, stdout, stderr);
    api.releaseConfig(list);
    return report.unreadable + files.missing.size() == 0 ? kAllRead : kSomeUnreadable;
}
