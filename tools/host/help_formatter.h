// CLI11's help laid out by the columns a terminal gives each character, not
// by bytes: a Japanese name takes two columns a character, in three bytes.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>

class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool positional) const override;
};

// The columns `text` (UTF-8) takes on a terminal: two for an East Asian
// wide or full-width character, one for any other.
std::size_t terminalColumns(const std::string& text);
