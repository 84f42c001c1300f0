// The real main window under Wine: its frame, its controls as laid out, the keys, drag and drop
// through the system's own path, the end of the program, and the status boxes.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_framework.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/progress_view.h"
#include "windows_test_support.h"

namespace quelvarn {
namespace {

using win32::narrow;
using win32::widen;
using namespace test_support;

// Screen coordinates in this process are the screen's own pixels at any DPI: a DPI-unaware
// process would see the window of a DPI-aware program scaled back to 96 DPI.
const bool dpi_aware = SetProcessDPIAware();

// The DPI the test prefix is set to (tests/wine-run sets it from QV_DPI); 96 by default.
int prefix_dpi() {
    wchar_t value[16] = {};
    if (!GetEnvironmentVariableW(L"QV_DPI", value, 16)) return 96;
    int dpi = _wtoi(value);
    return dpi > 0 ? dpi : 96;
}

// A length of the 96-DPI layout at the prefix's DPI.
int scaled(int pixels) {
    return MulDiv(pixels, prefix_dpi(), 96);
}

int count_lines(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0;
    return count;
}

std::string unhex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// The texts of every files event the program raised, in order.
std::vector<std::string> files_events(const std::vector<std::string>& lines) {
    std::vector<std::string> events;
    for (const std::string& line : lines) {
        if (line.rfind("files ", 0) == 0) events.push_back(unhex(line.substr(6)));
    }
    return events;
}

RECT rect_in_client_of(HWND window, HWND parent) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

BOOL CALLBACK collect_window(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

// The top-level windows of the desktop, or of one thread.
std::vector<HWND> top_level_windows(DWORD thread = 0) {
    std::vector<HWND> windows;
    if (thread) {
        EnumThreadWindows(thread, collect_window, reinterpret_cast<LPARAM>(&windows));
    } else {
        EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
    }
    return windows;
}

// Clicks into a control of another program until it has the focus (a click now and then gets
// lost while the previous one is still being handled).
template <typename Focus>
bool click_into(HWND control, Focus focus) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        click_at(centre_on_screen(control));
        if (wait_until([&] { return focus() == control; }, 1500)) return true;
    }
    return false;
}

// Quelvarn started as a separate process, as a user starts it, with a lifecycle trace.
class RunningProgram {
  public:
    RunningProgram() {
        // The first start in this test's prefix writes the tools; later ones find them checked.
        static int runs = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        trace_path_ = std::wstring(temp) + L"quelvarn-trace-" +
                      std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs) +
                      L".txt";
        DeleteFileW(trace_path_.c_str());
        SetEnvironmentVariableW(L"QUELVARN_TRACE", trace_path_.c_str());

        std::wstring command = L"\"" + program_path() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program_path().c_str(), command.data(), nullptr, nullptr, FALSE,
                                  0, nullptr, nullptr, &startup, &process_);
        SetEnvironmentVariableW(L"QUELVARN_TRACE", nullptr);
        if (!started_) return;
        wait_until([this] { return find_window() && count_lines(trace(), "shown") == 1; }, 30000);
        // Let the first paint and activation settle before anything is pressed.
        Sleep(500);
    }
    ~RunningProgram() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HWND window() const { return window_; }
    std::vector<std::string> trace() const { return read_lines(trace_path_); }

    HWND control(std::string_view name) const {
        const ControlRow* row = find_control_row(name);
        if (!row) return nullptr;
        HWND parent = row->parent.empty() ? window_ : control(row->parent);
        return GetDlgItem(parent, layout_control_id(name));
    }

    HWND focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(process_.dwThreadId, &info);
        return info.hwndFocus;
    }

    bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // Presses OK on every message box the program shows.
    void close_message_boxes() const {
        for (HWND window : top_level_windows()) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process_.dwProcessId && class_name(window) == L"#32770") {
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            }
        }
    }

    // The exit code, or -1 when the program has not ended within the time.
    long long exit_code_within(int milliseconds) const {
        if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

  private:
    bool find_window() {
        window_ = nullptr;
        for (HWND window : top_level_windows()) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process_.dwProcessId && IsWindowVisible(window) &&
                class_name(window) == L"QuelvarnMainWindow") {
                window_ = window;
            }
        }
        return window_ != nullptr;
    }

    std::wstring trace_path_;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
    HWND window_ = nullptr;
};

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(program.window()) << "the main window did not appear"; }
    RunningProgram program;
};

// What depends on the DPI: these also run in a prefix set to another DPI (win32_window_test_dpi).
class MainWindowLayout : public MainWindow {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dpi_aware);
        HDC screen = GetDC(nullptr);
        int screen_dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(screen_dpi, prefix_dpi()) << "the prefix is not set to the DPI asked for";
        MainWindow::SetUp();
    }
};

TEST_F(MainWindowLayout, IsCentredWithItsCaptionAndFixedOuterSize) {
    HWND window = program.window();
    EXPECT_EQ(window_text(window), L"Quelvarn");
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    // 499 x 284 at 96 DPI, exactly. At another DPI the client area scales and the system draws
    // the frame and title bar for that DPI, so the outer size is about the scaled one: at 144 DPI
    // about 749 x 426.
    int slack = prefix_dpi() == 96 ? 0 : 4;
    EXPECT_NEAR(width, scaled(499), slack);
    EXPECT_NEAR(height, scaled(284), slack);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_FALSE(IsZoomed(window));
}

TEST_F(MainWindow, CanBeMinimizedButNotResizedOrMaximized) {
    HWND window = program.window();
    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // No border or corner offers sizing to the mouse.
    RECT rect;
    GetWindowRect(window, &rect);
    POINT edges[] = {{rect.right - 1, rect.bottom - 1},
                     {rect.right - 1, (rect.top + rect.bottom) / 2},
                     {(rect.left + rect.right) / 2, rect.bottom - 1},
                     {rect.left, rect.top}};
    for (POINT edge : edges) {
        LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y));
        EXPECT_TRUE(hit < HTSIZEFIRST || hit > HTSIZELAST) << "hit test " << hit;
    }

    // A double click on the title bar does not maximize it either.
    SendMessageW(window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(rect.left + 100, rect.top + 10));
    EXPECT_FALSE(IsZoomed(window));
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_EQ(after.right - after.left, 499);
}

TEST_F(MainWindowLayout, WindowAndGroupBoxHaveButtonFaceBackground) {
    // Points of the client area and of the group box's inside where no control lies.
    const std::pair<HWND, POINT> points[] = {
        {program.window(), {scaled(200), scaled(6)}},
        {program.control(controls::kGroup), {scaled(240), scaled(170)}},
    };
    HDC screen = GetDC(nullptr);
    for (auto [window, point] : points) {
        ClientToScreen(window, &point);
        EXPECT_EQ(GetPixel(screen, point.x, point.y), GetSysColor(COLOR_BTNFACE));
    }
    ReleaseDC(nullptr, screen);
}

TEST(ProgramIcon, IsOneImageOf72By72At32BitsPerPixel) {
    HMODULE program = LoadLibraryExW(program_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    HRSRC group =
        FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_TRUE(group);
#pragma pack(push, 2)
    struct IconEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bit_count;
        DWORD bytes;
        WORD id;
    };
    struct IconGroup {
        WORD reserved, type, count;
        IconEntry entries[1];
    };
#pragma pack(pop)
    auto* icons = static_cast<const IconGroup*>(LockResource(LoadResource(program, group)));
    ASSERT_TRUE(icons);
    ASSERT_EQ(icons->count, 1);
    EXPECT_EQ(icons->entries[0].width, 72);
    EXPECT_EQ(icons->entries[0].height, 72);
    EXPECT_EQ(icons->entries[0].bit_count, 32);
    FreeLibrary(program);
}

// The manifest as the system reads it: an activation context made from the program's manifest
// resource, with the settings and the controls that context gives.
TEST(ProgramManifest, DeclaresPerMonitorV2AwarenessAndCommonControls6) {
    std::wstring program = program_path();
    ACTCTXW description = {};
    description.cbSize = sizeof description;
    description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.lpSource = program.c_str();
    description.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&description);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the system rejects the manifest";

    struct Setting {
        const wchar_t* name_space;
        const wchar_t* name;
        const wchar_t* value;
    };
    const Setting settings[] = {
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
         L"PerMonitorV2, PerMonitor"},
        // What systems before Windows 10 1607 read.
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
    };
    for (const Setting& setting : settings) {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, context, setting.name_space, setting.name, value, 128,
                                         &written))
            << narrow(setting.name);
        EXPECT_STREQ(value, setting.value);
    }

    // Inside the context "Button" is the Common Controls 6 button, which knows its ideal size;
    // the system's plain button does not.
    auto knows_ideal_size = [] {
        HWND button = CreateWindowExW(0, L"Button", L"修改分辨率", WS_POPUP | BS_PUSHBUTTON, 0, 0,
                                      80, 32, nullptr, nullptr, nullptr, nullptr);
        SIZE ideal = {};
        bool known = SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
        DestroyWindow(button);
        return known;
    };
    EXPECT_FALSE(knows_ideal_size());
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    EXPECT_TRUE(knows_ideal_size());
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
}

struct ExpectedControl {
    std::string_view name;
    std::string_view parent;  // empty: the main window
    const wchar_t* window_class;
    RECT place;  // left, top, right, bottom in the parent's client area
    const wchar_t* text;
    bool tab_stop;
};

// The window as its users know it, written out independently of the program's own table.
const ExpectedControl kExpectedControls[] = {
    {controls::kProgressLabel,
     {},
     L"QuelvarnTransparentLabel",
     {397, 20, 488, 36},
     L"进度：",
     false},
    {controls::kDurationStore, {}, L"Static", {720, 24, 800, 48}, L"标签", false},
    {controls::kPathBox, {}, L"Edit", {67, 18, 392, 38}, L"", true},
    {controls::kPathCaption,
     {},
     L"QuelvarnTransparentLabel",
     {8, 16, 72, 40},
     L"视频路径：",
     false},
    {controls::kGroup, {}, L"Button", {8, 48, 488, 248}, L"", false},
    {controls::kLaterNote,
     controls::kGroup,
     L"QuelvarnTransparentLabel",
     {320, 136, 448, 180},
     L"其它功能后期再发",
     false},
    {controls::kUsageNote,
     controls::kGroup,
     L"QuelvarnTransparentLabel",
     {8, 78, 472, 152},
     L"说明：当分辨率宽为-1时，设置的分辨率后，宽度自动成比例 "
     L"相反：当分辨率高为-1时，设置的分辨率后，"
     L"高度自动成比例 如果自己设置分辨率高和宽时，一定要注意比例，否则会变形\r\n",
     false},
    {controls::kHeightBox, controls::kGroup, L"Edit", {195, 40, 238, 60}, L"1920", true},
    {controls::kWidthBox, controls::kGroup, L"Edit", {79, 40, 122, 60}, L"-1", true},
    {controls::kSizeCaptions,
     controls::kGroup,
     L"QuelvarnTransparentLabel",
     {8, 41, 248, 57},
     L"分辨率帧宽：        分辨率帧高：",
     false},
    {controls::kChangeButton, controls::kGroup, L"Button", {345, 34, 425, 66}, L"修改分辨率", true},
};

TEST_F(MainWindowLayout, EveryControlHasItsParentPlaceSizeTextAndSettings) {
    for (const ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(std::string(expected.name));
        HWND control = program.control(expected.name);
        ASSERT_TRUE(control);
        HWND parent = expected.parent.empty() ? program.window() : program.control(expected.parent);
        EXPECT_EQ(GetParent(control), parent);
        EXPECT_EQ(class_name(control), expected.window_class);
        // Left, top, width and height each scale with the DPI (at 144 DPI the path box is 488
        // wide).
        RECT place = rect_in_client_of(control, parent);
        EXPECT_EQ(place.left, scaled(expected.place.left));
        EXPECT_EQ(place.top, scaled(expected.place.top));
        EXPECT_EQ(place.right - place.left, scaled(expected.place.right - expected.place.left));
        EXPECT_EQ(place.bottom - place.top, scaled(expected.place.bottom - expected.place.top));
        EXPECT_EQ(window_text(control), expected.text);
        EXPECT_TRUE(IsWindowVisible(control));
        EXPECT_TRUE(IsWindowEnabled(control));
        LONG style = GetWindowLongW(control, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, expected.tab_stop);
    }
}

TEST_F(MainWindow, ControlsHaveTheStylesOfTheirKind) {
    for (std::string_view name : {controls::kPathBox, controls::kWidthBox, controls::kHeightBox}) {
        SCOPED_TRACE(std::string(name));
        HWND edit = program.control(name);
        LONG style = GetWindowLongW(edit, GWL_STYLE);
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        EXPECT_FALSE(style & (ES_MULTILINE | ES_PASSWORD | ES_READONLY | ES_NUMBER | ES_UPPERCASE |
                              ES_LOWERCASE | ES_NOHIDESEL | ES_CENTER | ES_RIGHT));
        EXPECT_TRUE(GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    }
    LONG button = GetWindowLongW(program.control(controls::kChangeButton), GWL_STYLE);
    EXPECT_EQ(button & BS_TYPEMASK, BS_PUSHBUTTON);  // not the default button
    LONG group = GetWindowLongW(program.control(controls::kGroup), GWL_STYLE);
    EXPECT_EQ(group & BS_TYPEMASK, BS_GROUPBOX);
}

std::vector<std::string_view> stacking_order(const RunningProgram& program, HWND parent) {
    std::vector<std::string_view> names;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string_view name = "?";
        const WindowLayout& layout = main_window_layout();
        for (int i = 0; i < layout.row_count; ++i) {
            if (program.control(layout.rows[i].name) == child) name = layout.rows[i].name;
        }
        names.push_back(name);
    }
    return names;
}

TEST_F(MainWindow, ControlsAreStackedInTableOrderAndNothingElseIsThere) {
    using ::testing::ElementsAre;
    namespace c = controls;
    EXPECT_THAT(
        stacking_order(program, program.window()),
        ElementsAre(c::kProgressLabel, c::kDurationStore, c::kPathBox, c::kPathCaption, c::kGroup));
    EXPECT_THAT(stacking_order(program, program.control(c::kGroup)),
                ElementsAre(c::kLaterNote, c::kUsageNote, c::kHeightBox, c::kWidthBox,
                            c::kSizeCaptions, c::kChangeButton));
}

TEST_F(MainWindowLayout, DurationStoreAndDropTargetAreNeverVisible) {
    RECT client;
    GetClientRect(program.window(), &client);
    RECT store = rect_in_client_of(program.control(controls::kDurationStore), program.window());
    EXPECT_GE(store.left, client.right);
    // The drop-target component has no window at all: at its place there is only the desktop.
    POINT place = {scaled(792 + 13), scaled(136 + 13)};
    ClientToScreen(program.window(), &place);
    HWND there = WindowFromPoint(place);
    EXPECT_TRUE(there != program.window() && !IsChild(program.window(), there));
}

struct Picture {
    int width = 0, height = 0;
    // Row by row, top down; 0x00RRGGBB.
    std::vector<DWORD> pixels;

    DWORD at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Text ink: every channel dark (the labels draw black on the button face).
bool is_ink(DWORD pixel) {
    return (pixel & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && ((pixel >> 16) & 0xFF) < 0x80;
}

// The smallest rectangle holding every ink pixel; empty when there is none.
RECT ink_box(const Picture& picture) {
    RECT box = {picture.width, picture.height, 0, 0};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (!is_ink(picture.at(x, y))) continue;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                   std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        }
    }
    return box.left < box.right ? box : RECT{};
}

// The pixels a device context holds in its selected bitmap.
Picture read_bitmap(HDC memory, HBITMAP bitmap, int width, int height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, picture.pixels.data(), &info, DIB_RGB_COLORS);
    return picture;
}

// A window's area as the screen shows it.
Picture capture(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    Picture picture = read_bitmap(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// A text as a transparent label of that size draws it, in the default GUI font made for `dpi`
// (the system's stock font is made for the system DPI).
Picture render_label_text(const std::wstring& text, int width, int height, int dpi) {
    HDC screen = GetDC(nullptr);
    LOGFONTW font_description = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font_description, &font_description);
    font_description.lfHeight =
        MulDiv(font_description.lfHeight, dpi, GetDeviceCaps(screen, LOGPIXELSY));
    HFONT font = CreateFontIndirectW(&font_description);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    HGDIOBJ old_font = SelectObject(memory, font);
    RECT area = {0, 0, width, height};
    FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, RGB(0, 0, 0));
    DrawTextW(memory, text.c_str(), -1, &area, DT_LEFT | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    SelectObject(memory, old_font);
    SelectObject(memory, old_bitmap);
    Picture picture = read_bitmap(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

TEST_F(MainWindowLayout, LabelsAreDrawnInTheDefaultGuiFontAtTheWindowsDpi) {
    for (std::string_view name : {controls::kPathCaption, controls::kProgressLabel}) {
        SCOPED_TRACE(std::string(name));
        HWND label = program.control(name);
        Picture shown = capture(label);
        Picture expected =
            render_label_text(window_text(label), shown.width, shown.height, prefix_dpi());
        RECT shown_ink = ink_box(shown), expected_ink = ink_box(expected);
        EXPECT_GT(expected_ink.bottom - expected_ink.top, scaled(8));
        EXPECT_EQ(shown_ink.left, expected_ink.left);
        EXPECT_EQ(shown_ink.top, expected_ink.top);
        EXPECT_EQ(shown_ink.right, expected_ink.right);
        EXPECT_EQ(shown_ink.bottom, expected_ink.bottom);
    }
}

// The size captions lie under the two size boxes, one caption left of each box; the blanks
// between them are laid out for a font whose ASCII blank is half a CJK character (宋体). With
// narrower blanks the second caption starts under the width box and shows cut ("辨率帧高：").
TEST_F(MainWindowLayout, SizeCaptionsShowWholeBesideTheSizeBoxes) {
    HWND window = program.window();
    RECT captions, width_box;
    GetWindowRect(program.control(controls::kSizeCaptions), &captions);
    GetWindowRect(program.control(controls::kWidthBox), &width_box);
    RECT frame;
    GetWindowRect(window, &frame);
    Picture picture = capture(window);
    auto ink_in_columns = [&](LONG from, LONG to) {
        for (LONG x = from; x < to; ++x) {
            for (LONG y = captions.top; y < captions.bottom; ++y) {
                if (is_ink(picture.at(x - frame.left, y - frame.top))) return true;
            }
        }
        return false;
    };
    const int gap = scaled(3);
    EXPECT_TRUE(ink_in_columns(captions.left, width_box.left)) << "no first caption";
    EXPECT_FALSE(ink_in_columns(width_box.left - gap, width_box.left)) << "first caption cut";
    EXPECT_FALSE(ink_in_columns(width_box.right, width_box.right + gap)) << "second caption cut";
    EXPECT_TRUE(ink_in_columns(width_box.right, captions.right)) << "no second caption";
}

TEST_F(MainWindowLayout, TransparentLabelsLeaveNoTraceOfAnOldText) {
    // One label on the main window, one inside the group box.
    for (std::string_view name : {controls::kProgressLabel, controls::kLaterNote}) {
        SCOPED_TRACE(std::string(name));
        HWND label = program.control(name);
        std::wstring initial = window_text(label);
        std::vector<DWORD> before = capture(label).pixels;
        SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"进度：100 %  ███"));
        Sleep(300);
        EXPECT_NE(capture(label).pixels, before) << "the new text was not drawn";
        SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(initial.c_str()));
        Sleep(300);
        EXPECT_EQ(capture(label).pixels, before);
    }
}

TEST_F(MainWindow, EscInTheWidthBoxEndsTheProgramWithCodeZero) {
    HWND width_box = program.control(controls::kWidthBox);
    ASSERT_TRUE(click_into(width_box, [&] { return program.focus(); }));
    send_key(VK_ESCAPE);
    EXPECT_EQ(program.exit_code_within(20000), 0);
    std::vector<std::string> trace = program.trace();
    EXPECT_EQ(count_lines(trace, "destroying"), 1);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "exit 0");
}

TEST_F(MainWindow, ClosingByTheSystemMenuEndsTheProgramWithCodeZero) {
    PostMessageW(program.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.exit_code_within(20000), 0);
    EXPECT_EQ(count_lines(program.trace(), "destroying"), 1);
}

TEST_F(MainWindow, EnterAndF1InAnEditBoxDoNothing) {
    for (std::string_view name : {controls::kPathBox, controls::kWidthBox, controls::kHeightBox}) {
        SCOPED_TRACE(std::string(name));
        HWND edit = program.control(name);
        std::wstring before = window_text(edit);
        ASSERT_TRUE(click_into(edit, [&] { return program.focus(); }));
        // A retried click may still be on its way; the keys go in only once the focus has settled.
        Sleep(300);
        if (program.focus() != edit) {
            ASSERT_TRUE(click_into(edit, [&] { return program.focus(); }));
        }
        send_key(VK_RETURN);
        send_key(VK_F1);
        Sleep(500);
        EXPECT_EQ(program.focus(), edit);
        EXPECT_EQ(window_text(edit), before);
        EXPECT_TRUE(program.running());
    }
    EXPECT_EQ(count_lines(program.trace(), "clicked"), 0);

    // The button itself does raise its event, so the trace would have shown a press.
    PostMessageW(program.control(controls::kChangeButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(wait_until([&] { return count_lines(program.trace(), "clicked") == 1; }, 5000));
}

// Drags with the helper program from beside the window onto a point of it; the drop effect.
int drag_and_drop_once(HWND main_window, POINT target, const wchar_t* keys, const wchar_t* kind,
                       const std::vector<std::wstring>& items) {
    RECT frame;
    GetWindowRect(main_window, &frame);
    POINT from = {frame.left - 40, target.y};
    std::wstring command = L"\"" + helper_path(L"drop_source") + L"\" " + keys + L" " + kind;
    for (LONG value : {from.x, from.y, target.x, target.y})
        command += L" " + std::to_wstring(value);
    for (const std::wstring& item : items) command += L" \"" + item + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = 100;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 100);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

// On a loaded machine a drag can end before the target has answered it; a drag that should be
// accepted is then made again (a refused one raises no event, so nothing is counted twice).
int drag_and_drop(HWND main_window, POINT target, const wchar_t* keys, const wchar_t* kind,
                  const std::vector<std::wstring>& items, int expected_effect) {
    int effect = DROPEFFECT_NONE;
    for (int attempt = 0; attempt < 3; ++attempt) {
        effect = drag_and_drop_once(main_window, target, keys, kind, items);
        if (expected_effect == DROPEFFECT_NONE || effect != DROPEFFECT_NONE) break;
    }
    return effect;
}

TEST_F(MainWindow, FilesDroppedOnThePathBoxRaiseOneFilesEvent) {
    struct Case {
        const wchar_t* keys;
        std::vector<std::wstring> paths;
        int effect;
        std::string event_text;
    };
    const Case cases[] = {
        {L"none", {L"C:\\视频 片段\\clip one.mp4"}, DROPEFFECT_COPY, "C:\\视频 片段\\clip one.mp4"},
        {L"none",
         {L"C:\\a\\first.mp4", L"D:\\第二个.mkv", L"E:\\x y\\third.avi"},
         DROPEFFECT_COPY,
         "C:\\a\\first.mp4\r\nD:\\第二个.mkv\r\nE:\\x y\\third.avi\r\n"},
        {L"shift", {L"C:\\moved.mp4"}, DROPEFFECT_MOVE, "C:\\moved.mp4"},
    };
    HWND path_box = program.control(controls::kPathBox);
    HWND button = program.control(controls::kChangeButton);
    for (const Case& drop : cases) {
        SCOPED_TRACE(drop.event_text);
        // Each drop runs a probe with the real converter, which says in a box that the file does
        // not exist; a drop is refused until that has ended and the button is enabled again.
        ASSERT_TRUE(wait_until(
            [&] {
                program.close_message_boxes();
                return IsWindowEnabled(button) != FALSE;
            },
            60000));
        size_t events_before = files_events(program.trace()).size();
        EXPECT_EQ(drag_and_drop(program.window(), centre_on_screen(path_box), drop.keys, L"files",
                                drop.paths, drop.effect),
                  drop.effect);
        ASSERT_TRUE(wait_until([&] { return files_events(program.trace()).size() > events_before; },
                               10000));
        Sleep(300);
        std::vector<std::string> events = files_events(program.trace());
        ASSERT_EQ(events.size(), events_before + 1);
        EXPECT_EQ(events.back(), drop.event_text);
        // The drop handler shows the (first) dropped path in the box.
        EXPECT_EQ(window_text(path_box), drop.paths.front());
    }
}

TEST_F(MainWindow, DropsElsewhereOrOfTextOrWithCtrlShiftChangeNothing) {
    HWND path_box = program.control(controls::kPathBox);
    POINT group_inside = {240, 170};
    ClientToScreen(program.control(controls::kGroup), &group_inside);
    POINT client_inside = {200, 6};
    ClientToScreen(program.window(), &client_inside);
    struct Case {
        const char* what;
        POINT target;
        const wchar_t* keys;
        const wchar_t* kind;
        int effect;
    };
    const Case cases[] = {
        {"ctrl+shift on the path box", centre_on_screen(path_box), L"ctrl+shift", L"files", 0},
        {"the width box", centre_on_screen(program.control(controls::kWidthBox)), L"none", L"files",
         0},
        {"the height box", centre_on_screen(program.control(controls::kHeightBox)), L"none",
         L"files", 0},
        {"the button", centre_on_screen(program.control(controls::kChangeButton)), L"none",
         L"files", 0},
        {"the path caption", centre_on_screen(program.control(controls::kPathCaption)), L"none",
         L"files", 0},
        {"the usage note", centre_on_screen(program.control(controls::kUsageNote)), L"none",
         L"files", 0},
        {"the group box", group_inside, L"none", L"files", 0},
        {"the window's background", client_inside, L"none", L"files", 0},
        // Accepted, as text is one of the kinds the drop target takes, but nothing is bound to it.
        {"text on the path box", centre_on_screen(path_box), L"none", L"text", DROPEFFECT_COPY},
    };
    std::wstring text_before = window_text(path_box);
    for (const Case& drop : cases) {
        SCOPED_TRACE(drop.what);
        EXPECT_EQ(drag_and_drop(program.window(), drop.target, drop.keys, drop.kind,
                                {L"C:\\videos\\clip.mp4"}, drop.effect),
                  drop.effect);
        Sleep(500);
        EXPECT_TRUE(files_events(program.trace()).empty());
        EXPECT_EQ(window_text(path_box), text_before);
    }
}

// --- report_status, in this process, with the Win32 window services ---

struct BoxSeen {
    std::wstring caption;
    std::wstring text;
    std::vector<int> button_ids;
    bool has_icon = false;
    bool has_owner = false;
    bool other_window_enabled = true;
};

// Finds message boxes of the test's thread from another thread, records them and closes them.
class BoxWatcher {
  public:
    BoxWatcher(DWORD thread, HWND other_window) : thread_(thread), other_window_(other_window) {
        worker_ = std::thread([this] { watch(); });
    }
    ~BoxWatcher() {
        stop_ = true;
        if (worker_.joinable()) worker_.join();
    }
    std::vector<BoxSeen> boxes() {
        stop_ = true;
        if (worker_.joinable()) worker_.join();
        return seen_;
    }

  private:
    void watch() {
        while (!stop_) {
            HWND box = nullptr;
            for (HWND window : top_level_windows(thread_)) {
                if (class_name(window) == L"#32770" && IsWindowVisible(window)) box = window;
            }
            if (box) {
                Sleep(100);
                seen_.push_back(inspect(box));
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                wait_until([box] { return !IsWindow(box); }, 5000);
            }
            Sleep(20);
        }
    }

    BoxSeen inspect(HWND box) {
        BoxSeen seen;
        seen.caption = window_text(box);
        seen.has_owner = GetWindow(box, GW_OWNER) != nullptr;
        seen.other_window_enabled = IsWindowEnabled(other_window_);
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            std::wstring kind = class_name(child);
            LONG style = GetWindowLongW(child, GWL_STYLE);
            if (kind == L"Button" && IsWindowVisible(child))
                seen.button_ids.push_back(GetDlgCtrlID(child));
            // The box's template always holds an icon control; it is hidden when there is no icon.
            if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                SendMessageW(child, STM_GETICON, 0, 0) != 0) {
                seen.has_icon = true;
            }
            if (kind == L"Static" && (style & SS_TYPEMASK) != SS_ICON &&
                !window_text(child).empty()) {
                seen.text = window_text(child);
            }
        }
        return seen;
    }

    DWORD thread_;
    HWND other_window_;
    std::atomic<bool> stop_{false};
    std::vector<BoxSeen> seen_;
    std::thread worker_;
};

// What happened on the test's thread, in order: "box" when a message box was created, "drained"
// when a message posted before the call was dispatched.
std::vector<std::string>* happenings = nullptr;

LRESULT CALLBACK probe_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP && happenings) happenings->push_back("drained");
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK creation_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND && happenings &&
        class_name(reinterpret_cast<HWND>(wparam)) == L"#32770") {
        happenings->push_back("box");
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The boxes the statuses raise, shown by the real framework: task-modal, OK only, no icon, no
// owner, with the program's caption.
TEST(StatusBoxes, AreTaskModalOkBoxes) {
    WindowServices& window = win32::window_framework();
    WNDCLASSW probe_class = {};
    probe_class.lpfnWndProc = probe_procedure;
    probe_class.hInstance = GetModuleHandleW(nullptr);
    probe_class.lpszClassName = L"QuelvarnStatusProbe";
    RegisterClassW(&probe_class);
    // A visible top-level window of this thread: a task-modal box disables it.
    HWND probe =
        CreateWindowExW(0, L"QuelvarnStatusProbe", L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                        10, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(probe);
    HHOOK hook = SetWindowsHookExW(WH_CBT, creation_hook, nullptr, GetCurrentThreadId());

    struct Case {
        RunStatus status;
        const wchar_t* box_text;  // nullptr: no box
    };
    const Case cases[] = {
        {RunStatus::running, nullptr},
        {RunStatus::done, nullptr},
        {RunStatus::file_missing, L"文件不存在11"},
        {RunStatus::input_output_error, L"输入输出错误"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        std::vector<BoxSeen> boxes;
        {
            BoxWatcher watcher(GetCurrentThreadId(), probe);
            if (std::optional<std::string_view> text = status_box_text(c.status)) {
                window.show_message(*text);
            }
            Sleep(300);
            boxes = watcher.boxes();
        }
        if (!c.box_text) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.box_text);
        EXPECT_EQ(boxes[0].caption, L"信息：");
        EXPECT_EQ(boxes[0].button_ids, std::vector<int>{IDOK});
        EXPECT_FALSE(boxes[0].has_icon);
        EXPECT_FALSE(boxes[0].has_owner);
        EXPECT_FALSE(boxes[0].other_window_enabled) << "the box is not task-modal";
        EXPECT_TRUE(IsWindowEnabled(probe));
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(probe);
}

}  // namespace
}  // namespace quelvarn
