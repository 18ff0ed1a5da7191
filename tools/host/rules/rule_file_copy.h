// A rule file's rules loaded and saved by the plug-in's own code
// (ConditionList through ProfileFile) on a scratch copy of its bytes, so that
// the file itself changes only by one atomic replacement, and only when the
// plug-in's save made different bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "conditions/condition_list.h"
#include "rules/rule_file_choice.h"
#include "system/atomic_file.h"
#include "system/scratch_file.h"

class RuleFileCopy {
public:
    // Loads the rules `choice.path` holds and copies the file they are saved
    // to, `choice.saveTo` (else the same file), which may be missing when
    // `mayBeMissing` or when the rules come from the shipped examples. False
    // with a one-line reason: for a file acLoadConfig refuses, the first
    // fault rules check finds.
    bool open(const RuleFileChoice& choice, bool mayBeMissing, std::string& error);

    // The rules' start as the profile calls (acLoadConfig) take it: a copy
    // of `choice.path`.
    const std::string& startForPlugin() const { return startForPlugin_; }
    // The scratch copy of the file saved to, as the profile calls (and
    // acSaveConfig) take it, for a save made elsewhere, then saveMadeElsewhere().
    const std::string& scratchForPlugin() const { return scratchForPlugin_; }

    bool existed() const { return existed_; }
    const ConditionList& rules() const { return rules_; }

    // Saves `changed` as acSaveConfig would over the file's bytes and puts
    // the result in the file's place, unless the bytes came out the same
    // (`written` false). A file that another program changed since open()
    // is left alone. False with a one-line reason; the file is then as it was.
    bool save(const ConditionList& changed, bool& written, std::string& error);

    // The same for a save the plug-in made into scratchForPlugin() (edit):
    // whatever it saved loads back, and goes in place as save() puts it.
    bool saveMadeElsewhere(bool& written, std::string& error);

private:
    // What every save shares once the scratch copy holds `saved`: the
    // sections the change emptied go, the copy must load back to `saved`,
    // the user's own folder is made, and commit() puts the copy in place.
    bool finishSave(const ConditionList& saved, bool& written, std::string& error);
    bool commit(bool& written, std::string& error);

    std::filesystem::path shown_;  // as the user named it
    std::filesystem::path target_;  // a symbolic link's target: the file replaced
    bool existed_ = false;
    bool makeFolder_ = false;
    std::optional<FileStamp> stamp_;
    std::string bytes_;
    std::optional<ScratchFile> scratch_;
    std::string scratchForPlugin_;  // the scratch file's path as the profile calls take it
    std::size_t countBefore_ = 0;  // the rules of the file saved to, before the change
    std::optional<ScratchFile> start_;  // a copy of the shipped examples, when the rules start there
    std::string startForPlugin_;
    ConditionList rules_;
};

// The bytes of a rule file; false with a one-line reason for a missing
// file, a folder or a named pipe (never read: it could wait forever).
bool readRuleFile(const std::filesystem::path& file, std::string& bytes, std::string& error);

// For a file acLoadConfig refused: "FILE:LINE: [section] key=value: reason",
// FILE as `shown`; empty when the check finds no reason (memory ran out).
std::string refusalText(const std::filesystem::path& file, const std::string& shown);
