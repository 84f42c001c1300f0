#include "platform/win32/tool_store.h"

// The security and shell headers need windows.h before them.
// clang-format off
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
// clang-format on

#include <vector>

#include "platform/win32/files.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"
#include "text/sha256.h"

namespace quelvarn::win32 {

namespace {

constexpr DWORD kReadPiece = 1 << 20;

SystemError last_error_or(SystemError fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

// Shared for reading only: nobody can write, rename or delete the file while we hold it.
class Win32HeldFile final : public HeldFile {
  public:
    explicit Win32HeldFile(KernelHandle file) : file_(std::move(file)) {}

  private:
    KernelHandle file_;
};

class Win32HeldLock final : public HeldLock {
  public:
    explicit Win32HeldLock(KernelHandle mutex) : mutex_(std::move(mutex)) {}
    // A mutex belongs to the thread that took it: this object is destroyed on that thread.
    ~Win32HeldLock() override { ReleaseMutex(mutex_.get()); }

  private:
    KernelHandle mutex_;
};

// The mapped view is the fastest way through the file under Wine; a file that cannot be mapped
// (an empty one) is read in pieces.
SystemError hash_content(HANDLE file, std::uint64_t size, Sha256& hash) {
    if (size > 0) {
        KernelHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (mapping) {
            const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
            if (view != nullptr) {
                hash.update(view, static_cast<std::size_t>(size));
                UnmapViewOfFile(view);
                return 0;
            }
        }
    }
    std::vector<unsigned char> piece(kReadPiece);
    std::uint64_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece.data(), kReadPiece, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        hash.update(piece.data(), got);
        total += got;
    }
    return total == size ? 0 : ERROR_READ_FAULT;
}

}  // namespace

SecurityDescriptor::SecurityDescriptor(std::string_view sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(widen(sddl).c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
        descriptor_ = nullptr;
    }
}

SecurityDescriptor::~SecurityDescriptor() {
    if (descriptor_) LocalFree(descriptor_);
}

PathKind Win32ToolStore::path_kind(std::string_view path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Something that refuses its attributes is still something.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::none
                                                                              : PathKind::file;
    }
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::folder : PathKind::file;
}

SystemError Win32ToolStore::list_folder(std::string_view path, std::vector<Text>& names) {
    std::wstring pattern = widen(path);
    if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry;
    HANDLE raw = FindFirstFileW(pattern.c_str(), &entry);
    if (raw == INVALID_HANDLE_VALUE) return last_error_or(ERROR_PATH_NOT_FOUND);
    FindHandle search(raw);
    names.clear();
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(narrow(name));
    } while (FindNextFileW(raw, &entry));
    const DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? 0 : error;
}

SystemError Win32ToolStore::file_size(std::string_view path, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
        return last_error_or(ERROR_FILE_NOT_FOUND);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

SystemError Win32ToolStore::make_folder(std::string_view path, std::string_view sddl) {
    const std::wstring wide = widen(path);
    if (sddl.empty()) return CreateDirectoryW(wide.c_str(), nullptr) ? 0 : last_error_or(1);
    SecurityDescriptor descriptor(sddl);
    if (!descriptor.get()) return last_error_or(ERROR_INVALID_PARAMETER);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    return CreateDirectoryW(wide.c_str(), &attributes) ? 0 : last_error_or(1);
}

SystemError Win32ToolStore::make_folders(std::string_view path) {
    const int result = SHCreateDirectoryExW(nullptr, widen(path).c_str(), nullptr);
    if (result == ERROR_SUCCESS) return 0;
    // Made by another process meanwhile, or there all along.
    if (path_kind(path) == PathKind::folder) return 0;
    return result == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : static_cast<SystemError>(result);
}

SystemError Win32ToolStore::rename_folder(std::string_view from, std::string_view to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), 0) ? 0 : last_error_or(1);
}

SystemError Win32ToolStore::remove_tree(std::string_view path) {
    SetLastError(0);
    return win32_files().remove_tree(path) ? 0 : last_error_or(ERROR_ACCESS_DENIED);
}

SystemError Win32ToolStore::hold_and_hash(std::string_view path, HashedFile& file) {
    KernelHandle held(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!held) return last_error_or(ERROR_FILE_NOT_FOUND);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(held.get(), &size)) return last_error_or(ERROR_READ_FAULT);
    Sha256 hash;
    if (SystemError error =
            hash_content(held.get(), static_cast<std::uint64_t>(size.QuadPart), hash)) {
        return error;
    }
    file.size = static_cast<std::uint64_t>(size.QuadPart);
    file.sha256 = hex_digest(hash.finish());
    file.hold = std::make_unique<Win32HeldFile>(std::move(held));
    return 0;
}

std::unique_ptr<HeldLock> Win32ToolStore::take_lock(std::string_view name, int milliseconds) {
    KernelHandle mutex(CreateMutexW(nullptr, FALSE, widen(name).c_str()));
    if (!mutex) return nullptr;
    const DWORD waited = WaitForSingleObject(mutex.get(), static_cast<DWORD>(milliseconds));
    // An instance that ended while holding it leaves it abandoned: ours now all the same.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return nullptr;
    return std::make_unique<Win32HeldLock>(std::move(mutex));
}

Text Win32ToolStore::user_sid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    KernelHandle token(raw);
    DWORD needed = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::vector<unsigned char> buffer(needed);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), needed, &needed)) return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    Text sid = narrow(text);
    LocalFree(text);
    return sid;
}

Text Win32ToolStore::local_app_data() {
    PWSTR folder = nullptr;
    Text path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        path = narrow(folder);
    }
    CoTaskMemFree(folder);
    return path;
}

std::uint32_t Win32ToolStore::process_id() {
    return GetCurrentProcessId();
}

Text Win32ToolStore::describe_error(SystemError error) {
    LPWSTR buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    const Text code = "错误代码 " + std::to_string(error);
    return text.empty() ? code : join_texts({narrow(text), "（", code, "）"});
}

}  // namespace quelvarn::win32

namespace quelvarn {

ToolStore& win32_tool_store() {
    static win32::Win32ToolStore store;
    return store;
}

}  // namespace quelvarn
