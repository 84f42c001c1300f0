#include "platform/win32/files.h"

// shlwapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shlwapi.h>
// clang-format on

#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

bool has_wildcard(const std::wstring& path) {
    return path.find_first_of(L"*?") != std::wstring::npos;
}

bool remove_tree_wide(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
    // A junction or folder link is removed itself; what it points to is not ours.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::wstring folder = path;
        if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
        WIN32_FIND_DATAW entry;
        FindHandle search(FindFirstFileW((folder + L"*").c_str(), &entry));
        if (search) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                remove_tree_wide(folder + name);
            } while (FindNextFileW(search.get(), &entry));
        }
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

bool file_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access rights are needed to read the identity; backup semantics opens folders too.
    KernelHandle file(CreateFileW(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info) != 0;
}

}  // namespace

bool Win32Files::make_folder(std::string_view path) {
    if (path.empty()) return false;
    return CreateDirectoryW(widen(path).c_str(), nullptr) != 0;
}

bool Win32Files::path_present(std::string_view path) {
    if (path.empty()) return false;
    std::wstring wide = widen(path);
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    // Some entries (a file another program holds open without sharing) refuse their attributes
    // but are still listed by a search. A name with wildcards would match other entries.
    if (has_wildcard(wide)) return false;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(wide.c_str(), &entry));
    return static_cast<bool>(search);
}

bool Win32Files::is_directory(std::string_view path) {
    if (path.empty()) return false;
    // A folder is reported as FILE_ATTRIBUTE_DIRECTORY; a server share as plain TRUE, which is not
    // a folder the program could write its tools into.
    return PathIsDirectoryW(widen(path).c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

bool Win32Files::delete_file(std::string_view path) {
    if (path.empty()) return false;
    return DeleteFileW(widen(path).c_str()) != 0;
}

bool Win32Files::create_new_file(std::string_view path) {
    if (path.empty()) return false;
    KernelHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

bool Win32Files::rename_path(std::string_view from, std::string_view to, bool replace) {
    if (from.empty() || to.empty()) return false;
    DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), flags) != 0;
}

bool Win32Files::remove_tree(std::string_view path) {
    if (path.empty()) return false;
    return remove_tree_wide(widen(path));
}

bool Win32Files::same_file(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return false;
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    if (!file_identity(widen(a), first) || !file_identity(widen(b), second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

Text Win32Files::program_folder() {
    std::wstring name = module_path();
    std::size_t slash = name.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    return narrow(std::wstring_view(name).substr(0, slash));
}

Text Win32Files::short_path_name(std::string_view path, int capacity) {
    if (path.empty() || capacity <= 0) return {};
    std::wstring wide = widen(path);
    // Ask for the size first, then hand the system exactly that buffer: no capacity we pass is
    // ever larger than the buffer behind it.
    DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring buffer(needed, L'\0');
    DWORD size = GetShortPathNameW(wide.c_str(), buffer.data(), needed);
    if (size == 0 || size >= needed) return {};  // failed, or the name changed in between
    buffer.resize(size);
    Text shortened = narrow(buffer);
    // The caller's capacity counts the program's UTF-8 bytes and the terminating zero.
    if (static_cast<int>(shortened.size()) + 1 > capacity) return {};
    return shortened;
}

}  // namespace quelvarn::win32

namespace quelvarn {

FileServices& win32_files() {
    static win32::Win32Files files;
    return files;
}

}  // namespace quelvarn
