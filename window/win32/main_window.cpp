#include "window/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "window/language.h"
#include "window/win32/last_words.h"
#include "window/win32/resource.h"
#include "window/win32/text.h"
#include "window/win32/timing_log.h"

namespace vesk::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VeskForm1";

// The window's inner size when it opens, in twips.
constexpr float kInnerWidth = 7215;
constexpr float kInnerHeight = 5070;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags) {
  return MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

UINT TrackMenu(HWND owner, HMENU menu, POINT at) {
  return static_cast<UINT>(TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD |
                                                      TPM_NONOTIFY,
                                            at.x, at.y, owner, nullptr));
}

// The system's message font at `dpi`, the nearest to a dialog's default font.
HFONT CreateDialogFont(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
    return CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    const int systemDpi = WindowDpi(nullptr);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi);
    return CreateFontIndirectW(&metrics.lfMessageFont);
  }
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// `pitchAndFamily` picks the nearest face where `face` is missing: monospaced for Courier New,
// sans-serif for Arial.
HFONT CreatePointFont(const wchar_t* face, BYTE pitchAndFamily, int points, int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(points, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  font.lfPitchAndFamily = pitchAndFamily;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

void DeleteFont(HFONT& font) {
  if (font != nullptr && font != GetStockObject(DEFAULT_GUI_FONT)) DeleteObject(font);
  font = nullptr;
}

}  // namespace

void ShellOpen::Open(const std::string& address) {
  ShellExecuteW(nullptr, nullptr, Wide(address).c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
}

MainWindow::MainWindow(platform::System& system, window::Shell& shell, ModalRunners runners)
    : system_(system), shell_(shell), runners_(std::move(runners)) {
  if (!runners_.box) runners_.box = ShowMessageBox;
  if (!runners_.menu) runners_.menu = TrackMenu;
}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (list1Menu_ != nullptr) DestroyMenu(list1Menu_);
  if (list2Menu_ != nullptr) DestroyMenu(list2Menu_);
  if (valuesMenu_ != nullptr) DestroyMenu(valuesMenu_);
  DeleteFont(dialogFont_);
  DeleteFont(text1Font_);
  DeleteFont(check1Font_);
  for (HBITMAP& picture : pictures_) {
    if (picture != nullptr) DeleteObject(picture);
  }
  if (black_ != nullptr) DeleteObject(black_);
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
  instance_ = instance;
  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);

  WNDCLASSEXW windowClass{};
  if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VESK), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VESK), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;
  }
  handCursor_ = LoadCursorW(instance, MAKEINTRESOURCEW(IDC_VESK_HAND));
  black_ = CreateSolidBrush(RGB(0, 0, 0));

  hwnd_ = CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  CreateControls();
  ApplyDpi();

  // The layout moves the tab area as Text1; the text view lies inside it.
  form_ = std::make_unique<window::Form1>(
      window::Controls{*this, list1_, tabs_, list2_, check1_, german_, english_, exit_, label1_, killCookie_,
                       visitHomepage_},
      system_, shell_);
  clipboard_.Create(hwnd_);
  tasks_.Open(hwnd_);
  form_->AttachValues(window::ValuesControls{tabs_, values_, copyValue_, copyAllJson_, clipboard_, tasks_, *this});
  tabs_.onSelect = [this](int index) { form_->Tabs_Click(index); };
  values_.onKeyDown = [this](int key, int shift) { form_->Values_KeyDown(key, shift); };
  values_.onDblClick = [this] { form_->Values_DblClick(); };
  values_.onMouseDown = [this](int button, int shift, float x, float y) { form_->Values_MouseDown(button, shift, x, y); };
  list1_.onKeyDown = [this](int key, int shift) { form_->List1_KeyDown(key, shift); };
  list1_.onMouseDown = [this](int button, int shift, float x, float y) { form_->List1_MouseDown(button, shift, x, y); };
  list1_.onMouseUp = [this](int button, int shift, float x, float y) { form_->List1_MouseUp(button, shift, x, y); };
  list2_.onMouseDown = [this](int button, int shift, float x, float y) { form_->List2_MouseDown(button, shift, x, y); };

  form_->Form_Load();
  PlaceInitially();  // its WM_SIZE lays the controls out
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  SetFocus(list1_.Hwnd());
  if (TimingLogOn()) {
    POINT origin{0, 0};
    ClientToScreen(list1_.Hwnd(), &origin);
    LogTiming("list1-origin %ld %ld %d", origin.x, origin.y,
              static_cast<int>(SendMessageW(list1_.Hwnd(), LB_GETITEMHEIGHT, 0, 0)));
    origin = POINT{0, 0};
    ClientToScreen(values_.Hwnd(), &origin);  // the page is placed while hidden
    LogTiming("values-origin %ld %ld", origin.x, origin.y);
  }
  return true;
}

void MainWindow::CreateControls() {
  // Design geometry (twips), in tab order; the first resize replaces it.
  // The cookie list draws its own rows from texts it keeps: a deeper scan may list 100,000.
  list1_.Create(hwnd_, kList1Id, true, LBS_NODATA | LBS_OWNERDRAWFIXED, 135, 180, 3525, 1230);
  list1_.SetTimingName("list");
  text1_.Create(hwnd_, kText1Id, 135, 1890, 3525, 1230);
  // The Values tab's tree, then the tabs below both pages (tab_area.h).
  values_.Create(hwnd_, kValuesId);
  tabs_.Create(hwnd_, kTabsId, 135, 1890, 3525, 1230, text1_, values_.Hwnd());
  // Tab stops, so that the TAB inside a detail row shows as a gap.
  list2_.Create(hwnd_, kList2Id, false, LBS_USETABSTOPS, 3825, 1890, 1185, 255);
  check1_.Create(hwnd_, kCheck1Id, 3780, 2520, 2985, 240);
  german_.Create(hwnd_, kCommand1GermanId, 3870, 3105, 555, 555);
  english_.Create(hwnd_, kCommand1EnglishId, 4500, 3105, 555, 555);
  exit_.Create(hwnd_, kCommand2Id, 5310, 3105, 555, 555);
  label1_.Create(hwnd_, kLabel1Id, 3780, 2835, 3030, 195);

  list1Menu_ = CreatePopupMenu();
  list2Menu_ = CreatePopupMenu();
  killCookie_.Create(list1Menu_, kKillCookieId, window::language::kDesignKillCookie);
  visitHomepage_.Create(list2Menu_, kVisitHomepageId, window::language::kDesignVisitHomepage);
  valuesMenu_ = CreatePopupMenu();
  copyValue_.Create(valuesMenu_, kCopyValueId, "");
  copyAllJson_.Create(valuesMenu_, kCopyAllJsonId, "");
}

void MainWindow::ApplyDpi() {
  const int dpi = WindowDpi(hwnd_);
  // The old fonts go only once no control uses them any more.
  HFONT oldFonts[3] = {dialogFont_, text1Font_, check1Font_};
  dialogFont_ = CreateDialogFont(dpi);
  text1Font_ = CreatePointFont(L"Courier New", FIXED_PITCH | FF_MODERN, 12, dpi);
  check1Font_ = CreatePointFont(L"Arial", VARIABLE_PITCH | FF_SWISS, 9, dpi);
  for (HWND control : {list1_.Hwnd(), list2_.Hwnd(), label1_.Hwnd(), tabs_.Hwnd()}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), TRUE);
  }
  // The tree takes the system's font and colours, not Text1's.
  values_.SetFont(dialogFont_, dpi);
  tabs_.PlacePages();
  SendMessageW(text1_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(text1Font_), TRUE);
  SendMessageW(check1_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(check1Font_), TRUE);
  for (HFONT& font : oldFonts) DeleteFont(font);

  const int side = MulDiv(32, dpi, USER_DEFAULT_SCREEN_DPI);
  const int ids[3] = {IDB_FLAG_DE, IDB_FLAG_US, IDB_POWER};
  PictureButtonControl* buttons[3] = {&german_, &english_, &exit_};
  for (int i = 0; i < 3; ++i) {
    HBITMAP old = pictures_[i];
    pictures_[i] = static_cast<HBITMAP>(LoadImageW(instance_, MAKEINTRESOURCEW(ids[i]), IMAGE_BITMAP, side, side, 0));
    buttons[i]->SetPicture(pictures_[i]);
    if (old != nullptr) DeleteObject(old);
  }
}

void MainWindow::PlaceInitially() {
  const int dpi = WindowDpi(hwnd_);
  RECT frame{0, 0, TwipsToPixels(kInnerWidth, dpi), TwipsToPixels(kInnerHeight, dpi)};
  using ForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int MainWindow::Run(HWND window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    auto* self = IsWindow(window) ? reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
    if (self != nullptr && self->PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

bool MainWindow::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr) return false;
  // Keys that switch tabs wherever the focus is, before the control with the focus sees them.
  if (message.message == WM_KEYDOWN && form_ && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd))) {
    try {
      if (form_->Form_KeyPreview(static_cast<int>(message.wParam), ShiftState())) return true;
    } catch (...) {
      EndAfterException();
    }
  }
  // Tab and Shift+Tab move through the controls as in a dialog.
  return IsDialogMessageW(hwnd_, &message) != FALSE;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    EndAfterException();
  }
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (form_) form_->Form_Resize();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WindowTasks::kMessage:
      tasks_.RunWaiting();
      return 0;
    case WM_DRAWITEM:
      if (wParam == kList1Id) {
        list1_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      // A top-level window that is no dialog forgets its focused control when another window
      // comes in front (a message box, another program); keep it as a dialog does.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) focus_ = focus;
        return 0;
      }
      if (HIWORD(wParam) == 0) {  // not minimised
        SetFocus(focus_ != nullptr && IsWindow(focus_) ? focus_ : list1_.Hwnd());
        return 0;
      }
      break;
    case WM_SETFOCUS:
      SetFocus(focus_ != nullptr && IsWindow(focus_) ? focus_ : list1_.Hwnd());
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wParam) == label1_.Hwnd() && handCursor_ != nullptr) {
        SetCursor(handCursor_);
        return TRUE;
      }
      break;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == list2_.Hwnd() || reinterpret_cast<HWND>(lParam) == text1_.Hwnd()) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(black_);
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == label1_.Hwnd()) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DPICHANGED: {
      ApplyDpi();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      tasks_.Close();  // what the reader still sends is for a window that is gone
      if (quitOnClose_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
  if (!form_) return;
  switch (id) {
    case kList1Id:
      if (code == LBN_SELCHANGE) form_->List1_Click();
      break;
    case kCheck1Id:
      if (code == BN_CLICKED) form_->Check1_Click();
      break;
    case kCommand1GermanId:
      if (code == BN_CLICKED) form_->Command1_Click(0);
      break;
    case kCommand1EnglishId:
      if (code == BN_CLICKED) form_->Command1_Click(1);
      break;
    case kCommand2Id:
      if (code == BN_CLICKED) form_->Command2_Click();
      break;
    case kLabel1Id:
      if (code == STN_CLICKED) form_->Label1_Click();
      break;
    default:
      break;
  }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  LRESULT result = 0;
  if (header.hwndFrom == values_.Hwnd() && values_.OnNotify(header, result)) return result;
  if (header.hwndFrom == tabs_.Hwnd() && header.code == TCN_SELCHANGE && form_) form_->Tabs_Click(tabs_.Current());
  return 0;
}

void MainWindow::SetTitle(const std::string& text) {
  // The count is set again on every press and release in the list, mostly unchanged; a new
  // caption costs a repaint of the frame (about 3 ms under Wine).
  std::wstring title = ShownWide(text);
  if (title == title_) return;
  SetWindowTextW(hwnd_, title.c_str());
  title_ = std::move(title);
  LogTiming("title %s", text.c_str());
}

float MainWindow::ScaleWidth() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return PixelsToTwips(inner.right - inner.left, WindowDpi(hwnd_));
}

float MainWindow::ScaleHeight() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return PixelsToTwips(inner.bottom - inner.top, WindowDpi(hwnd_));
}

void MainWindow::Popup(window::PopupMenu menu) {
  POINT at{};
  GetCursorPos(&at);
  // The chosen item's handler runs here, before Popup returns.
  const UINT chosen = runners_.menu(hwnd_, PopupHandle(menu), at);
  if (chosen == static_cast<UINT>(kKillCookieId)) form_->KillCookie_Click();
  if (chosen == static_cast<UINT>(kVisitHomepageId)) form_->VisitHomepage_Click();
  if (chosen == static_cast<UINT>(kCopyValueId)) form_->CopyValue_Click();
  if (chosen == static_cast<UINT>(kCopyAllJsonId)) form_->CopyAllJson_Click();
}

HMENU MainWindow::PopupHandle(window::PopupMenu menu) const {
  switch (menu) {
    case window::PopupMenu::List1: return list1Menu_;
    case window::PopupMenu::List2: return list2Menu_;
    case window::PopupMenu::Values: return valuesMenu_;
  }
  return nullptr;
}

int MainWindow::MsgBox(const std::string& text, int flags, const std::string& title) {
  return runners_.box(hwnd_, ShownWide(text), ShownWide(title), static_cast<UINT>(flags));
}

void MainWindow::SetBusy(bool busy) {
  busy_ = busy;
  if (busy) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return;
  }
  // The next mouse move lets the window under the pointer choose its own cursor again.
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void MainWindow::SetNames(const window::AccessibleNames& names) {
  list1_.SetAccessibleName(ShownWide(names.List1));
  text1_.SetAccessibleName(ShownWide(names.Text1));
  list2_.SetAccessibleName(ShownWide(names.List2));
  german_.SetAccessibleName(ShownWide(names.Command1_0));
  english_.SetAccessibleName(ShownWide(names.Command1_1));
  exit_.SetAccessibleName(ShownWide(names.Command2));
  tabs_.SetAccessibleName(ShownWide(names.Tabs));
  values_.SetAccessibleName(ShownWide(names.Values));
}

void MainWindow::Unload() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

}  // namespace vesk::win32
