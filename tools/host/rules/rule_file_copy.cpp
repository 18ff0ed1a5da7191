#include "rules/rule_file_copy.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <system_error>

#include "config/rule_file_names.h"
#include "system/file_kind.h"
#include "text/path_text.h"
#include "platform/win32.h"
#include "plugin/profile_path.h"
#include "rules/rule_file_problems.h"

namespace fs = std::filesystem;

namespace {

bool readFileBytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The plug-in's own load; false when acLoadConfig would return null.
bool load(const std::string& path, ConditionList& rules, std::string& error) {
    try {
        rules = ConditionList(path);
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory reading the rules";
    } catch (const std::exception&) {  // boost::bad_lexical_cast, std::length_error: acLoadConfig's null
        error = "acLoadConfig refuses the file";
    }
    return false;
}

}  // namespace

bool readRuleFile(const fs::path& file, std::string& bytes, std::string& error) {
    std::error_code fsError;
    std::string why;
    if (!fs::exists(file, fsError)) {
        why = "no such rule file";
    } else if (!fs::is_regular_file(file, fsError)) {
        why = nonFileKind(file) + ", not a rule file";
    } else if (!readFileBytes(file, bytes)) {
        why = "cannot read the file";
    }
    if (!why.empty()) error = pathText(file) + ": " + why;
    return why.empty();
}

std::string refusalText(const fs::path& file, const std::string& shown) {
    std::string bytes;
    if (!readFileBytes(file, bytes)) return std::string();
    const RuleFileCheck check = checkRuleFile(bytes);
    return check.refusal ? problemText(shown, *check.refusal) : std::string();
}

bool RuleFileCopy::open(const fs::path& file, bool mayBeMissing, std::string& error, bool loadRules) {
    shown_ = file;
    const std::string named = pathText(file);
    std::error_code ignored;
    existed_ = fs::exists(file, ignored);
    // The profile functions write through a link to its target; so do we.
    target_ = file;
    if (fs::is_symlink(fs::symlink_status(file, ignored))) {
        std::error_code fsError;
        target_ = fs::canonical(file, fsError);
        if (fsError) {
            error = named + ": " + fsError.message();
            return false;
        }
    }
    // The stamp before the bytes: a change in between shows at the commit.
    if (existed_) stamp_ = fileStamp(target_);
    if ((existed_ || !mayBeMissing) && !readRuleFile(file, bytes_, error)) return false;
    scratch_.emplace(bytes_);
    if (!scratch_->ok()) {
        error = scratch_->error();
        return false;
    }
    if (!profilePathForPlugin(scratch_->path(), scratchForPlugin_, error)) {
        error = pathText(scratch_->path()) + ": " + error;
        return false;
    }
    if (!loadRules || load(scratchForPlugin_, rules_, error)) return true;
    const std::string reason = refusalText(scratch_->path(), named);
    error = reason.empty() ? named + ": " + error : reason;
    return false;
}

bool RuleFileCopy::save(const ConditionList& changed, bool& written, std::string& error) {
    written = false;
    if (changed == rules_) return true;
    const std::string named = pathText(shown_);
    ConditionList check;
    try {
        changed.save(scratchForPlugin_);
    } catch (const std::bad_alloc&) {
        error = named + ": out of memory saving the rules; the file is unchanged";
        return false;
    }
    // The profile calls report no failed write (a full temporary folder):
    // what did not come back whole is not put in the file's place.
    // A removal leaves the old last rule's section beyond the count, where
    // the plug-in ignores it and rules check names it: the sections this
    // change emptied go (those beyond the count before it stay).
    for (std::size_t i = changed.size(); i < rules_.size(); ++i)
        WritePrivateProfileStringA(rule_file::ruleSection(static_cast<std::uint32_t>(i)).c_str(), nullptr, nullptr,
                                   scratchForPlugin_.c_str());
    if (!load(scratchForPlugin_, check, error) || !(check == changed)) {
        error = named + ": the rules did not come back whole from a scratch copy in " +
                pathText(scratch_->path().parent_path()) + " (is its disk full?); the file is unchanged";
        return false;
    }
    return commit(written, error);
}

bool RuleFileCopy::commit(bool& written, std::string& error) {
    written = false;
    const std::string named = pathText(shown_);
    std::string bytes;
    if (!readFileBytes(scratch_->path(), bytes)) {
        error = named + ": cannot read back the scratch copy in " + pathText(scratch_->path().parent_path()) +
                "; the file is unchanged";
        return false;
    }
    if (bytes == bytes_) return true;
    std::error_code fsError;
    if (!existed_ && target_.has_parent_path()) fs::create_directories(target_.parent_path(), fsError);
    if (fsError) {
        error = pathText(target_.parent_path()) + ": cannot make the folder: " + fsError.message();
        return false;
    }
    // A read-only file is one the plug-in's own save could not change
    // either; replacing it by a rename would pass over its owner's no.
    constexpr auto kWritable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (existed_ && (fs::status(target_, fsError).permissions() & kWritable) == fs::perms::none) {
        error = named + ": read-only; the file is unchanged";
        return false;
    }
    if (existed_ && !stamp_) {
        error = named + ": cannot tell whether another program changes it meanwhile; the file is unchanged";
        return false;
    }
    AtomicFileGroup group;
    if (group.stage(0, target_, bytes, stamp_, error)) {
        error = "not put in place";  // unless the commit reports it done
        for (const AtomicFileGroup::Outcome& outcome : group.commit()) error = outcome.error;
        written = error.empty();
    }
    if (!written) error = named + ": " + error;
    return written;
}
