#include "window/win32/tab_area.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "window/win32/text.h"

namespace vesk::win32 {

void TabAreaControl::Create(HWND parent, int id, float left, float top, float width, float height,
                            TextBoxControl& text, HWND values) {
  text_ = &text;
  pages_[0] = text.Hwnd();
  pages_[1] = values;
  // Clipped by the pages above it, or it would paint its frame over them.
  hwnd_ = CreateChild(parent, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPSIBLINGS, 0, id, left, top, width, height);
  for (int index = 0; index < 2; ++index) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(hwnd_, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  ProvideAccessible(hwnd_, this);
  PlacePages();
}

void TabAreaControl::Move(float left, std::optional<float> top, std::optional<float> width,
                          std::optional<float> height) {
  Placed::Move(left, top, width, height);
  PlacePages();
}

void TabAreaControl::SetText(const std::string& text) { text_->SetText(text); }

void TabAreaControl::SetText(platform::Utf16String&& text) { text_->SetText(std::move(text)); }

void TabAreaControl::PlacePages() {
  RECT area{};
  GetClientRect(hwnd_, &area);
  TabCtrl_AdjustRect(hwnd_, FALSE, &area);
  MapWindowPoints(hwnd_, GetParent(hwnd_), reinterpret_cast<POINT*>(&area), 2);
  const int width = std::max<int>(area.right - area.left, 0);
  const int height = std::max<int>(area.bottom - area.top, 0);
  for (HWND page : pages_) SetWindowPos(page, nullptr, area.left, area.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TabAreaControl::Current() const { return TabCtrl_GetCurSel(hwnd_); }

std::wstring TabAreaControl::Caption(int index) const {
  wchar_t caption[256] = {};
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = caption;
  tab.cchTextMax = 256;
  SendMessageW(hwnd_, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab));
  return caption;
}

void TabAreaControl::SetCaptions(const std::string& text, const std::string& values) {
  const std::string* captions[2] = {&text, &values};
  for (int index = 0; index < 2; ++index) {
    std::wstring caption = ShownWide(*captions[index]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(hwnd_, TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  PlacePages();  // the tabs' row may have grown
}

void TabAreaControl::SetCurrent(int index) {
  if (index < 0 || index > 1) return;
  TabCtrl_SetCurSel(hwnd_, index);
  const HWND shown = pages_[index];
  const HWND hidden = pages_[1 - index];
  // A page that is hidden with the focus would leave the window without one.
  const bool hadFocus = GetFocus() == hidden || IsChild(hidden, GetFocus());
  ShowWindow(shown, SW_SHOWNA);
  if (hadFocus) SetFocus(shown);
  ShowWindow(hidden, SW_HIDE);
  NotifyItemStateChanged(hwnd_, index);
}

long TabAreaControl::ItemCount() const { return static_cast<long>(TabCtrl_GetItemCount(hwnd_)); }

AccessibleItem TabAreaControl::Item(long index) const {
  AccessibleItem item;
  item.role = ROLE_SYSTEM_PAGETAB;
  item.name = Caption(static_cast<int>(index));
  item.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
  if (Current() == index) item.state |= STATE_SYSTEM_SELECTED;
  if (GetFocus() == hwnd_ && FocusedItem() == index) item.state |= STATE_SYSTEM_FOCUSED;
  return item;
}

bool TabAreaControl::ItemRect(long index, RECT& client) const {
  return TabCtrl_GetItemRect(hwnd_, static_cast<int>(index), &client) != FALSE;
}

long TabAreaControl::ItemAt(POINT client) const {
  TCHITTESTINFO hit{};
  hit.pt = client;
  return static_cast<long>(TabCtrl_HitTest(hwnd_, &hit));
}

long TabAreaControl::FocusedItem() const { return static_cast<long>(TabCtrl_GetCurFocus(hwnd_)); }

void TabAreaControl::ItemDefaultAction(long index) {
  if (onSelect) onSelect(static_cast<int>(index));
}

}  // namespace vesk::win32
