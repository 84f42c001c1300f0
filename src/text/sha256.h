// SHA-256 (FIPS 180-4) over a stream of bytes.
//
// The program checks its 64 MB converter before every first run in a process; the system's
// hash under Wine takes seconds for that, so the program carries its own: the processor's SHA
// instructions where it has them, a plain implementation otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace quelvarn {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
  public:
    Sha256();

    // Feeds the next bytes; any split of the input gives the same digest.
    void update(const void* bytes, std::size_t count);
    // The digest of everything fed so far. The object must not be fed afterwards.
    Sha256Digest finish();

    // True when this processor's SHA instructions do the work.
    static bool uses_processor_instructions();

  private:
    void compress(const std::uint8_t* blocks, std::size_t count);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pending_count_ = 0;
    std::uint64_t total_bytes_ = 0;
};

// Lower-case hexadecimal, two digits a byte.
Text hex_digest(const Sha256Digest& digest);

// The digest of one piece of bytes, in hexadecimal.
Text sha256_hex(std::string_view bytes);

// Forces the plain implementation (true) or the processor's where it has one (false), so the
// tests can check both on one machine.
void force_plain_sha256(bool plain);

}  // namespace quelvarn
