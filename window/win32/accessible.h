#pragma once

// What a screen reader hears of a control (Microsoft Active Accessibility, which UI Automation
// reads too when a control answers WM_GETOBJECT). The system gives a list box, a button or a tab
// control a name only from a caption or a label beside it, and the rows of a list only where
// the control holds their texts itself; our picture buttons have no caption, our lists no label,
// and the cookie list and the Values tree keep their rows' texts outside the control. So each of
// them answers WM_GETOBJECT with an object that takes its name, role, value and rows from the
// control's wrapper and leaves the rest (place, parent, the control's own state) to the system's
// object for the window.

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace vesk::win32 {

// IAccessible's interface id. MinGW's import library links the name IID_IAccessible to the code
// stub of oleacc.dll's data export, so that its bytes are machine code, not the id.
inline constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

struct AccessibleItem {
  std::wstring name, value, description;
  long role = ROLE_SYSTEM_LISTITEM;
  long state = 0;  // STATE_SYSTEM_* flags
};

class AccessibleSource {
 public:
  virtual ~AccessibleSource() = default;
  std::wstring AccessibleName() const { return name_; }
  virtual long AccessibleRole() const = 0;
  // The control's value (the text of a text box); empty leaves it to the system.
  virtual std::wstring AccessibleValue() const { return {}; }
  // Controls with rows: their number and each row, numbered from 0 (child ids from 1, as the
  // system's list controls number them, so that their focus events name the right row).
  virtual bool HasItems() const { return false; }
  virtual long ItemCount() const { return 0; }
  virtual AccessibleItem Item(long /*index*/) const { return {}; }
  // In client pixels; false for a row out of range.
  virtual bool ItemRect(long /*index*/, RECT& /*client*/) const { return false; }
  virtual long ItemAt(POINT /*client*/) const { return -1; }
  virtual long FocusedItem() const { return -1; }
  virtual void ItemDefaultAction(long /*index*/) {}

 protected:
  // Sets the name and tells screen readers that it changed.
  void Rename(HWND hwnd, const std::wstring& name);

 private:
  std::wstring name_;
};

// Answers WM_GETOBJECT for `hwnd`'s client area from `source` until the window is destroyed.
// An object a screen reader still holds after that answers that it is gone.
void ProvideAccessible(HWND hwnd, AccessibleSource* source);

// Tells screen readers that the state of `hwnd`'s row `index` changed.
void NotifyItemStateChanged(HWND hwnd, long index);

}  // namespace vesk::win32
