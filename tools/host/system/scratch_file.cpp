#include "system/scratch_file.h"

#include <system_error>

#include "system/temp_files.h"
#include "system/utf8_name.h"

namespace fs = std::filesystem;

ScratchFile::ScratchFile(const std::string& bytes) {
    std::error_code code;
    const fs::path folder = fs::temp_directory_path(code);
    if (code) {
        error_ = "no temporary folder: " + code.message();
        return;
    }
    // What runs of ours killed before they removed theirs left.
    static TempFileSweep sweep;
    sweep.once(folder);
    std::string why;
    if (!file_.create(folder, NativeTempFile::Use::Scratch, true, why) || !file_.write(bytes, why) ||
        !file_.finish(why)) {
        error_ = "a scratch file in " + utf8Name(folder) + ": " + why;
        file_ = NativeTempFile();  // removed
    }
}
