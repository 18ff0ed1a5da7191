#include "options.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <tuple>

#include <CLI/CLI.hpp>

#include "help_formatter.h"
#include "rules/rule_file_choice.h"
#include "system/text_output.h"
#include "text/messages.h"

std::filesystem::path pathFromArgument(const std::string& arg) {
    // On POSIX u8path keeps the bytes as they are; on Windows it decodes UTF-8.
    return std::filesystem::u8path(arg);
}

namespace {

constexpr int kBadUsage = 2;

const char* const kDescription = N_(
    "Classifies image and video files by their pixel area (width x height) with the pixtagger plug-in's rules, "
    "edits those rules in the plug-in's own dialog (Windows), or lists, checks and changes them (rules).");

std::vector<std::filesystem::path> toPaths(const std::vector<std::string>& args) {
    std::vector<std::filesystem::path> paths;
    paths.reserve(args.size());
    for (const std::string& arg : args) paths.push_back(pathFromArgument(arg));
    return paths;
}

// CLI11's messages, in the words this program has always used where they
// exist: the first word nobody could place is what the user got wrong.
std::string reasonFor(const CLI::ParseError& e, const CLI::App& app) {
    const std::string name = e.get_name();
    if (name == "ArgumentMismatch") {  // "--config: 1 required FILE missing"
        const std::string what = e.what();
        return tr("%s: its value is missing", {what.substr(0, what.find(':'))});
    }
    if (name != "RequiredError") return e.what();
    return app.get_subcommands().empty() ? tr("no command given (classify, edit or rules)")
                                         : tr("no image or video files or folders given");
}

std::string reasonForExtra(const std::string& extra, const CLI::App* where, const CLI::App* edit,
                           const CLI::App* rules) {
    if (extra.size() > 1 && extra[0] == '-') return tr("unknown option: %s", {extra});
    if (where == edit) return tr("edit takes no image or video files or folders");
    if (where == rules) return tr("unknown rules command: %s", {extra});
    if (where->get_parent() == rules) return tr("rules %s: unexpected argument: %s", {where->get_name(), extra});
    return tr("unknown command: %s", {extra});
}

struct RulesLeaf {
    const char* name;
    RulesRequest::Action command;
    const char* description;
    const char* example;
};

constexpr RulesLeaf kRulesLeaves[] = {
    {"list", RulesRequest::Action::List,
     N_("Print the rules in order, tab-separated: number, enabled or disabled, attribute, category, and the condition "
        "as the rule list dialog shows it"),
     "pixtagger-host rules list --config my-rules.ini"},
    {"check", RulesRequest::Action::Check,
     N_("Report each fault of the rule file as FILE:LINE: [section] key=value: reason; exit 1 when there is one"),
     "pixtagger-host rules check --config my-rules.ini"},
    {"add", RulesRequest::Action::Add, N_("Add a rule at the end of the list (your own rule file is made if missing)"),
     "pixtagger-host rules add --attribute \xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x84 --category "
     "\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA --area '>= 2000000'\n"
     "  pixtagger-host rules add --attribute Web --category \xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA "
     "--range '40000 <= area < 1000000'"},
    {"set", RulesRequest::Action::Set, N_("Change rule N (numbered from 1, as rules list shows): only what is given"),
     "pixtagger-host rules set 2 --range '50000 <= area < 1000000'"},
    {"remove", RulesRequest::Action::Remove, N_("Remove rule N"), "pixtagger-host rules remove 3"},
    {"enable", RulesRequest::Action::Enable, N_("Enable rule N"), "pixtagger-host rules enable 3"},
    {"disable", RulesRequest::Action::Disable, N_("Disable rule N (it stays in the list)"),
     "pixtagger-host rules disable 3"},
};

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, int& exitCode) {
    CLI::App app(tr(kDescription), "pixtagger-host");
    app.formatter(std::make_shared<HelpFormatter>());
    // CLI11's own words in the user's language, for the subcommands too.
    for (const char* label : {N_("Usage"), N_("Positionals"), N_("OPTIONS"), N_("SUBCOMMAND"), N_("REQUIRED")})
        app.get_formatter()->label(label, tr(label));
    const std::string optionsGroup = tr("Options"), subcommandsGroup = tr("Subcommands");
    app.option_defaults()->group(optionsGroup);
    // A command's help flag is made before the group is passed on to it.
    const auto grouped = [&](CLI::App* command) {
        command->group(subcommandsGroup);
        command->get_help_ptr()->group(optionsGroup);
    };
    app.set_help_flag("-h,--help", tr("Print this help message and exit"));
    // Only --options: on Windows /photos is a path on the current drive, not
    // an option (subcommands take this from the app when they are added).
    app.allow_windows_style_options(false);
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, tr("Print the version the plug-in reports and exit"));

    std::string config;
    std::string plugin;
    std::vector<std::string> paths;
    std::string attribute, category, area, range;
    Options options;

    const std::string file = tr("FILE"), path = tr("PATH"), name = tr("NAME");
    CLI::App* classify = app.add_subcommand("classify", tr("Print the rules' attributes of each image or video file"));
    classify
        ->add_option("--config", config,
                     tr("Rule file (default: your own rule file, else the shipped examples/rules.ini)"))
        ->type_name(file);
    classify->add_option("--plugin", plugin, tr("Plug-in library (default: the one beside the program)"))
        ->type_name(path);
    classify->add_flag("--json", options.json,
                       tr("One JSON object per file instead of text lines (videos: \"kind\":\"video\", "
                          "\"rotation\")"));
    classify->add_flag("-L,--follow", options.followLinks,
                       tr("Follow symbolic links to folders (each real folder is walked once)"));
    classify->add_flag("--xmp", options.xmp,
                       tr("Write the attributes as keywords into each file's XMP sidecar (a video's: NAME.EXT.xmp)"));
    classify->add_flag("--embed", options.embed,
                       tr("Write the attributes as keywords into the XMP inside each JPEG, TIFF, PNG and WebP file "
                          "(read by File Explorer and Apple Photos); videos are never written"));
    classify->add_flag("--dry-run", options.dryRun,
                       tr("With --xmp or --embed: print what would change in each sidecar or image, write nothing"));
    classify->add_option("PATH", paths, tr("Image and video files, and folders searched recursively"))
        ->required()
        ->type_name("");

    CLI::App* edit = app.add_subcommand("edit",
                                        tr("Edit a rule file in the plug-in's dialog (Windows), saved on close"));
    edit->add_option("--config", config,
                     tr("Rule file, created if missing (default: your own rule file, first made from the shipped "
                        "examples)"))
        ->type_name(file);
    edit->add_option("--plugin", plugin, tr("Plug-in library (default: the one beside the program)"))->type_name(path);

    CLI::App* rules = app.add_subcommand("rules",
                                         tr("List, check or change the rules of a rule file, without the dialogs"));
    rules->footer(
        tr("Without --config: your own rule file, %s; while there is none, list and check read the shipped "
           "examples, and a change starts from them and saves them with it as your own.",
           {userRuleFileWords()}));
    rules->add_option("--config", config, tr("Rule file (default: your own)"))->type_name(file);
    for (CLI::App* command : {classify, edit, rules}) {
        grouped(command);
    }
    std::vector<std::pair<CLI::App*, RulesRequest::Action>> leaves;
    for (const RulesLeaf& leaf : kRulesLeaves) {
        CLI::App* sub = rules->add_subcommand(leaf.name, tr(leaf.description));
        grouped(sub);
        sub->footer(tr("Example:\n  %s", {leaf.example}));
        sub->add_option("--config", config, tr("Rule file (default: your own)"))->type_name(file);
        leaves.emplace_back(sub, leaf.command);
        switch (leaf.command) {
        case RulesRequest::Action::List:
            sub->add_flag("--json", options.json, tr("One JSON object per rule, with the numbers the file keeps"));
            break;
        case RulesRequest::Action::Check: break;
        case RulesRequest::Action::Add:
        case RulesRequest::Action::Set:
            if (leaf.command == RulesRequest::Action::Set)
                sub->add_option("N", options.rules.ruleNumber, tr("Rule number"))->type_name("");
            sub->add_option("--attribute", attribute, tr("Attribute name (required by add)"))->type_name(name);
            sub->add_option("--category", category, tr("Category name"))->type_name(name);
            sub->add_option("--area", area,
                            tr("Compare the area: OP N, OP one of < <= = >= > (or \xEF\xBC\x9C \xE2\x89\xA6 "
                               "\xEF\xBC\x9D \xE2\x89\xA7 \xEF\xBC\x9E), N 0 to 2147483647"))
                ->type_name("'OP N'");
            sub->add_option("--range", range, tr("A range of the area, OP < or <="))->type_name("'N OP area OP N'");
            sub->add_flag("--disabled", options.rules.rule.disabled, tr("The rule is disabled"));
            break;
        default: sub->add_option("N", options.rules.ruleNumber, tr("Rule number"))->type_name("");
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
            writeProgramLine(stderr, tr("%s (see pixtagger-host --help)",
                                        {reasonForExtra(extras.front(), where, edit, rules)}));
            exitCode = kBadUsage;
            return std::nullopt;
        }
        std::string missing;
        if (version) {
            options.command = Options::Command::Version;
        } else if (classify->parsed()) {
            options.command = Options::Command::Classify;
            if (options.dryRun && !options.xmp && !options.embed)
                missing = tr(
                    "--dry-run needs --xmp or --embed (it says what they would write; see pixtagger-host "
                    "--help)");
        } else if (edit->parsed()) {
            options.command = Options::Command::Edit;
        } else if (rules->parsed()) {
            options.command = Options::Command::Rules;
            missing = tr(
                "no rules command given (list, check, add, set, remove, enable or disable; see "
                "pixtagger-host --help)");
            for (const auto& [sub, command] : leaves) {
                if (!sub->parsed()) continue;
                options.rules.action = command;
                missing.clear();
                if (sub->get_option_no_throw("N") != nullptr && options.rules.ruleNumber.empty())
                    missing = tr("rules %s: no rule number given (rules list shows them; see pixtagger-host --help)",
                                 {sub->get_name()});
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
            missing = tr("no command given (classify, edit or rules; see pixtagger-host --help)");
        }
        if (!missing.empty()) {
            writeProgramLine(stderr, missing);
            exitCode = kBadUsage;
            return std::nullopt;
        }
    } catch (const CLI::CallForHelp& e) {
        std::ostringstream out, err;
        exitCode = app.exit(e, out, err);
        writeText(stdout, out.str());
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        writeProgramLine(stderr, tr("%s (see pixtagger-host --help)", {reasonFor(e, app)}));
        exitCode = kBadUsage;
        return std::nullopt;
    }
    options.config = pathFromArgument(config);
    options.plugin = pathFromArgument(plugin);
    options.paths = toPaths(paths);
    return options;
}
