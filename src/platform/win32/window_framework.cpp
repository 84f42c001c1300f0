#include "platform/win32/window_framework.h"

#include <ole2.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/dpi.h"
#include "platform/win32/drop_target.h"
#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/taskbar.h"
#include "platform/win32/transparent_label.h"
#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

constexpr wchar_t kMainWindowClass[] = L"QuelvarnMainWindow";
constexpr int kIconResource = 1;
constexpr int kIconSize = 72;
// Posted by the drop target when files were dropped.
constexpr UINT kFilesDroppedMessage = WM_APP + 1;
constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kMainWindowExtendedStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

LRESULT CALLBACK main_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK group_box_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

WNDPROC group_box_default_procedure = nullptr;

std::wstring environment_value(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(size);
    return value;
}

// The drop target ends every path of a drop with "\r\n".
std::vector<Text> split_paths(std::string_view text) {
    std::vector<Text> paths;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) paths.emplace_back(text.substr(start, end - start));
        start = end + 2;
    }
    return paths;
}

Text hex_bytes(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    Text hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

class Framework final : public WindowServices {
  public:
    bool initialise() {
        instance_ = GetModuleHandleW(nullptr);
        trace_path_ = environment_value(L"QUELVARN_TRACE");

        std::wstring folder = module_path();
        folder.resize(folder.find_last_of(L'\\') + 1);
        // "D:\" keeps the backslash: "D:" alone would mean the current folder of drive D.
        if (folder.size() > 3) folder.pop_back();
        SetCurrentDirectoryW(folder.c_str());

        return SUCCEEDED(OleInitialize(nullptr));
    }

    // WindowServices

    Text read_control_text(std::string_view control) override {
        HWND window = control_window(control);
        if (!window) return {};
        int length = GetWindowTextLengthW(window);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        length = GetWindowTextW(window, text.data(), length + 1);
        text.resize(static_cast<size_t>(length));
        return narrow(text);
    }

    void set_window_caption(std::string_view text) override {
        if (main_) SetWindowTextW(main_, widen(text).c_str());
    }

    void write_control_text(std::string_view control, std::string_view text) override {
        if (HWND window = control_window(control)) SetWindowTextW(window, widen(text).c_str());
    }

    void enable_control(std::string_view control, bool enabled) override {
        if (DropTargetComponent* component = drop_target(control)) {
            component->set_enabled(enabled);
        } else if (HWND window = control_window(control)) {
            EnableWindow(window, enabled);
        }
    }

    void drain_message_queue() override {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Left for the message loop, which ends the program with it.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            dispatch(message);
        }
    }

    int show_message(std::string_view text, unsigned style, std::string_view caption) override {
        if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
        int answer = MessageBoxW(nullptr, widen(text).c_str(), widen(caption).c_str(),
                                 static_cast<UINT>(style));
        // IDOK (1) ... IDNO (7) become 0 ... 6.
        return answer > 0 ? answer - 1 : 0;
    }

    void load_window(const WindowLayout& layout, WindowEvents& events) override {
        layout_ = &layout;
        events_ = &events;
        if (!create_main_window()) {
            MessageBoxW(nullptr, L"无法创建主窗口。", L"Quelvarn",
                        MB_OK | MB_ICONERROR | MB_TASKMODAL);
            ExitProcess(1);
        }
        events.on_created();
        trace("created");
        ShowWindow(main_, SW_SHOWNORMAL);
        UpdateWindow(main_);
        trace("shown");
    }

    void run_message_loop() override {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
    }

    [[noreturn]] void end_program(int code) override {
        if (!ending_) {
            ending_ = true;
            release_resources();
        }
        trace("exit " + std::to_string(code));
        ExitProcess(static_cast<UINT>(code));
    }

    bool bind_drop_target(std::string_view drop_target_name, std::string_view control) override {
        DropTargetComponent* target = drop_target(drop_target_name);
        HWND window = control_window(control);
        return target && window && target->bind(window);
    }

    HWND main_window() const { return main_; }
    TaskbarButton& taskbar() { return taskbar_; }

    void trace(std::string_view line) override {
        if (trace_path_.empty()) return;
        KernelHandle file(CreateFileW(trace_path_.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        std::string text(line);
        text += '\n';
        write_all(file.get(), text.data(), text.size());
    }

    // The main window procedure: one flat switch.
    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_COMMAND:
                on_command(LOWORD(wparam), HIWORD(wparam));
                return 0;
            case WM_ACTIVATE:
                on_activate(LOWORD(wparam));
                return 0;
            case kFilesDroppedMessage:
                on_files_dropped();
                return 0;
            case WM_DPICHANGED:
                on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
                return 0;
            case WM_HELP:
                return TRUE;
            case WM_DESTROY:
                on_destroy();
                return 0;
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    }

  private:
    bool create_main_window() {
        if (!register_classes()) return false;
        int left = (GetSystemMetrics(SM_CXSCREEN) - layout_->width) / 2;
        int top = (GetSystemMetrics(SM_CYSCREEN) - layout_->height) / 2;
        main_ =
            CreateWindowExW(kMainWindowExtendedStyle, kMainWindowClass,
                            widen(layout_->caption).c_str(), kMainWindowStyle, left, top,
                            layout_->width, layout_->height, nullptr, nullptr, instance_, nullptr);
        if (!main_) return false;
        // Only now is it known which monitor, and so which DPI, the window is on.
        dpi_ = window_dpi(main_);
        if (dpi_ != kLayoutDpi) {
            SIZE size = scaled_outer_size(layout_->width, layout_->height, kMainWindowStyle,
                                          kMainWindowExtendedStyle, dpi_);
            SetWindowPos(main_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                         (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }

        font_ = create_gui_font(dpi_);
        windows_.assign(static_cast<size_t>(layout_->row_count), nullptr);
        drop_targets_.resize(static_cast<size_t>(layout_->row_count));
        for (int i = 0; i < layout_->row_count; ++i) {
            const ControlRow& row = layout_->rows[i];
            if (row.kind == ControlKind::drop_target) {
                std::string_view name = row.name;
                drop_targets_[i] = std::make_unique<DropTargetComponent>(
                    main_, kFilesDroppedMessage,
                    [this, name] { return events_->accepting_files(name); });
                continue;
            }
            HWND parent = row.parent.empty() ? main_ : control_window(row.parent);
            HWND control = create_control(row, parent, kFirstControlId + i);
            if (!control) return false;
            // Each row goes below the rows before it, so that table order is stacking order.
            SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
            windows_[i] = control;
        }
        return true;
    }

    HWND create_control(const ControlRow& row, HWND parent, int id) {
        const wchar_t* window_class = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD extended = 0;
        switch (row.kind) {
            case ControlKind::edit_box:
                window_class = L"EDIT";
                style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
                extended = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::label:
                style |= SS_LEFT;
                break;
            case ControlKind::transparent_label:
                window_class = kTransparentLabelClass;
                if (row.wraps) style |= kLabelWraps;
                break;
            case ControlKind::group_box:
                window_class = L"BUTTON";
                style |= BS_GROUPBOX;
                extended = WS_EX_CONTROLPARENT;
                break;
            case ControlKind::push_button:
                window_class = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case ControlKind::drop_target:
                return nullptr;
        }
        Place place = scaled_place(row);
        HWND control =
            CreateWindowExW(extended, window_class, widen(row.initial_text).c_str(), style,
                            place.left, place.top, place.width, place.height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (control && row.kind == ControlKind::group_box) {
            // The group box's children are real child windows: their notifications reach the
            // group box, which passes them on to the main window.
            group_box_default_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(group_box_procedure)));
        }
        return control;
    }

    struct Place {
        int left, top, width, height;
    };

    // Where a row's control goes at the window's DPI.
    Place scaled_place(const ControlRow& row) const {
        return {scale_to_dpi(row.left, dpi_), scale_to_dpi(row.top, dpi_),
                scale_to_dpi(row.width, dpi_), scale_to_dpi(row.height, dpi_)};
    }

    bool register_classes() {
        if (!register_transparent_label(instance_)) return false;
        big_icon_.reset(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource),
                                                      IMAGE_ICON, kIconSize, kIconSize, 0)));
        small_icon_.reset(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0)));
        WNDCLASSEXW window_class = {};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = main_procedure;
        window_class.hInstance = instance_;
        window_class.hIcon = big_icon_.get();
        window_class.hIconSm = small_icon_.get();
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = kMainWindowClass;
        return RegisterClassExW(&window_class) != 0;
    }

    // Keys the window handles itself, before dialog navigation sees them: Esc closes the window
    // from any control, Enter and F1 do nothing (no beep, no button pressed).
    bool handle_keys(const MSG& message) {
        if (!main_ || !(message.hwnd == main_ || IsChild(main_, message.hwnd))) return false;
        if (message.message == WM_KEYDOWN) {
            switch (message.wParam) {
                case VK_ESCAPE:
                    PostMessageW(main_, WM_CLOSE, 0, 0);
                    return true;
                case VK_RETURN:
                case VK_F1:
                    return true;
            }
        }
        return message.message == WM_CHAR && message.wParam == L'\r';
    }

    void dispatch(MSG& message) {
        if (handle_keys(message)) return;
        if (main_ && IsDialogMessageW(main_, &message)) return;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    void on_command(int id, int notification) {
        int index = id - kFirstControlId;
        if (!layout_ || index < 0 || index >= layout_->row_count) return;
        const ControlRow& row = layout_->rows[index];
        if (row.kind == ControlKind::push_button && notification == BN_CLICKED) {
            trace("clicked " + std::string(row.name));
            events_->on_clicked(row.name);
        }
    }

    // A plain window does not keep its focused control across deactivation; dialogs do.
    void on_activate(int state) {
        if (state == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(main_, focus)) saved_focus_ = focus;
            return;
        }
        if (!saved_focus_ || !IsWindow(saved_focus_)) {
            saved_focus_ = GetNextDlgTabItem(main_, nullptr, FALSE);
        }
        if (saved_focus_) SetFocus(saved_focus_);
    }

    void on_files_dropped() {
        for (int i = 0; i < layout_->row_count; ++i) {
            DropTargetComponent* component = drop_targets_[static_cast<size_t>(i)].get();
            if (!component) continue;
            while (std::optional<Text> text = component->take_files_event()) {
                trace("files " + hex_bytes(*text));
                events_->on_files_dropped(layout_->rows[i].name, split_paths(*text));
            }
        }
    }

    // The window moved to a monitor of another DPI, or that monitor's scale changed: the system
    // suggests the new outer rectangle; the controls and their font follow.
    void on_dpi_changed(int dpi, const RECT& suggested) {
        dpi_ = dpi;
        SetWindowPos(main_, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // The controls let go of the old font before it is deleted.
        FontHandle old_font = std::move(font_);
        font_ = create_gui_font(dpi_);
        for (size_t i = 0; i < windows_.size(); ++i) {
            HWND control = windows_[i];
            if (!control) continue;
            Place place = scaled_place(layout_->rows[i]);
            SetWindowPos(control, nullptr, place.left, place.top, place.width, place.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        old_font.reset();
        RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        trace("dpi " + std::to_string(dpi));
    }

    void on_destroy() {
        if (ending_) return;
        destroying_ = true;
        trace("destroying");
        if (events_) events_->on_destroying();
        PostQuitMessage(0);
    }

    void release_resources() {
        for (auto& component : drop_targets_) component.reset();
        if (main_ && !destroying_) DestroyWindow(main_);
        main_ = nullptr;
        big_icon_.reset();
        small_icon_.reset();
        // After the window: its controls use the font until they are destroyed.
        font_.reset();
        taskbar_.release();
        OleUninitialize();
    }

    HWND control_window(std::string_view name) const {
        if (!layout_) return nullptr;
        for (size_t i = 0; i < windows_.size(); ++i) {
            if (layout_->rows[i].name == name) return windows_[i];
        }
        return nullptr;
    }

    DropTargetComponent* drop_target(std::string_view name) const {
        if (!layout_) return nullptr;
        for (size_t i = 0; i < drop_targets_.size(); ++i) {
            if (layout_->rows[i].name == name) return drop_targets_[i].get();
        }
        return nullptr;
    }

    HINSTANCE instance_ = nullptr;
    std::wstring trace_path_;
    const WindowLayout* layout_ = nullptr;
    WindowEvents* events_ = nullptr;
    HWND main_ = nullptr;
    HWND saved_focus_ = nullptr;
    IconHandle big_icon_;
    IconHandle small_icon_;
    // The window's DPI and the default GUI font made for it.
    int dpi_ = kLayoutDpi;
    FontHandle font_;
    // One entry per layout row: the control's window, or its drop-target component.
    std::vector<HWND> windows_;
    std::vector<std::unique_ptr<DropTargetComponent>> drop_targets_;
    TaskbarButton taskbar_{[this] { return main_; }};
    bool destroying_ = false;
    bool ending_ = false;
};

Framework framework;

LRESULT CALLBACK main_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return framework.handle(window, message, wparam, lparam);
}

LRESULT CALLBACK group_box_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return SendMessageW(GetParent(window), message, wparam, lparam);
        default:
            return CallWindowProcW(group_box_default_procedure, window, message, wparam, lparam);
    }
}

}  // namespace

bool initialise_window_framework() {
    return framework.initialise();
}

WindowServices& window_framework() {
    return framework;
}

HWND main_window() {
    return framework.main_window();
}

TaskbarServices& window_taskbar() {
    return framework.taskbar();
}

}  // namespace quelvarn::win32
