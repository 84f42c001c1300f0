// Hostile arguments, quoted one by one, come back unchanged from the system's own splitting:
// CommandLineToArgvW and the C runtime of a real child process.
// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <vector>

#include "child_output.h"
#include "platform/win32/process.h"
#include "platform/win32/wide.h"
#include "text/paths.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

const std::vector<Text>& hostile_arguments() {
    static const std::vector<Text> arguments = {
        "plain",
        "a b",
        "  leading and trailing  ",
        "a\tb",
        "line\nbreak",
        "vertical\vtab",
        "say \"hi\"",
        "\"",
        "\"\"",
        "a\"\"b",
        "trailing\\",
        "D:\\my videos\\",
        "C:\\Program Files\\x\\\\",
        "a\\\"b",
        "a\\\\\"b",
        "\\\\\"",
        "\\",
        "\\\\server\\share\\a b.mp4",
        "",
        "-y",
        "-i",
        "--",
        "scale=-2:1920",
        "a b -y -i x.mp4",  // may not turn into further arguments
        "&|<>^%PATH%!x!",
        "D:\\视频\\我的 片子.mp4",
        "分辨率\\\"引号\"",
        "emoji 😀\\",
        "'single quotes'",
    };
    return arguments;
}

std::wstring command_line_of(const std::vector<Text>& arguments) {
    std::wstring line = L"program.exe";
    for (const Text& argument : arguments) line += L" " + win32::widen(quote_argument(argument));
    return line;
}

TEST(QuoteArgument, EachComesBackFromCommandLineToArgvW) {
    for (const Text& argument : hostile_arguments()) {
        std::wstring line = command_line_of({argument});
        int count = 0;
        LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(split, nullptr);
        ASSERT_EQ(count, 2) << "argument=" << argument << " quoted=" << quote_argument(argument);
        EXPECT_EQ(win32::narrow(split[1]), argument) << "quoted=" << quote_argument(argument);
        LocalFree(split);
    }
}

TEST(QuoteArgument, AllTogetherOnOneLineStaySeparate) {
    const std::vector<Text>& arguments = hostile_arguments();
    std::wstring line = command_line_of(arguments);
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(count, static_cast<int>(arguments.size()) + 1);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        EXPECT_EQ(win32::narrow(split[i + 1]), arguments[i]) << "argument " << i;
    }
    LocalFree(split);
}

TEST(QuoteArgument, ARealChildReceivesEachArgumentUnchanged) {
    const std::vector<Text>& arguments = hostile_arguments();
    std::wstring program = test_support::test_folder() + L"\\echo_args.exe";
    std::optional<std::string> output =
        testing::run_and_capture(program, command_line_of(arguments));
    ASSERT_TRUE(output.has_value()) << "echo_args.exe did not start";
    std::vector<Text> received;
    std::size_t from = 0;
    for (std::size_t end; (end = output->find('\0', from)) != std::string::npos; from = end + 1) {
        received.push_back(output->substr(from, end - from));
    }
    EXPECT_EQ(received, arguments);
}

// The child started for a run sees the quoted path of the program as its first word, as every
// Windows program expects, also when the path has blanks and no argument follows.
TEST(ChildCommandLine, BeginsWithTheQuotedProgramPath) {
    const std::wstring folder = L"C:\\my tools";
    const std::wstring program = folder + L"\\echo args.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((test_support::test_folder() + L"\\echo_args.exe").c_str(),
                          program.c_str(), FALSE));
    struct Case {
        Text arguments;
        Text command_line;
    };
    const Case cases[] = {
        {" --command-line -i \"a b.mp4\"",
         "\"C:\\my tools\\echo args.exe\" --command-line -i \"a b.mp4\""},
        {"--command-line", "\"C:\\my tools\\echo args.exe\" --command-line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::unique_ptr<ChildProcess> child =
            win32_processes().start_child(win32::narrow(program), c.arguments, "");
        ASSERT_TRUE(child);
        std::string output;
        for (;;) {
            std::optional<std::size_t> waiting = child->bytes_waiting();
            if (!waiting) break;
            if (*waiting == 0) {
                child->wait(20);
                continue;
            }
            std::uint8_t buffer[512];
            std::size_t got = child->read(buffer, sizeof buffer);
            output.append(reinterpret_cast<char*>(buffer), got);
        }
        std::size_t end = output.find('\0');
        ASSERT_NE(end, std::string::npos) << output;
        EXPECT_EQ(output.substr(0, end), c.command_line);
        EXPECT_EQ(output.substr(end + 1), "C:\\my tools\\echo args.exe" + std::string(1, '\0'));
    }
}

}  // namespace
}  // namespace quelvarn
