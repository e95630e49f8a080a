// The real Win32 window, created in this process over cookies in a temporary APPDATA and driven
// with window messages. Form1's own behaviour is tested elsewhere; these tests check that the
// messages reach it with the right codes and that the controls do what it asks of them.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/win32/window_fixture.h"

namespace vesk {
namespace {

using test::Box;
using test::HeldKey;
using test::Pump;
using test::RectInParent;
using test::Win32Window;
using test::WindowText;
using win32::MainWindow;

TEST_F(Win32Window, StartsWithTheCookiesAndTheTitleWithoutCount) {
  EXPECT_EQ(SendMessageW(list1_, LB_GETCOUNT, 0, 0), 3);
  EXPECT_GE(IndexOf(Cookie("site.example\\a.sol")), 0);
  EXPECT_GE(IndexOf(Cookie("other.example\\c.sol")), 0);
  EXPECT_EQ(Title(), L"Vesk_0.5.2     vesk.example.org      *Freeware*");
  EXPECT_EQ(GetFocus(), list1_);
  EXPECT_TRUE(IsWindowVisible(window_->Hwnd()));
}

TEST_F(Win32Window, InnerSizeIsTheDesignSizeInPixelsAndTheWindowIsCentred) {
  const int dpi = win32::WindowDpi(window_->Hwnd());
  RECT inner{};
  GetClientRect(window_->Hwnd(), &inner);
  EXPECT_EQ(inner.right, MulDiv(7215, dpi, 1440));
  EXPECT_EQ(inner.bottom, MulDiv(5070, dpi, 1440));

  RECT frame{};
  GetWindowRect(window_->Hwnd(), &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_->Hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_NEAR(frame.left + frame.right, monitor.rcWork.left + monitor.rcWork.right, 1);
  EXPECT_NEAR(frame.top + frame.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(Win32Window, ClickShowsTheCookieAndReleaseCountsIt) {
  const int b = IndexOf(Cookie("site.example\\b.sol"));
  Click(list1_, b);

  EXPECT_EQ(SelectedRows(), std::vector<int>{b});
  EXPECT_EQ(WindowText(window_->Text1().Hwnd()), L"bravo");
  ASSERT_EQ(window_->List2().ListCount(), 3);
  EXPECT_EQ(window_->List2().List(0), "File\tb.sol");
  EXPECT_EQ(window_->List2().List(1), "From\tsite.example");
  EXPECT_EQ(window_->List2().List(2), "Bytes\t5");
  EXPECT_EQ(window_->VisitHomepage().Caption(), "visit site.example");
  EXPECT_EQ(Title(), TitleText() + L" [3/1]");

  // Ctrl with a click adds a row, as in any extended-selection list.
  Click(list1_, (b + 1) % 3, MK_CONTROL);
  EXPECT_EQ(SelectedRows().size(), 2u);
  EXPECT_EQ(Title(), TitleText() + L" [3/2]");
}

TEST_F(Win32Window, ArrowKeyMovesAndShowsTheNextCookie) {
  Click(list1_, 0);
  SendMessageW(list1_, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(SelectedRows(), std::vector<int>{1});
  EXPECT_EQ(win32::Utf8(WindowText(window_->Text1().Hwnd())).size() > 0, true);
  EXPECT_EQ(window_->List2().List(0), "File\t" + window_->List1().List(1).substr(window_->List1().List(1).rfind('\\') + 1));
  // The key was counted before the list moved: one selected either way, but the title is there.
  EXPECT_EQ(Title(), TitleText() + L" [3/1]");
}

TEST_F(Win32Window, CtrlASelectsEveryCookieAndKeepsTheFocus) {
  SetFocus(list1_);
  {
    HeldKey control(VK_CONTROL);
    SendMessageW(list1_, WM_KEYDOWN, 'A', 0);
  }
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Title(), TitleText() + L" [3/3]");
  EXPECT_TRUE(IsWindowVisible(list1_));
  EXPECT_EQ(GetFocus(), list1_);
  EXPECT_EQ(WindowText(window_->Text1().Hwnd()), L"");  // selecting all shows no cookie
}

TEST_F(Win32Window, AWithoutCtrlOrWithMoreModifiersSelectsNothing) {
  SendMessageW(list1_, WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(Title(), TitleText() + L" [3/0]");
  {
    HeldKey control(VK_CONTROL);
    HeldKey shift(VK_SHIFT);
    SendMessageW(list1_, WM_KEYDOWN, 'A', 0);
  }
  EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(Win32Window, RightPressOpensTheMenuAndKeepsTheSelection) {
  Click(list1_, 0);
  const LRESULT caret = SendMessageW(list1_, LB_GETCARETINDEX, 0, 0);
  SendMessageW(list1_, WM_RBUTTONDOWN, MK_RBUTTON, PointOf(list1_, 2));
  SendMessageW(list1_, WM_RBUTTONUP, 0, PointOf(list1_, 2));

  ASSERT_EQ(menus_.size(), 1u);
  EXPECT_EQ(menus_[0], window_->PopupHandle(window::PopupMenu::List1));
  EXPECT_EQ(SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), caret);
  EXPECT_EQ(window_->KillCookie().Caption(), "delete cookie [del]");
  EXPECT_EQ(Title(), TitleText() + L" [3/1]");
  EXPECT_TRUE(boxes_.empty());  // nothing chosen, nothing asked
}

TEST_F(Win32Window, ChosenDeleteItemAsksWithYesNoQuestionAndNoAsDefault) {
  const std::string a = Cookie("site.example\\a.sol");
  Click(list1_, IndexOf(a));
  menuChoice_ = win32::kKillCookieId;

  boxAnswer_ = IDNO;
  SendMessageW(list1_, WM_RBUTTONDOWN, MK_RBUTTON, PointOf(list1_, 0));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(boxes_[0].flags, 292u);
  EXPECT_EQ(boxes_[0].text, L"Delete selected cookies??");
  EXPECT_EQ(boxes_[0].title, L"Delete flashcookie?");
  EXPECT_TRUE(test::Exists(a));

  boxAnswer_ = IDYES;
  SendMessageW(list1_, WM_RBUTTONDOWN, MK_RBUTTON, PointOf(list1_, 0));
  EXPECT_FALSE(test::Exists(a));
  EXPECT_EQ(SendMessageW(list1_, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(IndexOf(a), -1);
  EXPECT_EQ(Title(), TitleText() + L" [2/0]");
}

TEST_F(Win32Window, DeleteKeyWithNothingSelectedShowsThePlainBox) {
  SendMessageW(list1_, WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].flags, 0u);
  EXPECT_EQ(boxes_[0].text, L"Select cookies first.");
  EXPECT_EQ(boxes_[0].title, L"Nothing to delete.");
  EXPECT_EQ(SendMessageW(list1_, LB_GETCOUNT, 0, 0), 3);
}

TEST_F(Win32Window, FocusComesBackToTheControlThatHadItAfterAnotherWindowWasActive) {
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  // The text view rather than the list: a window that forgets the focus gives it to the list.
  for (HWND control : {window_->Text1().Hwnd(), list1_}) {
    SetFocus(control);
    SetActiveWindow(other);
    EXPECT_NE(GetFocus(), control);
    SetActiveWindow(window_->Hwnd());
    EXPECT_EQ(GetFocus(), control);
  }
  DestroyWindow(other);
}

TEST_F(Win32Window, RightPressInTheDetailsOpensTheVisitMenu) {
  const HWND list2 = window_->List2().Hwnd();
  EXPECT_EQ(window_->VisitHomepage().Caption(), "visit");  // before any cookie was shown
  Click(list1_, IndexOf(Cookie("other.example\\c.sol")));
  menuChoice_ = win32::kVisitHomepageId;
  SendMessageW(list2, WM_RBUTTONDOWN, MK_RBUTTON, PointOf(list2, 0));

  ASSERT_EQ(menus_.size(), 1u);
  EXPECT_EQ(menus_[0], window_->PopupHandle(window::PopupMenu::List2));
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"http://other.example"});
}

TEST_F(Win32Window, LabelClickOpensTheSettingsPage) {
  const HWND label = window_->Label1().Hwnd();
  SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageW(label, WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0],
            "http://www.macromedia.com/support/documentation/en/flashplayer/help/settings_manager02.html");
}

TEST_F(Win32Window, LanguageButtonsSwitchTheTexts) {
  SendMessageW(window_->Command1(0).Hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(WindowText(window_->Check1().Hwnd()), L"erweitertes suchen");
  EXPECT_EQ(WindowText(window_->Label1().Hwnd()), L"Adobe Einstellungsmanager aufrufen");
  EXPECT_EQ(window_->KillCookie().Caption(), "Cookie löschen [Entf]");
  SendMessageW(window_->Command1(1).Hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(WindowText(window_->Check1().Hwnd()), L"deeper scan");
}

TEST_F(Win32Window, DeeperScanCheckBoxRescansTheWholeAppData) {
  root_.WriteFile("appdata\\elsewhere\\d.sol", "delta");
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(window_->Check1().Hwnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_GE(IndexOf(root_ / "appdata\\elsewhere\\d.sol"), 0);
  EXPECT_EQ(Title(), TitleText() + L" [4/0]");
}

TEST_F(Win32Window, ExitButtonClosesTheWindow) {
  const HWND hwnd = window_->Hwnd();
  SendMessageW(window_->Command2().Hwnd(), BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Win32Window, LayoutFollowsTheInnerSizeInPixels) {
  const HWND hwnd = window_->Hwnd();
  ASSERT_EQ(win32::WindowDpi(hwnd), 96) << "the expected pixels below are for 96 dpi";
  RECT frame{0, 0, 600, 400};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER | SWP_NOMOVE);
  RECT inner{};
  GetClientRect(hwnd, &inner);
  ASSERT_EQ(inner.right, 600);
  ASSERT_EQ(inner.bottom, 400);

  const RECT list1 = RectInParent(list1_);
  EXPECT_EQ(list1.left, 0);
  EXPECT_EQ(list1.top, 0);
  EXPECT_EQ(list1.right, 600);
  EXPECT_LE(list1.bottom, 200);  // whole lines only
  EXPECT_GT(list1.bottom, 180);

  // Text1's place is the tab area's; the text view and the tree fill its page below the tabs.
  const RECT tabs = RectInParent(window_->Tabs().Hwnd());
  EXPECT_EQ(tabs.left, 0);
  EXPECT_EQ(tabs.top, 200);
  EXPECT_EQ(tabs.right, 300);
  EXPECT_EQ(tabs.bottom, 400);
  const RECT text1 = RectInParent(window_->Text1().Hwnd());
  const RECT values = RectInParent(window_->Values().Hwnd());
  EXPECT_TRUE(EqualRect(&values, &text1));
  EXPECT_GE(text1.left, tabs.left);
  EXPECT_GT(text1.top, tabs.top + 10) << "below the tabs' row";
  EXPECT_LE(text1.right, tabs.right);
  EXPECT_LE(text1.bottom, tabs.bottom);
  EXPECT_GT(text1.right - text1.left, 280);
  EXPECT_GT(text1.bottom - text1.top, 150);

  const RECT list2 = RectInParent(window_->List2().Hwnd());
  EXPECT_EQ(list2.left, 300);
  EXPECT_EQ(list2.top, 200);
  EXPECT_EQ(list2.right, 600);
  EXPECT_LE(list2.bottom, 300);
  EXPECT_GT(list2.bottom, 270);

  // Below the details, 30 and 90 twips (2 and 6 pixels) apart, from the real heights.
  const RECT check1 = RectInParent(window_->Check1().Hwnd());
  EXPECT_EQ(check1.left, 300);
  EXPECT_EQ(check1.top, list2.bottom + 2);
  EXPECT_EQ(check1.right, 600);
  const RECT label1 = RectInParent(window_->Label1().Hwnd());
  EXPECT_EQ(label1.left, 300);
  EXPECT_EQ(label1.top, list2.bottom + 6 + (check1.bottom - check1.top));
  EXPECT_EQ(label1.right, 600);

  // Buttons of the design size, 555 twips = 37 pixels, on the bottom edge.
  const RECT german = RectInParent(window_->Command1(0).Hwnd());
  const RECT english = RectInParent(window_->Command1(1).Hwnd());
  const RECT exit = RectInParent(window_->Command2().Hwnd());
  EXPECT_EQ(german.left, 337);
  EXPECT_EQ(german.top, 363);
  EXPECT_EQ(english.left, 374);
  EXPECT_EQ(english.top, 363);
  EXPECT_EQ(exit.left, 563);
  EXPECT_EQ(exit.bottom, 400);
  EXPECT_EQ(exit.right, 600);
}

TEST_F(Win32Window, DetailsAndTextAreWhiteOnBlackAndTheLabelIsBlue) {
  const HDC dc = CreateCompatibleDC(nullptr);
  for (HWND control : {window_->Text1().Hwnd(), window_->List2().Hwnd()}) {
    const UINT message = control == window_->Text1().Hwnd() ? WM_CTLCOLOREDIT : WM_CTLCOLORLISTBOX;
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(window_->Hwnd(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    LOGBRUSH fill{};
    ASSERT_NE(GetObjectW(brush, sizeof fill, &fill), 0);
    EXPECT_EQ(fill.lbColor, RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(0, 0, 0));
  }
  SendMessageW(window_->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(window_->Label1().Hwnd()));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
  // The cookie list keeps the system colours.
  SetTextColor(dc, RGB(1, 2, 3));
  SendMessageW(window_->Hwnd(), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(list1_));
  EXPECT_NE(GetTextColor(dc), RGB(255, 255, 255));
  DeleteDC(dc);
}

TEST_F(Win32Window, TextViewIsMonospacedTwelvePointAndCheckBoxNinePointSansSerif) {
  // Measured on the font the system really picked: where Courier New or Arial is missing (as
  // under a bare Wine) the nearest monospaced or sans-serif face must stand in.
  const int dpi = win32::WindowDpi(window_->Hwnd());
  auto metrics = [](HWND control) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return metrics;
  };
  const TEXTMETRICW text1 = metrics(window_->Text1().Hwnd());
  EXPECT_EQ(text1.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "the flag set means variable pitch";
  EXPECT_NEAR(text1.tmHeight - text1.tmInternalLeading, MulDiv(12, dpi, 72), 1);  // faces round differently
  EXPECT_EQ(text1.tmWeight, FW_NORMAL);
  const TEXTMETRICW check1 = metrics(window_->Check1().Hwnd());
  EXPECT_NE(check1.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
  EXPECT_NEAR(check1.tmHeight - check1.tmInternalLeading, MulDiv(9, dpi, 72), 1);
}

TEST_F(Win32Window, TextViewTakesTextsFarBeyondTheEditDefaultLimit) {
  // Pasting honours the edit control's limit, 32767 characters unless raised. Short lines keep
  // the word wrap quick.
  std::wstring paste;
  while (paste.size() < 40000) paste += L"0123456789abcdef\r\n";
  window_->Text1().SetText("");
  SendMessageW(window_->Text1().Hwnd(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(paste.c_str()));
  EXPECT_EQ(GetWindowTextLengthW(window_->Text1().Hwnd()), static_cast<int>(paste.size()));

  window_->Text1().SetText("Grüße\t日本");
  EXPECT_EQ(WindowText(window_->Text1().Hwnd()), L"Grüße\t日本");
}

TEST_F(Win32Window, NamesOutsideTheCodePageAreShownAndRead) {
  root_.WriteFile(store_ + "例え.example\\Ελλάδα.sol", "ok");
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);  // rescans
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);  // back to the store
  const int index = IndexOf(Cookie("例え.example\\Ελλάδα.sol"));
  ASSERT_GE(index, 0);
  Click(list1_, index);
  EXPECT_EQ(WindowText(window_->Text1().Hwnd()), L"ok");
  EXPECT_EQ(window_->List2().List(1), "From\t例え.example");
}

TEST_F(Win32Window, LongPathsCanBeScrolledIntoView) {
  RECT inner{};
  GetClientRect(list1_, &inner);
  window_->List1().AddItem(std::string(400, 'W'));
  EXPECT_GT(SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0), inner.right);
  window_->List1().Clear();
  EXPECT_EQ(SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0), 0);
}

TEST_F(Win32Window, SidewaysScrollReachesTheEndOfTheWidestPathNotJustTheLongest) {
  // Among many long paths of narrow letters one shorter path of wide letters is the widest.
  std::vector<std::string> paths;
  for (int i = 0; i < 100; ++i) paths.push_back(std::string(150 + i % 7, 'i'));
  const std::string wide = std::string(90, 'W') + "\xc3\x9c";  // and a letter outside ASCII
  paths.insert(paths.begin() + 57, wide);
  window_->List1().Clear();
  window_->List1().AddItems(paths);

  const HDC dc = GetDC(list1_);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list1_, WM_GETFONT, 0, 0)));
  SIZE size{};
  const std::wstring text = win32::Wide(wide);
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(list1_, dc);
  const LRESULT extent = SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0);
  EXPECT_GE(extent, size.cx);
  EXPECT_LE(extent, size.cx + 8);  // no far scrolling past it
  EXPECT_EQ(window_->List1().List(57), wide);

  // Rows that fit are not told (it costs a redraw under Wine), until the list gets narrower.
  window_->List1().Clear();
  EXPECT_EQ(SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0), 0);
  window_->List1().AddItems({std::string(10, 'W')});
  EXPECT_EQ(SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0), 0);
  RECT frame{};
  GetWindowRect(list1_, &frame);
  MapWindowPoints(nullptr, GetParent(list1_), reinterpret_cast<POINT*>(&frame), 2);
  MoveWindow(list1_, frame.left, frame.top, 40, frame.bottom - frame.top, TRUE);
  EXPECT_GT(SendMessageW(list1_, LB_GETHORIZONTALEXTENT, 0, 0), 40);
}

TEST_F(Win32Window, CookieRowsKeepTheirExactBytesAndTheLookOfAPlainList) {
  // Not valid UTF-8 (a lone surrogate half), so any trip through UTF-16 would change it.
  const std::string odd = "C:\\x\\\xed\xa0\x80.sol";
  window_->List1().AddItem(odd);
  EXPECT_EQ(window_->List1().List(3), odd);
  EXPECT_EQ(window_->List1().ListCount(), 3 + 1);
  EXPECT_EQ(window_->List1().List(4), "");
  // Rows as high as those of the details list, a plain list box with the same font.
  EXPECT_EQ(SendMessageW(list1_, LB_GETITEMHEIGHT, 0, 0),
            SendMessageW(window_->List2().Hwnd(), LB_GETITEMHEIGHT, 0, 0));
}

TEST_F(Win32Window, TypingALetterMovesToTheNextCookieStartingWithIt) {
  window_->List1().Clear();
  window_->List1().AddItems({"alpha", "Bravo", "charlie", "beta"});
  Click(list1_, 0);
  SendMessageW(list1_, WM_CHAR, 'b', 0);
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), 1);  // whatever the case
  SendMessageW(list1_, WM_CHAR, 'B', 0);
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), 3);
  SendMessageW(list1_, WM_CHAR, 'b', 0);
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), 1);  // round again
  SendMessageW(list1_, WM_CHAR, 'z', 0);
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), 1);  // no such row: stays

  // The move is a selection change: the cookie of the new current row is shown.
  window_->Form().ShowFlashCookies();
  Click(list1_, 0);
  const std::string next = window_->List1().List(1);
  SendMessageW(list1_, WM_CHAR, static_cast<WPARAM>(next[0]), 0);  // every path starts with the drive
  EXPECT_EQ(SendMessageW(list1_, LB_GETCARETINDEX, 0, 0), 1);
  ASSERT_EQ(window_->List2().ListCount(), 3);
  EXPECT_EQ(window_->List2().List(0), "File\t" + next.substr(next.rfind('\\') + 1));
}

// A freeze guard, not a benchmark: the window must answer within a generous time whatever the
// cookie, and the text view must hold all of the text.
TEST_F(Win32Window, BigCookiesShowWholeAndTheWindowKeepsAnswering) {
  struct Big {
    std::string name;
    std::string bytes;
  };
  std::string words;
  while (words.size() < 1000000) words += "lorem ipsum dolor sit amet ";
  words.resize(1000000);
  const std::vector<Big> cookies = {
      {"zeros.example\\nul.sol", std::string(std::size_t{16} << 20, '\0')},
      {"words.example\\text.sol", words},
  };
  for (const Big& big : cookies) root_.WriteFile(store_ + big.name, big.bytes);
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);  // rescans
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);  // back to the store
  const HWND text1 = window_->Text1().Hwnd();
  for (const Big& big : cookies) {
    const int index = IndexOf(Cookie(big.name));
    ASSERT_GE(index, 0) << big.name;
    const ULONGLONG start = GetTickCount64();
    Click(list1_, index);
    UpdateWindow(text1);
    {
      HeldKey control(VK_CONTROL);
      SendMessageW(list1_, WM_KEYDOWN, 'A', 0);
    }
    Pump();
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_LT(elapsed, 2000u) << big.name;
    EXPECT_EQ(Title(), TitleText() + L" [5/5]") << big.name;
    // Every byte is one character: a NUL shows as a mark, and the words hold no delimiter.
    EXPECT_EQ(SendMessageW(text1, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(big.bytes.size())) << big.name;
  }
  std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(text1)) + 1, L'\0');
  shown.resize(static_cast<std::size_t>(GetWindowTextW(text1, shown.data(), static_cast<int>(shown.size()))));
  EXPECT_EQ(shown, win32::Wide(words));

  // A rescan leaves nothing selected and the views empty.
  SendMessageW(window_->Check1().Hwnd(), BM_CLICK, 0, 0);
  EXPECT_TRUE(SelectedRows().empty());
  EXPECT_EQ(GetWindowTextLengthW(text1), 0);
}

TEST_F(Win32Window, LabelShowsThePointingHandAndBusyWorkTheHourglass) {
  const HWND label = window_->Label1().Hwnd();
  const LPARAM hover = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_EQ(SendMessageW(window_->Hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label), hover), TRUE);
  ICONINFO hand{};
  ASSERT_TRUE(GetIconInfo(GetCursor(), &hand));
  EXPECT_FALSE(hand.fIcon);
  EXPECT_EQ(hand.xHotspot, 13u);  // the fingertip
  EXPECT_EQ(hand.yHotspot, 5u);
  if (hand.hbmMask != nullptr) DeleteObject(hand.hbmMask);
  if (hand.hbmColor != nullptr) DeleteObject(hand.hbmColor);

  window_->SetBusy(true);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  SendMessageW(window_->Hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label), hover);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));  // the label does not interrupt it
  window_->SetBusy(false);
  EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
}

TEST_F(Win32Window, VersionRecordReadsZeroFiveTwo) {
  const platform::Version version = platform::Native().ProgramVersion();
  EXPECT_EQ(version.major, 0);
  EXPECT_EQ(version.minor, 5);
  EXPECT_EQ(version.revision, 2);

  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  DWORD ignored = 0;
  std::vector<unsigned char> record(GetFileVersionInfoSizeW(module, &ignored));
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(GetFileVersionInfoW(module, 0, static_cast<DWORD>(record.size()), record.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&text),
                             &length));
  EXPECT_EQ(std::wstring(text), L"0.05.0002");
}

}  // namespace
}  // namespace vesk
