#include "rules/rule_file_copy.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "config/rule_file_names.h"
#include "platform/win32.h"
#include "plugin/profile_path.h"
#include "rules/rule_file_problems.h"
#include "system/file_kind.h"
#include "text/messages.h"
#include "text/path_text.h"

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
        error = tr("out of memory reading the rules");
    } catch (const std::exception&) {  // boost::bad_lexical_cast, std::length_error: acLoadConfig's null
        error = tr("acLoadConfig refuses the file");
    }
    return false;
}

}  // namespace

bool readRuleFile(const fs::path& file, std::string& bytes, std::string& error) {
    std::error_code fsError;
    std::string why;
    if (!fs::exists(file, fsError)) {
        why = tr("no such rule file");
    } else if (!fs::is_regular_file(file, fsError)) {
        why = tr("%s, not a rule file", {nonFileKind(file)});
    } else if (!readFileBytes(file, bytes)) {
        why = tr("cannot read the file");
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

namespace {

// `bytes` in a fresh scratch file, loaded by the plug-in's own code; a
// refusal is named as rules check names it, with the file as `shown`.
bool loadCopy(const std::string& bytes, const fs::path& shown, std::optional<ScratchFile>& scratch,
              std::string& forPlugin, ConditionList& rules, std::string& error) {
    scratch.emplace(bytes);
    if (!scratch->ok()) {
        error = scratch->error();
        return false;
    }
    if (!profilePathForPlugin(scratch->path(), forPlugin, error)) {
        error = pathText(scratch->path()) + ": " + error;
        return false;
    }
    if (load(forPlugin, rules, error)) return true;
    const std::string reason = refusalText(scratch->path(), pathText(shown));
    error = reason.empty() ? pathText(shown) + ": " + error : reason;
    return false;
}

// The user's own config folder and those above it that are missing, private
// to the user as XDG asks (0700). Only this folder is ever made: chooseRuleFile
// refuses a named file whose folder is missing.
bool makeOwnFolder(const fs::path& folder, std::string& error) {
    std::error_code fsError;
    std::vector<fs::path> missing;
    for (fs::path at = folder; !at.empty() && !fs::is_directory(at, fsError); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) break;
    }
    for (auto at = missing.rbegin(); at != missing.rend() && !fsError; ++at) {
        if (fs::create_directory(*at, fsError)) fs::permissions(*at, fs::perms::owner_all, fsError);
        if (fsError) error = tr("%s: cannot make the folder: %s", {pathText(*at), fsError.message()});
    }
    return !fsError;
}

}  // namespace

bool RuleFileCopy::open(const RuleFileChoice& choice, bool mayBeMissing, std::string& error) {
    const fs::path& file = choice.saveTo.empty() ? choice.path : choice.saveTo;
    const bool fromShipped = file != choice.path;
    shown_ = file;
    makeFolder_ = choice.makeFolder;
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
    if ((existed_ || !(mayBeMissing || fromShipped)) && !readRuleFile(file, bytes_, error)) return false;
    // The file's own rules: a save removes their sections beyond its count.
    if (!loadCopy(bytes_, file, scratch_, scratchForPlugin_, rules_, error)) return false;
    countBefore_ = rules_.size();
    startForPlugin_ = scratchForPlugin_;
    if (!fromShipped) return true;
    std::string shipped;
    return readRuleFile(choice.path, shipped, error) &&
           loadCopy(shipped, choice.path, start_, startForPlugin_, rules_, error);
}

bool RuleFileCopy::save(const ConditionList& changed, bool& written, std::string& error) {
    written = false;
    if (changed == rules_) return true;
    try {
        changed.save(scratchForPlugin_);
    } catch (const std::bad_alloc&) {
        error = tr("%s: out of memory saving the rules; the file is unchanged", {pathText(shown_)});
        return false;
    }
    return finishSave(changed, written, error);
}

bool RuleFileCopy::saveMadeElsewhere(bool& written, std::string& error) {
    written = false;
    ConditionList saved;
    if (!load(scratchForPlugin_, saved, error)) {
        error = tr("%s: the plug-in's save does not load back (%s); the file is unchanged", {pathText(shown_), error});
        return false;
    }
    return finishSave(saved, written, error);
}

bool RuleFileCopy::finishSave(const ConditionList& saved, bool& written, std::string& error) {
    const std::string named = pathText(shown_);
    // A removal leaves the old last rule's section beyond the count, where
    // the plug-in ignores it and rules check names it: the sections this
    // change emptied go (those beyond the count before it stay).
    for (std::size_t i = saved.size(); i < countBefore_; ++i)
        WritePrivateProfileStringA(rule_file::ruleSection(static_cast<std::uint32_t>(i)).c_str(), nullptr, nullptr,
                                   scratchForPlugin_.c_str());
    // The profile calls report no failed write (a full temporary folder),
    // and a save does not quote a tab at a name's end, which a hand-written
    // file can hold: what did not come back as saved is not put in place.
    ConditionList check;
    const bool loaded = load(scratchForPlugin_, check, error);
    std::size_t differs = 0;
    while (loaded && differs < saved.size() && differs < check.size() && check[differs] == saved[differs]) ++differs;
    if (!loaded || check.size() != saved.size()) {
        error =
            tr("%s: the rules did not come back whole from a scratch copy in %s (is its disk full?); the file is "
               "unchanged",
               {named, pathText(scratch_->path().parent_path())});
        return false;
    }
    if (differs < saved.size()) {
        error =
            tr("%s: rule %s would not come back as it is (white space at a name's end that the save does not "
               "keep); the file is unchanged",
               {named, std::to_string(differs + 1)});
        return false;
    }
    if (!existed_ && makeFolder_ && !makeOwnFolder(target_.parent_path(), error)) return false;
    return commit(written, error);
}

bool RuleFileCopy::commit(bool& written, std::string& error) {
    written = false;
    const std::string named = pathText(shown_);
    std::string bytes;
    if (!readFileBytes(scratch_->path(), bytes)) {
        error = tr("%s: cannot read back the scratch copy in %s; the file is unchanged",
                   {named, pathText(scratch_->path().parent_path())});
        return false;
    }
    if (bytes == bytes_) return true;
    // No folder is made here: the user's own is made before the save, and a
    // missing one the user named is refused (staging then fails on it).
    if (existed_ && !stamp_) {
        error = tr("%s: cannot tell whether another program changes it meanwhile; the file is unchanged", {named});
        return false;
    }
    // A file this user may not write (read-only, another's) is refused by
    // the group, as the plug-in's own save could not change it either.
    AtomicFileGroup group;
    if (group.stage(0, target_, bytes, stamp_, error)) {
        error = tr("not put in place");  // unless the commit reports it done
        for (const AtomicFileGroup::Outcome& outcome : group.commit()) error = outcome.error;
        written = error.empty();
    }
    if (!written) error = named + ": " + error;
    return written;
}
