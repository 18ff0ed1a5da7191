// pixtagger-host rules on arbitrary rule-file bytes: rules check refuses
// exactly what acLoadConfig refuses, and a change saved as rules add, set,
// remove, enable and disable save it loads back as the changed list, on the
// user's file and on a file of our own, which rules check then finds clean.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "config/profile_file.h"
#include "pixtagger.h"
#include "rules/rule_file_copy.h"
#include "rules/rule_file_problems.h"

namespace fs = std::filesystem;

namespace {

// A folder of the run's files, in tmpfs where there is one (every save
// flushes its file system), removed when the run ends.
struct ScratchFolder {
    ScratchFolder() {
        char name[] = "/dev/shm/pixtagger-rules-fuzz-XXXXXX";
        char fallback[] = "/tmp/pixtagger-rules-fuzz-XXXXXX";
        const char* made = ::mkdtemp(name);
        if (made == nullptr) made = ::mkdtemp(fallback);
        if (made == nullptr) std::abort();
        ::setenv("TMPDIR", made, 1);  // NOLINT(concurrency-mt-unsafe): once, before any thread; the copies go there
        path = made;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

const fs::path& scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

// The broken invariant named, for the finding's log.
#define check(holds)                                                                     \
    do {                                                                                 \
        if (!(holds)) {                                                                  \
            std::fprintf(stderr, "rules_fuzz: %s:%d: %s\n", __FILE__, __LINE__, #holds); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A save quotes spaces and a leading double quote, not other white space at
// a name's ends, which the reader trims: such a list cannot come back.
bool survivesSaving(const ConditionList& rules) {
    const auto kept = [](const std::string& name) {
        const auto trimmed = [](char c) { return c == '\t' || c == '\v' || c == '\f'; };
        return name.empty() || (!trimmed(name.front()) && !trimmed(name.back()));
    };
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (!kept(rules[i]._attName) || !kept(rules[i]._catName)) return false;
    }
    return true;
}

// The rules as the editor makes them: a type of 0 or 1 and operators from
// their tables, which rules check would otherwise name wherever they are.
ConditionList editorMade(ConditionList rules) {
    const auto within = [](std::int32_t value, std::int32_t last) { return value < 0 || value > last ? 0 : value; };
    for (std::size_t i = 0; i < rules.size(); ++i) {
        Condition rule = rules[i];
        rule._type = rule._type != 0;
        rule._cmbA = within(rule._cmbA, 4);
        rule._cmbB1 = within(rule._cmbB1, 1);
        rule._cmbB2 = within(rule._cmbB2, 1);
        rules.replace(i, rule);
    }
    return rules;
}

// One command's change, chosen by `how`: add, set, remove, enable or disable.
ConditionList changed(ConditionList rules, std::uint8_t how) {
    const std::size_t at = rules.empty() ? 0 : (how >> 3) % rules.size();
    Condition rule;
    rule._attName = "\x95\x5C";  // 表: a second byte 0x5C
    rule._catName = " x";
    rule._type = how & 1;
    rule._a = how;
    switch (rules.empty() ? 0 : how % 5) {
    case 0: rules.append(rule); break;
    case 1: rules.replace(at, rule); break;
    case 2: rules.erase(at); break;
    default: rules.setEnabled(at, how % 5 == 3);
    }
    return rules;
}

// Saves `rules` over `file` as the rules command does; false when the save
// refused, leaving the file as it was.
bool saveOver(const fs::path& file, const ConditionList& rules, bool mayBeMissing) {
    const std::string before = fs::exists(file) ? bytesOf(file) : std::string("(none)");
    RuleFileChoice choice;
    choice.path = choice.saveTo = file;
    RuleFileCopy copy;
    std::string error;
    check(copy.open(choice, mayBeMissing, error));
    bool written = false;
    if (copy.save(rules, written, error)) return true;
    check(!survivesSaving(rules));  // the only save refused here
    check((fs::exists(file) ? bytesOf(file) : std::string("(none)")) == before);
    return false;
}

// The list acLoadConfig makes of `file`, which it must accept.
ConditionList loaded(const fs::path& file) {
    ConditionList* list = acLoadConfig(file.c_str());
    check(list != nullptr);
    ConditionList copy = *list;
    acReleaseConfig(list);
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t how = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const fs::path file = scratch() / "rules.ini";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // Large counts only cost time (every key read parses the file, every
    // key written rewrites it); those beyond the limit are refused at once.
    std::uint32_t count = 0;
    try {
        count = ProfileFile(file.string()).get("Conditions", "num", std::uint32_t{0});
    } catch (...) {
        // an invalid count: acLoadConfig must refuse the file, and rules check with it
    }
    if (count > 16 && count <= ConditionList::kMaxSize) return 0;

    const RuleFileCheck found = checkRuleFile(bytes);
    ConditionList* list = acLoadConfig(file.c_str());
    check((list == nullptr) == found.refusal.has_value());
    if (list == nullptr) return 0;
    const ConditionList before = *list;
    acReleaseConfig(list);

    // The user's file: the change comes back, the untouched rules with it.
    const ConditionList after = changed(before, how);
    if (!saveOver(file, after, false) || !survivesSaving(after)) return 0;
    check(loaded(file) == after);

    // A file of our own: rules check finds nothing in it, after a second
    // change (a removal empties a section) too.
    const fs::path own = scratch() / "own.ini";
    fs::remove(own);
    const ConditionList ours = editorMade(after);
    check(saveOver(own, ours, true));
    check(checkRuleFile(bytesOf(own)).problems.empty());
    const ConditionList again = changed(ours, 2);  // a removal, when there is a rule
    check(saveOver(own, again, true));
    check(loaded(own) == again);
    check(checkRuleFile(bytesOf(own)).problems.empty());
    return 0;
}
