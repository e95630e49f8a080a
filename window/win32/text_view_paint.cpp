// Painting the text view: the lines on screen, the selection, and the themed frame, with the
// edit control's margins for the font.

#include "window/win32/text_view_state.h"

#include <uxtheme.h>
#include <usp10.h>
#include <vssym32.h>

#include <algorithm>

namespace vesk::win32 {

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

}  // namespace vesk::win32
