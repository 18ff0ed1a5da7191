// Writes N small image files of mixed formats and sizes into a folder, for
// timing pixtagger-host against other tools on the same files. The JPEG, GIF
// and WebP files are copies of the shipped examples.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image_files.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_bench_images FOLDER COUNT EXAMPLES_IMAGES_FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    const fs::path examples = argv[3];
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%06d", i);
        const std::uint32_t w = 16 + static_cast<std::uint32_t>(i % 48), h = 16 + static_cast<std::uint32_t>(i % 37);
        const std::string base = (folder / name).string();
        switch (i % 6) {
        case 0: writePng(base + ".png", w, h); break;
        case 1: writeBmp(base + ".bmp", w, h); break;
        case 2: writeTiff(base + ".tif", w, h); break;
        case 3: fs::copy_file(examples / "screen.jpg", base + ".jpg", fs::copy_options::overwrite_existing); break;
        case 4: fs::copy_file(examples / "thumb.gif", base + ".gif", fs::copy_options::overwrite_existing); break;
        default: fs::copy_file(examples / "photo.webp", base + ".webp", fs::copy_options::overwrite_existing); break;
        }
    }
    return 0;
}
