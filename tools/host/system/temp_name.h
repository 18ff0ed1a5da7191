// The names of our temporary files, which say whose they are (this program,
// which machine, which process), so that a later run removes only what is
// surely ours and surely abandoned.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// `.pixtagger-<machine>-<pid>-<process>-<n>.tmp`: machine and process are
// identities (process_identity.h) in 16 lower-case hex digits, pid and n in
// decimal without leading zeros. Hidden, never `*.xmp` or `*.ini`, so no
// photo manager or profile reader takes it for the real file.
struct TempName {
    std::uint64_t machine = 0;
    std::uint32_t pid = 0;
    std::uint64_t process = 0;
    std::uint64_t counter = 0;
    bool operator==(const TempName& other) const {
        return machine == other.machine && pid == other.pid && process == other.process && counter == other.counter;
    }
};

std::string formatTempName(const TempName& name);

// The parts of a file name of exactly that form, nullopt for any other
// (a user's `.notes.xmp.2023-12.tmp` among them).
std::optional<TempName> parseTempName(const std::filesystem::path& fileName);
