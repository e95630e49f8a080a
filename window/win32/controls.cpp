#include "window/win32/controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "window/win32/last_words.h"
#include "window/win32/text.h"
#include "window/win32/text_view.h"
#include "window/win32/timing_log.h"

namespace vesk::win32 {

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, int id, float left, float top,
                 float width, float height) {
  const int dpi = WindowDpi(parent);
  return CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | style, TwipsToPixels(left, dpi),
                         TwipsToPixels(top, dpi), TwipsToPixels(width, dpi), TwipsToPixels(height, dpi), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
}

int ShiftState() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= window::kShiftMask;
  if (GetKeyState(VK_CONTROL) < 0) shift |= window::kCtrlMask;
  if (GetKeyState(VK_MENU) < 0) shift |= window::kAltMask;
  return shift;
}

int MouseShiftState(WPARAM wParam) {
  int shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= window::kShiftMask;
  if ((wParam & MK_CONTROL) != 0) shift |= window::kCtrlMask;
  if (GetKeyState(VK_MENU) < 0) shift |= window::kAltMask;  // mouse messages carry no Alt flag
  return shift;
}

// ListBoxControl

ListBoxControl::~ListBoxControl() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, Subclass, 0);
}

void ListBoxControl::Create(HWND parent, int id, bool multiSelect, DWORD extraStyle, float left, float top,
                            float width, float height) {
  multiSelect_ = multiSelect;
  ownerData_ = (extraStyle & LBS_NODATA) != 0;
  const DWORD style = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | (multiSelect ? LBS_EXTENDEDSEL : 0) | extraStyle;
  hwnd_ = CreateChild(parent, WC_LISTBOXW, style, WS_EX_CLIENTEDGE, id, left, top, width, height);
  SetWindowSubclass(hwnd_, Subclass, 0, reinterpret_cast<DWORD_PTR>(this));
  ProvideAccessible(hwnd_, this);
}

AccessibleItem ListBoxControl::Item(long index) const {
  AccessibleItem item;
  item.name = ShownWide(List(static_cast<int>(index)));
  std::replace(item.name.begin(), item.name.end(), L'\t', L' ');  // the details' gap
  item.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
  if (multiSelect_) item.state |= STATE_SYSTEM_MULTISELECTABLE | STATE_SYSTEM_EXTSELECTABLE;
  if (Selected(static_cast<int>(index))) item.state |= STATE_SYSTEM_SELECTED;
  if (GetFocus() == hwnd_ && FocusedItem() == index) item.state |= STATE_SYSTEM_FOCUSED;
  return item;
}

bool ListBoxControl::ItemRect(long index, RECT& client) const {
  return SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&client)) != LB_ERR;
}

long ListBoxControl::ItemAt(POINT client) const {
  const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
  return HIWORD(hit) != 0 ? -1 : static_cast<long>(LOWORD(hit));
}

long ListBoxControl::FocusedItem() const {
  if (ListCount() <= 0) return -1;
  return static_cast<long>(SendMessageW(hwnd_, multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
}

LRESULT CALLBACK ListBoxControl::Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                          DWORD_PTR self) {
  auto* list = reinterpret_cast<ListBoxControl*>(self);
  return AnswerSubclassed(hwnd, message, wParam, lParam, Subclass, [list] { list->hwnd_ = nullptr; },
                          [&] { return list->OnMessage(message, wParam, lParam); });
}

LRESULT ListBoxControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = hwnd_;  // a handler may rebuild the list, but the window stays
  auto mouse = [&](const std::function<void(int, int, float, float)>& handler, int button) {
    if (!handler) return;
    const int dpi = WindowDpi(hwnd);
    handler(button, MouseShiftState(wParam), PixelsToTwips(GET_X_LPARAM(lParam), dpi),
            PixelsToTwips(GET_Y_LPARAM(lParam), dpi));
  };
  switch (message) {
    case WM_SETFONT:
      if (ownerData_) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        // An owner-drawn list keeps its item height; give it the one it has with its own text.
        const HDC dc = GetDC(hwnd);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(wParam));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
        SendMessageW(hwnd, LB_SETITEMHEIGHT, 0, MAKELPARAM(metrics.tmHeight, 0));
        return result;
      }
      break;
    case WM_SIZE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      SyncExtent();  // narrower now than rows it was not told about
      return result;
    }
    case WM_CHAR:
      if (ownerData_) {
        TypeAhead(static_cast<wchar_t>(wParam));
        return 0;
      }
      break;
    case WM_PAINT:
      if (timingName_ != nullptr && TimingLogOn()) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        LogTiming("%s-painted %d", timingName_, ListCount());
        return result;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (timingName_ != nullptr) LogTiming("%s-key %d", timingName_, static_cast<int>(wParam));
      if (onKeyDown) onKeyDown(static_cast<int>(wParam), ShiftState());
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (timingName_ != nullptr) {
        LogTiming("%s-press", timingName_);
        LogMemory("memory");
      }
      mouse(onMouseDown, window::kLeftButton);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      mouse(onMouseDown, window::kMiddleButton);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      mouse(onMouseDown, window::kRightButton);
      // The list box would move its caret to the pressed row; the menu acts on the selection
      // as it stood before the press.
      return 0;
    case WM_LBUTTONUP:
      mouse(onMouseUp, window::kLeftButton);
      break;
    case WM_MBUTTONUP:
      mouse(onMouseUp, window::kMiddleButton);
      break;
    case WM_RBUTTONUP:
      mouse(onMouseUp, window::kRightButton);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void ListBoxControl::Clear() {
  SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
  items_.clear();
  extent_ = 0;
  SyncExtent();
}

void ListBoxControl::SyncExtent() {
  // Only where a scroll bar shows or goes: telling the list box its extent redraws its frame,
  // which under Wine waits for the X server (tens of milliseconds, on every click in the cookie
  // list). While neither extent is wider than the list, it shows no bar either way.
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  if (extent_ == sentExtent_ || (extent_ <= inner.right && sentExtent_ <= inner.right)) return;
  SendMessageW(hwnd_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent_), 0);
  sentExtent_ = extent_;
}

void ListBoxControl::AddItem(const std::string& text) { AddItems({text}); }

void ListBoxControl::AddItems(const std::vector<std::string>& texts) {
  if (timingName_ != nullptr) LogTiming("%s-fill %d", timingName_, static_cast<int>(texts.size()));
  std::vector<std::wstring> wide;
  wide.reserve(texts.size());
  std::size_t characters = 0;
  for (const auto& text : texts) {
    wide.push_back(ShownWide(text));
    characters += wide.back().size() + 1;
  }
  // One repaint and one allocation for the lot: a deeper scan can list thousands of cookies. A
  // few rows are not worth it: switching the redraw off and on costs tens of milliseconds under
  // Wine.
  const bool many = texts.size() >= 64;
  if (many) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  if (ownerData_) {
    // The list box only counts the rows; their texts stay here, exactly as they came.
    items_.insert(items_.end(), texts.begin(), texts.end());
    SendMessageW(hwnd_, LB_SETCOUNT, items_.size(), 0);
  } else {
    SendMessageW(hwnd_, LB_INITSTORAGE, wide.size(), static_cast<LPARAM>(characters * sizeof(wchar_t)));
    for (const auto& text : wide) SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // A list box scrolls sideways only as far as it is told; the paths are long.
  extent_ = std::max(extent_, WidestText(wide) + 4);
  SyncExtent();
  if (many) SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
  if (timingName_ != nullptr) LogTiming("%s-filled %d", timingName_, ListCount());
}

int ListBoxControl::WidestText(const std::vector<std::wstring>& texts) const {
  if (texts.empty()) return 0;
  const HDC dc = GetDC(hwnd_);
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
  const bool tabs = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & LBS_USETABSTOPS) != 0;
  const auto measure = [&](const std::wstring& text) {
    if (tabs) return static_cast<int>(LOWORD(GetTabbedTextExtentW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };

  // Measuring every path costs far more than adding it (about 80 us an item under Wine). The
  // sum of its characters' widths comes close; the widest by that sum are measured for real,
  // and a text the sum cannot judge (tabs, combining marks, scripts that join, surrogates)
  // always is.
  std::vector<int> widths(0x300, -1);
  GetCharWidth32W(dc, 0, 0x2FF, widths.data());
  int widest = 0;
  std::vector<std::pair<int, std::size_t>> estimates;
  estimates.reserve(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    int sum = 0;
    bool plain = true;
    for (const wchar_t c : texts[i]) {
      if (c >= 0x300 || c == L'\t') {
        plain = false;
        break;
      }
      sum += widths[c];
    }
    if (plain) {
      estimates.emplace_back(sum, i);
    } else {
      widest = std::max(widest, measure(texts[i]));
    }
  }
  constexpr std::size_t kMeasured = 32;
  const std::size_t measured = std::min(kMeasured, estimates.size());
  std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(measured), estimates.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first; });
  for (std::size_t i = 0; i < measured; ++i) widest = std::max(widest, measure(texts[estimates[i].second]));
  if (estimates.size() > measured) widest = std::max(widest, estimates[measured].first);
  SelectObject(dc, oldFont);
  ReleaseDC(hwnd_, dc);
  return widest;
}

int ListBoxControl::ListCount() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }

int ListBoxControl::ListIndex() const {
  if (ListCount() <= 0) return -1;
  // In a multi-selection list the current item is the one with the focus rectangle.
  const LRESULT index = SendMessageW(hwnd_, multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0);
  return index == LB_ERR ? -1 : static_cast<int>(index);
}

std::string ListBoxControl::List(int index) const {
  if (ownerData_) return index >= 0 && static_cast<std::size_t>(index) < items_.size() ? items_[static_cast<std::size_t>(index)] : std::string();
  const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (index < 0 || length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (got == LB_ERR) return {};
  text.resize(static_cast<std::size_t>(got));
  return Utf8(text);
}

void ListBoxControl::DrawItem(const DRAWITEMSTRUCT& item) const {
  // As the list box draws a row of its own: the text one pixel in, the system's selection
  // colours, the focus rectangle. The colours already in the DC are the list's.
  const HDC dc = item.hDC;
  if (item.itemAction == ODA_FOCUS) {
    DrawFocusRect(dc, &item.rcItem);
    return;
  }
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  COLORREF oldBack = 0;
  COLORREF oldText = 0;
  if (selected) {
    oldBack = SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
  }
  const std::wstring text = item.itemID < items_.size() ? ShownWide(items_[item.itemID]) : std::wstring();
  ExtTextOutW(dc, item.rcItem.left + 1, item.rcItem.top, ETO_OPAQUE | ETO_CLIPPED, &item.rcItem, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  if (selected) {
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
  }
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &item.rcItem);
}

void ListBoxControl::TypeAhead(wchar_t typed) {
  // A list box with texts of its own moves to the next row that starts with the typed letter;
  // this one holds no texts, so it is done here the same way.
  const int count = ListCount();
  if (count <= 0) return;
  const int caret = static_cast<int>(SendMessageW(hwnd_, LB_GETCARETINDEX, 0, 0));
  wchar_t wanted[2] = {typed, 0};
  CharUpperW(wanted);
  int found = -1;
  for (int step = 1; step <= count && found < 0; ++step) {
    const int index = (std::max(caret, -1) + step) % count;
    const std::wstring text = ShownWide(items_[static_cast<std::size_t>(index)].substr(0, 4));
    if (text.empty()) continue;
    wchar_t first[2] = {text[0], 0};
    CharUpperW(first);
    if (first[0] == wanted[0]) found = index;
  }
  if (found < 0) return;
  if (multiSelect_) {
    const int anchor = static_cast<int>(SendMessageW(hwnd_, LB_GETANCHORINDEX, 0, 0));
    if (anchor >= 0 && anchor < count) {
      SendMessageW(hwnd_, LB_SETSEL, FALSE, -1);
      SendMessageW(hwnd_, LB_SELITEMRANGEEX, static_cast<WPARAM>(std::min(anchor, found)),
                   std::max(anchor, found));
      SendMessageW(hwnd_, LB_SETANCHORINDEX, static_cast<WPARAM>(anchor), 0);
    }
  } else {
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
  }
  SendMessageW(hwnd_, LB_SETCARETINDEX, static_cast<WPARAM>(found), FALSE);
  SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(hwnd_));
}

bool ListBoxControl::Selected(int index) const {
  return SendMessageW(hwnd_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void ListBoxControl::SetSelected(int index, bool selected) {
  if (multiSelect_) {
    SendMessageW(hwnd_, LB_SETSEL, selected ? TRUE : FALSE, index);
  } else if (selected) {
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  } else if (ListIndex() == index) {
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

void ListBoxControl::SelectAll() {
  if (!multiSelect_) return window::ListBox::SelectAll();
  SendMessageW(hwnd_, LB_SETSEL, TRUE, -1);  // -1: every item, in one message
}

int ListBoxControl::SelCount() const {
  if (multiSelect_) {
    const LRESULT count = SendMessageW(hwnd_, LB_GETSELCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
  }
  return SendMessageW(hwnd_, LB_GETCURSEL, 0, 0) == LB_ERR ? 0 : 1;
}

void ListBoxControl::SetVisible(bool visible) {
  if (!visible) {
    hadFocus_ = GetFocus() == hwnd_;
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  ShowWindow(hwnd_, SW_SHOWNA);
  if (hadFocus_) SetFocus(hwnd_);  // hiding took the focus away
  hadFocus_ = false;
}

void ListBoxControl::SetToolTip(const std::string& text) {
  std::wstring wide = ShownWide(text);
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every common-controls version
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd_);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  tool.lpszText = wide.data();
  if (toolTip_ == nullptr) {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(hwnd_), nullptr,
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

// TextBoxControl

void TextBoxControl::Create(HWND parent, int id, float left, float top, float width, float height) {
  // An edit box with word wrap and no scroll bars, drawn by a view of our own: the edit
  // control is far too slow for the texts of big cookies (text_view.h).
  RegisterTextView(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)));
  hwnd_ = CreateChild(parent, kTextViewClass, WS_TABSTOP, WS_EX_CLIENTEDGE, id, left, top, width, height);
  // Like the edit control it stands for, it starts with a limit that would cut a cookie short;
  // texts of up to 16 MiB come.
  SendMessageW(hwnd_, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  ProvideAccessible(hwnd_, this);
}

std::wstring TextBoxControl::AccessibleValue() const {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TextBoxControl::SetText(const std::string& text) {
  const std::wstring wide = ShownWide(text);
  SetText(platform::Utf16String(wide.begin(), wide.end()));
}

void TextBoxControl::SetText(platform::Utf16String&& text) {
  LogTiming("text-set %d", static_cast<int>(text.size()));
  SetTextViewText(hwnd_, std::move(text));
}

// CheckBoxControl

void CheckBoxControl::Create(HWND parent, int id, float left, float top, float width, float height) {
  hwnd_ = CreateChild(parent, WC_BUTTONW, WS_TABSTOP | BS_AUTOCHECKBOX, 0, id, left, top, width, height);
}

int CheckBoxControl::Value() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

void CheckBoxControl::SetCaption(const std::string& text) { SetWindowTextW(hwnd_, ShownWide(text).c_str()); }

// LabelControl

void LabelControl::Create(HWND parent, int id, float left, float top, float width, float height) {
  hwnd_ = CreateChild(parent, WC_STATICW, SS_NOTIFY | SS_LEFT, 0, id, left, top, width, height);
}

void LabelControl::SetCaption(const std::string& text) { SetWindowTextW(hwnd_, ShownWide(text).c_str()); }

// PictureButtonControl

void PictureButtonControl::Create(HWND parent, int id, float left, float top, float width, float height) {
  hwnd_ = CreateChild(parent, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP, 0, id, left, top, width, height);
  ProvideAccessible(hwnd_, this);
}

void PictureButtonControl::SetAccessibleName(const std::wstring& name) {
  SetWindowTextW(hwnd_, name.c_str());
  Rename(hwnd_, name);
}

void PictureButtonControl::SetPicture(HBITMAP picture) {
  SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

// MenuItemControl

void MenuItemControl::Create(HMENU menu, int id, const std::string& caption) {
  menu_ = menu;
  id_ = id;
  AppendMenuW(menu_, MF_STRING, static_cast<UINT_PTR>(id_), ShownWide(caption).c_str());
}

void MenuItemControl::SetCaption(const std::string& text) {
  ModifyMenuW(menu_, static_cast<UINT>(id_), MF_BYCOMMAND | MF_STRING, static_cast<UINT_PTR>(id_),
              ShownWide(text).c_str());
}

std::string MenuItemControl::Caption() const {
  wchar_t text[1024] = {};
  GetMenuStringW(menu_, static_cast<UINT>(id_), text, 1024, MF_BYCOMMAND);
  return Utf8(text);
}

// ClipboardControl

void ClipboardControl::SetText(const std::string& text) {
  std::wstring wide;
  for (const wchar_t c : ShownWide(text)) {
    if (c == L'\n') wide += L'\r';
    wide += c;
  }
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return;
  }
  std::memcpy(target, wide.c_str(), bytes);
  GlobalUnlock(memory);
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 20 && !(open = OpenClipboard(owner_) != FALSE); ++attempt) Sleep(10);
  if (!open) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);  // else the system owns it
  CloseClipboard();
}

// WindowTasks

void WindowTasks::Open(HWND window) {
  std::lock_guard lock(mutex_);
  window_ = window;
}

void WindowTasks::Close() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
    dropped.swap(tasks_);
  }
}

void WindowTasks::Post(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (window_ == nullptr) return;
  tasks_.push_back(std::move(task));
  if (!PostMessageW(window_, kMessage, 0, 0)) tasks_.pop_back();
}

void WindowTasks::RunWaiting() {
  while (true) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty() || window_ == nullptr) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace vesk::win32
