#include "system/temp_files.h"

#include <atomic>
#include <optional>
#include <system_error>

#include "system/process_identity.h"
#include "system/temp_name.h"

namespace fs = std::filesystem;

fs::path freshTempName() {
    static std::atomic<std::uint64_t> counter{0};
    const ProcessIdentity self = thisProcess();
    return formatTempName({thisMachine(), self.pid, self.started, counter++});
}

void TempFileSweep::once(const fs::path& folder) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!swept_.insert(folder).second) return;
    }
    std::error_code code;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, code), end; !code && it != end;
         it.increment(code)) {
        const std::optional<TempName> name = parseTempName(it->path().filename());
        if (!name || name->machine != thisMachine()) continue;
        std::error_code ignored;  // a file that cannot be looked at or removed stays
        if (it->symlink_status(ignored).type() == fs::file_type::regular && processEnded({name->pid, name->process}))
            fs::remove(it->path(), ignored);
    }
}
