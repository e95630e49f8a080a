#pragma once

// The end of Vesk.exe when an exception escapes a handler: an exception cannot pass through the
// system's window procedures, so every entry point from Windows catches and ends here.

#include <windows.h>

#include <commctrl.h>

namespace vesk::win32 {

// Shows what escaped (out of memory, or a fault of ours) in a message box and ends the program
// with status 1. Call it only inside a catch block.
[[noreturn]] void EndAfterException() noexcept;

// The body of a control's subclass procedure: `forget` when the window goes (it removes `proc`
// first), otherwise `answer` the message, ending the program if an exception escapes it.
template <class Forget, class Answer>
LRESULT AnswerSubclassed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, SUBCLASSPROC proc, Forget forget,
                         Answer answer) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, proc, 0);
    forget();
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  try {
    return answer();
  } catch (...) {
    EndAfterException();
  }
}

}  // namespace vesk::win32
