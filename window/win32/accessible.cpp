#include "window/win32/accessible.h"

#include <commctrl.h>

#include "window/win32/last_words.h"

namespace vesk::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x56455341;  // 'VESA'
// The source, kept where an object made for the window can check that it is still there.
constexpr wchar_t kSourceProperty[] = L"VeskAccessibleSource";

AccessibleSource* SourceOf(HWND hwnd);

BSTR Bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

// Answers a text: S_FALSE with no string when it is empty, as the system's objects do.
HRESULT GiveText(const std::wstring& text, BSTR* out) {
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = Bstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT GiveLong(long value, VARIANT* out) {
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

class Accessible final : public IAccessible {
 public:
  Accessible(HWND hwnd, AccessibleSource* source, IAccessible* system)
      : hwnd_(hwnd), source_(source), system_(system) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  // IDispatch: scripting clients are not served.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    return system_ ? system_->get_accParent(parent) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    if (source_->HasItems()) {
      *count = source_->ItemCount();
      return S_OK;
    }
    return system_ ? system_->get_accChildCount(count) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0) return S_FALSE;  // rows are simple elements of this object
    return system_ ? system_->get_accChild(child, out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    return GiveText(index < 0 ? source_->AccessibleName() : source_->Item(index).name, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0) return GiveText(source_->Item(index).value, value);
    const std::wstring own = source_->AccessibleValue();
    if (!own.empty() || !system_) return GiveText(own, value);
    return system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (description == nullptr) return E_POINTER;
    *description = nullptr;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0) return GiveText(source_->Item(index).description, description);
    return system_ ? system_->get_accDescription(child, description) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    return GiveLong(index < 0 ? source_->AccessibleRole() : source_->Item(index).role, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0) return GiveLong(source_->Item(index).state, state);
    if (system_) return system_->get_accState(child, state);
    long own = STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == hwnd_) own |= STATE_SYSTEM_FOCUSED;
    if (!IsWindowVisible(hwnd_)) own |= STATE_SYSTEM_INVISIBLE;
    return GiveLong(own, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return SelfOnly(child, help, [&] { return system_->get_accHelp(child, help); });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0 || !system_) return S_FALSE;
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return SelfOnly(child, shortcut, [&] { return system_->get_accKeyboardShortcut(child, shortcut); });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    if (GetFocus() != hwnd_) return S_FALSE;
    const long item = source_->HasItems() ? source_->FocusedItem() : -1;
    return GiveLong(item >= 0 ? item + 1 : CHILDID_SELF, focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    if (!source_->HasItems()) return system_ ? system_->get_accSelection(selection) : S_FALSE;
    // The row with the focus, when it is selected: what a reader announces.
    const long item = source_->FocusedItem();
    if (item < 0 || (source_->Item(item).state & STATE_SYSTEM_SELECTED) == 0) return S_FALSE;
    return GiveLong(item + 1, selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return SelfOnly(child, action, [&] { return system_->get_accDefaultAction(child, action); });
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0 || !system_) return DISP_E_MEMBERNOTFOUND;
    return system_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    RECT rect{};
    if (index >= 0) {
      if (!source_->ItemRect(index, rect)) return S_FALSE;
      MapWindowPoints(hwnd_, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    } else if (system_ && system_->accLocation(left, top, width, height, child) == S_OK) {
      return S_OK;
    } else {
      GetWindowRect(hwnd_, &rect);
    }
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    long index = 0;
    if (const HRESULT hr = Which(start, index); hr != S_OK) return hr;
    if (!source_->HasItems()) return system_ ? system_->accNavigate(direction, start, end) : S_FALSE;
    const long count = source_->ItemCount();
    long to = -1;
    if (index < 0) {
      if (direction == NAVDIR_FIRSTCHILD && count > 0) to = 0;
      else if (direction == NAVDIR_LASTCHILD && count > 0) to = count - 1;
      else return system_ ? system_->accNavigate(direction, start, end) : S_FALSE;
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
      to = index + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
      to = index - 1;
    }
    if (to < 0 || to >= count) return S_FALSE;
    return GiveLong(to + 1, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* at) override {
    if (at == nullptr) return E_POINTER;
    VariantInit(at);
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    if (!source_->HasItems()) return system_ ? system_->accHitTest(x, y, at) : S_FALSE;
    POINT point{x, y};
    RECT client{};
    GetClientRect(hwnd_, &client);
    ScreenToClient(hwnd_, &point);
    if (!PtInRect(&client, point)) return S_FALSE;
    const long item = source_->ItemAt(point);
    return GiveLong(item >= 0 ? item + 1 : CHILDID_SELF, at);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index < 0) return system_ ? system_->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    try {
      source_->ItemDefaultAction(index);
    } catch (...) {
      EndAfterException();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  ~Accessible() {
    if (system_) system_->Release();
  }

  // The control is still there, with the source this object was made for.
  bool Alive() const { return IsWindow(hwnd_) && SourceOf(hwnd_) == source_; }

  // S_OK with -1 for the control itself or the row's index; an error for anything else.
  HRESULT Which(const VARIANT& child, long& index) const {
    if (!Alive()) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) {
      index = -1;
      return S_OK;
    }
    if (!source_->HasItems() || child.lVal < 1 || child.lVal > source_->ItemCount()) return E_INVALIDARG;
    index = child.lVal - 1;
    return S_OK;
  }

  template <class Ask>
  HRESULT SelfOnly(const VARIANT& child, BSTR* out, Ask ask) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    long index = 0;
    if (const HRESULT hr = Which(child, index); hr != S_OK) return hr;
    if (index >= 0 || !system_) return S_FALSE;
    return ask();
  }

  LONG refs_ = 1;
  HWND hwnd_;
  AccessibleSource* source_;
  IAccessible* system_;  // may be null
};

LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR data) {
  if (message == WM_NCDESTROY) {
    RemovePropW(hwnd, kSourceProperty);
    RemoveWindowSubclass(hwnd, Subclass, kSubclassId);
  } else if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    try {
      IAccessible* system = nullptr;
      if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&system))))
        system = nullptr;
      auto* object = new Accessible(hwnd, reinterpret_cast<AccessibleSource*>(data), system);
      const LRESULT result = LresultFromObject(kIidAccessible, wParam, object);
      object->Release();
      return result;
    } catch (...) {
      EndAfterException();
    }
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

AccessibleSource* SourceOf(HWND hwnd) { return static_cast<AccessibleSource*>(GetPropW(hwnd, kSourceProperty)); }

}  // namespace

void ProvideAccessible(HWND hwnd, AccessibleSource* source) {
  SetPropW(hwnd, kSourceProperty, source);
  SetWindowSubclass(hwnd, Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(source));
}

void AccessibleSource::Rename(HWND hwnd, const std::wstring& name) {
  name_ = name;
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

void NotifyItemStateChanged(HWND hwnd, long index) {
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd, OBJID_CLIENT, index + 1);
}

}  // namespace vesk::win32
