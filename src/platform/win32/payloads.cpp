#include "platform/win32/payloads.h"

#include <zlib.h>

#include <memory>

#include "platform/win32/file_io.h"
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

// True only when the stream ended exactly at the end of the resource (zlib has then checked
// its Adler-32 sum) and every byte reached the file.
bool inflate_into(const void* compressed, DWORD size, HANDLE file) {
    Inflater inflater;
    if (!inflater.ready()) return false;
    z_stream& stream = inflater.stream();
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(compressed));
    stream.avail_in = size;
    const auto piece = std::make_unique<unsigned char[]>(kPieceBytes);
    for (;;) {
        stream.next_out = piece.get();
        stream.avail_out = kPieceBytes;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) return false;
        if (!write_all(file, piece.get(), kPieceBytes - stream.avail_out)) return false;
        if (status == Z_STREAM_END) return stream.avail_in == 0;
    }
}

}  // namespace

bool ResourcePayloads::write_payload(int index, std::string_view path) {
    if (index < 0 || index >= static_cast<int>(kToolFileNames.size())) return false;
    HRSRC found =
        FindResourceW(module_, MAKEINTRESOURCEW(kFirstPayloadResource + index), RT_RCDATA);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(module_, found);
    const void* compressed = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module_, found);
    if (compressed == nullptr || size == 0) return false;

    const std::wstring target = widen(path);
    KernelHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    bool complete = inflate_into(compressed, size, file.get());
    // A close can still fail to write what the system held back.
    complete = file.close() && complete;
    if (!complete) DeleteFileW(target.c_str());
    return complete;
}

}  // namespace quelvarn::win32
