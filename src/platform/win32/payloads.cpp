#include "platform/win32/payloads.h"

#include <zlib.h>

#include <memory>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

constexpr std::size_t kPieceBytes = 1 << 20;

class Inflater {
  public:
    Inflater() { ready_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (ready_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool ready() const { return ready_; }
    z_stream& stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

// 0, or the error of the write that failed.
DWORD write_every_byte(HANDLE file, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(count);
        if (!WriteFile(file, bytes, piece, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes += written;
        count -= written;
    }
    return 0;
}

// 0 only when the stream ended exactly at the end of the resource (zlib has then checked its
// Adler-32 sum) and every byte reached the file.
DWORD inflate_into(const void* compressed, DWORD size, HANDLE file) {
    Inflater inflater;
    if (!inflater.ready()) return ERROR_NOT_ENOUGH_MEMORY;
    z_stream& stream = inflater.stream();
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(compressed));
    stream.avail_in = size;
    const auto piece = std::make_unique<unsigned char[]>(kPieceBytes);
    for (;;) {
        stream.next_out = piece.get();
        stream.avail_out = kPieceBytes;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) return ERROR_INVALID_DATA;
        if (DWORD error = write_every_byte(file, piece.get(), kPieceBytes - stream.avail_out)) {
            return error;
        }
        if (status == Z_STREAM_END) return stream.avail_in == 0 ? 0 : ERROR_INVALID_DATA;
    }
}

}  // namespace

SystemError ResourcePayloads::write_payload(int index, std::string_view path) {
    if (index < 0 || index >= static_cast<int>(kToolFileNames.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    HRSRC found =
        FindResourceW(module_, MAKEINTRESOURCEW(kFirstPayloadResource + index), RT_RCDATA);
    if (found == nullptr) return ERROR_RESOURCE_DATA_NOT_FOUND;
    HGLOBAL loaded = LoadResource(module_, found);
    const void* compressed = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module_, found);
    if (compressed == nullptr || size == 0) return ERROR_RESOURCE_DATA_NOT_FOUND;

    const std::wstring target = widen(path);
    KernelHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return GetLastError();
    DWORD error = inflate_into(compressed, size, file.get());
    // On the disk before the folder is renamed into place: a crash after the rename must not
    // leave a tools folder with holes in it.
    if (error == 0 && !FlushFileBuffers(file.get())) error = GetLastError();
    // A close can still fail to write what the system held back.
    if (!file.close() && error == 0) error = GetLastError();
    if (error != 0) DeleteFileW(target.c_str());
    return error;
}

}  // namespace quelvarn::win32
