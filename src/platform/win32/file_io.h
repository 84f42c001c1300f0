// What the Win32 modules share about files: the program's own path, and writing a whole buffer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace quelvarn::win32 {

// The full path of the running program; empty when the system cannot tell.
std::wstring module_path();

// Writes every byte, however many calls it takes; false when a write fails or stalls.
bool write_all(HANDLE file, const void* bytes, std::size_t count);

}  // namespace quelvarn::win32
