#include <gtest/gtest.h>

#include <functional>

#include "app/provision.h"
#include "platform/platform.h"
#include "support/fake_platform.h"

namespace quelvarn {
namespace {

using fakes::bytes_of;

constexpr std::string_view kStaging = "C:\\ffmpeg.partial";
const char* const kTools[] = {"C:\\ffmpeg\\ffmpeg.exe", "C:\\ffmpeg\\ffplay.exe",
                              "C:\\ffmpeg\\ffprobe.exe"};

Bytes payload_bytes(int index) {
    return bytes_of("payload " + std::to_string(index));
}

// Writes "payload i" through the fake file system, so a missing folder makes it fail as the
// real writer would. Can be told to fail at one payload, or to run something before a write.
class FakePayloads : public PayloadWriter {
  public:
    explicit FakePayloads(fakes::FakeFiles& files) : files_(files) { platform().payloads = this; }
    ~FakePayloads() override { platform().payloads = nullptr; }

    bool write_payload(int index, std::string_view path) override {
        writes.emplace_back(path);
        if (before_write) before_write(index);
        if (index == failing_index) return false;
        return files_.save_file(path, payload_bytes(index));
    }

    std::vector<Text> writes;
    int failing_index = -1;
    std::function<void(int)> before_write;

  private:
    fakes::FakeFiles& files_;
};

class ProvisionTest : public ::testing::Test {
  protected:
    void expect_tools_complete() {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(fake.files.file(kTools[i]), payload_bytes(i)) << kTools[i];
        }
        EXPECT_FALSE(fake.files.path_present(kStaging));
    }

    void expect_nothing_left() {
        EXPECT_FALSE(fake.files.path_present("C:\\ffmpeg"));
        EXPECT_FALSE(fake.files.path_present(kStaging));
    }

    fakes::FakePlatform fake;
    FakePayloads payloads{fake.files};
};

TEST_F(ProvisionTest, FirstStartWritesTheThreeToolsInOrderThroughTheStagingFolder) {
    provision_tools();

    EXPECT_EQ(payloads.writes,
              (std::vector<Text>{"C:\\ffmpeg.partial\\ffmpeg.exe", "C:\\ffmpeg.partial\\ffplay.exe",
                                 "C:\\ffmpeg.partial\\ffprobe.exe"}));
    EXPECT_TRUE(fake.files.is_directory("C:\\ffmpeg"));
    expect_tools_complete();
}

TEST_F(ProvisionTest, AnExistingToolsFolderIsNeverTouched) {
    fake.files.add_folder("C:\\ffmpeg");
    fake.files.add_file("C:\\ffmpeg\\ffplay.exe", bytes_of("the user's own"));

    provision_tools();
    provision_tools();

    EXPECT_TRUE(payloads.writes.empty());
    EXPECT_FALSE(fake.files.file(kTools[0]));  // deleted by the user: not restored
    EXPECT_EQ(fake.files.file(kTools[1]), bytes_of("the user's own"));
    EXPECT_FALSE(fake.files.path_present(kStaging));
}

TEST_F(ProvisionTest, AFileNamedLikeTheToolsFolderStopsProvisioningBeforeAnyWrite) {
    fake.files.add_file("C:\\ffmpeg", bytes_of("not a folder"));

    provision_tools();

    EXPECT_TRUE(payloads.writes.empty());
    EXPECT_EQ(fake.files.file("C:\\ffmpeg"), bytes_of("not a folder"));
    EXPECT_FALSE(fake.files.path_present(kStaging));
}

TEST_F(ProvisionTest, AFailureAtAnyPayloadLeavesNothingAndTheNextStartProvisions) {
    for (int failing = 0; failing < 3; ++failing) {
        SCOPED_TRACE(failing);
        fakes::FakePlatform start;
        FakePayloads writer{start.files};
        writer.failing_index = failing;

        provision_tools();

        EXPECT_EQ(static_cast<int>(writer.writes.size()), failing + 1);  // stops at the failure
        EXPECT_FALSE(start.files.path_present("C:\\ffmpeg"));
        EXPECT_FALSE(start.files.path_present(kStaging));

        writer.failing_index = -1;
        provision_tools();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(start.files.file(kTools[i]), payload_bytes(i));
        EXPECT_FALSE(start.files.path_present(kStaging));
    }
}

TEST_F(ProvisionTest, AStagingLeftoverOfACrashedStartIsClearedFirst) {
    // A folder with a half-written tool and a stray file, or a plain file of that name.
    fake.files.add_folder(kStaging);
    fake.files.add_file("C:\\ffmpeg.partial\\ffmpeg.exe", bytes_of("half"));
    fake.files.add_file("C:\\ffmpeg.partial\\stray.txt", bytes_of("stray"));

    provision_tools();

    expect_tools_complete();
    EXPECT_FALSE(fake.files.path_present("C:\\ffmpeg\\stray.txt"));

    fakes::FakePlatform start;
    FakePayloads writer{start.files};
    start.files.add_file(kStaging, bytes_of("a file"));
    provision_tools();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(start.files.file(kTools[i]), payload_bytes(i));
    EXPECT_FALSE(start.files.path_present(kStaging));
}

TEST_F(ProvisionTest, AToolsFolderThatAppearsWhileWritingIsKeptAndTheStagingRemoved) {
    payloads.before_write = [&](int index) {
        if (index == 2) fake.files.add_folder("C:\\ffmpeg");
    };

    provision_tools();

    EXPECT_EQ(payloads.writes.size(), 3u);
    EXPECT_TRUE(fake.files.is_directory("C:\\ffmpeg"));
    for (const char* tool : kTools) EXPECT_FALSE(fake.files.file(tool)) << tool;
    EXPECT_FALSE(fake.files.path_present(kStaging));
}

TEST_F(ProvisionTest, WithoutPayloadsNothingIsCreated) {
    platform().payloads = nullptr;

    provision_tools();

    expect_nothing_left();
}

}  // namespace
}  // namespace quelvarn
