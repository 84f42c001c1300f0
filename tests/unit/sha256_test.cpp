// SHA-256 against published test vectors and values from another implementation, in both the
// processor's and the plain implementation, fed whole and split at every offset.
#include <gtest/gtest.h>

#include "text/sha256.h"

namespace quelvarn {
namespace {

// A deterministic byte pattern, so a table can name inputs of any length.
Text pattern(std::size_t length) {
    Text bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
    return bytes;
}

struct Vector {
    Text input;
    const char* digest;
};

const std::vector<Vector>& vectors() {
    static const std::vector<Vector> table = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "m"
         "nopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {Text(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Lengths around the block and padding boundaries.
        {pattern(55), "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {pattern(56), "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {pattern(63), "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {pattern(64), "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {pattern(65), "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {pattern(119), "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {pattern(120), "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {pattern(1000), "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    };
    return table;
}

class Sha256Test : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { force_plain_sha256(GetParam()); }
    void TearDown() override { force_plain_sha256(false); }
};

TEST_P(Sha256Test, GivesThePublishedDigests) {
    for (const Vector& vector : vectors()) {
        EXPECT_EQ(sha256_hex(vector.input), vector.digest) << vector.input.size() << " bytes";
    }
}

TEST_P(Sha256Test, AnySplitOfTheStreamGivesTheSameDigest) {
    for (const Vector& vector : vectors()) {
        const Text& input = vector.input;
        if (input.size() > 1000) continue;
        for (std::size_t first = 0; first <= input.size(); ++first) {
            // Two cuts: the first at every offset, the second 65 bytes later.
            const std::size_t second = std::min(input.size(), first + 65);
            Sha256 hash;
            hash.update(input.data(), first);
            hash.update(input.data() + first, second - first);
            hash.update(input.data() + second, input.size() - second);
            ASSERT_EQ(hex_digest(hash.finish()), vector.digest)
                << input.size() << " bytes cut at " << first << " and " << second;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Implementations, Sha256Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Plain" : "ProcessorWhereAvailable";
                         });

TEST(Sha256, BothImplementationsAgreeOnEveryLengthUpToFourBlocks) {
    for (std::size_t length = 0; length <= 256; ++length) {
        const Text input = pattern(length);
        force_plain_sha256(true);
        const Text plain = sha256_hex(input);
        force_plain_sha256(false);
        ASSERT_EQ(sha256_hex(input), plain) << length << " bytes";
    }
}

}  // namespace
}  // namespace quelvarn
