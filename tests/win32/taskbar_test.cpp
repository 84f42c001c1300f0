// The Win32 taskbar button over a recording stand-in for the shell's taskbar list: Wine draws no
// progress on its taskbar, so what the program asks the shell for is what is checked.
#include <windows.h>
#include <shobjidl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com_ptr.h"
#include "platform/win32/taskbar.h"

namespace quelvarn {
namespace {

using ::testing::ElementsAre;
using win32::ComPtr;
using win32::TaskbarButton;

// Records every progress call as "state N" or "value DONE/TOTAL", with the window it was for.
class RecordingTaskbarList final : public ITaskbarList3 {
  public:
    std::vector<std::string> calls;
    std::vector<HWND> windows;
    int references = 1;
    bool initialised = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == IID_IUnknown || id == IID_ITaskbarList || id == IID_ITaskbarList2 ||
            id == IID_ITaskbarList3) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE HrInit() override {
        initialised = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND window, ULONGLONG done,
                                               ULONGLONG total) override {
        windows.push_back(window);
        calls.push_back("value " + std::to_string(done) + "/" + std::to_string(total));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND window, TBPFLAG state) override {
        windows.push_back(window);
        calls.push_back("state " + std::to_string(state));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return E_NOTIMPL; }
};

// A taskbar button over the recorder, for a window that exists.
struct Fixture {
    Fixture() {
        window = CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"Quelvarn", WS_OVERLAPPEDWINDOW, 0, 0,
                                 200, 100, nullptr, nullptr, nullptr, nullptr);
        list.AddRef();  // the button's reference
        ComPtr<ITaskbarList3> owned;
        owned.attach(&list);
        button = std::make_unique<TaskbarButton>([this] { return window; }, std::move(owned));
    }
    ~Fixture() {
        button.reset();
        DestroyWindow(window);
    }

    HWND window = nullptr;
    RecordingTaskbarList list;
    std::unique_ptr<TaskbarButton> button;
};

TEST(TaskbarButton, ShowsARunsProgressThenItsEnd) {
    struct Case {
        const char* what;
        void (*run)(TaskbarButton&);
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"a run that succeeds",
         [](TaskbarButton& b) {
             b.show_progress(0);
             b.show_progress(37.46);
             b.show_progress(100);
             b.clear();
         },
         {"state 2", "value 0/1000", "value 375/1000", "value 1000/1000", "state 0"}},
        {"a run that fails: a full red bar",
         [](TaskbarButton& b) {
             b.show_progress(12.5);
             b.show_error();
         },
         {"state 2", "value 125/1000", "state 4", "value 1000/1000"}},
        {"a failure before any progress, then the next run",
         [](TaskbarButton& b) {
             b.show_error();
             b.show_progress(1);
         },
         {"state 4", "value 1000/1000", "state 2", "value 10/1000"}},
        {"nothing runs: nothing to clear", [](TaskbarButton& b) { b.clear(); }, {}},
        {"out of range",
         [](TaskbarButton& b) {
             b.show_progress(-5);
             b.show_progress(250);
         },
         {"state 2", "value 0/1000", "value 1000/1000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture fixture;
        c.run(*fixture.button);
        EXPECT_EQ(fixture.list.calls, c.calls);
        for (HWND window : fixture.list.windows) EXPECT_EQ(window, fixture.window);
    }
}

TEST(TaskbarButton, HoldsOneReferenceToTheTaskbarListAndReleasesIt) {
    Fixture fixture;
    fixture.button->show_progress(50);
    EXPECT_EQ(fixture.list.references, 2);
    fixture.button.reset();
    EXPECT_EQ(fixture.list.references, 1);
}

TEST(TaskbarButton, WithoutAWindowAsksNothing) {
    RecordingTaskbarList list;
    list.AddRef();
    ComPtr<ITaskbarList3> owned;
    owned.attach(&list);
    {
        TaskbarButton button([] { return HWND(nullptr); }, std::move(owned));
        button.show_progress(50);
        button.show_error();
        button.flash_if_inactive();
    }
    EXPECT_TRUE(list.calls.empty());
    EXPECT_EQ(list.references, 1);
}

}  // namespace
}  // namespace quelvarn
