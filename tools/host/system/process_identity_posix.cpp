#include <signal.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

#include "system/process_identity.h"

namespace {

std::string firstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string bootId() {
    static const std::string id = firstLine("/proc/sys/kernel/random/boot_id");
    return id;
}

// Field 22 of /proc/<pid>/stat, counted after the command's closing
// parenthesis (the command itself may hold spaces and parentheses).
std::optional<std::uint64_t> startTick(std::uint32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::size_t at = close + 1;
    for (int field = 3; field <= 22; ++field) {
        const std::size_t start = stat.find_first_not_of(' ', at);
        if (start == std::string::npos) return std::nullopt;
        at = stat.find(' ', start);
        if (field == 22) {
            try {
                return std::stoull(stat.substr(start, at - start));
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> started(std::uint32_t pid) {
    const std::optional<std::uint64_t> tick = startTick(pid);
    if (!tick || bootId().empty()) return std::nullopt;
    return identityHash(bootId() + "\n" + std::to_string(*tick));
}

}  // namespace

std::uint64_t thisMachine() {
    static const std::uint64_t machine = [] {
        std::string id = firstLine("/etc/machine-id");
        if (id.empty()) id = firstLine("/var/lib/dbus/machine-id");
        struct utsname names {};
        if (::uname(&names) == 0) id += std::string("\n") + names.nodename;
        char ns[64] = {};
        const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        if (n > 0) id += "\n" + std::string(ns, static_cast<std::size_t>(n));
        return identityHash(id);
    }();
    return machine;
}

ProcessIdentity thisProcess() {
    // Looked up again in a forked child, which is another process.
    static std::mutex mutex;
    static ProcessIdentity self;
    const auto pid = static_cast<std::uint32_t>(::getpid());
    const std::lock_guard<std::mutex> lock(mutex);
    if (self.pid != pid) self = {pid, started(pid).value_or(0)};
    return self;
}

bool processEnded(const ProcessIdentity& identity) {
    if (identity.pid > static_cast<std::uint32_t>(INT_MAX)) return false;  // no pid here: not for us to judge
    if (::kill(static_cast<pid_t>(identity.pid), 0) != 0 && errno == ESRCH) return true;
    const std::optional<std::uint64_t> now = started(identity.pid);
    return now && *now != identity.started;
}
