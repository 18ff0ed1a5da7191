// The texts pixtagger-host prints for people, in their language: English in
// the source, every other language from a gettext catalog (po/), chosen as
// the platform chooses (message_catalogs.h). What programs read (the
// classify lines, --json, exit statuses) is never translated.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>

// Once, before the first text: the catalogs beside the program in
// `programFolder` (locale/), else under its installed prefix (share/locale).
void initMessages(const std::filesystem::path& programFolder);

// `english` in the user's language (itself where no catalog has it).
const char* tr(const char* english);

// With its arguments put in: each %s takes the next, %1$s ... %9$s the one
// of that number (so that a language may order them otherwise); %% is a
// percent sign. Numbers are given as text.
std::string tr(const char* english, std::initializer_list<std::string> args);

// The form of a count's sentence the language's plural rules choose for `n`.
std::string trn(const char* singular, const char* plural, unsigned long n, std::initializer_list<std::string> args);

// Marks a text for the catalog where it is looked up later (a table's).
#define N_(english) english

// The formatting of tr, for texts already in the user's language.
std::string formatMessage(const char* pattern, std::initializer_list<std::string> args);
