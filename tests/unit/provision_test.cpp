// Finding and writing the tools over an in-memory drive: which folder is used, what is never
// touched, what a crash or a second instance leaves, and what a failure reports.
#include <gtest/gtest.h>

#include "app/tools.h"
#include "support/fake_tool_store.h"
#include "text/sha256.h"

namespace quelvarn {
namespace {

using fakes::FakePayloads;
using fakes::FakeToolStore;

const ToolPins& pins() {
    static const ToolPins pinned = FakePayloads::pins();
    return pinned;
}

// The per-user folder the fake's user gets.
Text user_folder() {
    return "C:\\Users\\u\\AppData\\Local\\Quelvarn\\tools\\" + Text(pins()[0].sha256.substr(0, 12));
}

class ProvisionTest : public ::testing::Test {
  protected:
    PreparedTools prepare(ToolsOptions options = {}) {
        return prepare_tools(store, &payloads, pins(), options);
    }

    // The three tools, exactly, in `folder`.
    void expect_tools_in(const Text& folder) {
        std::vector<Text> names;
        ASSERT_EQ(store.list_folder(folder, names), 0u) << folder;
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<Text>{"ffmpeg.exe", "ffplay.exe", "ffprobe.exe"})) << folder;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(store.file(folder + "\\" + Text(kToolFileNames[i])),
                      FakePayloads::content(i));
        }
    }

    void expect_no_staging_left() {
        for (const auto& [path, content] : store.snapshot()) {
            EXPECT_EQ(path.find(".partial"), Text::npos) << path;
        }
    }

    void put_tools(const Text& folder) {
        store.add_folder(folder);
        for (int i = 0; i < 3; ++i) {
            store.add_file(folder + "\\" + Text(kToolFileNames[i]), FakePayloads::content(i));
        }
    }

    FakeToolStore store;
    FakePayloads payloads{store};
};

TEST_F(ProvisionTest, AFreshMachineGetsTheToolsInCffmpegThroughAStagingFolderOfItsOwn) {
    for (bool parallel : {true, false}) {
        SCOPED_TRACE(parallel ? "parallel" : "one after the other");
        FakeToolStore fresh;
        FakePayloads writer(fresh);
        PreparedTools prepared = prepare_tools(fresh, &writer, pins(), {parallel, 1000});

        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), "C:\\ffmpeg\\ffmpeg.exe");
        EXPECT_EQ(prepared.converter_path, "C:\\ffmpeg\\ffmpeg.exe");
        EXPECT_TRUE(prepared.failures.empty());
        std::sort(writer.writes.begin(), writer.writes.end());
        EXPECT_EQ(writer.writes, (std::vector<Text>{"C:\\ffmpeg.77.partial\\ffmpeg.exe",
                                                    "C:\\ffmpeg.77.partial\\ffplay.exe",
                                                    "C:\\ffmpeg.77.partial\\ffprobe.exe"}));
        ASSERT_EQ(fresh.made_folders.size(), 1u);
        EXPECT_EQ(fresh.made_folders[0].path, "C:\\ffmpeg.77.partial");
        EXPECT_EQ(fresh.made_folders[0].sddl, tools_folder_sddl("S-1-5-21-1-2-3-1001"));
        EXPECT_EQ(fresh.locks_taken, (std::vector<Text>{"Global\\Quelvarn-tools-shared"}));
        // The converter stays open against change while the program runs.
        EXPECT_TRUE(fresh.held("C:\\ffmpeg\\ffmpeg.exe"));
        prepared.converter.reset();
        EXPECT_FALSE(fresh.held("C:\\ffmpeg\\ffmpeg.exe"));
        std::map<Text, Text> expected = {{"C:\\ffmpeg", "<folder>"}};
        for (int i = 0; i < 3; ++i) {
            expected["C:\\ffmpeg\\" + Text(kToolFileNames[i])] = FakePayloads::content(i);
        }
        EXPECT_EQ(fresh.snapshot(), expected);
    }
}

TEST_F(ProvisionTest, CffmpegHoldingExactlyOurToolsIsUsedAsItIs) {
    put_tools("C:\\ffmpeg");
    const auto before = store.snapshot();

    PreparedTools prepared = prepare();

    ASSERT_TRUE(prepared.converter);
    EXPECT_EQ(prepared.converter->path(), "C:\\ffmpeg\\ffmpeg.exe");
    EXPECT_TRUE(payloads.writes.empty());
    EXPECT_TRUE(store.locks_taken.empty());  // nothing to write, nothing to wait for
    EXPECT_EQ(store.snapshot(), before);
}

// Someone else's C:\ffmpeg: never changed, never run; the user's own folder is written and
// used, and nothing is said about it.
TEST_F(ProvisionTest, AnyOtherCffmpegIsLeftAloneAndTheUserFolderIsUsed) {
    struct Case {
        const char* name;
        std::function<void(FakeToolStore&)> plant;
    };
    const std::vector<Case> cases = {
        {"a different ffmpeg.exe alone",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             s.add_file("C:\\ffmpeg\\ffmpeg.exe", "leaves a mark and exits 1");
         }},
        {"a different ffmpeg.exe of the right size among the tools",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             s.add_file("C:\\ffmpeg\\ffmpeg.exe", "payload X");
             s.add_file("C:\\ffmpeg\\ffplay.exe", FakePayloads::content(1));
             s.add_file("C:\\ffmpeg\\ffprobe.exe", FakePayloads::content(2));
         }},
        {"our tools and a DLL beside them",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             for (int i = 0; i < 3; ++i) {
                 s.add_file("C:\\ffmpeg\\" + Text(kToolFileNames[i]), FakePayloads::content(i));
             }
             s.add_file("C:\\ffmpeg\\avcodec-58.dll", "loaded by the converter");
         }},
        {"a manual install in bin",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             s.add_folder("C:\\ffmpeg\\bin");
             for (int i = 0; i < 3; ++i) {
                 s.add_file("C:\\ffmpeg\\bin\\" + Text(kToolFileNames[i]),
                            FakePayloads::content(i));
             }
             s.add_file("C:\\ffmpeg\\README.txt", "FFmpeg");
         }},
        {"an empty folder", [](FakeToolStore& s) { s.add_folder("C:\\ffmpeg"); }},
        {"a cut-off ffprobe.exe",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             s.add_file("C:\\ffmpeg\\ffmpeg.exe", FakePayloads::content(0));
             s.add_file("C:\\ffmpeg\\ffplay.exe", FakePayloads::content(1));
             s.add_file("C:\\ffmpeg\\ffprobe.exe", "payl");
         }},
        {"ffmpeg.exe as a folder",
         [](FakeToolStore& s) {
             s.add_folder("C:\\ffmpeg");
             s.add_folder("C:\\ffmpeg\\ffmpeg.exe");
             s.add_file("C:\\ffmpeg\\ffplay.exe", FakePayloads::content(1));
             s.add_file("C:\\ffmpeg\\ffprobe.exe", FakePayloads::content(2));
         }},
        {"a file named C:\\ffmpeg", [](FakeToolStore& s) { s.add_file("C:\\ffmpeg", "a file"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeToolStore machine;
        FakePayloads writer(machine);
        c.plant(machine);
        const auto before = machine.snapshot();

        PreparedTools prepared = prepare_tools(machine, &writer, pins());

        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), user_folder() + "\\ffmpeg.exe");
        EXPECT_TRUE(prepared.failures.empty());
        for (const Text& write : writer.writes) {
            EXPECT_EQ(write.rfind(user_folder() + ".77.partial\\", 0), 0u) << write;
        }
        auto after = machine.snapshot();
        for (const auto& [path, content] : before) {
            EXPECT_EQ(after[path], content) << path;
        }
        std::vector<Text> names;
        machine.list_folder("C:\\", names);
        std::vector<Text> expected_names = {"Users", "ffmpeg"};
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, expected_names);
        EXPECT_FALSE(machine.held("C:\\ffmpeg\\ffmpeg.exe"));
        EXPECT_TRUE(machine.held(user_folder() + "\\ffmpeg.exe"));
    }
}

TEST_F(ProvisionTest, TheUserFolderIsNamedAfterTheConverterHash) {
    EXPECT_EQ(user_tools_folder(store, pins()), user_folder());
    EXPECT_EQ(user_folder().size(),
              Text("C:\\Users\\u\\AppData\\Local\\Quelvarn\\tools\\").size() + 12);
    store.app_data.clear();
    EXPECT_EQ(user_tools_folder(store, pins()), "");
}

TEST_F(ProvisionTest, TheUserFolderIsUsedWhenItHoldsOurToolsAndReplacedWhenItHoldsMore) {
    store.add_file("C:\\ffmpeg", "in the way");
    put_tools(user_folder());
    {
        PreparedTools prepared = prepare();
        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), user_folder() + "\\ffmpeg.exe");
        EXPECT_TRUE(payloads.writes.empty());
    }

    // Our own folder, with something added or a tool changed: written anew.
    store.add_file(user_folder() + "\\stray.dll", "stray");
    store.add_file(user_folder() + "\\ffplay.exe", "changed");
    PreparedTools prepared = prepare();
    ASSERT_TRUE(prepared.converter);
    EXPECT_EQ(payloads.writes.size(), 3u);
    expect_tools_in(user_folder());
    expect_no_staging_left();
}

TEST_F(ProvisionTest, ASecondInstanceWaitsForTheFirstAndUsesWhatItWrote) {
    // While this instance waits for the lock, the first one finishes writing C:\ffmpeg.
    store.while_waiting_for_lock = [&](std::string_view) { put_tools("C:\\ffmpeg"); };

    PreparedTools prepared = prepare();

    ASSERT_TRUE(prepared.converter);
    EXPECT_EQ(prepared.converter->path(), "C:\\ffmpeg\\ffmpeg.exe");
    EXPECT_TRUE(payloads.writes.empty());
    EXPECT_TRUE(store.made_folders.empty());
}

TEST_F(ProvisionTest, WhenCffmpegAppearsBeforeTheRenameTheFolderThereIsUsedOrLeftAlone) {
    struct Case {
        const char* name;
        bool ours_appears;
        Text expected_converter;
    };
    for (const Case& c : {Case{"our tools", true, "C:\\ffmpeg\\ffmpeg.exe"},
                          Case{"someone else's", false, user_folder() + "\\ffmpeg.exe"}}) {
        SCOPED_TRACE(c.name);
        FakeToolStore machine;
        FakePayloads writer(machine);
        bool planted = false;
        machine.before_rename = [&] {
            if (planted) return;
            planted = true;
            machine.add_folder("C:\\ffmpeg");
            for (int i = 0; i < 3; ++i) {
                machine.add_file("C:\\ffmpeg\\" + Text(kToolFileNames[i]),
                                 c.ours_appears ? FakePayloads::content(i) : "other");
            }
        };

        PreparedTools prepared = prepare_tools(machine, &writer, pins());

        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), c.expected_converter);
        EXPECT_FALSE(machine.path_kind("C:\\ffmpeg.77.partial") != PathKind::none);
        if (!c.ours_appears) {
            EXPECT_EQ(machine.file("C:\\ffmpeg\\ffmpeg.exe"), "other");
        }
    }
}

TEST_F(ProvisionTest, StagingFoldersOfCrashedStartsGoOnlyUnderTheLock) {
    const std::vector<Text> leftovers = {"C:\\ffmpeg.123.partial", "C:\\FFMPEG.9.partial"};
    const std::vector<Text> not_ours = {"C:\\ffmpeg.partial", "C:\\ffmpeg.abc.partial",
                                        "C:\\ffmpeg.1.partial.txt", "C:\\other.5.partial"};
    for (bool lock_available : {true, false}) {
        SCOPED_TRACE(lock_available ? "with the lock" : "without the lock");
        FakeToolStore machine;
        FakePayloads writer(machine);
        if (!lock_available) machine.unavailable_locks = {"Global\\Quelvarn-tools-shared"};
        for (const Text& path : leftovers) {
            machine.add_folder(path);
            machine.add_file(path + "\\ffmpeg.exe", "half");
        }
        for (const Text& path : not_ours) machine.add_folder(path);

        PreparedTools prepared = prepare_tools(machine, &writer, pins());

        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), "C:\\ffmpeg\\ffmpeg.exe");
        for (const Text& path : leftovers) {
            EXPECT_EQ(machine.path_kind(path) == PathKind::none, lock_available) << path;
        }
        for (const Text& path : not_ours) {
            EXPECT_EQ(machine.path_kind(path), PathKind::folder) << path;
        }
    }
}

TEST_F(ProvisionTest, AFailedWriteLeavesNothingAndTheUserFolderIsTriedNext) {
    for (int failing = 0; failing < 3; ++failing) {
        SCOPED_TRACE(failing);
        FakeToolStore machine;
        FakePayloads writer(machine);
        // The first attempt (C:\ffmpeg) fails; the user folder works.
        int attempts = 0;
        machine.before_rename = [] {};
        writer.failing_index = failing;
        machine.while_waiting_for_lock = [&](std::string_view name) {
            if (++attempts == 2) writer.failing_index = -1;
            EXPECT_EQ(name, attempts == 1 ? Text("Global\\Quelvarn-tools-shared")
                                          : "Global\\Quelvarn-tools-S-1-5-21-1-2-3-1001");
        };

        PreparedTools prepared = prepare_tools(machine, &writer, pins());

        ASSERT_TRUE(prepared.converter);
        EXPECT_EQ(prepared.converter->path(), user_folder() + "\\ffmpeg.exe");
        EXPECT_TRUE(prepared.failures.empty());
        EXPECT_EQ(machine.path_kind("C:\\ffmpeg"), PathKind::none);
        EXPECT_EQ(machine.path_kind("C:\\ffmpeg.77.partial"), PathKind::none);
    }
}

TEST_F(ProvisionTest, WhenNoFolderCanBeWrittenEachFolderAndItsReasonAreReported) {
    struct Case {
        const char* name;
        std::function<void(FakeToolStore&, FakePayloads&)> fail;
        std::vector<ToolsFailure> failures;
    };
    const Text staging = user_folder() + ".77.partial";
    const std::vector<Case> cases = {
        {"disk full",
         [](FakeToolStore&, FakePayloads& w) { w.failing_index = 1; },
         {{"C:\\ffmpeg", "error 112"}, {user_folder(), "error 112"}}},
        {"no permission",
         [&](FakeToolStore& s, FakePayloads&) {
             s.failing_folders = {{"C:\\ffmpeg.77.partial", kErrorAccessDenied},
                                  {staging, kErrorAccessDenied}};
         },
         {{"C:\\ffmpeg", "error 5"}, {user_folder(), "error 5"}}},
        {"a tool that does not read back right",
         [](FakeToolStore&, FakePayloads& w) { w.wrong_content[0] = "payload 9"; },
         {{"C:\\ffmpeg", "error 1392"}, {user_folder(), "error 1392"}}},
        {"someone else's C:\\ffmpeg, and the user folder cannot be made",
         [](FakeToolStore& s, FakePayloads&) {
             s.add_file("C:\\ffmpeg", "a file");
             s.failing_folders = {{"C:\\Users", kErrorAccessDenied}};
         },
         {{user_folder(), "error 5"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeToolStore machine;
        FakePayloads writer(machine);
        c.fail(machine, writer);

        PreparedTools prepared = prepare_tools(machine, &writer, pins());

        EXPECT_FALSE(prepared.converter);
        // A conversion then names the converter that is missing.
        EXPECT_EQ(prepared.converter_path, user_folder() + "\\ffmpeg.exe");
        ASSERT_EQ(prepared.failures.size(), c.failures.size());
        for (std::size_t i = 0; i < c.failures.size(); ++i) {
            EXPECT_EQ(prepared.failures[i].folder, c.failures[i].folder);
            EXPECT_EQ(prepared.failures[i].reason, c.failures[i].reason);
        }
        for (const auto& [path, content] : machine.snapshot()) {
            EXPECT_EQ(path.find(".partial"), Text::npos) << path;
            EXPECT_NE(path, user_folder()) << "a broken copy was left";
        }
        if (!machine.file("C:\\ffmpeg")) {
            EXPECT_EQ(machine.path_kind("C:\\ffmpeg"), PathKind::none);
        }
    }
}

TEST_F(ProvisionTest, WithoutPayloadsNothingIsWritten) {
    PreparedTools prepared = prepare_tools(store, nullptr, pins());

    EXPECT_FALSE(prepared.converter);
    EXPECT_EQ(prepared.failures.size(), 2u);
    EXPECT_TRUE(store.made_folders.empty());
}

TEST(ToolsFolderSddl, GivesTheCreatorAdministratorsAndSystemFullControlAndUsersReadAndRun) {
    // D: the access list; P: protected, nothing inherited from above; OICI: files and folders
    // below inherit each entry.
    EXPECT_EQ(tools_folder_sddl("S-1-5-21-1004336348-1177238915-682003330-512"),
              "D:P(A;OICI;FA;;;S-1-5-21-1004336348-1177238915-682003330-512)"
              "(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)");
    // Without the user's identifier: whoever owns the folder, which is its creator.
    EXPECT_EQ(tools_folder_sddl(""),
              "D:P(A;OICI;FA;;;OW)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)");
}

}  // namespace
}  // namespace quelvarn
