// AtomicFileGroup's policy, on every build (natively and under wine64): what
// may be replaced and when, whose temporary files a run removes, and, as
// root on Linux, what another user's file is.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include "system/atomic_file.h"
#include "system/process_identity.h"
#include "system/temp_name.h"
#include "temp_dir.h"

namespace atomic_file_test {

namespace fs = std::filesystem;

const char* const kChanged = "changed by another program while being updated; left as it is";

enum class When { Never, BeforeStage, BeforeCommit };

struct Replacement {
    std::string error;  // empty: in place
    std::string before;  // the target's bytes right before the commit
};

// The shared driver: `bytes` staged for `target` as it was when `expected`
// was taken, `meanwhile` run at `when`, then committed.
Replacement replaceFile(const fs::path& target, const std::string& bytes, const std::optional<FileStamp>& expected,
                        When when = When::Never, const std::function<void()>& meanwhile = {}) {
    AtomicFileGroup group;
    Replacement result;
    if (when == When::BeforeStage) meanwhile();
    if (!group.stage(0, target, bytes, expected, result.error)) {
        result.before = readBytes(target.string());
        return result;
    }
    if (when == When::BeforeCommit) meanwhile();
    result.before = readBytes(target.string());
    for (const AtomicFileGroup::Outcome& outcome : group.commit()) result.error = outcome.error;
    return result;
}

std::size_t oursIn(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) n += parseTempName(entry.path().filename()) ? 1 : 0;
    return n;
}

TEST(TempName, OnlyNamesOfExactlyOurFormAreOurs) {
    const TempName sample{0x0123456789abcdefULL, 4242, 0xfedcba9876543210ULL, 7};
    EXPECT_EQ(formatTempName(sample), ".pixtagger-0123456789abcdef-4242-fedcba9876543210-7.tmp");
    const struct {
        const char* name;
        bool ours;
    } cases[] = {
        {".pixtagger-0123456789abcdef-4242-fedcba9876543210-7.tmp", true},
        {".pixtagger-0000000000000000-4294967295-ffffffffffffffff-18446744073709551615.tmp", true},
        {".notes.xmp.2023-12.tmp", false},  // a user's
        {".a.png.xmp.4242-0.tmp", false},  // the form before machine and start were in the name
        {".pixtagger-0123456789ABCDEF-4242-fedcba9876543210-7.tmp", false},
        {".pixtagger-0123456789abcdef-04242-fedcba9876543210-7.tmp", false},
        {".pixtagger-0123456789abcdef-0-fedcba9876543210-7.tmp", false},
        {".pixtagger-0123456789abcdef-4294967296-fedcba9876543210-7.tmp", false},
        {".pixtagger-0123456789abcdef-4242-fedcba9876543210-18446744073709551616.tmp", false},
        {".pixtagger-0123456789abcdef-4242-fedcba9876543210-7.tmp.xmp", false},
        {"pixtagger-0123456789abcdef-4242-fedcba9876543210-7.tmp", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const std::optional<TempName> parsed = parseTempName(c.name);
        EXPECT_EQ(parsed.has_value(), c.ours) << c.name;
        if (parsed) {
            EXPECT_EQ(formatTempName(*parsed), c.name);  // one spelling per name
        }
    }
    EXPECT_EQ(parseTempName(formatTempName(sample)), sample);
}

TEST(AtomicFile, AFileIsReplacedOnlyWhileItIsTheOneReadAndWritable) {
    const auto readOnly = [](const fs::path& f) { fs::permissions(f, fs::perms(0444)); };  // Windows: the attribute
    const auto rewrite = [](const fs::path& f) { writeBytes(f.string(), "another program's longer bytes"); };
    const auto remove = [](const fs::path& f) { fs::remove(f); };
    const struct {
        const char* what;
        bool existed;
        When when;
        std::function<void(const fs::path&)> meanwhile;
        const char* error;
    } cases[] = {
        {"nothing", true, When::Never, nullptr, ""},
        {"made read-only before staging", true, When::BeforeStage, readOnly, "read-only; left as it is"},
        {"made read-only before the rename", true, When::BeforeCommit, readOnly, "read-only; left as it is"},
        {"rewritten before staging", true, When::BeforeStage, rewrite, kChanged},
        {"rewritten before the rename", true, When::BeforeCommit, rewrite, kChanged},
        {"removed before the rename", true, When::BeforeCommit, remove, kChanged},
        {"made before the rename", false, When::BeforeCommit, rewrite,
         "made by another program meanwhile; left as it is"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const fs::path target = dir.path() / "a.png.xmp";
        if (c.existed) writeBytes(target.string(), "old");
        const Replacement r = replaceFile(target, "new", fileStamp(target), c.when, [&] { c.meanwhile(target); });
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(readBytes(target.string()), r.error.empty() ? "new" : r.before) << c.what;
        EXPECT_EQ(oursIn(dir.path()), 0u) << c.what;
    }
}

TEST(AtomicFile, ARunRemovesOnlyItsOwnTemporaryFilesOfRunsThatEndedHere) {
    const TempDir dir;
    const ProcessIdentity self = thisProcess();
    const auto ours = [&](std::uint64_t machine, std::uint32_t pid, std::uint64_t started) {
        return formatTempName({machine, pid, started, 999999});
    };
    const std::uint32_t noSuchPid = 2147483644;
    const struct {
        std::string name;
        bool kept;
    } files[] = {
        {ours(thisMachine(), self.pid, self.started ^ 1), false},  // this pid, an earlier process (a container's)
        {ours(thisMachine(), noSuchPid, 1), false},
        {ours(thisMachine(), self.pid, self.started), true},  // this run's own
        {ours(thisMachine() ^ 1, noSuchPid, 1), true},  // another machine's on a shared folder
        {".notes.xmp.2023-12.tmp", true},  // a user's
        {".a.png.xmp.2147483644-0.tmp", true},
    };
    for (const auto& f : files) writeBytes((dir.path() / f.name).string(), "x");
    EXPECT_EQ(replaceFile(dir.path() / "a.png.xmp", "new", std::nullopt).error, "");
    for (const auto& f : files) EXPECT_EQ(fs::exists(dir.path() / f.name), f.kept) << f.name;
}

#if !defined(_WIN32)
// Alice's sidecar in a folder her group shares (2775), replaced by Bob: he
// must not take it from her, whatever the folder lets him do.
TEST(AtomicFile, AnotherUsersFileIsNotTakenFromThem) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to play two users";
    const uid_t alice = 12345, bob = 12346;
    const gid_t shared = 12347;
    const struct {
        const char* what;
        uid_t owner;
        gid_t group;
        mode_t mode;
        const char* error;
    } cases[] = {
        {"Alice's, 0644", alice, shared, 0644, "read-only for this user; left as it is"},
        {"Alice's, 0664", alice, shared, 0664, "owned by another user; left as it is"},
        {"Bob's, of root's group", bob, 0, 0664, "of a group this user is not in; left as it is"},
        {"Bob's", bob, shared, 0660, ""},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const fs::path folder = dir.path() / "shared", target = folder / "web.png.xmp";
        fs::create_directory(folder);
        ASSERT_EQ(::chown(folder.c_str(), 0, shared), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
        writeBytes(target.string(), "old");
        ASSERT_EQ(::chown(target.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        const std::optional<FileStamp> stamp = fileStamp(target);
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {  // Bob
            const bool became = ::setgroups(1, &shared) == 0 && ::setresgid(shared, shared, shared) == 0 &&
                                ::setresuid(bob, bob, bob) == 0;
            const std::string error = became ? replaceFile(target, "new", stamp).error : "cannot become Bob";
            ::_exit(::write(out[1], error.data(), error.size()) == static_cast<ssize_t>(error.size()) ? 0 : 1);
        }
        ::close(out[1]);
        char error[256];
        const ssize_t n = ::read(out[0], error, sizeof error);
        ::close(out[0]);
        ::waitpid(child, nullptr, 0);
        EXPECT_EQ(std::string(error, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), c.error) << c.what;
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(readBytes(target.string()), c.error[0] == '\0' ? "new" : "old") << c.what;
        EXPECT_EQ(std::make_tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::make_tuple(c.owner, c.group, c.mode))
            << c.what;
        EXPECT_EQ(oursIn(folder), 0u) << c.what;
    }
}
#endif

}  // namespace atomic_file_test
