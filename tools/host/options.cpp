#include "options.h"

#include <cstring>

const char* const kUsage = "usage: pixtagger-host classify [--config FILE] [--plugin PATH] [--json] PATH...";

std::optional<Options> parseOptions(int argc, char** argv, std::string& error) {
    if (argc < 2 || std::strcmp(argv[1], "classify") != 0) {
        error = argc < 2 ? "no command given" : std::string("unknown command: ") + argv[1];
        return std::nullopt;
    }
    Options options;
    bool onlyPaths = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            options.paths.push_back(arg);
        } else if (arg == "--") {
            onlyPaths = true;
        } else if (arg == "--json") {
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
    if (options.paths.empty()) {
        error = "no image files or folders given";
        return std::nullopt;
    }
    return options;
}
