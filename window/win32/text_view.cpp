#include "window/win32/text_view.h"

#include <uxtheme.h>
#include <usp10.h>
#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <string>

#include "window/win32/timing_log.h"

namespace vesk::win32 {
namespace {

// SetTextViewText's message: lParam points to the std::wstring to take.
constexpr UINT kTakeText = WM_USER + 0x100;

bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A line may end at `q` (the next line starts there): after a run of blanks, or after a
// hyphen that follows a word, as the edit control breaks.
bool BreaksBefore(std::wstring_view text, std::size_t start, std::size_t q) {
  const wchar_t before = text[q - 1];
  const wchar_t next = text[q];
  if (IsBlank(before)) return !IsBlank(next);
  return before == L'-' && q >= start + 2 && !IsBlank(text[q - 2]) && !IsBlank(next);
}

}  // namespace

bool ExtendLines(std::wstring_view text, int columns, int cutColumns, std::vector<std::uint32_t>& starts,
                 std::size_t untilPosition, std::size_t untilLines) {
  const std::size_t width = static_cast<std::size_t>(std::max(columns, 1));
  const std::size_t cut = static_cast<std::size_t>(std::clamp(cutColumns, 1, std::max(columns, 1)));
  const std::size_t n = text.size();
  if (starts.empty()) starts.push_back(0);
  std::size_t s = starts.back();
  while (s <= untilPosition || starts.size() < untilLines) {
    // A line end within reach ends the line whatever fits after it.
    const std::size_t reach = std::min(n, s + width + 1);
    std::size_t hard = reach;
    for (std::size_t i = s; i + 1 < n && i < reach; ++i) {
      if (text[i] == L'\r' && text[i + 1] == L'\n') {
        hard = i;
        break;
      }
    }
    std::size_t next;
    if (hard < reach && hard - s <= width) {
      next = hard + 2;
    } else if (n - s <= width) {
      return true;
    } else {
      next = 0;
      for (std::size_t q = s + width; q > s; --q) {
        if (BreaksBefore(text, s, q)) {
          next = q;
          break;
        }
      }
      if (next == 0) {
        next = s + cut;
        if (IsLowSurrogate(text[next]) && next - 1 > s) --next;  // a pair stays whole
      }
    }
    starts.push_back(static_cast<std::uint32_t>(next));
    s = next;
  }
  return false;
}

std::vector<std::uint32_t> WrapLines(std::wstring_view text, int columns, int cutColumns) {
  std::vector<std::uint32_t> starts{0};
  ExtendLines(text, columns, cutColumns, starts, text.size(), 0);
  return starts;
}

namespace {

class TextView {
 public:
  explicit TextView(HWND hwnd) : hwnd_(hwnd) {}

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // Layout.
  void Calibrate();
  void Relayout();
  // Lines are wrapped only as far as something needs them: a big text shows at once, and its
  // end is wrapped when the caret or the view gets there.
  void Need(std::size_t position, std::size_t lines) const;
  std::size_t LineCount() const;
  void ForgetFrom(std::size_t position);  // the lines an edit at `position` may change
  void TakeText(std::wstring& text);
  int Columns() const;
  int VisibleLines() const;
  std::size_t LineOf(std::size_t position) const;
  std::size_t LineStart(std::size_t line) const { return lines_[line]; }
  std::size_t LineEnd(std::size_t line) const;  // before the line's CR LF, if any
  // The last place on the line where the caret can stand: a wrapped line's end is the next
  // line's start.
  std::size_t LastCaretPosition(std::size_t line) const;
  std::size_t PositionAt(int x, int y) const;
  void ScrollTo(std::size_t topLine);
  void ShowCaret();

  // Editing.
  void SetSelection(std::size_t anchor, std::size_t caret, bool keepColumn = false);
  void ReplaceSelection(std::wstring_view with);
  std::size_t Left(std::size_t position, bool word) const;
  std::size_t Right(std::size_t position, bool word) const;
  void OnKeyDown(WPARAM key);
  void OnChar(wchar_t c);
  void Copy() const;
  void Paste();
  void ContextMenu(LPARAM at);

  void Paint();
  void PaintFrame(HRGN region);
  void PaintSegment(HDC dc, int x, int y, std::size_t from, std::size_t to) const;

  HWND hwnd_;
  HTHEME theme_ = nullptr;
  HFONT font_ = nullptr;
  int charWidth_ = 8;
  int lineHeight_ = 16;
  int marginLeft_ = 1;
  int marginTop_ = 1;
  int marginRight_ = 1;
  std::wstring text_;
  mutable std::vector<std::uint32_t> lines_{0};
  mutable bool complete_ = false;
  int layoutColumns_ = 0;
  std::size_t top_ = 0;  // first line on screen
  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
  int column_ = 0;  // the column Up and Down keep
  std::size_t limit_ = 30000;
  bool focused_ = false;
  bool dragging_ = false;
};

LRESULT CALLBACK TextViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* view = reinterpret_cast<TextView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    view = new TextView(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  if (view == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete view;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return view->OnMessage(message, wParam, lParam);
}

LRESULT TextView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      Calibrate();
      return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_CREATE:
      theme_ = OpenThemeData(hwnd_, L"Edit");
      return 0;
    case WM_THEMECHANGED:
      if (theme_ != nullptr) CloseThemeData(theme_);
      theme_ = OpenThemeData(hwnd_, L"Edit");
      return 0;
    case WM_DESTROY:
      if (theme_ != nullptr) CloseThemeData(theme_);
      theme_ = nullptr;
      return 0;
    case WM_NCPAINT:
      PaintFrame(reinterpret_cast<HRGN>(wParam));
      return 0;
    case WM_SETTEXT: {
      std::wstring text = lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"";
      TakeText(text);
      return TRUE;
    }
    case kTakeText:
      TakeText(*reinterpret_cast<std::wstring*>(lParam));
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const std::size_t count = std::min(text_.size(), static_cast<std::size_t>(wParam) - 1);
      auto* out = reinterpret_cast<wchar_t*>(lParam);
      text_.copy(out, count);
      out[count] = L'\0';
      return static_cast<LRESULT>(count);
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      Calibrate();
      Relayout();
      ShowCaret();
      if (LOWORD(lParam) != 0) InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SIZE:
      Relayout();
      ScrollTo(top_);
      ShowCaret();
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills every pixel
    case WM_PAINT:
      Paint();
      if (TimingLogOn()) LogTiming("text-painted %d", static_cast<int>(text_.size()));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTALLKEYS;
    case WM_SETFOCUS:
      focused_ = true;
      CreateCaret(hwnd_, nullptr, 1, lineHeight_);
      ShowCaret();
      ::ShowCaret(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);  // the selection shows only with the focus
      if (theme_ != nullptr) RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      DestroyCaret();
      InvalidateRect(hwnd_, nullptr, FALSE);
      if (theme_ != nullptr) RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(wParam);
      return 0;
    case WM_CHAR:
      OnChar(static_cast<wchar_t>(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd_);
      const std::size_t at = PositionAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      SetSelection((wParam & MK_SHIFT) != 0 ? anchor_ : at, at);
      dragging_ = true;
      SetCapture(hwnd_);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const std::size_t at = PositionAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      SetSelection(Left(std::min(at + 1, text_.size()), true), Right(at, true));
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) SetSelection(anchor_, PositionAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (message == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
    case WM_CONTEXTMENU:
      ContextMenu(lParam);
      return 0;
    case WM_MOUSEWHEEL: {
      UINT perNotch = 3;
      SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
      const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      const long long target = static_cast<long long>(top_) - static_cast<long long>(notches) * perNotch;
      ScrollTo(static_cast<std::size_t>(std::max(0LL, target)));
      ShowCaret();
      return 0;
    }
    case EM_SETSEL: {
      const auto clampPosition = [this](LPARAM value) {
        const auto signedValue = static_cast<long long>(static_cast<int>(value));
        return signedValue < 0 ? text_.size() : std::min(static_cast<std::size_t>(signedValue), text_.size());
      };
      if (static_cast<int>(wParam) == -1) {
        SetSelection(caret_, caret_);
      } else {
        SetSelection(clampPosition(static_cast<LPARAM>(wParam)), clampPosition(lParam));
      }
      return 0;
    }
    case EM_GETSEL: {
      const DWORD from = static_cast<DWORD>(std::min(anchor_, caret_));
      const DWORD to = static_cast<DWORD>(std::max(anchor_, caret_));
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = from;
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = to;
      return MAKELRESULT(std::min<DWORD>(from, 0xFFFF), std::min<DWORD>(to, 0xFFFF));
    }
    case EM_REPLACESEL:
      ReplaceSelection(lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"");
      return 0;
    case EM_SETLIMITTEXT:
      limit_ = wParam == 0 ? 0x7FFFFFFE : static_cast<std::size_t>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(limit_);
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(LineCount());
    case EM_LINEINDEX: {
      const std::size_t line = static_cast<int>(wParam) < 0 ? LineOf(caret_) : static_cast<std::size_t>(wParam);
      Need(0, line + 1);
      return line < lines_.size() ? static_cast<LRESULT>(lines_[line]) : -1;
    }
    case EM_POSFROMCHAR: {
      const std::size_t position = static_cast<std::size_t>(wParam);
      if (position > text_.size()) return -1;
      const std::size_t line = LineOf(position);
      const long long row = static_cast<long long>(line) - static_cast<long long>(top_);
      return MAKELRESULT(static_cast<WORD>(marginLeft_ + static_cast<int>(position - LineStart(line)) * charWidth_),
                         static_cast<WORD>(marginTop_ + static_cast<int>(row) * lineHeight_));
    }
    case EM_GETFIRSTVISIBLELINE:
      return static_cast<LRESULT>(top_);
    case EM_CANUNDO:
      return FALSE;
    case WM_COPY:
      Copy();
      return 0;
    case WM_CUT:
      Copy();
      ReplaceSelection(L"");
      return 0;
    case WM_PASTE:
      Paste();
      return 0;
    case WM_CLEAR:
      ReplaceSelection(L"");
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

// The edit control's margins depend on the system and the font: ask one.
void TextView::Calibrate() {
  const HDC dc = GetDC(hwnd_);
  const HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  charWidth_ = std::max<int>(1, metrics.tmAveCharWidth);
  lineHeight_ = std::max<int>(1, metrics.tmHeight);

  const int probeWidth = 40 * charWidth_ + 32;
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  const HWND probe = CreateWindowExW(exStyle, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, probeWidth,
                                     4 * lineHeight_, hwnd_, nullptr,
                                     reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
  if (probe == nullptr) return;
  SendMessageW(probe, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  RECT format{};
  SendMessageW(probe, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  RECT inner{};
  GetClientRect(probe, &inner);
  marginLeft_ = static_cast<int>(format.left);
  marginTop_ = static_cast<int>(format.top);
  marginRight_ = static_cast<int>(inner.right - format.right);
  DestroyWindow(probe);
}

int TextView::Columns() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return std::max(1, static_cast<int>(inner.right - marginLeft_ - marginRight_) / charWidth_);
}

int TextView::VisibleLines() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return std::max(1, static_cast<int>(inner.bottom - marginTop_) / lineHeight_);
}

void TextView::TakeText(std::wstring& text) {
  text_.swap(text);
  anchor_ = caret_ = 0;
  column_ = 0;
  top_ = 0;
  Relayout();
  ShowCaret();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TextView::Relayout() {
  layoutColumns_ = Columns();
  lines_.assign(1, 0);
  complete_ = false;
  Need(0, top_ + 1);
  top_ = std::min(top_, lines_.size() - 1);
}

void TextView::Need(std::size_t position, std::size_t lines) const {
  if (complete_ || (lines_.back() > position && lines_.size() >= lines)) return;
  complete_ = ExtendLines(text_, layoutColumns_, layoutColumns_, lines_, position, lines);
}

std::size_t TextView::LineCount() const {
  Need(text_.size(), 0);
  return lines_.size();
}

void TextView::ForgetFrom(std::size_t position) {
  // A line's end depends on at most the columns after its start and a CR LF just past them.
  const std::size_t reach = static_cast<std::size_t>(layoutColumns_) + 2;
  std::size_t keep = 1;
  while (keep < lines_.size() && lines_[keep - 1] + reach < position) ++keep;
  lines_.resize(keep);
  complete_ = false;
}

std::size_t TextView::LineOf(std::size_t position) const {
  Need(position, 0);
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), static_cast<std::uint32_t>(position));
  return static_cast<std::size_t>(after - lines_.begin()) - 1;
}

std::size_t TextView::LineEnd(std::size_t line) const {
  Need(0, line + 2);
  std::size_t end = line + 1 < lines_.size() ? lines_[line + 1] : text_.size();
  if (end >= lines_[line] + 2 && text_[end - 2] == L'\r' && text_[end - 1] == L'\n') end -= 2;
  return end;
}

std::size_t TextView::LastCaretPosition(std::size_t line) const {
  std::size_t end = LineEnd(line);
  if (line + 1 < lines_.size() && end == lines_[line + 1] && end > lines_[line]) --end;
  return end;
}

std::size_t TextView::PositionAt(int x, int y) const {
  const long long row = y < marginTop_ ? -1 : (y - marginTop_) / lineHeight_;
  const long long wanted = static_cast<long long>(top_) + row;
  Need(0, static_cast<std::size_t>(std::max(0LL, wanted)) + 1);
  const std::size_t line = static_cast<std::size_t>(std::clamp<long long>(wanted, 0, static_cast<long long>(lines_.size()) - 1));
  const int column = std::max(0, (x - marginLeft_ + charWidth_ / 2) / charWidth_);
  const std::size_t start = LineStart(line);
  std::size_t at = std::min(start + static_cast<std::size_t>(column), LastCaretPosition(line));
  if (at > start && at < text_.size() && IsLowSurrogate(text_[at])) --at;
  return at;
}

void TextView::ScrollTo(std::size_t topLine) {
  Need(0, topLine + 1);
  const std::size_t last = lines_.size() - 1;
  topLine = std::min(topLine, last);
  if (topLine != top_) {
    top_ = topLine;
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void TextView::ShowCaret() {
  if (!focused_) return;
  const std::size_t line = LineOf(caret_);
  const long long row = static_cast<long long>(line) - static_cast<long long>(top_);
  SetCaretPos(marginLeft_ + static_cast<int>(caret_ - LineStart(line)) * charWidth_,
              marginTop_ + static_cast<int>(row) * lineHeight_);
}

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

void TextView::PaintSegment(HDC dc, int x, int y, std::size_t from, std::size_t to) const {
  if (from >= to) return;
  const int length = static_cast<int>(to - from);
  // Uniscribe, as the edit control draws: characters the font lacks come from another one.
  SCRIPT_STRING_ANALYSIS analysis = nullptr;
  if (SUCCEEDED(ScriptStringAnalyse(dc, text_.data() + from, length, length * 3 / 2 + 16, -1,
                                    SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, &analysis))) {
    ScriptStringOut(analysis, x, y, 0, nullptr, 0, 0, FALSE);
    ScriptStringFree(&analysis);
  } else {
    ExtTextOutW(dc, x, y, 0, nullptr, text_.data() + from, static_cast<UINT>(length), nullptr);
  }
}

// The sunken border in the visual style's colours, as a themed edit control draws it.
void TextView::PaintFrame(HRGN region) {
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  if (theme_ == nullptr || (exStyle & WS_EX_CLIENTEDGE) == 0) {
    DefWindowProcW(hwnd_, WM_NCPAINT, reinterpret_cast<WPARAM>(region), 0);
    return;
  }
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  const int edgeX = GetSystemMetrics(SM_CXEDGE);
  const int edgeY = GetSystemMetrics(SM_CYEDGE);
  HRGN inside = CreateRectRgn(frame.left + edgeX, frame.top + edgeY, frame.right - edgeX, frame.bottom - edgeY);
  if (region != reinterpret_cast<HRGN>(1)) CombineRgn(inside, inside, region, RGN_AND);
  OffsetRect(&frame, -frame.left, -frame.top);
  const int state = !IsWindowEnabled(hwnd_) ? ETS_DISABLED : GetFocus() == hwnd_ ? ETS_FOCUSED : ETS_NORMAL;
  const HDC dc = GetDCEx(hwnd_, region, DCX_WINDOW | DCX_INTERSECTRGN);
  if (IsThemeBackgroundPartiallyTransparent(theme_, EP_EDITTEXT, state)) DrawThemeParentBackground(hwnd_, dc, &frame);
  DrawThemeBackground(theme_, dc, EP_EDITTEXT, state, &frame, nullptr);
  ReleaseDC(hwnd_, dc);
  DefWindowProcW(hwnd_, WM_NCPAINT, reinterpret_cast<WPARAM>(inside), 0);
  DeleteObject(inside);
}

void TextView::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(hwnd_, &paint);
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  // Colours as the parent gives an edit control.
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(hwnd_), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
  FillRect(dc, &paint.rcPaint, brush != nullptr ? brush : GetSysColorBrush(COLOR_WINDOW));
  const COLORREF textColour = GetTextColor(dc);
  const COLORREF backColour = GetBkColor(dc);
  const HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, OPAQUE);
  // Whole lines only, as the edit control shows them.
  const int bottom = marginTop_ + VisibleLines() * lineHeight_;
  Need(0, top_ + static_cast<std::size_t>(VisibleLines()) + 1);
  IntersectClipRect(dc, marginLeft_, marginTop_, inner.right - marginRight_, bottom);
  const std::size_t from = std::min(anchor_, caret_);
  const std::size_t to = focused_ ? std::max(anchor_, caret_) : from;
  const std::size_t firstRow = static_cast<std::size_t>(std::max(0L, (paint.rcPaint.top - marginTop_) / lineHeight_));
  for (std::size_t row = firstRow; top_ + row < lines_.size(); ++row) {
    const int y = marginTop_ + static_cast<int>(row) * lineHeight_;
    if (y >= paint.rcPaint.bottom || y >= bottom) break;
    const std::size_t line = top_ + row;
    const std::size_t start = LineStart(line);
    const std::size_t end = LineEnd(line);
    const std::size_t selFrom = std::clamp(from, start, end);
    const std::size_t selTo = std::clamp(to, start, end);
    const auto x = [&](std::size_t position) { return marginLeft_ + static_cast<int>(position - start) * charWidth_; };
    SetTextColor(dc, textColour);
    SetBkColor(dc, backColour);
    PaintSegment(dc, x(start), y, start, selFrom);
    PaintSegment(dc, x(selTo), y, selTo, end);
    if (selFrom < selTo) {
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
      PaintSegment(dc, x(selFrom), y, selFrom, selTo);
    }
  }
  SelectObject(dc, oldFont);
  EndPaint(hwnd_, &paint);
}

}  // namespace

void SetTextViewText(HWND view, std::wstring&& text) {
  SendMessageW(view, kTakeText, 0, reinterpret_cast<LPARAM>(&text));
  std::wstring().swap(text);
}

bool RegisterTextView(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  if (GetClassInfoExW(instance, kTextViewClass, &windowClass)) return true;
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = TextViewProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  windowClass.lpszClassName = kTextViewClass;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace vesk::win32
