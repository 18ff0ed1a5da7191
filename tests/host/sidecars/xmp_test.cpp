// pixtagger-host classify --xmp end to end, on every build: sidecars
// created, left untouched, brought up to date around what other programs
// wrote, refused when they are not XMP or cannot be written, no temporary
// file outliving its run, and (Linux) read back by exiftool.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "host_run.h"
#include "image_files.h"
#include "system/process_identity.h"
#include "system/program_location.h"
#include "system/temp_name.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The JSON of a changed sidecar at `path`, its backslashes (Windows) escaped.
std::string changedSidecar(std::string path) {
    for (std::size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, 1, '\\');
    return "\"sidecar\":\"" + path + "\",\"sidecar_changed\":true}";
}

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// What other programs left in a sidecar: keywords ("tiny" among them before
// any rule named it), a rating, a darktable history, a namespace Exiv2 does
// not know.
const char* const kForeign = R"(<?xml version="1.0" encoding="UTF-8"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
 <rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmlns:dc="http://purl.org/dc/elements/1.1/"
   xmlns:darktable="http://darktable.sf.net/" xmlns:acme="http://example.com/acme/1.0/" xmp:Rating="3" acme:Mood="calm">
  <darktable:history><rdf:Seq><rdf:li darktable:operation="exposure" darktable:enabled="1"/></rdf:Seq></darktable:history>
  <dc:subject><rdf:Bag><rdf:li>holiday</rdf:li><rdf:li>tiny</rdf:li></rdf:Bag></dc:subject>
 </rdf:Description>
</rdf:RDF></x:xmpmeta>)";

class Xmp : public ::testing::Test {
protected:
    void SetUp() override {
        fs::permissions(dir.path(), fs::perms(0755));  // reachable by the unprivileged user of one case
        fs::create_directory(images);
        writePng(png, 20, 10);  // 200 px: small [Size] and tiny
        writeRules("small", 2);
    }

    // Below 1000 px `name` in category Size; below 500 px tiny, no category.
    void writeRules(const std::string& name, int count) {
        writeBytes(rules, "[Conditions]\r\nnum=" + std::to_string(count) + "\r\n[Condition0]\r\n_attName=" + name +
                              "\r\n_catName=Size\r\n_type=0\r\n_a=1000\r\n_cmbA=0\r\n"
                              "[Condition1]\r\n_attName=tiny\r\n_type=0\r\n_a=500\r\n_cmbA=0\r\n");
    }

    HostRun xmp(std::vector<std::string> args, const std::string& launcher = "", const std::string& program = "") {
        args.insert(args.begin(), {"classify", "--xmp", "--config", rules});
        return runHost(args, dir, "", launcher, program);
    }

    TempDir dir;
    fs::path images = dir.path() / "images";
    std::string png = (images / "a.png").string();
    std::string sidecar = png + ".xmp";
    std::string rules = dir.file("rules.ini");
};

TEST_F(Xmp, CreatesASidecarOnlyForKeywordsThenLeavesItUntouched) {
    writePng((images / "big.png").string(), 1500, 1500);  // matches no rule
    HostRun run = xmp({"--json", images.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, changedSidecar(sidecar))) << run.out;
    EXPECT_TRUE(has(run.out, "\"sidecar\":null,\"sidecar_changed\":false}")) << run.out;
    EXPECT_TRUE(has(run.err, "sidecars: 1 created, 0 updated, 0 unchanged, 0 failed")) << run.err;
    const std::string bytes = readBytes(sidecar);
    for (const char* item : {"<rdf:li>Size|small</rdf:li>", "<rdf:li>Size/small</rdf:li>", "<rdf:li>small</rdf:li>"})
        EXPECT_EQ(count(bytes, item), 2u) << item << bytes;  // the property and our record of it
    EXPECT_EQ(count(bytes, "<rdf:li>tiny</rdf:li>"), 6u) << bytes;

    const auto earlier = fs::last_write_time(sidecar) - std::chrono::hours(1);
    fs::last_write_time(sidecar, earlier);
    run = xmp({"--json", png});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, "\"sidecar_changed\":false}")) << run.out;
    EXPECT_TRUE(has(run.err, "sidecars: 0 created, 0 updated, 1 unchanged, 0 failed")) << run.err;
    EXPECT_EQ(readBytes(sidecar), bytes);
    EXPECT_EQ(fs::last_write_time(sidecar), earlier);
    EXPECT_EQ(entries(images), 3u);  // no temporary file left, no sidecar for big.png
}

TEST_F(Xmp, ARuleChangeRemovesOnlyOurStaleValues) {
    writeBytes(sidecar, kForeign);
    fs::permissions(sidecar, fs::perms(0640));
    EXPECT_EQ(xmp({png}).status, 0);
    writeRules("little", 2);  // small renamed
    const std::string before = readBytes(sidecar);
    HostRun run = xmp({"--dry-run", png});
    EXPECT_TRUE(has(run.out, "\n  would update " + sidecar + ": - lr:hierarchicalSubject \"Size|small\", ")) << run.out;
    EXPECT_TRUE(has(run.out, ", + dc:subject \"little\"\n")) << run.out;
    EXPECT_EQ(readBytes(sidecar), before);

    run = xmp({png});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string bytes = readBytes(sidecar);
    EXPECT_FALSE(has(bytes, "small")) << bytes;
    for (const char* kept : {"<rdf:li>holiday</rdf:li>", "xmp:Rating=\"3\"", "acme:Mood=\"calm\"",
                             "darktable:operation=\"exposure\"", "<rdf:li>Size|little</rdf:li>"})
        EXPECT_TRUE(has(bytes, kept)) << kept << bytes;
#if !defined(_WIN32)
    EXPECT_EQ(fs::status(sidecar).permissions(), fs::perms(0640));
#endif

    writeRules("little", 0);  // no rules: our values go, the user's own "tiny" stays
    EXPECT_EQ(xmp({png}).status, 0);
    bytes = readBytes(sidecar);
    EXPECT_EQ(count(bytes, "<rdf:li>tiny</rdf:li>"), 1u) << bytes;
    EXPECT_FALSE(has(bytes, "little")) << bytes;
    EXPECT_TRUE(has(xmp({png}).err, "0 updated, 1 unchanged")) << readBytes(dir.file("stderr.txt"));
}

TEST_F(Xmp, LightroomSidecarsAreUpdatedAndRawFilesGiveTheirFullSize) {
    // Of a RAW+JPEG pair the raw file owns <name>.xmp, as in Lightroom.
    writePng((images / "b.png").string(), 20, 10);
    writePreviewFirstTiff((images / "b.nef").string(), 16, 12, 40, 20);
    writePreviewFirstTiff((images / "c.dng").string(), 16, 12, 60, 10);
    writeCr3((images / "d.CR3").string(), 30, 20);  // a raw file too, beside its HEIC
    writeHeif((images / "d.HEIC").string(), {{20, 10}});
    writeHeif((images / "e.heic").string(), {{20, 10}});
    for (const char* name : {"b.xmp", "c.xmp", "d.xmp", "e.xmp"}) writeBytes((images / name).string(), kForeign);
    const HostRun run = xmp({"--json", images.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string folder = (images / "").string();
    EXPECT_TRUE(has(run.out, "\"width\":40,\"height\":20,")) << run.out;
    EXPECT_TRUE(has(run.out, "\"width\":60,\"height\":10,")) << run.out;
    for (const char* sidecarName : {"b.xmp", "c.xmp", "b.png.xmp", "d.xmp", "d.HEIC.xmp", "e.xmp"})
        EXPECT_TRUE(has(run.out, changedSidecar(folder + sidecarName))) << run.out;
    EXPECT_TRUE(has(readBytes(folder + "c.xmp"), "<rdf:li>Size|small</rdf:li>"));
    EXPECT_FALSE(fs::exists(folder + "b.nef.xmp") || fs::exists(folder + "c.dng.xmp"));
}

TEST_F(Xmp, ASidecarThatIsNotXmpIsNamedAndLeftAsItIs) {
    const std::string next = (images / "b.png").string();
    writePng(next, 20, 10);
    const struct {
        const char* bytes;
        const char* reason;
    } cases[] = {
        {"", "not an XMP file"},
        {"<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF",
         "not valid XMP"},
    };
    for (const auto& c : cases) {
        writeBytes(sidecar, c.bytes);
        const HostRun run = xmp({png, next});
        EXPECT_EQ(run.status, 1) << c.reason;
        EXPECT_EQ(linesOf(run.out).size(), 2u) << run.out;  // classified all the same
        EXPECT_TRUE(has(run.err, "pixtagger-host: " + sidecar + ": " + c.reason)) << run.err;
        EXPECT_EQ(readBytes(sidecar), c.bytes);
        EXPECT_TRUE(fs::exists(next + ".xmp")) << "the run goes on";
    }
}

// Sidecars as other programs and people leave them: each case's file is
// either brought in line with every value of theirs kept, or named with the
// reason and left byte for byte as it was.
TEST_F(Xmp, SidecarsAsOthersLeaveThemAreKeptWholeOrLeftAlone) {
    // A packet whose description holds `attributes` and `body`.
    const auto packet = [](const std::string& attributes, const std::string& body) {
        return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
               "<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" " +
               attributes + ">" + body + "</rdf:Description></rdf:RDF></x:xmpmeta>";
    };
    const std::string ours = "xmlns:pixtagger=\"http://pixtagger.invalid/xmp/1.0/\"";
    const std::string rules2 = dir.file("rules2.ini");  // "small" gone: only "tiny" matches
    writeBytes(rules2, "[Conditions]\r\nnum=1\r\n[Condition0]\r\n_attName=tiny\r\n_type=0\r\n_a=500\r\n_cmbA=0\r\n");
    const struct {
        const char* name;
        std::string file;  // the sidecar's bytes
        const char* reason;  // on stderr, the file left as it was; null: edited, keeping `kept` byte for byte
        std::vector<std::string> kept;
        bool smallGone = false;  // rules where "small" no longer applies
    } cases[] = {
        {"our value recorded twice, no longer applying",
         packet(ours,
                "<pixtagger:dcSubject><rdf:Bag><rdf:li>small</rdf:li><rdf:li>small</rdf:li></rdf:Bag>"
                "</pixtagger:dcSubject><dc:subject><rdf:Bag><rdf:li>small</rdf:li><rdf:li>small</rdf:li>"
                "</rdf:Bag></dc:subject>"),
         nullptr,
         {"<dc:subject><rdf:Bag><rdf:li>small</rdf:li><rdf:li>tiny</rdf:li></rdf:Bag>"},  // the user's copy stays
         true},
        {"references, CDATA, a comment",
         packet("xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Label=\"It&#x27;s\"",
                "<dc:subject><rdf:Bag><rdf:li>Rock &#x26; Roll</rdf:li><!-- mine --><rdf:li><![CDATA[a<b]]></rdf:li>"
                "</rdf:Bag></dc:subject>"),
         nullptr,
         {"xmp:Label=\"It&#x27;s\"",
          "<rdf:li>Rock &#x26; Roll</rdf:li><!-- mine --><rdf:li><![CDATA[a<b]]></rdf:li>"
          "<rdf:li>small</rdf:li>"}},
        {"declared Latin-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
             packet("", "<dc:creator><rdf:Seq><rdf:li>caf\xE9</rdf:li><rdf:li/></rdf:Seq></dc:creator>"),
         nullptr,
         {"<dc:creator><rdf:Seq><rdf:li>caf\xE9</rdf:li><rdf:li/></rdf:Seq></dc:creator>",
          "<rdf:li>Size|small</rdf:li>"}},
        {"Adobe's rdf:about",
         packet("rdf:about=\"uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b\"", "<dc:format>image/png</dc:format>"),
         nullptr,
         {"<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
          "rdf:about=\"uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b\""}},
        {"our prefix bound elsewhere",
         packet("xmlns:pixtagger=\"http://example.com/other/\" pixtagger:dcSubject=\"x\"", ""),
         nullptr,
         {"pixtagger:dcSubject=\"x\"", "<pixtagger2:dcSubject>"}},
        // Exiv2 reads such a namespace as dc itself: beside a real
        // dc:subject, Exiv2's programs would lose one or the other.
        {"a namespace that is dc's but for its final slash",
         packet("xmlns:dc1=\"http://purl.org/dc/elements/1.1\"",
                "<dc1:subject><rdf:Bag><rdf:li>x</rdf:li></rdf:Bag></dc1:subject>"),
         "Exiv2 would read dc:subject otherwise than meant",
         {}},
        {"a simple value", packet("dc:subject=\"x\"", ""), "dc:subject is a simple value, not a list", {}},
        {"NUL padding", packet("", "") + std::string(8, '\0'), "not valid XMP", {}},
        {"larger than any sidecar", packet("", "") + std::string(5 << 20, ' '), "larger than 4 MiB", {}},
    };
    for (const auto& c : cases) {
        const std::string& file = c.file;
        writeBytes(sidecar, file);
        const HostRun run = runHost({"classify", "--xmp", "--config", c.smallGone ? rules2 : rules, png}, dir);
        const std::string after = readBytes(sidecar);
        if (c.reason != nullptr) {
            EXPECT_EQ(run.status, 1) << c.name;
            EXPECT_TRUE(has(run.err, sidecar + ": " + c.reason)) << c.name << run.err;
            EXPECT_EQ(after, file) << c.name;
            continue;
        }
        EXPECT_EQ(run.status, 0) << c.name << run.err;
        for (const std::string& value : c.kept) EXPECT_TRUE(has(after, value)) << c.name << ": " << value << after;
    }
}

// Which image owns Lightroom's <base>.xmp is the folder's to say, and a file
// that is the sidecar of two images is nobody's to rewrite.
TEST_F(Xmp, ASidecarOfAnotherImageIsLeftAlone) {
    const std::string raw = (images / "IMG_1.DNG").string(), jpeg = (images / "IMG_1.JPG").string();
    const std::string lightroom = (images / "IMG_1.xmp").string();
    writeTiff(raw, 20, 10);
    writePng(jpeg, 20, 10);
    writeBytes(lightroom, kForeign);
    const std::string user = (images / ".notes.xmp.2023-12.tmp").string();  // a name like our temporary files'
    writeBytes(user, "mine");
    EXPECT_EQ(xmp({jpeg}).status, 0);
    EXPECT_EQ(readBytes(lightroom), kForeign) << "the raw file's";
    EXPECT_TRUE(fs::exists(jpeg + ".xmp"));
    EXPECT_EQ(readBytes(user), "mine");
#if !defined(_WIN32)
    writeBytes(sidecar, kForeign);
    const std::string link = (images / "b.png").string();
    writePng(link, 20, 10);
    fs::create_symlink("a.png.xmp", link + ".xmp");
    const HostRun run = xmp({images.string()});
    EXPECT_TRUE(has(run.err, link + ".xmp: a link to the sidecar of ")) << run.err;
#endif
}

// A killed run's named temporary files (no O_TMPFILE, too few descriptors,
// killed right at a rename) go with the next run writing in their folder.
TEST_F(Xmp, ARunRemovesOnlyTheTemporaryFilesOfProcessesThatAreGone) {
    const ProcessIdentity self = thisProcess();
    const struct {
        std::string name;
        bool kept;
    } files[] = {{formatTempName({thisMachine(), 2147483644, 1, 0}), false},  // a run of ours here that ended
                 {formatTempName({thisMachine(), self.pid, self.started, 0}), true},  // another run, going on
                 {formatTempName({thisMachine() ^ 1, 2147483644, 1, 0}), true},  // another machine's
                 {".notes.xmp.2023-12.tmp", true},  // a user's
                 {".a.png.xmp.2147483644-0.tmp", true}};
    for (const auto& f : files) writeBytes((images / f.name).string(), "x");
    EXPECT_EQ(xmp({"--dry-run", png}).status, 0);
    EXPECT_TRUE(fs::exists(images / files[0].name)) << "a dry run writes nothing";
    EXPECT_EQ(xmp({png}).status, 0);
    for (const auto& f : files) EXPECT_EQ(fs::exists(images / f.name), f.kept) << f.name;
}

// A rename would replace it on POSIX and under Wine: the refusal is ours,
// as Windows' own rename refuses.
TEST_F(Xmp, AReadOnlySidecarIsLeftAsItIs) {
    writeBytes(sidecar, kForeign);
    fs::permissions(sidecar, fs::perms(0444));  // the read-only attribute on Windows
    const HostRun run = xmp({png});
    EXPECT_TRUE(has(run.err, sidecar + ": read-only; left as it is")) << run.err;
    EXPECT_EQ(readBytes(sidecar), kForeign);
}

#if !defined(_WIN32)
TEST_F(Xmp, AHostKilledPartWayLeavesNoTemporaryFileAfterTheNextRun) {
    for (int i = 0; i < 300; ++i) writePng((images / ("b" + std::to_string(i) + ".png")).string(), 20, 10);
    // Killed once a named temporary file is there (with few descriptors most
    // staged files get a name, as without O_TMPFILE), wherever the run is then.
    xmp({images.string()}, "prlimit --nofile=64 sh -c '\"$@\" & i=0; until ls -A " + images.string() +
                               " | grep -q tmp || [ $i -gt 2000 ]; do i=$((i+1)); done; kill -9 $!; wait' sh");
    EXPECT_EQ(xmp({images.string()}).status, 0) << readBytes(dir.file("stderr.txt"));
    EXPECT_EQ(entries(images), 602u);  // each image and its sidecar, nothing else
}

TEST_F(Xmp, AFolderThatCannotBeWrittenFailsItsSidecarsOnly) {
    // Root writes anywhere (CI runs as root): the host runs as nobody then,
    // from copies in this test's own folder, since nobody may not enter the
    // build folder (a clone under /root or a mktemp -d folder is 0700).
    const std::string launcher = ::getuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    const fs::path bin = dir.path() / "bin";
    fs::create_directory(bin);
    for (const char* file : {"pixtagger-host", "pixtagger.so"}) fs::copy_file(programDirectory() / file, bin / file);
    fs::permissions(images, fs::perms(0555));
    const HostRun run = xmp({png}, launcher, (bin / "pixtagger-host").string());
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(linesOf(run.out).size(), 1u) << run.out;
    EXPECT_TRUE(has(run.err, sidecar + ": cannot create a file in its folder: Permission denied")) << run.err;
    EXPECT_TRUE(has(run.err, "sidecars: 0 created, 0 updated, 0 unchanged, 1 failed")) << run.err;
    EXPECT_EQ(entries(images), 1u);
}

// The text after `open` up to the next quote, searched from `at`, which is
// left on that quote (npos, with an empty text, when `open` is not there).
std::string quotedAfter(const std::string& line, const std::string& open, std::size_t& at) {
    const std::size_t start = line.find(open, at);
    if (start == std::string::npos) {
        at = std::string::npos;
        return std::string();
    }
    const std::size_t from = start + open.size();
    at = line.find('"', from);
    return line.substr(from, at == std::string::npos ? std::string::npos : at - from);
}

// exiftool, a reader we did not write, lists each property as the JSON
// output's attributes say: dc:subject "A", lr "C|A", digiKam "C/A".
TEST_F(Xmp, ExiftoolReadsTheExampleSidecarsAsTheJsonListsThem) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test runs on one thread
    if (std::system("exiftool -ver > /dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
    const fs::path examples = programDirectory() / ".." / ".." / "examples";
    fs::remove(png);
    fs::copy(examples / "images", images);  // the sidecars land in the copy, never in the repository
    const HostRun run = runHost({"classify", "--xmp", "--json", "--config", (examples / "rules.ini").string(),
                                 images.string()},
                                dir);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(linesOf(run.out).size(), entries(examples / "images"));
    for (const std::string& line : linesOf(run.out)) {
        std::size_t at = 0;
        const std::string sidecar = quotedAfter(line, "\"sidecar\":\"", at);
        ASSERT_FALSE(sidecar.empty()) << line;
        std::string dc, lr, digiKam;
        for (at = 0;;) {  // the example rules all have a category
            const std::string name = quotedAfter(line, "{\"name\":\"", at);
            if (at == std::string::npos) break;
            const std::string category = quotedAfter(line, "\"category\":\"", at);
            const std::string separator = dc.empty() ? "" : ", ";
            dc.append(separator).append(name);
            lr.append(separator).append(category).append("|").append(name);
            digiKam.append(separator).append(category).append("/").append(name);
        }
        const std::string command =
            "exiftool -q -sep ', ' -p '$XMP-dc:Subject;$XMP-lr:HierarchicalSubject;"
            "$XMP-digiKam:TagsList' '" +
            sidecar + "'";
        std::FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string read;
        char buffer[1024];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) read.append(buffer, n);
        pclose(pipe);
        EXPECT_EQ(read, dc.append(";").append(lr).append(";").append(digiKam).append("\n")) << line;
    }
}

#endif

}  // namespace
