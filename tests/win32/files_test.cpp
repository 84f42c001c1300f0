// The Win32 file services against the real file system of a throwaway Wine prefix.
#include "platform/win32/files.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "child_output.h"
#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"
#include "text/paths.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

Text read_whole(const Text& path) {
    std::ifstream in(win32::widen(path).c_str(), std::ios::binary);
    return Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fixture file with the given content; true when it was written whole.
bool write_file(const Text& path, std::string_view content) {
    win32::KernelHandle file(CreateFileW(win32::widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && win32::write_all(file.get(), content.data(), content.size()) && file.close();
}

// A fresh folder per test, with a Chinese name and a blank in it, removed afterwards.
class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        DWORD size = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(size, 0u);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = win32::narrow(std::wstring(temp, size)) + "qv 文件 " + info->name();
        files.remove_tree(root);
        ASSERT_TRUE(files.make_folder(root));
    }
    void TearDown() override { files.remove_tree(root); }

    Text in_root(std::string_view name) const { return root + "\\" + Text(name); }

    FileServices& files = win32_files();
    Text root;
};

TEST_F(FilesTest, MakeFolderOnceOnlyAndOnlyBelowAnExistingParent) {
    Text folder = in_root("分辨率");
    EXPECT_TRUE(files.make_folder(folder));
    EXPECT_FALSE(files.make_folder(folder));
    EXPECT_TRUE(files.is_directory(folder));
    EXPECT_FALSE(files.make_folder(in_root("missing\\child")));
    EXPECT_FALSE(files.make_folder(""));
}

TEST_F(FilesTest, PathPresentAndIsDirectory) {
    Text file = in_root("clip 片.mp4");
    Text folder = in_root("sub");
    ASSERT_TRUE(write_file(file, "x"));
    ASSERT_TRUE(files.make_folder(folder));
    struct Case {
        Text path;
        bool present;
        bool directory;
    };
    const Case cases[] = {
        {file, true, false},
        {folder, true, true},
        {folder + "\\", true, true},
        {in_root("missing.mp4"), false, false},
        {in_root("missing\\deeper"), false, false},
        {root + "\\*", false, false},  // wildcards never match other entries
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(files.path_present(c.path), c.present) << c.path;
        if (c.path.find('*') == Text::npos) {
            EXPECT_EQ(files.is_directory(c.path), c.directory) << c.path;
        }
    }
    EXPECT_TRUE(files.path_present("C:\\"));
    EXPECT_TRUE(files.is_directory("C:\\windows"));
}

TEST_F(FilesTest, WriteAllWritesEveryByteAndReportsAFailedWrite) {
    Text file = in_root("out.bin");
    const std::string binary("\x00\xFF\r\n\x1A\x00", 6);
    const std::string large(3 << 20, 'q');
    for (const std::string& content :
         {std::string("a longer first content"), binary, std::string(), large}) {
        ASSERT_TRUE(write_file(file, content));
        EXPECT_EQ(read_whole(file), content);
    }
    // A handle opened for reading only refuses the write.
    win32::KernelHandle reading(CreateFileW(win32::widen(file).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reading);
    EXPECT_FALSE(win32::write_all(reading.get(), "x", 1));
}

// Every handle is closed exactly once by its one owner, and a close that fails says so.
TEST(OwnedHandle, ClosesOnceAndPassesOwnershipOn) {
    auto is_open = [](HANDLE handle) {
        DWORD flags = 0;
        return GetHandleInformation(handle, &flags) != 0;
    };
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        win32::KernelHandle first(event);
        win32::KernelHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_TRUE(second);
        EXPECT_EQ(second.get(), event);
        win32::KernelHandle third;
        third = std::move(second);
        EXPECT_FALSE(second);
        EXPECT_TRUE(is_open(event));
    }
    EXPECT_FALSE(is_open(event));

    event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    win32::KernelHandle owner(event);
    EXPECT_EQ(owner.release(), event);
    EXPECT_FALSE(owner);
    EXPECT_TRUE(owner.close());  // nothing held, nothing to fail
    EXPECT_TRUE(is_open(event));
    owner.reset(event);
    EXPECT_TRUE(owner.close());
    EXPECT_FALSE(owner);
    EXPECT_FALSE(is_open(event));

    // Both empty values of kernel functions mean "no handle": neither is ever closed (the
    // value of INVALID_HANDLE_VALUE is also this process's own pseudo-handle).
    for (HANDLE none : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        win32::KernelHandle empty(none);
        EXPECT_FALSE(empty);
        EXPECT_TRUE(empty.close());
    }
    win32::FindHandle no_search(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(no_search);
    EXPECT_FALSE(win32::FindHandle());
}

TEST_F(FilesTest, DeleteAndRename) {
    Text from = in_root("temp 1.mp4");
    Text to = in_root("最终.mp4");
    ASSERT_TRUE(write_file(from, "new"));
    ASSERT_TRUE(write_file(to, "old"));

    EXPECT_FALSE(files.rename_path(from, to, false));
    EXPECT_EQ(read_whole(to), "old");
    EXPECT_TRUE(files.path_present(from));

    EXPECT_TRUE(files.rename_path(from, to, true));
    EXPECT_EQ(read_whole(to), "new");
    EXPECT_FALSE(files.path_present(from));

    Text staging = in_root("staging");
    ASSERT_TRUE(files.make_folder(staging));
    ASSERT_TRUE(write_file(staging + "\\ffmpeg.exe", "MZ"));
    EXPECT_TRUE(files.rename_path(staging, in_root("ffmpeg"), false));
    EXPECT_EQ(read_whole(in_root("ffmpeg\\ffmpeg.exe")), "MZ");

    EXPECT_TRUE(files.delete_file(to));
    EXPECT_FALSE(files.path_present(to));
    EXPECT_FALSE(files.delete_file(to));
    EXPECT_FALSE(files.rename_path(in_root("missing"), in_root("other"), true));
}

TEST_F(FilesTest, RemoveTreeTakesEverythingInside) {
    Text tree = in_root("tree 树");
    ASSERT_TRUE(files.make_folder(tree));
    ASSERT_TRUE(files.make_folder(tree + "\\a"));
    ASSERT_TRUE(files.make_folder(tree + "\\a\\视频 b"));
    ASSERT_TRUE(write_file(tree + "\\a\\视频 b\\c.mp4", "c"));
    ASSERT_TRUE(write_file(tree + "\\top.txt", "t"));
    Text locked = tree + "\\a\\read-only.txt";
    ASSERT_TRUE(write_file(locked, "r"));
    ASSERT_TRUE(SetFileAttributesW(win32::widen(locked).c_str(), FILE_ATTRIBUTE_READONLY));
    Text sibling = in_root("tree 树 sibling.txt");
    ASSERT_TRUE(write_file(sibling, "s"));

    EXPECT_TRUE(files.remove_tree(tree));
    EXPECT_FALSE(files.path_present(tree));
    EXPECT_TRUE(files.path_present(sibling));
    EXPECT_FALSE(files.remove_tree(tree));
}

TEST_F(FilesTest, SameFileSeesThroughOtherSpellings) {
    Text folder = in_root("my videos");
    ASSERT_TRUE(files.make_folder(folder));
    Text file = folder + "\\a long name 片.mp4";
    Text other = folder + "\\other.mp4";
    ASSERT_TRUE(write_file(file, "same"));
    ASSERT_TRUE(write_file(other, "same"));

    EXPECT_TRUE(files.same_file(file, file));
    EXPECT_TRUE(files.same_file(file, folder + "\\.\\a long name 片.mp4"));
    EXPECT_TRUE(files.same_file(file, folder + "\\A LONG NAME 片.MP4"));
    Text short_form = files.short_path_name(file, 1000);
    ASSERT_FALSE(short_form.empty());
    EXPECT_TRUE(files.same_file(file, short_form));
    EXPECT_FALSE(files.same_file(file, other));  // equal content is not the same file
    EXPECT_FALSE(files.same_file(file, in_root("missing.mp4")));
    EXPECT_TRUE(files.same_file(folder, folder + "\\"));
}

TEST_F(FilesTest, ShortPathNameRespectsTheCapacity) {
    Text folder = in_root("my videos 视频");
    ASSERT_TRUE(files.make_folder(folder));
    Text file = folder + "\\my holiday 片.mp4";
    ASSERT_TRUE(write_file(file, "v"));

    Text short_form = files.short_path_name(file, static_cast<int>(file.size()) + 100);
    ASSERT_FALSE(short_form.empty());
    EXPECT_EQ(short_form.find(' '), Text::npos) << short_form;
    EXPECT_TRUE(files.same_file(short_form, file));
    // It fits only with its terminating zero.
    EXPECT_EQ(files.short_path_name(file, static_cast<int>(short_form.size()) + 1), short_form);
    EXPECT_EQ(files.short_path_name(file, static_cast<int>(short_form.size())), "");
    EXPECT_EQ(files.short_path_name(in_root("missing file.mp4"), 1000), "");

    // As the conversion uses it: no blank reaches the command line.
    auto system_short_name = [this](std::string_view path, int capacity) {
        return files.short_path_name(path, capacity);
    };
    Text shortened = short_path_if_spaced(file, system_short_name);
    EXPECT_EQ(shortened.find(' '), Text::npos) << shortened;
    EXPECT_TRUE(files.same_file(shortened, file));
}

TEST_F(FilesTest, ShortPathNameOfAPathLongerThan255Characters) {
    // Nested folders with blanks, until the path is far beyond MAX_PATH.
    Text folder = root;
    for (int i = 0; folder.size() < 400; ++i) {
        folder += "\\folder with blanks " + std::to_string(i) + " 视频目录";
        ASSERT_TRUE(files.make_folder(folder)) << folder.size();
    }
    Text file = folder + "\\clip with blanks.mp4";
    ASSERT_TRUE(write_file(file, "long"));
    ASSERT_GT(win32::widen(file).size(), 255u);

    for (const Text& path : {file, folder + "\\"}) {
        Text short_form = files.short_path_name(path, static_cast<int>(path.size()));
        if (!short_form.empty()) {
            EXPECT_LT(static_cast<int>(short_form.size()), static_cast<int>(path.size()));
            EXPECT_TRUE(files.same_file(short_form, path));
        }
    }
    auto system_short_name = [this](std::string_view path, int capacity) {
        return files.short_path_name(path, capacity);
    };
    Text shortened = short_path_if_spaced(file, system_short_name);
    EXPECT_TRUE(files.same_file(shortened, file)) << shortened;
}

TEST(ProgramFolder, IsTheExecutablesFolderWithoutTrailingBackslash) {
    Text folder = win32_files().program_folder();
    EXPECT_EQ(folder, win32::narrow(test_support::test_folder()));
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(win32_files().path_present(folder + "\\win32_files_test.exe"));
}

TEST(ProgramFolder, AtADriveRootIsTheDriveAlone) {
    std::wstring helper = test_support::test_folder() + L"\\echo_args.exe";
    const std::wstring at_root = L"C:\\qv_echo_args.exe";
    ASSERT_TRUE(CopyFileW(helper.c_str(), at_root.c_str(), FALSE));
    std::optional<std::string> output =
        testing::run_and_capture(at_root, L"qv_echo_args.exe --program-folder");
    DeleteFileW(at_root.c_str());
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, std::string("C:") + '\0');
}

}  // namespace
}  // namespace quelvarn
