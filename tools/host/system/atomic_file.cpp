#include "system/atomic_file.h"

#include <utility>

#include "system/native_file.h"
#include "text/messages.h"

namespace fs = std::filesystem;

namespace {

const char* const kChanged = N_("changed by another program while being updated; left as it is");
const char* const kMadeMeanwhile = N_("made by another program meanwhile; left as it is");
// A rename would replace it all the same: the mark (on Windows the
// attribute, which Windows' own rename obeys) says its owner wants it kept.
const char* const kReadOnly = N_("read-only; left as it is");
const char* const kNotWritable = N_("read-only for this user; left as it is");
// A new file under one name: the others would keep the old bytes.
const char* const kLinked = N_("has other hard links, which a replacement would split; left as it is");
// A replacement would be this user's file: its owner would lose it.
const char* const kOtherOwner = N_("owned by another user; left as it is");
const char* const kOtherGroup = N_("of a group this user is not in; left as it is");

// Whether `target` is still the file read, and this user's to replace.
bool mayReplace(const fs::path& target, const FileStamp& expected, std::string& error) {
    FileFacts facts;
    switch (lookAt(target, facts, error)) {
    case Look::Failed: return false;
    case Look::Missing: error = tr(kChanged); return false;
    case Look::Found: break;
    }
    if (!(facts.stamp == expected)) {
        error = tr(kChanged);
    } else if (facts.markedReadOnly) {
        error = tr(kReadOnly);
    } else if (!facts.userMayWrite) {
        error = tr(kNotWritable);
    } else {
        return replaceableFile(facts.stamp, error);
    }
    return false;
}

bool ownershipKept(Ownership ownership, std::string& error) {
    if (ownership == Ownership::OtherOwner) error = tr(kOtherOwner);
    if (ownership == Ownership::OtherGroup) error = tr(kOtherGroup);
    return ownership == Ownership::Kept;
}

}  // namespace

bool replaceableFile(const FileStamp& stamp, std::string& error) {
    if (stamp.links <= 1) return true;
    error = tr(kLinked);
    return false;
}

struct AtomicFileGroup::Entry {
    std::size_t tag;
    fs::path target;
    std::optional<FileStamp> expected;
    NativeTempFile temp;

    // In place, or false with the reason.
    bool put(std::string& error) {
        if (!expected) {
            bool taken = false;
            if (temp.placeNew(target, taken, error)) return true;
            if (taken) error = tr(kMadeMeanwhile);
            return false;
        }
        // Looked at again right before the rename (only the old file's
        // owner and permissions are taken in between): another program's
        // save since our read must not be lost, nor a no given meanwhile.
        return temp.name(error) && mayReplace(target, *expected, error) &&
               ownershipKept(temp.takeAccessOf(target, error), error) && temp.replace(target, error);
    }
};

AtomicFileGroup::AtomicFileGroup() : flush_(std::make_unique<FlushBatch>()) {}

AtomicFileGroup::~AtomicFileGroup() = default;

bool AtomicFileGroup::stage(std::size_t tag, const fs::path& target, const std::string& bytes,
                            const std::optional<FileStamp>& expected, std::string& error) {
    if (expected && !mayReplace(target, *expected, error)) return false;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    sweep_.once(folder);
    Entry entry{tag, target, expected, NativeTempFile()};
    // Until it takes the old file's permissions, a replacement is its
    // writer's alone: the old one may not have been for everyone's eyes.
    if (!entry.temp.create(folder, NativeTempFile::Use::Replacement, expected.has_value(), error) ||
        !flush_->track(entry.temp, folder, error) || !entry.temp.write(bytes, error) || !entry.temp.finish(error))
        return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    staged_.push_back(std::move(entry));
    return true;
}

std::vector<AtomicFileGroup::Outcome> AtomicFileGroup::commit() {
    std::vector<Entry> entries;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(staged_);
    }
    // Nothing is renamed before its bytes are on the disk: a crash or a
    // power cut leaves each target as it was or as it is meant to be.
    std::vector<const NativeTempFile*> files;
    files.reserve(entries.size());
    for (const Entry& entry : entries) files.push_back(&entry.temp);
    const std::vector<std::string> flushed = flush_->flush(files);
    std::vector<Outcome> outcomes;
    outcomes.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string error = flushed[i];
        if (error.empty()) entries[i].put(error);
        outcomes.push_back({entries[i].tag, error});
    }
    return outcomes;  // the files not put in place go with `entries`
}
