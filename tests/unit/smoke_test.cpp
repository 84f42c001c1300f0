#include <gtest/gtest.h>

#include "app/globals.h"

namespace quelvarn {
namespace {

TEST(Globals, ReleaseEmptiesEveryGlobal) {
    ffmpeg_path = "C:\\ffmpeg\\ffmpeg.exe";
    probe_output = "x";
    release_globals();
    EXPECT_TRUE(ffmpeg_path.empty());
    EXPECT_TRUE(probe_output.empty());
}

}  // namespace
}  // namespace quelvarn
