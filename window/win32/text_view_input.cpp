// The text view's input: keys, mouse and wheel, the clipboard and the edits they make, as an
// edit box answers them.

#include "window/win32/text_view_state.h"

#include <windowsx.h>

#include <algorithm>

namespace vesk::win32 {

void TextView::SetSelection(std::size_t anchor, std::size_t caret, bool keepColumn) {
  if (anchor != anchor_ || caret != caret_) InvalidateRect(hwnd_, nullptr, FALSE);
  anchor_ = std::min(anchor, text_.size());
  caret_ = std::min(caret, text_.size());
  const std::size_t line = LineOf(caret_);
  if (!keepColumn) column_ = static_cast<int>(caret_ - LineStart(line));
  const std::size_t visible = static_cast<std::size_t>(VisibleLines());
  if (line < top_) ScrollTo(line);
  if (line >= top_ + visible) ScrollTo(line - visible + 1);
  ShowCaret();
}

void TextView::ReplaceSelection(std::wstring_view with) {
  const std::size_t from = std::min(anchor_, caret_);
  const std::size_t to = std::max(anchor_, caret_);
  const std::size_t kept = text_.size() - (to - from);
  if (kept + with.size() > limit_) with = with.substr(0, limit_ > kept ? limit_ - kept : 0);
  if (from == to && with.empty()) return;
  text_.replace(from, to - from, with);
  ForgetFrom(from);
  anchor_ = caret_ = from + with.size();
  SetSelection(caret_, caret_);
  InvalidateRect(hwnd_, nullptr, FALSE);
  SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), EN_CHANGE),
               reinterpret_cast<LPARAM>(hwnd_));
}

std::size_t TextView::Left(std::size_t position, bool word) const {
  if (position == 0) return 0;
  if (!word) {
    std::size_t at = position - 1;
    if (at > 0 && IsLowSurrogate(text_[at])) --at;
    if (at > 0 && text_[at] == L'\n' && text_[at - 1] == L'\r') --at;
    return at;
  }
  std::size_t at = position;
  while (at > 0 && IsBlank(text_[at - 1])) --at;
  while (at > 0 && !IsBlank(text_[at - 1]) && text_[at - 1] != L'\n') --at;
  return at;
}

std::size_t TextView::Right(std::size_t position, bool word) const {
  const std::size_t n = text_.size();
  if (position >= n) return n;
  if (!word) {
    if (text_[position] == L'\r' && position + 1 < n && text_[position + 1] == L'\n') return position + 2;
    if (position + 1 < n && IsLowSurrogate(text_[position + 1])) return position + 2;
    return position + 1;
  }
  std::size_t at = position;
  while (at < n && !IsBlank(text_[at]) && text_[at] != L'\r') ++at;
  while (at < n && IsBlank(text_[at])) ++at;
  return at == position ? Right(position, false) : at;
}

void TextView::OnKeyDown(WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const auto moveTo = [&](std::size_t at, bool keepColumn = false) {
    SetSelection(shift ? anchor_ : at, at, keepColumn);
  };
  const auto toLine = [&](long long line) {
    Need(0, static_cast<std::size_t>(std::max(0LL, line)) + 1);
    const std::size_t target = static_cast<std::size_t>(std::clamp<long long>(line, 0, static_cast<long long>(lines_.size()) - 1));
    moveTo(std::min(LineStart(target) + static_cast<std::size_t>(column_), LastCaretPosition(target)), true);
  };
  const std::size_t line = LineOf(caret_);
  const long long page = std::max(1, VisibleLines());
  switch (key) {
    case VK_LEFT:
      moveTo(!shift && !control && anchor_ != caret_ ? std::min(anchor_, caret_) : Left(caret_, control));
      break;
    case VK_RIGHT:
      moveTo(!shift && !control && anchor_ != caret_ ? std::max(anchor_, caret_) : Right(caret_, control));
      break;
    case VK_UP:
      toLine(static_cast<long long>(line) - 1);
      break;
    case VK_DOWN:
      toLine(static_cast<long long>(line) + 1);
      break;
    case VK_PRIOR:
      ScrollTo(top_ >= static_cast<std::size_t>(page) ? top_ - static_cast<std::size_t>(page) : 0);
      toLine(static_cast<long long>(line) - page);
      break;
    case VK_NEXT:
      ScrollTo(top_ + static_cast<std::size_t>(page));
      toLine(static_cast<long long>(line) + page);
      break;
    case VK_HOME:
      moveTo(control ? 0 : LineStart(line));
      break;
    case VK_END:
      moveTo(control ? text_.size() : LastCaretPosition(line));
      break;
    case VK_DELETE:
      if (shift) {
        SendMessageW(hwnd_, WM_CUT, 0, 0);
      } else {
        if (anchor_ == caret_) caret_ = Right(caret_, false);
        ReplaceSelection(L"");
      }
      break;
    case VK_INSERT:
      if (control) Copy();
      if (shift) Paste();
      break;
    default:
      break;
  }
}

void TextView::OnChar(wchar_t c) {
  switch (c) {
    case 0x01:  // Ctrl+A
      SetSelection(0, text_.size());
      return;
    case 0x03:  // Ctrl+C
      Copy();
      return;
    case 0x16:  // Ctrl+V
      Paste();
      return;
    case 0x18:  // Ctrl+X
      SendMessageW(hwnd_, WM_CUT, 0, 0);
      return;
    case L'\b':
      if (anchor_ == caret_) caret_ = Left(caret_, false);
      ReplaceSelection(L"");
      return;
    case L'\r':
      ReplaceSelection(L"\r\n");
      return;
    default:
      if (c >= 0x20 || c == L'\t') ReplaceSelection(std::wstring_view(&c, 1));
      return;
  }
}

void TextView::Copy() const {
  const std::size_t from = std::min(anchor_, caret_);
  const std::size_t to = std::max(anchor_, caret_);
  if (from == to || !OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  const std::size_t bytes = (to - from + 1) * sizeof(wchar_t);
  if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    auto* out = static_cast<wchar_t*>(GlobalLock(memory));
    text_.copy(out, to - from, from);
    out[to - from] = L'\0';
    GlobalUnlock(memory);
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

void TextView::Paste() {
  if (!OpenClipboard(hwnd_)) return;
  std::wstring pasted;
  if (const HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* in = static_cast<const wchar_t*>(GlobalLock(memory))) {
      pasted = in;
      GlobalUnlock(memory);
    }
  }
  CloseClipboard();
  ReplaceSelection(pasted);
}

// The edit control's own menu from the system's resources, in the system's language; its
// items' identifiers are the messages they stand for.
void TextView::ContextMenu(LPARAM at) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  HMENU menu = LoadMenuW(user32, L"EDITMENU");
  if (menu == nullptr) menu = LoadMenuW(user32, MAKEINTRESOURCEW(1));
  if (menu == nullptr) return;
  const HMENU popup = GetSubMenu(menu, 0);
  SetFocus(hwnd_);
  const bool selection = anchor_ != caret_;
  const auto enable = [popup](UINT id, bool on) { EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  enable(EM_UNDO, false);
  enable(WM_UNDO, false);
  enable(WM_CUT, selection);
  enable(WM_COPY, selection);
  enable(WM_CLEAR, selection);
  enable(WM_PASTE, IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE);
  enable(EM_SETSEL, !text_.empty() && !(std::min(anchor_, caret_) == 0 && std::max(anchor_, caret_) == text_.size()));
  POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (at == -1) {  // from the keyboard: at the caret
    GetCaretPos(&point);
    ClientToScreen(hwnd_, &point);
  }
  const auto chosen = static_cast<UINT>(
      TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, point.x, point.y, 0, hwnd_, nullptr));
  DestroyMenu(menu);
  if (chosen == EM_SETSEL) {
    SetSelection(0, text_.size());
  } else if (chosen == WM_CUT || chosen == WM_COPY || chosen == WM_PASTE || chosen == WM_CLEAR) {
    SendMessageW(hwnd_, chosen, 0, 0);
  }
}

void TextView::OnLeftDown(WPARAM keys, LPARAM at) {
  SetFocus(hwnd_);
  const std::size_t position = PositionAt(GET_X_LPARAM(at), GET_Y_LPARAM(at));
  SetSelection((keys & MK_SHIFT) != 0 ? anchor_ : position, position);
  dragging_ = true;
  SetCapture(hwnd_);
}

void TextView::OnDoubleClick(LPARAM at) {
  const std::size_t position = PositionAt(GET_X_LPARAM(at), GET_Y_LPARAM(at));
  SetSelection(Left(std::min(position + 1, text_.size()), true), Right(position, true));
}

void TextView::OnMouseMove(LPARAM at) {
  if (dragging_) SetSelection(anchor_, PositionAt(GET_X_LPARAM(at), GET_Y_LPARAM(at)));
}

void TextView::OnWheel(WPARAM wParam) {
  UINT perNotch = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
  const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
  const long long target = static_cast<long long>(top_) - static_cast<long long>(notches) * perNotch;
  ScrollTo(static_cast<std::size_t>(std::max(0LL, target)));
  ShowCaret();
}

}  // namespace vesk::win32
