// The text view's window class and its messages: what the program and the system send it,
// answered as the edit control answers them.

#include "window/win32/text_view.h"

#include <algorithm>

#include "window/win32/text_view_state.h"
#include "window/win32/timing_log.h"

namespace vesk::win32 {
namespace {

// SetTextViewText's message: lParam points to the text to take.
constexpr UINT kTakeText = WM_USER + 0x100;

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

}  // namespace

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
      platform::Utf16String text = lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"";
      TakeText(text);
      return TRUE;
    }
    case kTakeText:
      TakeText(*reinterpret_cast<platform::Utf16String*>(lParam));
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
    case WM_LBUTTONDOWN:
      OnLeftDown(wParam, lParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(lParam);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(lParam);
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
    case WM_MOUSEWHEEL:
      OnWheel(wParam);
      return 0;
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


void TextView::TakeText(platform::Utf16String& text) {
  text_.swap(text);
  anchor_ = caret_ = 0;
  column_ = 0;
  top_ = 0;
  Relayout();
  ShowCaret();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void SetTextViewText(HWND view, platform::Utf16String&& text) {
  SendMessageW(view, kTakeText, 0, reinterpret_cast<LPARAM>(&text));
  platform::Utf16String().swap(text);
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
