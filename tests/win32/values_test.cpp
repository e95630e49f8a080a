// The Values tab of the real window: the tab control in Text1's place, the tree over a cookie's
// values with its keys and mouse, the copies on the clipboard, the queue that brings the values
// from the reader's thread, and what a screen reader reads of every control. Form1 decides what
// happens (its own tests say what); these check that the controls carry it out.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/sol_builder.h"
#include "tests/win32/window_fixture.h"
#include "window/win32/accessible.h"

namespace vesk {
namespace {

using namespace sol;
namespace a3 = sol::amf3;
namespace a0 = sol::amf0;
using test::HeldKey;
using test::WindowText;
using window::ValuesModel;
using Node = ValuesModel::Node;

// A typed object with a long string and an array, a reference to it, a date and a value cut
// off by the end of the file.
const std::string kNested =
    File(a3::Pair("player", a3::Object("PlayerVO", 2, a3::Str("name") + a3::Str("scores"),
                                       a3::String(std::string(300, 'n')) +
                                           a3::Array(2, "", a3::Integer(1200) + a3::Integer(3400)),
                                       false)) +
             a3::Pair("again", a3::ObjectRef(0x0A, 0)) + a3::Pair("when", a3::Date(1273861325123.0)) +
             a3::Str("cut") + U8(0x05) + "\x01\x02",
         3, "save");
// Rows at first: the header, the problem, player (expanded) with name and scores, again, when, cut.
enum Row : int { kHeader, kProblemRow, kPlayer, kName, kScores, kAgain, kWhen, kCut, kRows };

// Names outside ASCII, copied as JSON.
const std::string kPlain = File(a0::Pair("Grüße", a0::String("日本")) + a0::Pair("dark", a0::Boolean(true)), 0, "prefs");

class Win32Values : public test::Win32Window {
 protected:
  void SetUp() override {
    Win32Window::SetUp();
    if (HasFatalFailure()) return;
    root_.WriteFile(store_ + "games.example\\save.sol", kNested);
    root_.WriteFile(store_ + "news.example\\prefs.sol", kPlain);
    window_->Form().ShowFlashCookies();
    list_ = window_->Values().Hwnd();
    tabs_ = window_->Tabs().Hwnd();
  }

  // Clicks the tab `index` where a user would.
  void ClickTab(int index) {
    RECT rect{};
    TabCtrl_GetItemRect(tabs_, index, &rect);
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(tabs_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tabs_, WM_LBUTTONUP, 0, at);
  }

  // Clicks the cookie with the Values tab shown and waits for its values.
  void Show(const std::string& relative) {
    if (window_->Form().Tab != 1) ClickTab(1);
    Click(list1_, IndexOf(Cookie(relative)));
    ASSERT_TRUE(PumpUntil([&] { return window_->Values().Model() != nullptr; })) << relative;
    UpdateWindow(list_);
  }

  std::wstring Cell(int row, int column) const {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
  }
  LVITEMW Look(int row) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_INDENT;
    item.iItem = row;
    SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item;
  }
  int Count() const { return ListView_GetItemCount(list_); }
  int Focused() const { return ListView_GetNextItem(list_, -1, LVNI_FOCUSED); }
  std::vector<int> Selected() const {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
      rows.push_back(i);
    return rows;
  }
  void Select(std::vector<int> rows) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows) ListView_SetItemState(list_, row, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list_, rows.back(), LVIS_FOCUSED, LVIS_FOCUSED);
  }
  void Key(int key) { SendMessageW(list_, WM_KEYDOWN, static_cast<WPARAM>(key), 0); }
  LPARAM PointOfRow(int row, int part = LVIR_LABEL) const {
    RECT rect{};
    ListView_GetSubItemRect(list_, row, 0, part, &rect);
    return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  }
  // As a user's: press, release, the second press as a double click, release. The releases are
  // waiting already, in case the list waits for them to tell a click from a drag.
  void DoubleClick(int row) {
    for (const UINT press : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
      PostMessageW(list_, WM_LBUTTONUP, 0, PointOfRow(row));
      SendMessageW(list_, press, MK_LBUTTON, PointOfRow(row));
      test::Pump();
    }
  }
  bool Expanded(int row) const { return window_->Values().Rows()->IsExpanded(window_->Values().Rows()->NodeAt(static_cast<std::size_t>(row))); }

  static std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        text = chars;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return text;
  }

  HWND list_ = nullptr;
  HWND tabs_ = nullptr;
};

TEST_F(Win32Values, TabsStandInText1sPlaceAndSwitchByClickAndByKeysAnywhere) {
  const HWND text1 = window_->Text1().Hwnd();
  EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 0);
  EXPECT_TRUE(IsWindowVisible(text1));
  EXPECT_FALSE(IsWindowVisible(list_));
  auto caption = [&](int index) { return window_->Tabs().Caption(index); };
  EXPECT_EQ(caption(0), L"Text");
  EXPECT_EQ(caption(1), L"Values");

  ClickTab(1);
  EXPECT_EQ(window_->Form().Tab, 1);
  EXPECT_TRUE(IsWindowVisible(list_));
  EXPECT_FALSE(IsWindowVisible(text1));

  // Through the message loop, whichever control has the focus; a hidden page hands its focus on.
  struct Press {
    int key;
    std::vector<int> held;
    int tab;
  };
  const std::vector<Press> presses = {
      {VK_TAB, {VK_CONTROL}, 0},          {VK_NEXT, {VK_CONTROL}, 1}, {VK_PRIOR, {VK_CONTROL}, 0},
      {VK_TAB, {VK_CONTROL, VK_SHIFT}, 1}, {VK_NEXT, {}, 1},           {VK_TAB, {VK_CONTROL, VK_MENU}, 1},
  };
  for (const HWND focus : {list1_, list_}) {
    for (const Press& press : presses) {
      if (IsWindowVisible(focus)) SetFocus(focus);
      const HWND target = GetFocus();
      std::vector<std::unique_ptr<HeldKey>> held;
      for (int key : press.held) held.push_back(std::make_unique<HeldKey>(key));
      PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(press.key), 0);
      PumpWindow();
      held.clear();
      EXPECT_EQ(TabCtrl_GetCurSel(tabs_), press.tab) << press.key;
      EXPECT_EQ(IsWindowVisible(list_) != FALSE, press.tab == 1) << press.key;
      EXPECT_NE(GetFocus(), nullptr) << press.key;
      EXPECT_TRUE(IsWindowVisible(GetFocus())) << press.key;
    }
  }

  // The other language renames the tabs, the columns and the menu.
  SendMessageW(window_->Command1(0).Hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(caption(1), L"Werte");
  wchar_t column[64] = {};
  LVCOLUMNW info{};
  info.mask = LVCF_TEXT;
  info.pszText = column;
  info.cchTextMax = 64;
  SendMessageW(list_, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(std::wstring(column), L"Typ");
  EXPECT_EQ(window_->CopyAllJson().Caption(), "Alles als JSON kopieren");
}

TEST_F(Win32Values, TreeShowsTheModelsRowsFirstLevelExpandedInTheSystemsLook) {
  Show("games.example\\save.sol");
  const ValuesModel& model = *window_->Values().Model();
  const window::VisibleRows& rows = *window_->Values().Rows();
  ASSERT_EQ(Count(), kRows);
  for (int row = 0; row < Count(); ++row) {
    const Node node = rows.NodeAt(static_cast<std::size_t>(row));
    for (int column = 0; column < 3; ++column)
      EXPECT_EQ(Cell(row, column), win32::Wide(model.Text(node, static_cast<ValuesModel::Column>(column)))) << row;
  }
  EXPECT_EQ(Cell(kPlayer, 0), L"player");
  EXPECT_EQ(Cell(kPlayer, 2), L"PlayerVO");
  EXPECT_EQ(Cell(kAgain, 1), L"-> \"/values/player\"");
  EXPECT_EQ(Cell(kScores, 1), L"[2]");

  // Triangles on what expands, the warning sign on problems, nesting as indentation.
  struct Looks {
    Row row;
    int image;
    int indent;
  };
  for (const Looks& want : {Looks{kHeader, 0, 0}, Looks{kProblemRow, 3, 0}, Looks{kPlayer, 2, 0}, Looks{kName, 0, 1},
                            Looks{kScores, 1, 1}, Looks{kAgain, 0, 0}, Looks{kCut, 3, 0}}) {
    const LVITEMW item = Look(want.row);
    EXPECT_EQ(item.iImage, want.image) << want.row;
    EXPECT_EQ(item.iIndent, want.indent) << want.row;
  }

  // The system's colours and the dialog font, not Text1's white on black.
  EXPECT_EQ(ListView_GetBkColor(list_), GetSysColor(COLOR_WINDOW));
  const COLORREF text = ListView_GetTextColor(list_);
  EXPECT_TRUE(text == CLR_DEFAULT || text == GetSysColor(COLOR_WINDOWTEXT)) << text;
  EXPECT_EQ(SendMessageW(list_, WM_GETFONT, 0, 0), SendMessageW(list1_, WM_GETFONT, 0, 0));

  // Another cookie replaces the rows; a file that is no .sol file gives one problem row; a
  // rescan empties the tree.
  Show("site.example\\a.sol");
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Cell(0, 0), L"not a .sol file");
  EXPECT_EQ(Look(0).iImage, 3);
  // Rows are given out of sight (the list hidden from drawing meanwhile): it shows again, with
  // its rows due to be painted even where its scroll bars stay as they were, and the wait for
  // them does not empty the list later on.
  window_->Values().SetModel(window_->Values().Model());
  EXPECT_TRUE(IsWindowVisible(list_));
  EXPECT_TRUE(GetUpdateRect(list_, nullptr, FALSE));
  EXPECT_FALSE(PumpUntil([&] { return Count() != 1; }, 300));
  // Waiting for a file that does not come: the old rows go a moment later.
  window_->Values().AwaitModel();
  EXPECT_EQ(window_->Values().Model(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return Count() == 0; }, 2000));
  Show("site.example\\a.sol");
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(window_->Values().Model(), nullptr);
}

TEST_F(Win32Values, KeysAndMouseExpandCollapseAndFollowReferencesAsInATree) {
  Show("games.example\\save.sol");
  SetFocus(list_);

  // Right expands, then steps into the first child; Left steps out, then collapses.
  Select({kScores});
  Key(VK_RIGHT);
  EXPECT_TRUE(Expanded(kScores));
  EXPECT_EQ(Count(), kRows + 2);
  Key(VK_RIGHT);
  EXPECT_EQ(Focused(), kScores + 1);
  EXPECT_EQ(Cell(Focused(), 1), L"1200");
  Key(VK_LEFT);
  EXPECT_EQ(Focused(), kScores);
  Key(VK_LEFT);
  EXPECT_FALSE(Expanded(kScores));
  EXPECT_EQ(Count(), kRows);
  Key(VK_LEFT);
  EXPECT_EQ(Focused(), kPlayer);
  EXPECT_EQ(Selected(), std::vector<int>{kPlayer});

  // The number pad's - and + on the player; what was selected below stays selected where it went.
  Select({kAgain, kWhen});
  ListView_SetItemState(list_, kPlayer, LVIS_FOCUSED, LVIS_FOCUSED);
  Key(VK_SUBTRACT);
  EXPECT_EQ(Count(), kRows - 2);
  EXPECT_EQ(Selected(), (std::vector<int>{kAgain - 2, kWhen - 2}));
  Key(VK_ADD);
  EXPECT_EQ(Count(), kRows);
  EXPECT_EQ(Selected(), (std::vector<int>{kAgain, kWhen}));

  // A collapse that hides the focused row gives the focus to the row collapsed.
  Select({kName});
  window_->Values().SetExpanded(window_->Values().Rows()->NodeAt(kPlayer), false);
  EXPECT_EQ(Focused(), kPlayer);

  // Enter on the reference selects its target; the target's parents open for it.
  Select({kAgain - 2});
  Key(VK_RETURN);
  EXPECT_EQ(Selected(), std::vector<int>{kPlayer});
  const Node name = window_->Values().Model()->Child(window_->Values().Rows()->NodeAt(kPlayer), 0);
  window_->Values().SelectRow(name);
  EXPECT_TRUE(Expanded(kPlayer));
  EXPECT_EQ(Selected(), std::vector<int>{kName});

  // A press on the triangle toggles without selecting; a double click on a row follows a
  // reference, on a container toggles it.
  SendMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, PointOfRow(kScores, LVIR_ICON));
  SendMessageW(list_, WM_LBUTTONUP, 0, PointOfRow(kScores, LVIR_ICON));
  EXPECT_TRUE(Expanded(kScores));
  EXPECT_EQ(Selected(), std::vector<int>{kName});
  SendMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, PointOfRow(kScores, LVIR_ICON));
  SendMessageW(list_, WM_LBUTTONUP, 0, PointOfRow(kScores, LVIR_ICON));
  EXPECT_FALSE(Expanded(kScores));
  DoubleClick(kAgain);
  EXPECT_EQ(Selected(), std::vector<int>{kPlayer});
  DoubleClick(kScores);
  EXPECT_TRUE(Expanded(kScores));
  EXPECT_EQ(Selected(), std::vector<int>{kScores});
}

TEST_F(Win32Values, CopiesReachTheClipboardAsUnicodeTextWithWindowsLineEnds) {
  Show("games.example\\save.sol");
  SetFocus(list_);
  Select({kName, kScores});
  {
    HeldKey control(VK_CONTROL);
    Key('C');
  }
  EXPECT_EQ(ClipboardText(), L"name = \"" + std::wstring(300, L'n') + L"\"\r\nscores = [1200, 3400]\r\n");

  // The menu opens on a right press, on the row under the pointer, and copies its value.
  menuChoice_ = win32::kCopyValueId;
  SendMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, PointOfRow(kScores));
  ASSERT_EQ(menus_.size(), 1u);
  EXPECT_EQ(menus_[0], window_->PopupHandle(window::PopupMenu::Values));
  EXPECT_EQ(Focused(), kScores);
  EXPECT_EQ(ClipboardText(), L"[1200, 3400]");
  EXPECT_EQ(window_->CopyValue().Caption(), "Copy value");
  // The menu key opens it too.
  menuChoice_ = 0;
  SendMessageW(list_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), -1);
  EXPECT_EQ(menus_.size(), 2u);

  // All as JSON, from the menu and with Ctrl+Shift+C: names outside ASCII whole.
  Show("news.example\\prefs.sol");
  menuChoice_ = win32::kCopyAllJsonId;
  SendMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, PointOfRow(1));
  EXPECT_EQ(ClipboardText(), L"{\"Grüße\":\"日本\",\"dark\":true}");
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  {
    HeldKey control(VK_CONTROL);
    HeldKey shift(VK_SHIFT);
    Key('C');
  }
  EXPECT_EQ(ClipboardText(), L"{\"Grüße\":\"日本\",\"dark\":true}");
}

TEST_F(Win32Values, ACutValueIsWholeInTheToolTip) {
  Show("games.example\\save.sol");
  SendMessageW(list_, WM_MOUSEMOVE, 0, PointOfRow(kName));
  EXPECT_EQ(window_->Values().ToolTipText(), L"\"" + std::wstring(300, L'n') + L"\"");
  EXPECT_EQ(Cell(kName, 1), L"\"" + std::wstring(200, L'n') + L"\"...");
  SendMessageW(list_, WM_MOUSEMOVE, 0, PointOfRow(kScores));
  EXPECT_EQ(window_->Values().ToolTipText(), L"");
}

TEST(Win32Tasks, RunInOrderOnTheWindowsThreadAndAreDroppedOnceItIsClosed) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  win32::WindowTasks tasks;
  tasks.Open(window);
  std::vector<int> ran;
  std::vector<DWORD> threads;
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) tasks.Post([&, i] { ran.push_back(i); threads.push_back(GetCurrentThreadId()); });
  });
  poster.join();
  EXPECT_TRUE(ran.empty()) << "nothing runs before the window's messages are taken";
  MSG message;
  int messages = 0;
  while (PeekMessageW(&message, window, win32::WindowTasks::kMessage, win32::WindowTasks::kMessage, PM_REMOVE)) {
    ++messages;
    tasks.RunWaiting();
  }
  EXPECT_EQ(messages, 50);
  ASSERT_EQ(ran.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(threads.front(), GetCurrentThreadId());

  bool late = false;
  tasks.Post([&] { late = true; });
  tasks.Close();
  tasks.Post([&] { late = true; });
  while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) tasks.RunWaiting();
  EXPECT_FALSE(late);
  DestroyWindow(window);
}

// What AccessibleObjectFromWindow and the object's get_acc* give, as a screen reader asks.
class Accessible {
 public:
  explicit Accessible(HWND hwnd) {
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), win32::kIidAccessible,
                                          reinterpret_cast<void**>(&object_))))
      object_ = nullptr;
  }
  ~Accessible() {
    if (object_) object_->Release();
  }
  Accessible(const Accessible&) = delete;
  Accessible& operator=(const Accessible&) = delete;
  bool Ok() const { return object_ != nullptr; }

  std::wstring Name(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accName, child); }
  std::wstring Value(long child) const { return Text(&IAccessible::get_accValue, child); }
  std::wstring Description(long child) const { return Text(&IAccessible::get_accDescription, child); }
  long Role(long child = CHILDID_SELF) const { return Number(&IAccessible::get_accRole, child); }
  long State(long child) const { return Number(&IAccessible::get_accState, child); }
  long Children() const {
    long count = -1;
    object_->get_accChildCount(&count);
    return count;
  }

 private:
  static VARIANT Child(long child) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = child;
    return v;
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) const {
    BSTR text = nullptr;
    if ((object_->*get)(Child(child), &text) != S_OK || text == nullptr) return L"<none>";
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
  }
  long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) const {
    VARIANT v;
    VariantInit(&v);
    if ((object_->*get)(Child(child), &v) != S_OK || v.vt != VT_I4) return -1;
    return v.lVal;
  }
  IAccessible* object_ = nullptr;
};

class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (ok_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

TEST_F(Win32Values, ScreenReadersHearEveryControlItsRowsAndTabsInTheCurrentLanguage) {
  ComApartment com;
  Show("games.example\\save.sol");
  Click(list1_, IndexOf(Cookie("site.example\\b.sol")));  // the details list has rows now
  Show("games.example\\save.sol");

  struct Named {
    HWND hwnd;
    std::wstring english, german;
    long role;
  };
  const std::vector<Named> controls = {
      {list1_, L"Cookies", L"Cookies", ROLE_SYSTEM_LIST},
      {window_->Text1().Hwnd(), L"Cookie text", L"Cookie-Text", ROLE_SYSTEM_TEXT},
      {window_->List2().Hwnd(), L"Details", L"Details", ROLE_SYSTEM_LIST},
      {window_->Command1(0).Hwnd(), L"Deutsch", L"Deutsch", ROLE_SYSTEM_PUSHBUTTON},
      {window_->Command1(1).Hwnd(), L"English", L"English", ROLE_SYSTEM_PUSHBUTTON},
      {window_->Command2().Hwnd(), L"Exit", L"Beenden", ROLE_SYSTEM_PUSHBUTTON},
      {tabs_, L"Views", L"Ansichten", ROLE_SYSTEM_PAGETABLIST},
      {list_, L"Values", L"Werte", ROLE_SYSTEM_OUTLINE},
  };
  for (const bool german : {false, true}) {
    if (german) SendMessageW(window_->Command1(0).Hwnd(), BM_CLICK, 0, 0);
    for (const Named& control : controls) {
      const Accessible object(control.hwnd);
      ASSERT_TRUE(object.Ok()) << control.english;
      EXPECT_EQ(object.Name(), german ? control.german : control.english);
      EXPECT_EQ(object.Role(), control.role) << control.english;
    }
    // The picture buttons keep the name as their window text too, for readers that take that.
    EXPECT_EQ(WindowText(window_->Command2().Hwnd()), german ? L"Beenden" : L"Exit");
  }

  // Every row of the cookie list, which holds no texts of its own, and of the details.
  const Accessible cookies(list1_);
  ASSERT_EQ(cookies.Children(), window_->List1().ListCount());
  for (int i = 0; i < window_->List1().ListCount(); ++i)
    EXPECT_EQ(cookies.Name(i + 1), win32::Wide(window_->List1().List(i))) << i;
  EXPECT_NE(cookies.State(IndexOf(Cookie("games.example\\save.sol")) + 1) & STATE_SYSTEM_SELECTED, 0);
  const Accessible details(window_->List2().Hwnd());
  EXPECT_EQ(details.Name(1), L"File save.sol");  // written before the switch, as the details are

  // The tabs, the one shown selected.
  const Accessible tabs(tabs_);
  ASSERT_EQ(tabs.Children(), 2);
  EXPECT_EQ(tabs.Name(1), L"Text");
  EXPECT_EQ(tabs.Name(2), L"Werte");
  EXPECT_EQ(tabs.Role(2), ROLE_SYSTEM_PAGETAB);
  EXPECT_EQ(tabs.State(1) & STATE_SYSTEM_SELECTED, 0);
  EXPECT_NE(tabs.State(2) & STATE_SYSTEM_SELECTED, 0);

  // Each row of the tree: name, value, type, and whether it is expanded.
  const Accessible tree(list_);
  ASSERT_EQ(tree.Children(), kRows);
  EXPECT_EQ(tree.Name(kPlayer + 1), L"player");
  EXPECT_EQ(tree.Value(kPlayer + 1), L"{2}");
  EXPECT_EQ(tree.Description(kPlayer + 1), L"PlayerVO");
  EXPECT_EQ(tree.Role(kPlayer + 1), ROLE_SYSTEM_OUTLINEITEM);
  EXPECT_NE(tree.State(kPlayer + 1) & STATE_SYSTEM_EXPANDED, 0);
  EXPECT_NE(tree.State(kScores + 1) & STATE_SYSTEM_COLLAPSED, 0);
  EXPECT_EQ(tree.State(kName + 1) & (STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED), 0);
  EXPECT_EQ(tree.Value(kAgain + 1), L"-> \"/values/player\"");
  EXPECT_EQ(tree.Description(kAgain + 1), L"Verweis");
}

}  // namespace
}  // namespace vesk
