// acLoadConfig on arbitrary file bytes: null or a list, and a list saved to a
// new file loads back equal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "conditions/condition_list.h"
#include "config/profile_file.h"
#include "pixtagger.h"

namespace {

const std::filesystem::path& scratch() {
    static const std::filesystem::path dir = [] {
        char name[] = "/tmp/pixtagger-load-fuzz-XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        return std::filesystem::path(name);
    }();
    return dir;
}

// A save protects spaces and a leading double quote, not other white space
// at a name's ends, which the reader trims: such names do not come back.
bool survivesSaving(const std::string& name) {
    auto trimmed = [](char c) { return c == '\t' || c == '\v' || c == '\f'; };
    return name.empty() || (!trimmed(name.front()) && !trimmed(name.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = (scratch() / "in.ini").string();
    const std::string out = (scratch() / "out.ini").string();
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // Large counts only cost time (each rule is ten reads, a save rewrites
    // the file per key); the limit itself is a unit test.
    try {
        if (ProfileFile(in).get("Conditions", "num", std::uint32_t{0}) > 300) return 0;
    } catch (...) {
        // invalid count: the load below must return null
    }

    ConditionList* list = acLoadConfig(in.c_str());
    if (list == nullptr) return 0;
    std::remove(out.c_str());
    acSaveConfig(list, out.c_str());
    ConditionList* again = acLoadConfig(out.c_str());
    if (again == nullptr || again->size() != list->size()) std::abort();
    for (std::size_t i = 0; i < list->size(); ++i) {
        Condition expected = (*list)[i];
        const Condition& got = (*again)[i];
        if (!survivesSaving(expected._attName)) expected._attName = got._attName;
        if (!survivesSaving(expected._catName)) expected._catName = got._catName;
        if (!(got == expected)) std::abort();
    }
    acReleaseConfig(again);
    acReleaseConfig(list);
    return 0;
}
