// Drags data onto a point of the screen through the system's real drag-and-drop path and drops
// it there; the exit code is the drop effect the target chose (0 none, 1 copy, 2 move), 100 on
// failure.
//
//   drop_source KEYS KIND FROM_X FROM_Y TO_X TO_Y ITEM...
//     KEYS   none | shift | ctrl+shift   held during the whole drag
//     KIND   files (ITEMs are paths, offered as a file list) | text (ITEM offered as plain text)
//
// Arguments are read as UTF-16 (narrow arguments would arrive in the ANSI code page).
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

void send_mouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &input, sizeof input);
}

void move_mouse(int x, int y) {
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
}

HGLOBAL global_copy(const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    return memory;
}

// A file list in the layout the shell uses: DROPFILES, then the wide paths, each ended by a
// zero, and a final zero.
std::vector<char> file_list(const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const std::wstring& path : paths) names += path + L'\0';
    names += L'\0';
    std::vector<char> bytes(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));
    return bytes;
}

class DataObject final : public IDataObject {
  public:
    DataObject(CLIPFORMAT format, std::vector<char> content)
        : format_(format), content_(std::move(content)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global_copy(content_.data(), content_.size());
        medium->pUnkForRelease = nullptr;
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (format->cfFormat != format_) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC format = {format_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    ULONG references_ = 1;
    CLIPFORMAT format_;
    std::vector<char> content_;
};

// Counts the calls of the drag loop, so the mouse moves on only once the loop follows it.
std::atomic<int> loop_calls{0};
std::atomic<bool> drag_done{false};

class DropSource final : public IDropSource {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD key_state) override {
        ++loop_calls;
        if (escape) return DRAGDROP_S_CANCEL;
        return (key_state & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override {
        ++loop_calls;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
};

// Waits until the drag loop has run `calls` more times (at most two seconds).
void wait_for_loop(int calls) {
    int target = loop_calls + calls;
    for (int waited = 0; loop_calls < target && waited < 2000; waited += 10) Sleep(10);
}

void pump_messages(int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
}

std::atomic<bool> button_down_seen{false};

LRESULT CALLBACK source_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_LBUTTONDOWN) button_down_seen = true;
    return DefWindowProcW(window, message, wparam, lparam);
}

// A small window of the source where the drag starts, like the file list of a real source
// program: the button goes down on it.
HWND source_window(int x, int y) {
    WNDCLASSW source_class = {};
    source_class.lpfnWndProc = source_procedure;
    source_class.hInstance = GetModuleHandleW(nullptr);
    source_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    source_class.lpszClassName = L"DropSourceWindow";
    RegisterClassW(&source_class);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"DropSourceWindow", L"",
                                  WS_POPUP | WS_VISIBLE | WS_BORDER, x - 12, y - 12, 24, 24,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(window);
    pump_messages(200);
    return window;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 8) return 100;
    // The points are the screen's own pixels, also when the prefix is set to another DPI.
    SetProcessDPIAware();
    std::wstring keys = argv[1];
    std::wstring kind = argv[2];
    int from_x = _wtoi(argv[3]), from_y = _wtoi(argv[4]);
    int to_x = _wtoi(argv[5]), to_y = _wtoi(argv[6]);
    std::vector<std::wstring> items(argv + 7, argv + argc);

    if (FAILED(OleInitialize(nullptr))) return 100;
    std::vector<char> content;
    CLIPFORMAT format;
    if (kind == L"files") {
        format = CF_HDROP;
        content = file_list(items);
    } else {
        format = CF_UNICODETEXT;
        std::wstring text = items[0];
        content.assign(reinterpret_cast<const char*>(text.c_str()),
                       reinterpret_cast<const char*>(text.c_str() + text.size() + 1));
    }
    DataObject data(format, std::move(content));
    DropSource source;

    HWND window = source_window(from_x, from_y);
    std::vector<WORD> held;
    if (keys == L"shift") held = {VK_SHIFT};
    if (keys == L"ctrl+shift") held = {VK_CONTROL, VK_SHIFT};

    // The press sometimes misses a window that has only just appeared; it is tried again.
    for (int attempt = 0; attempt < 5 && !button_down_seen; ++attempt) {
        move_mouse(from_x, from_y);
        pump_messages(100);
        send_mouse(MOUSEEVENTF_LEFTDOWN);
        for (int waited = 0; !button_down_seen && waited < 1000; waited += 10) pump_messages(10);
        if (!button_down_seen) {
            send_mouse(MOUSEEVENTF_LEFTUP);
            SetForegroundWindow(window);
            pump_messages(200);
        }
    }
    if (!button_down_seen) return 100;
    // The drag loop reads the button, Shift and Ctrl from this thread's key state. The button
    // press may still be on its way to this thread, and Wine brings injected modifier keys back
    // in line with the X server's state, so the state is set here directly.
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_LBUTTON] |= 0x80;
    for (WORD key : held) state[key] |= 0x80;
    SetKeyboardState(state);
    // DoDragDrop runs its own loop; the mouse is moved and released from another thread, each
    // step once the loop has seen the one before (the first drag of a session starts slowly).
    DWORD main_thread = GetCurrentThreadId();
    std::thread driver([=] {
        wait_for_loop(1);
        const int steps = 10;
        for (int i = 1; i <= steps; ++i) {
            move_mouse(from_x + (to_x - from_x) * i / steps, from_y + (to_y - from_y) * i / steps);
            Sleep(30);
            wait_for_loop(1);
        }
        // A few small moves over the target, so it has answered before the button goes up.
        for (int i = 0; i < 3; ++i) {
            move_mouse(to_x + (i % 2), to_y);
            Sleep(100);
            wait_for_loop(1);
        }
        move_mouse(to_x, to_y);
        Sleep(200);
        wait_for_loop(2);
        send_mouse(MOUSEEVENTF_LEFTUP);
        // A drag loop that missed the release is ended with Esc rather than left hanging.
        for (int waited = 0; waited < 15000 && !drag_done; waited += 50) Sleep(50);
        if (!drag_done) PostThreadMessageW(main_thread, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    drag_done = true;
    driver.join();
    DestroyWindow(window);
    OleUninitialize();

    if (result == DRAGDROP_S_CANCEL) return 0;
    if (result != DRAGDROP_S_DROP) return 100;
    return static_cast<int>(effect);
}
