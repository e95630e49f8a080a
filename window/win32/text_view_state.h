#pragma once

// The text view's state and handlers, shared by the files that make it up: text_view.cpp (the
// window class and its messages), text_view_lines.cpp (which lines are on screen and where each
// character lies), text_view_paint.cpp (painting) and text_view_input.cpp (keys, mouse,
// clipboard and editing).

#include <windows.h>
#include <uxtheme.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "window/win32/line_wrap.h"

namespace vesk::win32 {

class TextView {
 public:
  explicit TextView(HWND hwnd) : hwnd_(hwnd) {}

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // Messages (text_view.cpp).
  void TakeText(platform::Utf16String& text);

  // Lines (text_view_lines.cpp).
  void Relayout();
  // Lines are wrapped only as far as something needs them: a big text shows at once, and its
  // end is wrapped when the caret or the view gets there.
  void Need(std::size_t position, std::size_t lines) const;
  std::size_t LineCount() const;
  void ForgetFrom(std::size_t position);  // the lines an edit at `position` may change
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

  // Keys, mouse, clipboard and editing (text_view_input.cpp).
  void SetSelection(std::size_t anchor, std::size_t caret, bool keepColumn = false);
  void ReplaceSelection(std::wstring_view with);
  std::size_t Left(std::size_t position, bool word) const;
  std::size_t Right(std::size_t position, bool word) const;
  void OnKeyDown(WPARAM key);
  void OnChar(wchar_t c);
  void Copy() const;
  void Paste();
  void ContextMenu(LPARAM at);
  void OnLeftDown(WPARAM keys, LPARAM at);
  void OnDoubleClick(LPARAM at);
  void OnMouseMove(LPARAM at);
  void OnWheel(WPARAM wParam);

  // Painting (text_view_paint.cpp).
  void Calibrate();
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
  platform::Utf16String text_;
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


}  // namespace vesk::win32
