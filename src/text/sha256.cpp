#include "text/sha256.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QUELVARN_SHA_INSTRUCTIONS 1
#endif

namespace quelvarn {

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<std::uint32_t, 8> kInitialState = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

inline std::uint32_t rotate_right(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compress_plain(std::uint32_t* state, const std::uint8_t* block, std::size_t count) {
    for (; count > 0; --count, block += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            w[i] = (std::uint32_t{block[4 * i]} << 24) | (std::uint32_t{block[4 * i + 1]} << 16) |
                   (std::uint32_t{block[4 * i + 2]} << 8) | std::uint32_t{block[4 * i + 3]};
        }
        for (int i = 16; i < 64; ++i) {
            std::uint32_t s0 =
                rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
            std::uint32_t s1 =
                rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t s1 = rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25);
            std::uint32_t choice = (e & f) ^ (~e & g);
            std::uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
            std::uint32_t s0 = rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22);
            std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            std::uint32_t t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef QUELVARN_SHA_INSTRUCTIONS

bool processor_has_sha() {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = c & (1u << 9);
    const bool sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool sha = b & (1u << 29);
    return ssse3 && sse41 && sha;
}

// Four rounds at a time: the state as the instructions want it (ABEF, CDGH), the message words
// of the block in four registers that the schedule instructions refill in turn.
__attribute__((target("sha,sse4.1,ssse3"))) void compress_with_sha(std::uint32_t* state,
                                                                   const std::uint8_t* block,
                                                                   std::size_t count) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i cdab =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, block += 64) {
        const __m128i abef_before = abef;
        const __m128i cdgh_before = cdgh;
        __m128i words[4];
#pragma GCC unroll 16
        for (int group = 0; group < 16; ++group) {
            __m128i& current = words[group % 4];
            if (group < 4) {
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * group)),
                    byte_swap);
            }
            __m128i message = _mm_add_epi32(
                current,
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            if (group >= 3 && group <= 14) {
                __m128i& next = words[(group + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, words[(group + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
            if (group >= 1 && group <= 12) {
                __m128i& previous = words[(group + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

const bool kProcessorHasSha = processor_has_sha();

#endif

bool force_plain = false;

}  // namespace

Sha256::Sha256() : state_(kInitialState) {}

bool Sha256::uses_processor_instructions() {
#ifdef QUELVARN_SHA_INSTRUCTIONS
    return kProcessorHasSha && !force_plain;
#else
    return false;
#endif
}

void force_plain_sha256(bool plain) {
    force_plain = plain;
}

void Sha256::compress(const std::uint8_t* blocks, std::size_t count) {
#ifdef QUELVARN_SHA_INSTRUCTIONS
    if (uses_processor_instructions()) {
        compress_with_sha(state_.data(), blocks, count);
        return;
    }
#endif
    compress_plain(state_.data(), blocks, count);
}

void Sha256::update(const void* bytes, std::size_t count) {
    const auto* next = static_cast<const std::uint8_t*>(bytes);
    total_bytes_ += count;
    if (pending_count_ > 0) {
        const std::size_t taken = std::min(count, pending_.size() - pending_count_);
        std::memcpy(pending_.data() + pending_count_, next, taken);
        pending_count_ += taken;
        next += taken;
        count -= taken;
        if (pending_count_ < pending_.size()) return;
        compress(pending_.data(), 1);
        pending_count_ = 0;
    }
    compress(next, count / 64);
    next += count / 64 * 64;
    count %= 64;
    std::memcpy(pending_.data(), next, count);
    pending_count_ = count;
}

Sha256Digest Sha256::finish() {
    const std::uint64_t bits = total_bytes_ * 8;
    std::uint8_t tail[128] = {0x80};
    // The 0x80 marker and the 64-bit length must fit after the pending bytes.
    const std::size_t padding = (pending_count_ < 56 ? 56 : 120) - pending_count_;
    for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(tail, padding + 8);
    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

Text hex_digest(const Sha256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    Text hex;
    hex.reserve(64);
    for (std::uint8_t byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

Text sha256_hex(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hex_digest(hash.finish());
}

}  // namespace quelvarn
