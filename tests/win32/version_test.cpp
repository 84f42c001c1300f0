// The details Windows shows for the built program (Explorer's Properties -> Details) and the
// guide the build puts beside it name the one version the build took from git.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "windows_test_support.h"

namespace quelvarn {
namespace {

using test_support::program_path;
using test_support::test_folder;

std::string read_whole(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring wide(const std::string& text) {
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

// The version text cmake/version.cmake wrote for this build.
std::string built_version() {
    std::string text = read_whole(test_folder() + L"\\..\\version\\version.txt");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

class VersionResource : public ::testing::Test {
  protected:
    void SetUp() override {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(program_path().c_str(), &ignored);
        ASSERT_GT(size, 0u) << "quelvarn.exe has no version resource";
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(program_path().c_str(), 0, size, data.data()));
    }

    // The string VALUE `name` of the block Explorer reads: the first translation listed.
    std::wstring string_value(const wchar_t* name) {
        struct Translation {
            WORD language;
            WORD code_page;
        };
        Translation* translation = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(&translation), &length) ||
            length < sizeof(Translation)) {
            return L"<no translation>";
        }
        wchar_t block[64];
        wsprintfW(block, L"\\StringFileInfo\\%04x%04x\\%s", translation->language,
                  translation->code_page, name);
        wchar_t* value = nullptr;
        if (!VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&value), &length)) {
            return L"<missing>";
        }
        return std::wstring(value, length > 0 ? length - 1 : 0);
    }

    std::vector<char> data;
};

TEST_F(VersionResource, NamesTheProductAndTheBuiltVersion) {
    std::wstring version = wide(built_version());
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(string_value(L"ProductName"), L"Quelvarn");
    EXPECT_EQ(string_value(L"ProductVersion"), version);
    EXPECT_EQ(string_value(L"FileVersion"), version);
    EXPECT_EQ(string_value(L"OriginalFilename"), L"quelvarn.exe");
    EXPECT_NE(string_value(L"FileDescription").find(L"Quelvarn"), std::wstring::npos);
    EXPECT_NE(string_value(L"LegalCopyright").find(L"Copyright © "), std::wstring::npos);
}

TEST_F(VersionResource, FixedNumbersAreTheVersionsLeadingNumbers) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);

    // "1.2.3…" shows as 1.2.3.x, "0.0.0-<hash>" as 0.0.0.0.
    std::string version = built_version();
    if (!version.empty() && version[0] == 'v') version.erase(0, 1);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_GE(sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 2) << version;
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), major);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), minor);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), patch);
}

// The guide as the release zip carries it: Notepad needs the BOM to read UTF-8, and CRLF lines.
TEST(Guide, BesideTheProgramNamesTheBuiltVersion) {
    std::string guide = read_whole(test_folder() + L"\\..\\使用说明.txt");
    ASSERT_GT(guide.size(), 3u) << "no guide beside the program";
    EXPECT_EQ(guide.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(guide.find("Quelvarn " + built_version() + " "), std::string::npos);
    EXPECT_EQ(guide.find("@QUELVARN_VERSION@"), std::string::npos);
    for (size_t at = guide.find('\n'); at != std::string::npos; at = guide.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && guide[at - 1] == '\r') << "a bare LF at byte " << at;
    }
}

}  // namespace
}  // namespace quelvarn
