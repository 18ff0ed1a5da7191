#include "sidecars/lightroom_pairs.h"

#include <system_error>

#include "images/image_extensions.h"
#include "system/name_key.h"

namespace fs = std::filesystem;

const LightroomPairs::Folder& LightroomPairs::folder(const fs::path& path) {
    const auto found = folders_.find(path);
    if (found != folders_.end()) return found->second;
    Folder& folder = folders_[path];
    std::error_code code;  // an unreadable folder has no candidates: no image owns a Lightroom sidecar there
    for (fs::directory_iterator it(path.empty() ? fs::path(".") : path, code), end; !code && it != end;
         it.increment(code)) {
        const fs::path name = it->path().filename();
        std::error_code ignored;
        if (!hasImageExtension(name) || !it->is_regular_file(ignored)) continue;
        Candidates& candidates = folder[nameKey(fs::path(name).replace_extension())];
        ++candidates.images;
        candidates.image = it->path();
        if (hasRawExtension(name)) {
            ++candidates.raws;
            candidates.raw = it->path();
        }
    }
    return folder;
}

fs::path LightroomPairs::owner(const fs::path& folderPath, const fs::path& base) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Folder& candidates = folder(folderPath);
    const auto it = candidates.find(nameKey(base));
    if (it == candidates.end()) return fs::path();
    if (it->second.raws == 1) return it->second.raw;
    return it->second.raws == 0 && it->second.images == 1 ? it->second.image : fs::path();
}

fs::path LightroomPairs::ownerOf(const fs::path& file) {
    const fs::path base = fs::path(file.filename()).replace_extension();
    if (nameKey(file.extension()) != nameKey(".xmp")) return fs::path();
    std::error_code ignored;
    fs::path image = file.parent_path() / base;
    if ((hasImageExtension(base) || hasVideoExtension(base)) && fs::is_regular_file(image, ignored)) return image;
    return owner(file.parent_path(), base);
}
