#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "system/atomic_file.h"
#include "system/windows_error.h"

namespace fs = std::filesystem;

namespace {

const char* const kChanged = "changed by another program while being updated; left as it is";
const char* const kMadeMeanwhile = "made by another program meanwhile; left as it is";
// Windows' own rename refuses to replace such a file, and clearing the
// attribute would change the user's file outside the atomic rename: the
// attribute is taken for what it says.
const char* const kReadOnly = "read-only; left as it is";

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::string reason(const std::string& what, DWORD code) { return what + ": " + windowsErrorText(code); }

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        reset();
        handle_ = std::exchange(other.handle_, nullptr);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset() {
        if (handle_ != nullptr) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
            static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow),
            static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                      info.ftLastWriteTime.dwLowDateTime)};
}

// An existing file (links followed) opened only to look at it, sharing
// everything, so that no other program is held up meanwhile.
Handle openToLookAt(const fs::path& path, DWORD access) {
    return Handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether `path` is still the file of `expected` and may be replaced; open
// in `file` with `access`, described in `info`.
bool stillIs(const fs::path& path, const FileStamp& expected, DWORD access, Handle& file,
             BY_HANDLE_FILE_INFORMATION& info, std::string& error) {
    file = openToLookAt(path, access | FILE_READ_ATTRIBUTES);
    const DWORD code = file && GetFileInformationByHandle(file.get(), &info) ? ERROR_SUCCESS : GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        (code == ERROR_SUCCESS && !(stampOf(info) == expected))) {
        error = kChanged;
    } else if (code != ERROR_SUCCESS) {
        error = reason("cannot open it", code);
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error = kReadOnly;
    } else {
        return true;
    }
    return false;
}

// The old file's DACL (and owner, where allowed) on the new one.
bool copySecurity(HANDLE from, HANDLE to, std::string& error) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD code = GetSecurityInfo(from, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                 nullptr, &dacl, nullptr, &descriptor);
    const std::unique_ptr<void, LocalFreer> owned(descriptor);
    if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION) return true;  // FAT: no security to keep
    if (code != ERROR_SUCCESS) {
        error = reason("cannot read its permissions", code);
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION which = DACL_SECURITY_INFORMATION |
                                       ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                           : UNPROTECTED_DACL_SECURITY_INFORMATION);
    code = SetSecurityInfo(to, SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
    if (code != ERROR_SUCCESS) {
        error = reason("cannot set the permissions", code);
        return false;
    }
    // Only an administrator may give a file to another owner; the DACL is
    // what matters to everyone else, so a refusal is no error.
    if (owner != nullptr)
        SetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr);
    return true;
}

std::atomic<std::uint64_t> tempCounter{0};

// A staged file: a new hidden file of tempFilePath's name, marked for
// deletion from its creation until right before its rename, so that a crash
// or a kill leaves nothing. Whatever is not put in place goes with it.
class TempFile {
public:
    TempFile() = default;
    TempFile(TempFile&&) noexcept = default;
    TempFile& operator=(TempFile&&) = delete;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!file_) return;
        if (!markForDeletion(TRUE)) {
            file_.reset();
            DeleteFileW(path_.c_str());
        }
    }

    HANDLE get() const { return file_.get(); }

    bool create(const fs::path& target, std::string& error) {
        static const auto pid = static_cast<std::uint32_t>(GetCurrentProcessId());
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = tempFilePath(target, pid, tempCounter++);
            // WRITE_DAC and WRITE_OWNER for the old file's security: the
            // creator of a file is granted what it asks for.
            file_ = Handle(CreateFileW(path_.c_str(), GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                       FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
            const DWORD code = file_ ? 0 : GetLastError();
            if (file_ && markForDeletion(TRUE)) return true;
            if (file_) {
                error = reason("cannot create a file in its folder", GetLastError());
                file_.reset();
                DeleteFileW(path_.c_str());
                return false;
            }
            if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
                error = reason("cannot create a file in its folder", code);
                return false;
            }
        }
        error = "cannot create a file in its folder: every temporary name is taken";
        return false;
    }

    // Attributes for its life under the target's name.
    bool setAttributes(DWORD attributes, std::string& error) {
        FILE_BASIC_INFO basic{};  // times 0: left as they are
        basic.FileAttributes = attributes;
        if (SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic)) return true;
        error = reason("cannot set its attributes", GetLastError());
        return false;
    }

    // Renamed by its handle to `target`: no other file can take its place
    // between a look and the rename. False with the system's code.
    bool renameTo(const fs::path& target, bool replace, DWORD& code) {
        // A full path: Wine reads a bare name from the current folder.
        std::error_code absoluteError;
        const std::wstring name = fs::absolute(target, absoluteError).native();
        if (absoluteError) {
            code = ERROR_INVALID_NAME;
            return false;
        }
        // Kept from here on: a kill before the rename leaves this file to
        // the next run's sweep, a kill after it leaves the target in place.
        if (!markForDeletion(FALSE)) {
            code = GetLastError();
            return false;
        }
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = replace ? TRUE : FALSE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        name.copy(info->FileName, name.size());
        if (SetFileInformationByHandle(file_.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) {
            file_.reset();
            return true;
        }
        code = GetLastError();
        return false;
    }

private:
    bool markForDeletion(BOOL deleteFile) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = static_cast<BOOLEAN>(deleteFile);
        return SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
    }

    Handle file_;  // empty once in place
    fs::path path_;
};

}  // namespace

struct AtomicFileGroup::Entry {
    std::size_t tag;
    fs::path target;
    std::optional<FileStamp> expected;
    TempFile temp;
};

struct AtomicFileGroup::Platform {};

bool processRunning(std::uint32_t pid) {
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // else there, but not ours to open
    // Ended, though something still holds it open: it writes nothing more.
    DWORD code = 0;
    return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    const Handle file = openToLookAt(path, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return stampOf(info);
}

AtomicFileGroup::AtomicFileGroup() : platform_(std::make_unique<Platform>()) {}

AtomicFileGroup::~AtomicFileGroup() = default;

bool AtomicFileGroup::stage(std::size_t tag, const fs::path& target, const std::string& bytes,
                            const std::optional<FileStamp>& expected, std::string& error) {
    if (expected) {
        Handle old;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!stillIs(target, *expected, 0, old, info, error)) return false;
    }
    sweep_.once(target.has_parent_path() ? target.parent_path() : fs::path("."));
    Entry entry{tag, target, expected, TempFile()};
    if (!entry.temp.create(target, error)) return false;
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(entry.temp.get(), bytes.data() + done, chunk, &n, nullptr)) {
            error = reason("cannot write", GetLastError());
            return false;
        }
        done += n;
    }
    if (!FlushFileBuffers(entry.temp.get())) {
        error = reason("cannot flush to the disk", GetLastError());
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    staged_.push_back(std::move(entry));
    return true;
}

std::vector<AtomicFileGroup::Outcome> AtomicFileGroup::commit() {
    std::vector<Entry> entries;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(staged_);
    }
    std::vector<Outcome> outcomes;
    for (Entry& entry : entries) {
        std::string error;
        DWORD code = 0;
        if (entry.expected) {
            // Checked again right before the rename: another program's save
            // since our read must not be lost.
            Handle old;
            BY_HANDLE_FILE_INFORMATION info{};
            const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            if (stillIs(entry.target, *entry.expected, READ_CONTROL, old, info, error) &&
                copySecurity(old.get(), entry.temp.get(), error) &&
                // Archive set: the content changed, a backup must take it.
                entry.temp.setAttributes((info.dwFileAttributes & kept) | FILE_ATTRIBUTE_ARCHIVE, error)) {
                old.reset();  // Windows does not replace a file that is open
                if (!entry.temp.renameTo(entry.target, true, code)) error = reason("cannot rename", code);
            }
        } else if (entry.temp.setAttributes(FILE_ATTRIBUTE_ARCHIVE, error) &&
                   !entry.temp.renameTo(entry.target, false, code)) {
            error = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? kMadeMeanwhile
                                                                              : reason("cannot rename", code);
        }
        outcomes.push_back({entry.tag, error});
    }
    return outcomes;  // the files not put in place go with `entries`
}
