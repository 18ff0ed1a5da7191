// acSaveConfig and acLoadConfig for n rules: each is 1 + 10n profile calls of
// one key, through our stand-in natively and through Win32 on Windows.
// Prints milliseconds and profile calls per second.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "bench_support.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"

namespace {

ConditionList rules(std::uint32_t n) {
    ConditionList list;
    list.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        Condition c;
        c._attName = "attribute " + std::to_string(i);
        c._catName = "Size";
        c._a = static_cast<std::int32_t>(i);
        list.append(c);
    }
    return list;
}

void report(const char* what, std::uint32_t n, double seconds) {
    const double calls = 1.0 + 10.0 * n;
    std::printf("%-28s n=%-6u %10.2f ms %12.0f calls/s\n", what, n, seconds * 1000.0, calls / seconds);
}

// A host saves or loads a file written well before, not within the file
// system's clock tick; copies the platform keeps are trusted only then.
void letTheFileAge() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

}  // namespace

int main(int argc, char** argv) {
    // Every write replaces the whole file, so saving n rules to a new file
    // moves O(n^2) bytes; the largest n is saved only when asked for.
    std::uint32_t maxNewSave = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--max-new-save") == 0)
            maxNewSave = static_cast<std::uint32_t>(std::atoi(argv[i + 1]));
    }
    bench::ScratchDir dir;
    for (std::uint32_t n : {10u, 100u, 1000u, 10000u}) {
        const ConditionList list = rules(n);
        const std::string path = dir.file("rules" + std::to_string(n) + ".ini");
        if (n <= maxNewSave) {
            auto start = std::chrono::steady_clock::now();
            acSaveConfig(&list, path.c_str());
            report("acSaveConfig (new file)", n, bench::secondsSince(start));
        } else {
            bench::writeRuleFile(path, n);
            std::printf("%-28s n=%-6u %10s (pass --max-new-save %u)\n", "acSaveConfig (new file)", n, "skipped", n);
        }
        letTheFileAge();
        auto start = std::chrono::steady_clock::now();
        acSaveConfig(&list, path.c_str());
        report("acSaveConfig (unchanged)", n, bench::secondsSince(start));

        letTheFileAge();
        for (const char* pass : {"acLoadConfig (first)", "acLoadConfig (again)"}) {
            start = std::chrono::steady_clock::now();
            ConditionList* loaded = acLoadConfig(path.c_str());
            const double seconds = bench::secondsSince(start);
            if (loaded == nullptr || loaded->size() != n) {
                std::fprintf(stderr, "config_bench: %s of %u rules failed\n", pass, n);
                return 1;
            }
            acReleaseConfig(loaded);
            report(pass, n, seconds);
        }
    }
    return 0;
}
