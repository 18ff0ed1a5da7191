#include "options.h"

#include <cstdio>
#include <tuple>

#include <CLI/CLI.hpp>

#include "rules/rule_file_choice.h"

std::filesystem::path pathFromArgument(const std::string& arg) {
    // On POSIX u8path keeps the bytes as they are; on Windows it decodes UTF-8.
    return std::filesystem::u8path(arg);
}

namespace {

constexpr int kBadUsage = 2;

const char* const kDescription =
    "Classifies image and video files by their pixel area (width x height) with the pixtagger plug-in's rules, "
    "edits those rules in the plug-in's own dialog (Windows), or lists, checks and changes them (rules).";

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
    return app.get_subcommands().empty() ? "no command given (classify, edit or rules)"
                                         : "no image or video files or folders given";
}

std::string reasonForExtra(const std::string& extra, const CLI::App* where, const CLI::App* edit,
                           const CLI::App* rules) {
    if (extra.size() > 1 && extra[0] == '-') return "unknown option: " + extra;
    if (where == edit) return "edit takes no image or video files or folders";
    if (where == rules) return "unknown rules command: " + extra;
    if (where->get_parent() == rules) return "rules " + where->get_name() + ": unexpected argument: " + extra;
    return "unknown command: " + extra;
}

struct RulesLeaf {
    const char* name;
    RulesRequest::Action command;
    const char* description;
    const char* example;
};

constexpr RulesLeaf kRulesLeaves[] = {
    {"list", RulesRequest::Action::List,
     "Print the rules in order, tab-separated: number, enabled or disabled, attribute, category, and the condition "
     "as the rule list dialog shows it",
     "pixtagger-host rules list --config my-rules.ini"},
    {"check", RulesRequest::Action::Check,
     "Report each fault of the rule file as FILE:LINE: [section] key=value: reason; exit 1 when there is one",
     "pixtagger-host rules check --config my-rules.ini"},
    {"add", RulesRequest::Action::Add, "Add a rule at the end of the list (your own rule file is made if missing)",
     "pixtagger-host rules add --attribute \xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x84 --category "
     "\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA --area '>= 2000000'\n"
     "  pixtagger-host rules add --attribute Web --category \xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA "
     "--range '40000 <= area < 1000000'"},
    {"set", RulesRequest::Action::Set, "Change rule N (numbered from 1, as rules list shows): only what is given",
     "pixtagger-host rules set 2 --range '50000 <= area < 1000000'"},
    {"remove", RulesRequest::Action::Remove, "Remove rule N", "pixtagger-host rules remove 3"},
    {"enable", RulesRequest::Action::Enable, "Enable rule N", "pixtagger-host rules enable 3"},
    {"disable", RulesRequest::Action::Disable, "Disable rule N (it stays in the list)",
     "pixtagger-host rules disable 3"},
};

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
    std::string attribute, category, area, range;
    Options options;

    CLI::App* classify = app.add_subcommand("classify", "Print the rules' attributes of each image or video file");
    classify
        ->add_option("--config", config, "Rule file (default: your own rule file, else the shipped examples/rules.ini)")
        ->type_name("FILE");
    classify->add_option("--plugin", plugin, "Plug-in library (default: the one beside the program)")->type_name("PATH");
    classify->add_flag("--json", options.json,
                       "One JSON object per file instead of text lines (videos: \"kind\":\"video\", \"rotation\")");
    classify->add_flag("-L,--follow", options.followLinks,
                       "Follow symbolic links to folders (each real folder is walked once)");
    classify->add_flag("--xmp", options.xmp,
                       "Write the attributes as keywords into each file's XMP sidecar (a video's: NAME.EXT.xmp)");
    classify->add_flag("--embed", options.embed,
                       "Write the attributes as keywords into the XMP inside each JPEG, TIFF, PNG and WebP file "
                       "(read by File Explorer and Apple Photos); videos are never written");
    classify->add_flag("--dry-run", options.dryRun,
                       "With --xmp or --embed: print what would change in each sidecar or image, write nothing");
    classify->add_option("PATH", paths, "Image and video files, and folders searched recursively")
        ->required()
        ->type_name("");

    CLI::App* edit = app.add_subcommand("edit", "Edit a rule file in the plug-in's dialog (Windows), saved on close");
    edit->add_option("--config", config,
                     "Rule file, created if missing (default: your own rule file, first made from the shipped "
                     "examples)")
        ->type_name("FILE");
    edit->add_option("--plugin", plugin, "Plug-in library (default: the one beside the program)")->type_name("PATH");

    CLI::App* rules = app.add_subcommand("rules", "List, check or change the rules of a rule file, without the dialogs");
    rules->footer(std::string("Without --config: your own rule file, ") + userRuleFileWords() +
                  "; while there is none, list and check read the shipped examples, and a change starts from them "
                  "and saves them with it as your own.");
    rules->add_option("--config", config, "Rule file (default: your own)")->type_name("FILE");
    std::vector<std::pair<CLI::App*, RulesRequest::Action>> leaves;
    for (const RulesLeaf& leaf : kRulesLeaves) {
        CLI::App* sub = rules->add_subcommand(leaf.name, leaf.description);
        sub->footer(std::string("Example:\n  ") + leaf.example);
        sub->add_option("--config", config, "Rule file (default: your own)")->type_name("FILE");
        leaves.emplace_back(sub, leaf.command);
        switch (leaf.command) {
        case RulesRequest::Action::List:
            sub->add_flag("--json", options.json, "One JSON object per rule, with the numbers the file keeps");
            break;
        case RulesRequest::Action::Check: break;
        case RulesRequest::Action::Add:
        case RulesRequest::Action::Set:
            if (leaf.command == RulesRequest::Action::Set)
                sub->add_option("N", options.rules.ruleNumber, "Rule number")->type_name("");
            sub->add_option("--attribute", attribute, "Attribute name (required by add)")->type_name("NAME");
            sub->add_option("--category", category, "Category name")->type_name("NAME");
            sub->add_option("--area", area,
                            "Compare the area: OP N, OP one of < <= = >= > (or \xEF\xBC\x9C \xE2\x89\xA6 "
                            "\xEF\xBC\x9D \xE2\x89\xA7 \xEF\xBC\x9E), N 0 to 2147483647")
                ->type_name("'OP N'");
            sub->add_option("--range", range, "A range of the area, OP < or <=")->type_name("'N OP area OP N'");
            sub->add_flag("--disabled", options.rules.rule.disabled, "The rule is disabled");
            break;
        default: sub->add_option("N", options.rules.ruleNumber, "Rule number")->type_name("");
        }
    }

    // Extras are collected, not thrown, so that the first of them is named.
    for (CLI::App* each : {&app, classify, edit, rules}) each->allow_extras();
    for (const auto& leaf : leaves) leaf.first->allow_extras();
    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
        // The deepest command given, and the first word it could not place.
        const CLI::App* where = &app;
        std::vector<std::string> extras = app.remaining();
        while (extras.empty() && !where->get_subcommands().empty()) {
            where = where->get_subcommands().front();
            extras = where->remaining();
        }
        if (!extras.empty()) {
            std::fprintf(stderr, "pixtagger-host: %s (see pixtagger-host --help)\n",
                         reasonForExtra(extras.front(), where, edit, rules).c_str());
            exitCode = kBadUsage;
            return std::nullopt;
        }
        std::string missing;
        if (version) {
            options.command = Options::Command::Version;
        } else if (classify->parsed()) {
            options.command = Options::Command::Classify;
            if (options.dryRun && !options.xmp && !options.embed)
                missing = "--dry-run needs --xmp or --embed (it says what they would write";
        } else if (edit->parsed()) {
            options.command = Options::Command::Edit;
        } else if (rules->parsed()) {
            options.command = Options::Command::Rules;
            missing = "no rules command given (list, check, add, set, remove, enable or disable";
            for (const auto& [sub, command] : leaves) {
                if (!sub->parsed()) continue;
                options.rules.action = command;
                missing.clear();
                if (sub->get_option_no_throw("N") != nullptr && options.rules.ruleNumber.empty())
                    missing = "rules " + sub->get_name() + ": no rule number given (rules list shows them";
                // Only the options given change a rule.
                for (const auto& [name, value, field] :
                     {std::tuple{"--attribute", &attribute, &options.rules.rule.attribute},
                      {"--category", &category, &options.rules.rule.category},
                      {"--area", &area, &options.rules.rule.area},
                      {"--range", &range, &options.rules.rule.range}}) {
                    const CLI::Option* option = sub->get_option_no_throw(name);
                    if (option != nullptr && option->count() > 0) *field = *value;
                }
            }
        } else {
            missing = "no command given (classify, edit or rules";
        }
        if (!missing.empty()) {
            std::fprintf(stderr, "pixtagger-host: %s; see pixtagger-host --help)\n", missing.c_str());
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
