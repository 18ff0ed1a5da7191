#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <utility>

#include "system/native_file.h"
#include "system/temp_files.h"
#include "system/windows_error.h"
#include "system/windows_handle.h"
#include "text/failure_reason.h"
#include "text/messages.h"

namespace fs = std::filesystem;

namespace {

std::string reason(const char* what, DWORD code) { return failedWith(what, windowsErrorText(code)); }

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
            static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow),
            static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                      info.ftLastWriteTime.dwLowDateTime),
            info.nNumberOfLinks};
}

// An existing file (links followed) opened only to look at it, sharing
// everything, so that no other program is held up meanwhile.
WindowsHandle openToLookAt(const fs::path& path, DWORD access) {
    return WindowsHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// FAT and some network shares keep no security: the attribute is all there is.
bool noSecurity(DWORD code) { return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION; }

// Whether this process's user is granted `wanted` by `descriptor`.
DWORD accessAllows(PSECURITY_DESCRIPTOR descriptor, DWORD wanted, bool& allowed) {
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process)) return GetLastError();
    const WindowsHandle processToken(process);
    HANDLE duplicate = nullptr;
    if (!DuplicateToken(processToken.get(), SecurityIdentification, &duplicate)) return GetLastError();
    const WindowsHandle token(duplicate);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD size = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(descriptor, token.get(), wanted, &mapping, &privileges, &size, &granted, &status))
        return GetLastError();
    allowed = status != FALSE;
    return ERROR_SUCCESS;
}

bool markForDeletion(HANDLE file, BOOL deleteFile) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = static_cast<BOOLEAN>(deleteFile);
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool setAttributes(HANDLE file, DWORD attributes, std::string& error) {
    FILE_BASIC_INFO basic{};  // times 0: left as they are
    basic.FileAttributes = attributes;
    if (SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) return true;
    error = reason(N_("cannot set its attributes"), GetLastError());
    return false;
}

// The old file's DACL and owner on the new one. Only an administrator may
// give a file to another owner: without that right the owner must already
// be the same.
Ownership copySecurity(HANDLE from, HANDLE to, std::string& error) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD code = GetSecurityInfo(from, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                 nullptr, &dacl, nullptr, &descriptor);
    const LocalMemory owned(descriptor);
    if (noSecurity(code)) return Ownership::Kept;
    if (code != ERROR_SUCCESS) {
        error = reason(N_("cannot read its permissions"), code);
        return Ownership::Failed;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION which = DACL_SECURITY_INFORMATION |
                                       ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                           : UNPROTECTED_DACL_SECURITY_INFORMATION);
    code = SetSecurityInfo(to, SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
    if (code != ERROR_SUCCESS) {
        error = reason(N_("cannot set the permissions"), code);
        return Ownership::Failed;
    }
    if (owner == nullptr || SetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr,
                                            nullptr) == ERROR_SUCCESS)
        return Ownership::Kept;
    PSID now = nullptr;
    PSECURITY_DESCRIPTOR nowDescriptor = nullptr;
    code = GetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &now, nullptr, nullptr, nullptr,
                           &nowDescriptor);
    const LocalMemory ownedNow(nowDescriptor);
    if (code != ERROR_SUCCESS) {
        error = reason(N_("cannot read its permissions"), code);
        return Ownership::Failed;
    }
    return now != nullptr && EqualSid(owner, now) ? Ownership::Kept : Ownership::OtherOwner;
}

}  // namespace

struct NativeTempFile::State {
    Use use = Use::Replacement;
    WindowsHandle file;  // empty once in place (a Scratch: once written)
    fs::path name;  // empty once in place

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    // A Replacement is marked for deletion from its creation until right
    // before its rename, so that even a crash leaves nothing.
    ~State() {
        if (file && use == Use::Replacement && markForDeletion(file.get(), TRUE)) return;
        file.reset();
        if (!name.empty()) DeleteFileW(name.c_str());
    }

    // Renamed by its handle to `target`: no other file can take its place
    // between a look and the rename. False with the system's code.
    bool renameTo(const fs::path& target, bool replace, DWORD& code) {
        // A full path: Wine reads a bare name from the current folder.
        std::error_code absoluteError;
        const std::wstring to = fs::absolute(target, absoluteError).native();
        if (absoluteError) {
            code = ERROR_INVALID_NAME;
            return false;
        }
        // Kept from here on: a kill before the rename leaves this file to
        // the next run's sweep, a kill after it leaves the target in place.
        if (!markForDeletion(file.get(), FALSE)) {
            code = GetLastError();
            return false;
        }
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = replace ? TRUE : FALSE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
        to.copy(info->FileName, to.size());
        if (!SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) {
            code = GetLastError();
            return false;
        }
        file.reset();
        name.clear();
        return true;
    }
};

NativeTempFile::NativeTempFile() : state_(std::make_unique<State>()) {}
NativeTempFile::NativeTempFile(NativeTempFile&&) noexcept = default;
NativeTempFile& NativeTempFile::operator=(NativeTempFile&&) noexcept = default;
NativeTempFile::~NativeTempFile() = default;

bool NativeTempFile::create(const fs::path& folder, Use use, bool /*ownerOnly: the DACL is copied */,
                            std::string& error) {
    State& s = *state_;
    s.use = use;
    for (int attempt = 0; attempt < 100; ++attempt) {
        s.name = folder / freshTempName();
        // A Replacement: WRITE_DAC and WRITE_OWNER for the old file's
        // security (the creator of a file is granted what it asks for).
        // A Scratch is not hidden: the profile functions' CREATE_ALWAYS
        // refuses to overwrite a hidden file.
        s.file = use == Use::Replacement
                     ? WindowsHandle(CreateFileW(s.name.c_str(),
                                                 GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                                 FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr))
                     : WindowsHandle(CreateFileW(s.name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                 FILE_ATTRIBUTE_TEMPORARY, nullptr));
        const DWORD code = GetLastError();
        if (s.file && (use == Use::Scratch || markForDeletion(s.file.get(), TRUE))) return true;
        if (s.file) {
            error = reason(N_("cannot create a file in its folder"), GetLastError());
            return false;  // State's destructor removes it
        }
        s.name.clear();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            error = reason(N_("cannot create a file in its folder"), code);
            return false;
        }
    }
    error = tr("%s: every temporary name is taken", {tr("cannot create a file in its folder")});
    return false;
}

bool NativeTempFile::write(const std::string& bytes, std::string& error) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(state_->file.get(), bytes.data() + done, chunk, &n, nullptr)) {
            error = reason(N_("cannot write"), GetLastError());
            return false;
        }
        done += n;
    }
    return true;
}

bool NativeTempFile::finish(std::string& error) {
    if (state_->use == Use::Scratch) {
        if (state_->file.reset()) return true;
        error = reason(N_("cannot write"), GetLastError());
        return false;
    }
    if (FlushFileBuffers(state_->file.get())) return true;
    error = reason(N_("cannot flush to the disk"), GetLastError());
    return false;
}

const fs::path& NativeTempFile::path() const { return state_->name; }

std::uint64_t NativeTempFile::fileSystem() const { return 0; }  // FlushBatch needs none here

Ownership NativeTempFile::takeAccessOf(const fs::path& old, std::string& error) {
    const WindowsHandle source = openToLookAt(old, READ_CONTROL | FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!source || !GetFileInformationByHandle(source.get(), &info)) {
        error = reason(N_("cannot read its permissions"), GetLastError());
        return Ownership::Failed;
    }
    const Ownership security = copySecurity(source.get(), state_->file.get(), error);
    if (security != Ownership::Kept) return security;
    // Archive set: the content changed, a backup must take it.
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    return setAttributes(state_->file.get(), (info.dwFileAttributes & kept) | FILE_ATTRIBUTE_ARCHIVE, error)
               ? Ownership::Kept
               : Ownership::Failed;
}

bool NativeTempFile::name(std::string& /*error*/) { return true; }  // named from its creation

bool NativeTempFile::placeNew(const fs::path& target, bool& taken, std::string& error) {
    if (!setAttributes(state_->file.get(), FILE_ATTRIBUTE_ARCHIVE, error)) return false;
    DWORD code = 0;
    if (state_->renameTo(target, false, code)) return true;
    taken = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
    error = reason(N_("cannot rename"), code);
    return false;
}

bool NativeTempFile::replace(const fs::path& target, std::string& error) {
    DWORD code = 0;
    if (state_->renameTo(target, true, code)) return true;
    error = reason(N_("cannot rename"), code);
    return false;
}

Look lookAt(const fs::path& path, FileFacts& facts, std::string& error) {
    const WindowsHandle file = openToLookAt(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Look::Missing;
        error = reason(N_("cannot open it"), code);
        return Look::Failed;
    }
    facts.stamp = stampOf(info);
    facts.markedReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD code = GetSecurityInfo(file.get(), SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, nullptr, nullptr, &descriptor);
    const LocalMemory owned(descriptor);
    facts.userMayWrite = noSecurity(code);
    if (code == ERROR_SUCCESS) code = accessAllows(descriptor, FILE_WRITE_DATA, facts.userMayWrite);
    if (code == ERROR_SUCCESS || noSecurity(code)) return Look::Found;
    error = reason(N_("cannot read its permissions"), code);
    return Look::Failed;
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    const WindowsHandle file = openToLookAt(path, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return stampOf(info);
}

struct FlushBatch::State {};

FlushBatch::FlushBatch() : state_(std::make_unique<State>()) {}
FlushBatch::~FlushBatch() = default;

bool FlushBatch::track(const NativeTempFile&, const fs::path&, std::string&) { return true; }

std::vector<std::string> FlushBatch::flush(const std::vector<const NativeTempFile*>& files) {
    return std::vector<std::string>(files.size());
}
