#include "options.h"

#include <cstdio>

#include <CLI/CLI.hpp>

std::filesystem::path pathFromArgument(const std::string& arg) {
    // On POSIX u8path keeps the bytes as they are; on Windows it decodes UTF-8.
    return std::filesystem::u8path(arg);
}

namespace {

constexpr int kBadUsage = 2;

const char* const kDescription =
    "Classifies image files by their pixel area (width x height) with the pixtagger plug-in's rules, "
    "or edits those rules in the plug-in's own dialog (Windows).";

std::vector<std::filesystem::path> toPaths(const std::vector<std::string>& args) {
    std::vector<std::filesystem::path> paths;
    paths.reserve(args.size());
    for (const std::string& arg : args) paths.push_back(pathFromArgument(arg));
    return paths;
}

// CLI11's messages, in the words this program has always used where they
// exist: the first word nobody could place is what the user got wrong.
std::string reasonFor(const CLI::ParseError& e, const CLI::App& app) {
    if (std::string(e.get_name()) != "RequiredError") return e.what();
    return app.get_subcommands().empty() ? "no command given (classify or edit)" : "no image files or folders given";
}

std::string reasonForExtra(const std::string& extra, bool inEdit) {
    if (extra.size() > 1 && extra[0] == '-') return "unknown option: " + extra;
    if (inEdit) return "edit takes no image files or folders";
    return "unknown command: " + extra;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, int& exitCode) {
    CLI::App app(kDescription, "pixtagger-host");
    // Only --options: on Windows /photos is a path on the current drive, not
    // an option (subcommands take this from the app when they are added).
    app.allow_windows_style_options(false);
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "Print the version the plug-in reports and exit");

    std::string config;
    std::string plugin;
    std::vector<std::string> paths;
    Options options;

    CLI::App* classify = app.add_subcommand("classify", "Print the rules' attributes of each image file");
    classify->add_option("--config", config, "Rule file (default: the shipped examples/rules.ini)")->type_name("FILE");
    classify->add_option("--plugin", plugin, "Plug-in library (default: the one beside the program)")->type_name("PATH");
    classify->add_flag("--json", options.json, "One JSON object per image instead of text lines");
    classify->add_flag("-L,--follow", options.followLinks,
                       "Follow symbolic links to folders (each real folder is walked once)");
    CLI::Option* xmp = classify->add_flag("--xmp", options.xmp,
                                          "Write the attributes as keywords into each image's XMP sidecar");
    classify
        ->add_flag("--dry-run", options.dryRun, "With --xmp: print what would change in each sidecar, write nothing")
        ->needs(xmp);
    classify->add_option("PATH", paths, "Image files, and folders searched recursively")->required()->type_name("");

    CLI::App* edit = app.add_subcommand("edit", "Edit a rule file in the plug-in's dialog (Windows), saved on close");
    edit->add_option("--config", config, "Rule file, created if missing (default: the shipped examples/rules.ini)")
        ->type_name("FILE");
    edit->add_option("--plugin", plugin, "Plug-in library (default: the one beside the program)")->type_name("PATH");

    // Extras are collected, not thrown, so that the first of them is named.
    for (CLI::App* each : {&app, classify, edit}) each->allow_extras();
    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
        const CLI::App* where = &app;
        std::vector<std::string> extras = app.remaining();
        if (extras.empty() && !app.get_subcommands().empty()) {
            where = app.get_subcommands().front();
            extras = where->remaining();
        }
        if (!extras.empty()) {
            std::fprintf(stderr, "pixtagger-host: %s (see pixtagger-host --help)\n",
                         reasonForExtra(extras.front(), where == edit).c_str());
            exitCode = kBadUsage;
            return std::nullopt;
        }
        if (version) {
            options.command = Options::Command::Version;
        } else if (classify->parsed()) {
            options.command = Options::Command::Classify;
        } else if (edit->parsed()) {
            options.command = Options::Command::Edit;
        } else {
            std::fprintf(stderr, "pixtagger-host: no command given (classify or edit; see pixtagger-host --help)\n");
            exitCode = kBadUsage;
            return std::nullopt;
        }
    } catch (const CLI::CallForHelp& e) {
        exitCode = app.exit(e);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "pixtagger-host: %s (see pixtagger-host --help)\n", reasonFor(e, app).c_str());
        exitCode = kBadUsage;
        return std::nullopt;
    }
    options.config = pathFromArgument(config);
    options.plugin = pathFromArgument(plugin);
    options.paths = toPaths(paths);
    return options;
}
