#include <cstdlib>

#include "rules/rule_file_choice.h"

std::filesystem::path userRuleFile() {
    namespace fs = std::filesystem;
    // XDG base directories: a relative XDG_CONFIG_HOME is invalid
    // and ignored, so a run in some folder never writes rules there.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");  // NOLINT(concurrency-mt-unsafe): read before any thread
    if (xdg != nullptr && fs::path(xdg).is_absolute()) return fs::path(xdg) / "pixtagger" / "rules.ini";
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): read before any thread
    if (home == nullptr || !fs::path(home).is_absolute()) return fs::path();
    return fs::path(home) / ".config" / "pixtagger" / "rules.ini";
}

const char* userRuleFileWords() { return "$XDG_CONFIG_HOME/pixtagger/rules.ini (~/.config/pixtagger/rules.ini)"; }
