// The order pixtagger-host classifies images in, reading folder by folder:
// that of their whole paths, links followed or not, and an image named twice
// tagged at its first place only.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host_run.h"
#include "image_files.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

class FolderOrder : public ::testing::Test {
protected:
    // Tiny images at `names` under photos/; their paths in the order of the whole path.
    std::vector<std::string> images(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            const fs::path path = (photos / name).make_preferred();
            fs::create_directories(path.parent_path());
            writePng(path.string(), 20, 10);
            paths.push_back(path.string());
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    // The lines of a classify run, each cut at its first tab.
    std::vector<std::string> classified(std::vector<std::string> args) {
        writeBytes(dir.file("rules.ini"),
                   "[Conditions]\r\nnum=1\r\n[Condition0]\r\n_attName=small\r\n_type=0\r\n_a=1000\r\n_cmbA=0\r\n");
        args.insert(args.begin(), {"classify", "--config", dir.file("rules.ini")});
        const HostRun run = runHost(args, dir);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> lines = linesOf(run.out);
        for (std::string& line : lines) line.erase(std::min(line.find('\t'), line.size()));
        return lines;
    }

    TempDir dir;
    fs::path photos = dir.path() / "photos";
};

// '-' and '.' sort before either separator, '0' between '/' and '\', '_' after both.
TEST_F(FolderOrder, ImagesComeInTheOrderOfTheirWholePaths) {
    const auto expected = images({"b.png", "b-c.png", "b0.png", "b_.png", "b/x.png", "b/c/y.png", "b-c/z.png", "a.png"});
    EXPECT_EQ(classified({photos.string()}), expected);
}

#if !defined(_WIN32)
// Links after the real folders: a.link names none of real/'s images, m/
// keeps its place among the names, and `elsewhere` is not walked again.
TEST_F(FolderOrder, FollowedLinksKeepTheOrderAndTheRealFoldersNames) {
    const auto expected = images({"b.png", "real/x.png", "m/o.png", "m/sub/p.png"});
    fs::rename(photos / "m", dir.path() / "elsewhere");
    fs::create_directory_symlink("real", photos / "a.link");
    fs::create_directory_symlink(dir.path() / "elsewhere", photos / "m");
    EXPECT_EQ(classified({"-L", photos.string(), (dir.path() / "elsewhere").string()}), expected);
}
#endif

// Given again, inside another path given, or by another spelling: past the
// first few thousand files too, only an image's first line has a sidecar.
TEST_F(FolderOrder, AnImageNamedTwiceIsTaggedAtItsFirstPlaceOnly) {
    std::vector<std::string> names = {"b/x.png", "b/c/y.png"};
    for (int i = 0; i < 4100; ++i) names.push_back("a/" + std::to_string(i) + ".png");
    images(names);
    const auto lines = classified({"--xmp", "--dry-run", "--json", (photos / "b").string(), photos.string(),
                                   (photos / "b" / ".." / "b" / "x.png").string()});
    ASSERT_EQ(lines.size(), names.size() + 3);
    std::set<fs::path> seen;
    for (const std::string& line : lines) {
        const std::size_t start = line.find(":\"") + 2;  // {"path":"…, on Windows with doubled backslashes
        const fs::path path = fs::path(line.substr(start, line.find('"', start) - start)).lexically_normal();
        EXPECT_EQ(line.find("\"sidecar\":null") != std::string::npos, !seen.insert(path).second) << line;
    }
}

}  // namespace
