#include "window/win32/values_view.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "window/win32/controls.h"
#include "window/win32/last_words.h"
#include "window/win32/text.h"
#include "window/win32/timing_log.h"
#include "window/win32/twips.h"

namespace vesk::win32 {
namespace {

using window::ValuesModel;

// The images in front of a row's name.
enum Image : int { kLeaf = 0, kCollapsed, kExpanded, kProblem };

// A tool tip shows this much of a value: more would not fit on a screen. The copies give it whole.
constexpr std::size_t kToolTipChars = 10000;
// Expanding or collapsing keeps up to this many selected rows selected, else only the focused one.
constexpr UINT kKeptSelection = 10000;

// How long the rows of a model that is gone may stay on screen while the next one is read: most
// files are read in less; a bigger one shows the empty list meanwhile.
constexpr UINT kAwaitMs = 100;
constexpr UINT_PTR kAwaitTimer = 0x5645;  // not one of the list view's own

// Shares of the list's width: name, value, type.
constexpr int kColumnShares[3] = {35, 45, 20};

int Clamp(std::size_t count) { return static_cast<int>(std::min<std::size_t>(count, INT_MAX)); }

// New rows for the list out of sight, then one repaint. Every change of the row count sets the
// scroll bars again and draws them, and a list view draws them twice more at its first paint
// after its metrics went stale; a themed scroll bar or header costs about 5 ms a time under Wine.
// The list's own WM_SETREDRAW still draws them when switched back on, so the window's default
// handling hides the list from drawing instead, and the list paints itself once into a one-pixel
// bitmap meanwhile, where its metrics and scroll bars are worked out unseen. The frame and the
// header are painted again only where the scroll bars changed or a repaint was due anyway (hiding
// the list drops what was due).
class QuietRows {
 public:
  explicit QuietRows(HWND list)
      : list_(list),
        shown_(IsWindowVisible(list) != FALSE),
        due_(GetUpdateRect(list, nullptr, FALSE) != FALSE || GetUpdateRect(ListView_GetHeader(list), nullptr, FALSE) != FALSE),
        before_(Look(list)) {
    if (shown_) DefWindowProcW(list_, WM_SETREDRAW, FALSE, 0);
  }
  ~QuietRows() {
    if (ListView_GetItemCount(list_) > 0) PrintUnseen();
    if (!shown_) {
      InvalidateRect(list_, nullptr, TRUE);
      return;
    }
    DefWindowProcW(list_, WM_SETREDRAW, TRUE, 0);
    UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
    if (!due_ && Look(list_) == before_) {
      // The list view set its scroll bars and header again all the same: nothing there changed.
      RedrawWindow(list_, nullptr, nullptr, RDW_VALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
      flags = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN;
    }
    RedrawWindow(list_, nullptr, nullptr, flags);
  }
  QuietRows(const QuietRows&) = delete;
  QuietRows& operator=(const QuietRows&) = delete;

 private:
  void PrintUnseen() const {
    HDC screen = GetDC(list_);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP pixel = CreateCompatibleBitmap(screen, 1, 1);
    ReleaseDC(list_, screen);
    if (memory != nullptr && pixel != nullptr) {
      const HGDIOBJ old = SelectObject(memory, pixel);
      SendMessageW(list_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
      SelectObject(memory, old);
    }
    if (pixel != nullptr) DeleteObject(pixel);
    if (memory != nullptr) DeleteDC(memory);
  }

  // What the frame and the header show: the scroll bars and the client area they leave.
  struct Scrolls {
    LONG_PTR style = 0;
    RECT client{};
    SCROLLINFO bars[2]{};
    bool operator==(const Scrolls& other) const {
      auto same = [](const SCROLLINFO& a, const SCROLLINFO& b) {
        return a.nMin == b.nMin && a.nMax == b.nMax && a.nPage == b.nPage && a.nPos == b.nPos;
      };
      return style == other.style && EqualRect(&client, &other.client) && same(bars[0], other.bars[0]) &&
             same(bars[1], other.bars[1]);
    }
  };
  static Scrolls Look(HWND list) {
    Scrolls look;
    look.style = GetWindowLongPtrW(list, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL);
    GetClientRect(list, &look.client);
    for (int bar : {SB_HORZ, SB_VERT}) {
      SCROLLINFO& info = look.bars[bar];
      info.cbSize = sizeof info;
      info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      if (!GetScrollInfo(list, bar, &info)) info = SCROLLINFO{};
    }
    return look;
  }

  HWND list_;
  bool shown_;
  bool due_;
  Scrolls before_;
};

}  // namespace

ValuesListControl::~ValuesListControl() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, Subclass, 0);
  if (images_ != nullptr) ImageList_Destroy(images_);
}

void ValuesListControl::Create(HWND parent, int id) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0,
                          0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW info{};
    info.mask = LVCF_WIDTH | LVCF_SUBITEM;
    info.cx = 100;
    info.iSubItem = column;
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  }
  SetWindowSubclass(hwnd_, Subclass, 0, reinterpret_cast<DWORD_PTR>(this));
  ProvideAccessible(hwnd_, this);

  // One tool for the whole list; its text follows the row under the pointer.
  toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance,
                             nullptr);
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
}

void ValuesListControl::SetFont(HFONT font, int dpi) {
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  MakeImages(dpi);
}

void ValuesListControl::MakeImages(int dpi) {
  const int side = MulDiv(16, dpi, USER_DEFAULT_SCREEN_DPI);
  HIMAGELIST images = ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 4, 0);
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  constexpr COLORREF kKey = RGB(255, 0, 255);
  const HBRUSH key = CreateSolidBrush(kKey);
  const RECT all{0, 0, side, side};
  // A blank, a triangle pointing right (collapsed) and one pointing down (expanded), in the
  // colour of the window's text.
  const int m = side / 4;
  const int c = side / 2;
  const POINT shapes[2][3] = {{{m + 1, m - 1}, {side - m, c}, {m + 1, side - m + 1}},
                              {{m - 1, m + 2}, {side - m + 1, m + 2}, {c, side - m + 1}}};
  for (int image = 0; image < 3; ++image) {
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &all, key);
    if (image > 0) {
      const HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_WINDOWTEXT));
      const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      Polygon(dc, shapes[image - 1], 3);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
    }
    SelectObject(dc, oldBitmap);
    ImageList_AddMasked(images, bitmap, kKey);
    DeleteObject(bitmap);
  }
  DeleteObject(key);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  // A problem row shows the system's warning sign.
  if (const auto warning = static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, side, side, LR_SHARED))) {
    ImageList_AddIcon(images, warning);
  } else {
    ImageList_AddMasked(images, nullptr, kKey);
  }
  ListView_SetImageList(hwnd_, images, LVSIL_SMALL);
  if (images_ != nullptr) ImageList_Destroy(images_);
  images_ = images;
}

LRESULT CALLBACK ValuesListControl::Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                             DWORD_PTR self) {
  auto* list = reinterpret_cast<ValuesListControl*>(self);
  const auto forget = [list] {
    list->hwnd_ = nullptr;
    list->toolTip_ = nullptr;  // destroyed with its owner
  };
  return AnswerSubclassed(hwnd, message, wParam, lParam, Subclass, forget,
                          [&] { return list->OnMessage(message, wParam, lParam); });
}

LRESULT ValuesListControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = hwnd_;
  const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  auto report = [&](int button) {
    if (!onMouseDown) return;
    const int dpi = WindowDpi(hwnd);
    onMouseDown(button, MouseShiftState(wParam), PixelsToTwips(at.x, dpi), PixelsToTwips(at.y, dpi));
  };
  switch (message) {
    case WM_GETDLGCODE:
      // Enter follows a reference here; a dialog would take it for its default button.
      if (lParam != 0 && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
        return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTMESSAGE;
      break;
    case WM_KEYDOWN: {
      const int key = static_cast<int>(wParam);
      const int shift = ShiftState();
      if (onKeyDown) onKeyDown(key, shift);
      if (OnKey(key, shift) || key == VK_RETURN) return 0;
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      bool onTriangle = false;
      const std::optional<std::size_t> row = RowAt(at, &onTriangle);
      if (row && onTriangle) {
        SetFocus(hwnd);
        const Node node = rows_->NodeAt(*row);
        SetExpanded(node, !rows_->IsExpanded(node));
        return 0;
      }
      if (message == WM_LBUTTONDOWN || !row) break;
      // A double click on a row follows a reference or toggles; its first press made the row the
      // current one.
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      if (FocusedItem() != static_cast<long>(*row)) Focus(*row);
      const Node node = rows_->NodeAt(*row);
      if (onDblClick) onDblClick();
      if (rows_ && model_->HasChildren(node)) SetExpanded(node, !rows_->IsExpanded(node));
      return result;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
      // The row under the pointer becomes the current one (a selection that holds it stays),
      // so that the menu's items act on it.
      SetFocus(hwnd);
      if (const std::optional<std::size_t> row = RowAt(at)) {
        const int item = static_cast<int>(*row);
        if (ListView_GetItemState(hwnd, item, LVIS_SELECTED) == 0) {
          Focus(*row);
        } else {
          ListView_SetItemState(hwnd, item, LVIS_FOCUSED, LVIS_FOCUSED);
        }
      }
      report(window::kRightButton);
      return 0;
    }
    case WM_CONTEXTMENU:
      // The menu key and Shift+F10; the right button has opened it already on its press.
      if (lParam == -1) {
        if (onMouseDown) onMouseDown(window::kRightButton, 0, 0, 0);
      }
      return 0;
    case WM_MOUSEMOVE:
      ShowToolTipFor(RowAt(at));
      break;
    case WM_SIZE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      SizeColumns();
      TOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.hwnd = hwnd;
      tool.uId = 1;
      GetClientRect(hwnd, &tool.rect);
      if (toolTip_ != nullptr) SendMessageW(toolTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
      return result;
    }
    case WM_TIMER:
      if (wParam != kAwaitTimer) break;
      KillTimer(hwnd, kAwaitTimer);
      if (clearPending_) SetModel(nullptr);
      return 0;
    case WM_PAINT:
      if (TimingLogOn()) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        LogTiming("values-painted %d", ListView_GetItemCount(hwnd));
        if (model_ != nullptr && rows_ != nullptr) {
          LogTiming("values-held %zu %zu", model_->MemoryBytes(), rows_->MemoryBytes());
          LogMemory("memory");
        }
        return result;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool ValuesListControl::OnKey(int key, int shift) {
  if (shift != 0 || !rows_) return false;
  const bool right = key == VK_RIGHT || key == VK_ADD;
  const bool left = key == VK_LEFT || key == VK_SUBTRACT;
  if (!right && !left) return false;
  const std::optional<Node> node = CurrentRow();
  if (!node) return true;
  const bool container = model_->HasChildren(*node);
  const bool expanded = container && rows_->IsExpanded(*node);
  if (right && container && !expanded) {
    SetExpanded(*node, true);
  } else if (key == VK_RIGHT && expanded && model_->RowCount(*node) > 0) {
    Focus(*rows_->RowOf(*node) + 1);  // to the first child
  } else if (left && expanded) {
    SetExpanded(*node, false);
  } else if (key == VK_LEFT && model_->Parent(*node) != ValuesModel::kRoot) {
    if (const std::optional<std::size_t> parent = rows_->RowOf(model_->Parent(*node))) Focus(*parent);
  }
  return true;  // never the list's sideways scroll
}

std::optional<std::size_t> ValuesListControl::RowAt(POINT client, bool* onTriangle) const {
  if (onTriangle) *onTriangle = false;
  if (!rows_) return std::nullopt;
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int item = static_cast<int>(SendMessageW(hwnd_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (item < 0 || static_cast<std::size_t>(item) >= rows_->Count()) return std::nullopt;
  if (onTriangle) {
    RECT icon{};
    ListView_GetSubItemRect(hwnd_, item, 0, LVIR_ICON, &icon);
    *onTriangle = PtInRect(&icon, client) && model_->HasChildren(rows_->NodeAt(static_cast<std::size_t>(item)));
  }
  return static_cast<std::size_t>(item);
}

void ValuesListControl::Focus(std::size_t row) {
  const int item = static_cast<int>(row);
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(hwnd_, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetSelectionMark(hwnd_, item);
  ListView_EnsureVisible(hwnd_, item, FALSE);
}

bool ValuesListControl::SetExpanded(Node node, bool expanded) {
  if (!rows_) return false;
  const std::optional<Node> focused = CurrentRow();
  std::vector<Node> selected;
  if (ListView_GetSelectedCount(hwnd_) <= kKeptSelection) selected = SelectedRows();
  if (!(expanded ? rows_->Expand(node) : rows_->Collapse(node))) return false;

  // The list knows rows only by number: what was selected is selected again where it is now.
  SendMessageW(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(Clamp(rows_->Count())), LVSICF_NOSCROLL);
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (const Node n : selected) {
    if (const std::optional<std::size_t> row = rows_->RowOf(n))
      ListView_SetItemState(hwnd_, static_cast<int>(*row), LVIS_SELECTED, LVIS_SELECTED);
  }
  if (focused) {
    std::optional<std::size_t> row = rows_->RowOf(*focused);
    if (!row) {  // it was below the row collapsed, which takes the focus as a tree's does
      row = rows_->RowOf(node);
      if (row) ListView_SetItemState(hwnd_, static_cast<int>(*row), LVIS_SELECTED, LVIS_SELECTED);
    }
    if (row) {
      ListView_SetItemState(hwnd_, static_cast<int>(*row), LVIS_FOCUSED, LVIS_FOCUSED);
      ListView_SetSelectionMark(hwnd_, static_cast<int>(*row));
    }
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
  tipRow_.reset();
  if (const std::optional<std::size_t> row = rows_->RowOf(node)) NotifyItemStateChanged(hwnd_, static_cast<long>(*row));
  return true;
}

void ValuesListControl::SizeColumns() {
  // Room for the vertical scroll bar is kept whether it shows or not: a scroll bar that comes
  // with more rows would otherwise size the columns again, and that the header and the frame
  // again, each a costly repaint.
  RECT client{};
  GetClientRect(hwnd_, &client);
  int width = client.right - client.left;
  if ((GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VSCROLL) == 0) width -= GetSystemMetrics(SM_CXVSCROLL);
  width = std::max(width, 0);
  if (width == columnsWidth_) return;
  columnsWidth_ = width;
  int left = width;
  for (int column = 0; column < 3; ++column) {
    const int share = column == 2 ? left : width * kColumnShares[column] / 100;
    ListView_SetColumnWidth(hwnd_, column, share);
    left -= share;
  }
}

void ValuesListControl::ShowToolTipFor(std::optional<std::size_t> row) {
  if (toolTip_ == nullptr || row == tipRow_) return;
  tipRow_ = row;
  tip_.clear();
  if (row && model_) {
    std::string whole = model_->ToolTip(rows_->NodeAt(*row));
    tip_ = ShownWide(whole);
    if (tip_.size() > kToolTipChars) {
      tip_.resize(kToolTipChars);
      tip_ += L"\u2026";
    }
  }
  SendMessageW(toolTip_, TTM_POP, 0, 0);
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = hwnd_;
  tool.uId = 1;
  tool.lpszText = tip_.data();
  SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ValuesListControl::FillCell(LVITEMW& item) {
  if (!rows_ || item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_->Count()) return;
  const Node node = rows_->NodeAt(static_cast<std::size_t>(item.iItem));
  if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0 && item.iSubItem >= 0 &&
      item.iSubItem < 3) {
    cell_ = ShownWide(model_->Text(node, static_cast<ValuesModel::Column>(item.iSubItem)));
    lstrcpynW(item.pszText, cell_.c_str(), item.cchTextMax);
  }
  if ((item.mask & LVIF_IMAGE) != 0) {
    if (model_->IsProblem(node)) item.iImage = kProblem;
    else if (model_->HasChildren(node)) item.iImage = rows_->IsExpanded(node) ? kExpanded : kCollapsed;
    else item.iImage = kLeaf;
  }
  if ((item.mask & LVIF_INDENT) != 0) item.iIndent = rows_->Depth(node);
}

bool ValuesListControl::OnNotify(const NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case LVN_GETDISPINFOW:
      FillCell(const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item);
      result = 0;
      return true;
    case LVN_ODFINDITEMW:
      result = -1;  // no search by typing
      return true;
    default:
      return false;
  }
}

void ValuesListControl::AwaitModel() {
  if (clearPending_) return;  // the old rows' moment counts from the first wait
  if (!rows_ || IsWindowVisible(hwnd_) == FALSE) {
    SetModel(nullptr);
    return;
  }
  model_ = nullptr;
  rows_.reset();
  tipRow_.reset();
  ShowToolTipFor(std::nullopt);
  clearPending_ = true;
  SetTimer(hwnd_, kAwaitTimer, kAwaitMs, nullptr);
}

void ValuesListControl::SetModel(const window::ValuesModel* model) {
  if (clearPending_) {
    KillTimer(hwnd_, kAwaitTimer);
    clearPending_ = false;
  }
  model_ = model;
  rows_ = model ? std::make_unique<window::VisibleRows>(*model) : nullptr;
  tipRow_.reset();
  ShowToolTipFor(std::nullopt);
  const int count = rows_ ? Clamp(rows_->Count()) : 0;
  {
    const QuietRows quiet(hwnd_);
    // No rows first: that drops the selection and the focus at once, where unselecting every row
    // takes the list view a walk over all of them.
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, 0, 0);
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
    if (count > 0) ListView_EnsureVisible(hwnd_, 0, FALSE);
  }
  LogTiming("values-set %d", count);
}

void ValuesListControl::SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) {
  const std::string* captions[3] = {&name, &value, &type};
  for (int column = 0; column < 3; ++column) {
    std::wstring text = ShownWide(*captions[column]);
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = text.data();
    SendMessageW(hwnd_, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  }
}

std::vector<window::ValuesView::Node> ValuesListControl::SelectedRows() const {
  std::vector<Node> nodes;
  if (!rows_) return nodes;
  for (int item = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); item >= 0;
       item = ListView_GetNextItem(hwnd_, item, LVNI_SELECTED)) {
    if (static_cast<std::size_t>(item) < rows_->Count()) nodes.push_back(rows_->NodeAt(static_cast<std::size_t>(item)));
  }
  return nodes;
}

std::optional<window::ValuesView::Node> ValuesListControl::CurrentRow() const {
  if (!rows_) return std::nullopt;
  const int item = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  if (item < 0 || static_cast<std::size_t>(item) >= rows_->Count()) return std::nullopt;
  return rows_->NodeAt(static_cast<std::size_t>(item));
}

void ValuesListControl::SelectRow(Node node) {
  if (!rows_) return;
  const std::size_t before = rows_->Count();
  rows_->Reveal(node);
  if (rows_->Count() != before) {
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(Clamp(rows_->Count())), LVSICF_NOSCROLL);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  if (const std::optional<std::size_t> row = rows_->RowOf(node)) Focus(*row);
}

void ValuesListControl::Refresh() {
  tipRow_.reset();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

long ValuesListControl::ItemCount() const { return rows_ ? Clamp(rows_->Count()) : 0; }

AccessibleItem ValuesListControl::Item(long index) const {
  AccessibleItem item;
  item.role = ROLE_SYSTEM_OUTLINEITEM;
  if (!rows_ || index < 0 || static_cast<std::size_t>(index) >= rows_->Count()) return item;
  const Node node = rows_->NodeAt(static_cast<std::size_t>(index));
  item.name = ShownWide(model_->Text(node, ValuesModel::kName));
  item.value = ShownWide(model_->Text(node, ValuesModel::kValue));
  item.description = ShownWide(model_->Text(node, ValuesModel::kType));
  item.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
  if (ListView_GetItemState(hwnd_, static_cast<int>(index), LVIS_SELECTED) != 0) item.state |= STATE_SYSTEM_SELECTED;
  if (GetFocus() == hwnd_ && FocusedItem() == index) item.state |= STATE_SYSTEM_FOCUSED;
  if (model_->HasChildren(node)) item.state |= rows_->IsExpanded(node) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
  return item;
}

bool ValuesListControl::ItemRect(long index, RECT& client) const {
  if (index < 0 || index >= ItemCount()) return false;
  return ListView_GetItemRect(hwnd_, static_cast<int>(index), &client, LVIR_BOUNDS) != FALSE;
}

long ValuesListControl::ItemAt(POINT client) const {
  const std::optional<std::size_t> row = RowAt(client);
  return row ? static_cast<long>(*row) : -1;
}

long ValuesListControl::FocusedItem() const { return ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED); }

void ValuesListControl::ItemDefaultAction(long index) {
  // What a double click on the row does.
  if (!rows_ || index < 0 || index >= ItemCount()) return;
  Focus(static_cast<std::size_t>(index));
  const Node node = rows_->NodeAt(static_cast<std::size_t>(index));
  if (onDblClick) onDblClick();
  if (rows_ && model_->HasChildren(node)) SetExpanded(node, !rows_->IsExpanded(node));
}

}  // namespace vesk::win32
