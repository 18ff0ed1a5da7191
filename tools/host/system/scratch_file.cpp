#include "system/scratch_file.h"

#include <system_error>

#include "system/temp_files.h"
#include "system/utf8_name.h"
#include "text/failure_reason.h"
#include "text/messages.h"

namespace fs = std::filesystem;

ScratchFile::ScratchFile(const std::string& bytes) {
    std::error_code code;
    const fs::path folder = fs::temp_directory_path(code);
    if (code) {
        error_ = failedWith(N_("no temporary folder"), code.message());
        return;
    }
    // What runs of ours killed before they removed theirs left.
    static TempFileSweep sweep;
    sweep.once(folder);
    std::string why;
    if (!file_.create(folder, NativeTempFile::Use::Scratch, true, why) || !file_.write(bytes, why) ||
        !file_.finish(why)) {
        error_ = tr("a scratch file in %1$s: %2$s", {utf8Name(folder), why});
        file_ = NativeTempFile();  // removed
    }
}
