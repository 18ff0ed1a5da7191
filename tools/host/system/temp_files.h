// Our temporary files' fresh names, and removing those a run that ended
// without cleaning up left behind.
#pragma once

#include <filesystem>
#include <mutex>
#include <set>

// A name of temp_name.h's form for this machine and process, never given
// twice by this process.
std::filesystem::path freshTempName();

// Removes, once per folder, the regular files in it named by a run of ours
// on this machine that has surely ended. Anything else stays: names not of
// exactly our form, those of another machine, of a run still going (another
// worker of this one among them), or of a process that cannot be judged.
class TempFileSweep {
public:
    void once(const std::filesystem::path& folder);

private:
    std::mutex mutex_;
    std::set<std::filesystem::path> swept_;
};
