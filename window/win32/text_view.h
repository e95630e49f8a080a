#pragma once

// The text view of the Windows program: a multi-line, word-wrapping, editable text control for
// texts of many megabytes. The system's edit and rich-edit controls lay the whole text out on
// every change and slow down with the square of a line that has no place to break, so a cookie
// of a few hundred kilobytes froze the window. This view wraps in one pass over the text
// (the font is monospaced, so a line's width is its number of characters) and paints only the
// lines on screen.
//
// It answers the edit control's messages that the program and a user reach: WM_SETTEXT,
// WM_GETTEXT, WM_GETTEXTLENGTH, WM_SETFONT, WM_GETFONT, EM_SETSEL, EM_GETSEL, EM_REPLACESEL,
// EM_SETLIMITTEXT, EM_GETLIMITTEXT, EM_GETLINECOUNT, EM_LINEINDEX, EM_POSFROMCHAR, EM_GETFIRSTVISIBLELINE,
// WM_COPY, WM_CUT, WM_PASTE, WM_CLEAR, the edit control's context menu; the keys of an edit box (arrows, Home, End, Page Up and
// Down with Shift and Ctrl, Delete, Backspace, Enter, Ctrl+A, C, X, V), the mouse and the
// wheel. Colours come from the parent's WM_CTLCOLOREDIT, as for an edit control; the margins
// are taken from a real edit control with the same font, so the text lies where the edit
// control put it. What the user copies is exactly the text.

#include <windows.h>

#include "platform/platform.h"

namespace vesk::win32 {

inline constexpr wchar_t kTextViewClass[] = L"VeskTextView";

// Registers the window class once per process; false when that fails.
bool RegisterTextView(HINSTANCE instance);

// Hands `text` to the view without a copy; `text` is left empty.
void SetTextViewText(HWND view, platform::Utf16String&& text);

}  // namespace vesk::win32
