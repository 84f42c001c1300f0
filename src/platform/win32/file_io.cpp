#include "platform/win32/file_io.h"

namespace quelvarn::win32 {

std::wstring module_path() {
    // The buffer grows until the whole name fits: a truncated name fills it completely.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (size == 0) return {};
        if (size < name.size()) {
            name.resize(size);
            return name;
        }
        if (name.size() >= 32768 * 2) return {};
        name.resize(name.size() * 2);
    }
}

bool write_all(HANDLE file, const void* bytes, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        // One call takes at most a DWORD's worth; 1 GiB pieces stay well inside it.
        DWORD piece = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(file, next, piece, &written, nullptr) || written == 0) return false;
        next += written;
        count -= written;
    }
    return true;
}

}  // namespace quelvarn::win32
