// The profile reads and writes of loading and saving n rules (1 + 10n calls,
// one key each) through ProfileFile: our stand-in natively, Win32 on Windows.
// Prints milliseconds and calls per second.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "bench_support.h"
#include "config/profile_file.h"

namespace {

const char* const kIntKeys[] = {"_type", "_a", "_b1", "_b2", "_cmbA", "_cmbB1", "_cmbB2"};

void writeSequence(const ProfileFile& file, std::uint32_t n) {
    file.put("Conditions", "num", n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::string section = "Condition" + std::to_string(i);
        file.put(section.c_str(), "_bEnable", std::int32_t{1});
        file.put(section.c_str(), "_attName", "attribute " + std::to_string(i));
        file.put(section.c_str(), "_catName", std::string("Size"));
        for (const char* key : kIntKeys) file.put(section.c_str(), key, static_cast<std::int32_t>(i));
    }
}

std::int64_t readSequence(const ProfileFile& file) {
    std::int64_t sum = 0;  // keeps the reads from being optimised away
    const std::uint32_t n = file.get("Conditions", "num", std::uint32_t{0});
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::string section = "Condition" + std::to_string(i);
        sum += file.get(section.c_str(), "_bEnable", std::int32_t{1});
        sum += static_cast<std::int64_t>(file.get(section.c_str(), "_attName", std::string()).size());
        sum += static_cast<std::int64_t>(file.get(section.c_str(), "_catName", std::string()).size());
        for (const char* key : kIntKeys) sum += file.get(section.c_str(), key, std::int32_t{0});
    }
    return sum;
}

void report(const char* what, std::uint32_t n, double seconds) {
    const double calls = 1.0 + 10.0 * n;
    std::printf("%-26s n=%-6u %10.2f ms %12.0f calls/s\n", what, n, seconds * 1000.0, calls / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    // Every write replaces the whole file, so writing n rules from nothing
    // costs O(n^2) bytes; the largest n is written only when asked for.
    std::uint32_t maxWriteN = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--max-write-n") == 0) maxWriteN = static_cast<std::uint32_t>(std::atoi(argv[i + 1]));
    }
    bench::ScratchDir dir;
    for (std::uint32_t n : {10u, 100u, 1000u, 10000u}) {
        const ProfileFile file(dir.file("rules" + std::to_string(n) + ".ini"));
        if (n <= maxWriteN) {
            auto start = std::chrono::steady_clock::now();
            writeSequence(file, n);
            report("write (new file)", n, bench::secondsSince(start));
            // A list is re-saved well after the file was last written.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            start = std::chrono::steady_clock::now();
            writeSequence(file, n);
            report("write (unchanged values)", n, bench::secondsSince(start));
        } else {
            // Written directly, in the layout a save produces: the read
            // timings below need the file, the write timing is skipped.
            std::string text = "[Conditions]\r\nnum=" + std::to_string(n) + "\r\n";
            for (std::uint32_t i = 0; i < n; ++i) {
                text += "[Condition" + std::to_string(i) + "]\r\n_bEnable=1\r\n_attName=attribute " +
                        std::to_string(i) + "\r\n_catName=Size\r\n";
                for (const char* key : kIntKeys) text += std::string(key) + "=" + std::to_string(i) + "\r\n";
            }
            std::ofstream(dir.file("rules" + std::to_string(n) + ".ini"), std::ios::binary) << text;
            std::printf("%-26s n=%-6u %10s (pass --max-write-n %u)\n", "write (new file)", n, "skipped", n);
        }
        // Let the file's modification time age, as a rule file loaded by a
        // host has, so a kept copy of it may be trusted.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::int64_t sum = 0;
        auto start = std::chrono::steady_clock::now();
        sum += readSequence(file);
        report("read (first)", n, bench::secondsSince(start));
        start = std::chrono::steady_clock::now();
        sum += readSequence(file);
        report("read (again)", n, bench::secondsSince(start));
        if (sum == 42) std::puts("");
    }
    return 0;
}
