// Videos from ffmpeg, one of each container and codec the host reads, on
// every build: each gets ffprobe's stored width and height (after a
// transport stream's cropping) and exiftool's rotation, as the fixture
// script wrote them down; a file cut before its moov is named; keywords go
// to <name>.<ext>.xmp, never inside.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "host_run.h"
#include "image_files.h"
#include "system/program_location.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

const fs::path kVideos = programDirectory() / "video-files";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Videos, EachGetsItsStoredSizeAndRotation) {
    TempDir dir;
    std::map<std::string, std::string> expected;  // name: its JSON members
    std::ifstream table(kVideos / "expected.tsv");
    for (std::string name, width, height, rotation; table >> name >> width >> height >> rotation;) {
        std::string& members = expected[name];
        members.append("\"width\":").append(width).append(",\"height\":").append(height).append(",\"area\":");
        members.append(std::to_string(std::stoll(width) * std::stoll(height))).append(",\"kind\":\"video\"");
        if (rotation != "-") members.append(",\"rotation\":").append(rotation);
        members.append(",\"attributes\"");
    }
    ASSERT_GE(expected.size(), 15u);
    const std::string rules = dir.file("rules.ini");
    writeBytes(rules, "[Conditions]\r\nnum=0\r\n");
    // Read where they are: big.mp4 is sparse, 4.5 GiB once copied.
    const HostRun run = runHost({"classify", "--json", "--config", rules, kVideos.u8string()}, dir);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(has(run.err, "cut.mp4: its mdat box at byte 40 runs past the end of the file")) << run.err;
    for (const std::string& line : linesOf(run.out)) {
        const std::string name = fs::path(line.substr(9, line.find("\",") - 9)).filename().string();
        ASSERT_EQ(expected.count(name), 1u) << line;
        EXPECT_TRUE(has(line, expected[name])) << line << "\nexpected " << expected[name];
        expected.erase(name);
    }
    EXPECT_TRUE(expected.empty()) << expected.begin()->first << " not classified";
}

TEST(Videos, KeywordsGoToTheirSidecarOnly) {
    TempDir dir;
    const fs::path clip = dir.path() / "clip.mp4";
    fs::copy_file(kVideos / "rotated.mp4", clip);
    fs::copy_file(kVideos / "rotated.mp4", dir.path() / "clip.jpg");  // Lightroom's clip.xmp is a photo's
    writeBytes(dir.file("clip.xmp"), "x");
    const std::string before = readBytes(clip.string());
    const HostRun run = runHost({"classify", "--xmp", "--embed", "--config",
                                 (programDirectory() / ".." / ".." / "examples" / "rules.ini").string(), clip.string()},
                                dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.err, "clip.mp4: a video, never written; --xmp writes its keywords to clip.mp4.xmp")) << run.err;
    EXPECT_EQ(readBytes(clip.string()), before);
    EXPECT_EQ(readBytes(dir.file("clip.xmp")), "x");
    const std::string sidecar = readBytes((clip.string() + ".xmp"));
    EXPECT_TRUE(has(sidecar, "<rdf:li>Web</rdf:li>")) << sidecar;
#if !defined(_WIN32)
    std::FILE* pipe = popen(("exiftool -q -s3 -XMP-dc:Subject '" + clip.string() + ".xmp'").c_str(), "r");
    char read[256] = {};
    const std::size_t n = pipe != nullptr ? std::fread(read, 1, sizeof read - 1, pipe) : 0;
    if (pipe != nullptr) pclose(pipe);
    EXPECT_EQ(std::string(read, n), "Web\n");
#endif
}

}  // namespace
