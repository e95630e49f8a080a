#pragma once

// The lower-left area of the window: a tab control with two pages, the text view (Text1) and the
// Values tree. The layout moves and sizes it as it moves Text1, and reads its height back as
// Text1's; the pages lie over the tab control's display area, siblings above it, so that each
// keeps its own messages, colours and tab stop. Text given to Text1 goes to the text view.

#include <windows.h>

#include <functional>
#include <string>

#include "window/controls.h"
#include "window/win32/accessible.h"
#include "window/win32/controls.h"

namespace vesk::win32 {

class TabAreaControl final : public Placed<window::TextBox>, public window::TabBar, public AccessibleSource {
 public:
  // A screen reader's "switch to" on a tab.
  std::function<void(int index)> onSelect;

  // `text` and `values` are the pages, in that order, created before the tab control so that
  // they lie above it.
  void Create(HWND parent, int id, float left, float top, float width, float height, TextBoxControl& text,
              HWND values);
  void Move(float left, std::optional<float> top = std::nullopt, std::optional<float> width = std::nullopt,
            std::optional<float> height = std::nullopt) override;
  void SetText(const std::string& text) override;
  void SetText(platform::Utf16String&& text) override;
  // After the font changed the tabs' height: the pages follow.
  void PlacePages();
  int Current() const;
  std::wstring Caption(int index) const;
  void SetAccessibleName(const std::wstring& name) { Rename(hwnd_, name); }

  // window::TabBar
  void SetCaptions(const std::string& text, const std::string& values) override;
  void SetCurrent(int index) override;

  // AccessibleSource: the tabs.
  long AccessibleRole() const override { return ROLE_SYSTEM_PAGETABLIST; }
  bool HasItems() const override { return true; }
  long ItemCount() const override;
  AccessibleItem Item(long index) const override;
  bool ItemRect(long index, RECT& client) const override;
  long ItemAt(POINT client) const override;
  long FocusedItem() const override;
  void ItemDefaultAction(long index) override;

 private:
  TextBoxControl* text_ = nullptr;
  HWND pages_[2] = {};
};

}  // namespace vesk::win32
