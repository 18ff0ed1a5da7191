// The platform's part of choosing the language of the host's texts and
// finding their catalogs.
#pragma once

#include <filesystem>

// Binds `domain` to the catalogs in `folder` (UTF-8 texts out) and chooses
// the language: POSIX by gettext's own rules (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); Windows by the user's UI language, unless LANGUAGE or
// LANG is set. English where there is no catalog for the language.
void bindMessageCatalogs(const char* domain, const std::filesystem::path& folder);
