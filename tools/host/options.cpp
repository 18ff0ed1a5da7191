#include "options.h"

#include <cstring>

const char* const kUsage =
    "usage: pixtagger-host classify [--config FILE] [--plugin PATH] [--json] PATH...\n"
    "       pixtagger-host edit [--config FILE] [--plugin PATH]";

std::optional<Options> parseOptions(int argc, char** argv, std::string& error) {
    const bool classify = argc >= 2 && std::strcmp(argv[1], "classify") == 0;
    const bool edit = argc >= 2 && std::strcmp(argv[1], "edit") == 0;
    if (!classify && !edit) {
        error = argc < 2 ? "no command given" : std::string("unknown command: ") + argv[1];
        return std::nullopt;
    }
    Options options;
    options.command = edit ? Options::Command::Edit : Options::Command::Classify;
    bool onlyPaths = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            options.paths.push_back(arg);
        } else if (arg == "--") {
            onlyPaths = true;
        } else if (arg == "--json" && classify) {
            options.json = true;
        } else if (arg == "--config" || arg == "--plugin") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            (arg == "--config" ? options.config : options.plugin) = argv[++i];
        } else {
            error = "unknown option: " + arg;
            return std::nullopt;
        }
    }
    if (edit && !options.paths.empty()) {
        error = "edit takes no image files or folders";
        return std::nullopt;
    }
    if (classify && options.paths.empty()) {
        error = "no image files or folders given";
        return std::nullopt;
    }
    return options;
}
