// A rule file's rules loaded and saved by the plug-in's own code
// (ConditionList through ProfileFile) on a scratch copy of its bytes, so that
// the file itself changes only by one atomic replacement, and only when the
// plug-in's save made different bytes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "conditions/condition_list.h"
#include "system/scratch_file.h"
#include "system/atomic_file.h"

class RuleFileCopy {
public:
    // Reads `file` (a missing one, when `mayBeMissing`, as no rules) and,
    // with `loadRules`, loads its rules. False with a one-line reason: for
    // a file acLoadConfig refuses, the first fault rules check finds.
    bool open(const std::filesystem::path& file, bool mayBeMissing, std::string& error, bool loadRules = true);

    // The scratch copy's path as the profile calls (and acSaveConfig) take
    // it, for a save made elsewhere, then put in place by commit().
    const std::string& scratchForPlugin() const { return scratchForPlugin_; }
    bool commit(bool& written, std::string& error);

    bool existed() const { return existed_; }
    const ConditionList& rules() const { return rules_; }

    // Saves `changed` as acSaveConfig would over the file's bytes and puts
    // the result in the file's place, unless the bytes came out the same
    // (`written` false). A file that another program changed since open()
    // is left alone. False with a one-line reason; the file is then as it was.
    bool save(const ConditionList& changed, bool& written, std::string& error);

private:
    std::filesystem::path shown_;  // as the user named it
    std::filesystem::path target_;  // a symbolic link's target: the file replaced
    bool existed_ = false;
    std::optional<FileStamp> stamp_;
    std::string bytes_;
    std::optional<ScratchFile> scratch_;
    std::string scratchForPlugin_;  // the scratch file's path as the profile calls take it
    ConditionList rules_;
};

// The bytes of a rule file; false with a one-line reason for a missing
// file, a folder or a named pipe (never read: it could wait forever).
bool readRuleFile(const std::filesystem::path& file, std::string& bytes, std::string& error);

// For a file acLoadConfig refused: "FILE:LINE: [section] key=value: reason",
// FILE as `shown`; empty when the check finds no reason (memory ran out).
std::string refusalText(const std::filesystem::path& file, const std::string& shown);
