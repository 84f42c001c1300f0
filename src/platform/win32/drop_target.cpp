#include "platform/win32/drop_target.h"

#include <ole2.h>
#include <shellapi.h>

#include <deque>
#include <string>

#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

FORMATETC hglobal_format(CLIPFORMAT format) {
    return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Copy, move with Shift, nothing with Ctrl and Shift together; never an effect the source
// does not allow.
DWORD choose_effect(DWORD key_state, DWORD allowed) {
    bool shift = (key_state & MK_SHIFT) != 0;
    bool control = (key_state & MK_CONTROL) != 0;
    if (shift && control) return DROPEFFECT_NONE;
    return (shift ? DROPEFFECT_MOVE : DROPEFFECT_COPY) & allowed;
}

// One path, or every path followed by "\r\n" when several were dropped together.
Text files_event_text(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    Text text;
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        length = DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        text += narrow(path);
        if (count > 1) text += "\r\n";
    }
    return text;
}

}  // namespace

class FileDropTarget final : public IDropTarget {
  public:
    FileDropTarget(HWND event_window, UINT event_message, std::function<bool()> accepting)
        : event_window_(event_window),
          event_message_(event_message),
          accepting_(std::move(accepting)) {
        accepted_formats_[0] = CF_HDROP;
        accepted_formats_[1] = CF_UNICODETEXT;
        accepted_formats_[2] = CF_TEXT;
        accepted_formats_[3] = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"HTML Format"));
        accepted_formats_[4] =
            static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocator"));
        accepted_formats_[5] =
            static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"UniformResourceLocatorW"));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD key_state, POINTL,
                                        DWORD* effect) override {
        offered_ = offers_accepted_kind(data);
        *effect = current_effect(key_state, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD key_state, POINTL, DWORD* effect) override {
        *effect = current_effect(key_state, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        offered_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD key_state, POINTL,
                                   DWORD* effect) override {
        offered_ = offers_accepted_kind(data);
        *effect = current_effect(key_state, *effect);
        offered_ = false;
        if (*effect == DROPEFFECT_NONE) return S_OK;

        // Text, HTML and URL drops are accepted and change nothing: only files are bound.
        FORMATETC format = hglobal_format(CF_HDROP);
        STGMEDIUM medium = {};
        if (data->GetData(&format, &medium) != S_OK) return S_OK;
        if (HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
            Text text = files_event_text(drop);
            GlobalUnlock(medium.hGlobal);
            // Raised later from the message loop: the handler runs a whole probe, and the drag
            // source waits for Drop to return.
            pending_.push_back(std::move(text));
            PostMessageW(event_window_, event_message_, 0, 0);
        }
        ReleaseStgMedium(&medium);
        return S_OK;
    }

    void set_enabled(bool enabled) { enabled_ = enabled; }

    std::optional<Text> take_files_event() {
        if (pending_.empty()) return std::nullopt;
        Text text = std::move(pending_.front());
        pending_.pop_front();
        return text;
    }

  private:
    ~FileDropTarget() = default;

    bool offers_accepted_kind(IDataObject* data) {
        for (CLIPFORMAT kind : accepted_formats_) {
            FORMATETC format = hglobal_format(kind);
            if (kind != 0 && data->QueryGetData(&format) == S_OK) return true;
        }
        return false;
    }

    DWORD current_effect(DWORD key_state, DWORD allowed) const {
        if (!offered_ || !enabled_ || (accepting_ && !accepting_())) return DROPEFFECT_NONE;
        return choose_effect(key_state, allowed);
    }

    ULONG references_ = 1;
    HWND event_window_;
    UINT event_message_;
    std::function<bool()> accepting_;
    CLIPFORMAT accepted_formats_[6];
    bool offered_ = false;
    bool enabled_ = true;
    std::deque<Text> pending_;
};

DropTargetComponent::DropTargetComponent(HWND event_window, UINT event_message,
                                         std::function<bool()> accepting) {
    // A new target starts with the one reference the component holds.
    target_.attach(new FileDropTarget(event_window, event_message, std::move(accepting)));
}

DropTargetComponent::~DropTargetComponent() {
    revoke();
}

bool DropTargetComponent::bind(HWND window) {
    if (ever_bound_ || !window) return false;
    if (RegisterDragDrop(window, target_.get()) != S_OK) return false;
    ever_bound_ = true;
    bound_window_ = window;
    return true;
}

void DropTargetComponent::revoke() {
    if (bound_window_ && IsWindow(bound_window_)) RevokeDragDrop(bound_window_);
    bound_window_ = nullptr;
}

void DropTargetComponent::set_enabled(bool enabled) {
    target_->set_enabled(enabled);
}

std::optional<Text> DropTargetComponent::take_files_event() {
    return target_->take_files_event();
}

}  // namespace quelvarn::win32
