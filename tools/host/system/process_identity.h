// Who made a temporary file: this machine, and this process told apart from
// a later one that got the same pid, so that a run removes only the files of
// runs that surely ended here (never those of a run on another machine
// sharing the folder, nor of one still going).
#pragma once

#include <cstdint>
#include <string>

struct ProcessIdentity {
    std::uint32_t pid = 0;
    // When it started: Windows' creation time; on Linux a hash of the boot
    // and the start tick (/proc/<pid>/stat field 22 counts from the boot).
    std::uint64_t started = 0;
};

// A hash of what names this machine: on Linux its machine-id, host name and
// pid namespace (containers sharing a folder and a pid stay apart); on
// Windows its MachineGuid and computer name.
std::uint64_t thisMachine();

ProcessIdentity thisProcess();

// Whether the process of this machine that had `identity` has surely ended:
// no process has its pid, or the one that has it started at another time.
// False whenever that cannot be told.
bool processEnded(const ProcessIdentity& identity);

// FNV-1a, 64 bits: identities are compared, never trusted for more.
inline std::uint64_t identityHash(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}
