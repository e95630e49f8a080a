// The text view against the system's edit control it stands in for: the same lines at the same
// places, the same text read back and copied, and the editing keys.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/win32/window_fixture.h"
#include "window/win32/line_wrap.h"
#include "window/win32/text_view.h"

namespace vesk {
namespace {

using test::HeldKey;

std::wstring Text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<int> LineStarts(HWND hwnd) {
  std::vector<int> starts;
  const int count = static_cast<int>(SendMessageW(hwnd, EM_GETLINECOUNT, 0, 0));
  for (int i = 0; i < count; ++i) starts.push_back(static_cast<int>(SendMessageW(hwnd, EM_LINEINDEX, i, 0)));
  return starts;
}

std::pair<DWORD, DWORD> Selection(HWND hwnd) {
  DWORD from = 0;
  DWORD to = 0;
  SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  return {from, to};
}

class TextViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(win32::RegisterTextView(instance));
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                              nullptr, instance, nullptr);
    LOGFONTW font{};
    font.lfHeight = -16;  // 12 points at 96 dpi, as the window's text view
    font.lfWeight = FW_NORMAL;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(font.lfFaceName, L"Courier New", LF_FACESIZE);
    font_ = CreateFontIndirectW(&font);
    edit_ = Make(L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN);
    view_ = Make(win32::kTextViewClass, 0);
  }

  void TearDown() override {
    DestroyWindow(parent_);
    DeleteObject(font_);
  }

  HWND Make(const wchar_t* className, DWORD style) {
    const HWND hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, className, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                                      0, 0, 240, 170, parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SendMessageW(hwnd, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    return hwnd;
  }

  void SetBoth(const std::wstring& text) {
    SetWindowTextW(edit_, text.c_str());
    SetWindowTextW(view_, text.c_str());
  }

  HWND parent_ = nullptr;
  HFONT font_ = nullptr;
  HWND edit_ = nullptr;
  HWND view_ = nullptr;
};

std::wstring Repeat(const std::wstring& piece, std::size_t length) {
  std::wstring text;
  while (text.size() < length) text += piece;
  text.resize(length);
  return text;
}

TEST(WrapLines, BreaksAfterBlanksAndHyphensAndCutsWordsLongerThanALine) {
  struct Case {
    std::wstring text;
    int columns;
    std::vector<std::uint32_t> starts;
  };
  const std::wstring dots(10, L'\u00B7');  // the marks of a cookie's control bytes
  const std::vector<Case> cases = {
      {L"", 5, {0}},
      {L"abc", 5, {0}},
      {L"abcdefghij", 4, {0, 4, 8}},
      {dots, 4, {0, 4, 8}},
      {L"ab cd ef", 5, {0, 3}},            // the blank stays at the end of its line
      {L"ab cd ef", 6, {0, 6}},
      {L"ab  cd", 3, {0, 3}},              // a run of blanks longer than the room is cut
      {L"one\r\ntwo", 10, {0, 5}},
      {L"a\r\n", 4, {0, 3}},               // an empty last line after a line end
      {L"well-known fact", 8, {0, 5, 11}},
      {L"a-", 1, {0, 1}},
      {L"a\U0001F600\U0001F600", 2, {0, 1, 3}},  // a surrogate pair is never split
      {L"x", 0, {0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(win32::WrapLines(c.text, c.columns, c.columns), c.starts) << c.columns << " columns";
    // Wrapped a piece at a time, the lines are the same.
    std::vector<std::uint32_t> pieces{0};
    for (std::size_t line = 2; !win32::ExtendLines(c.text, c.columns, c.columns, pieces, 0, line); ++line) {
    }
    EXPECT_EQ(pieces, c.starts) << c.columns << " columns, in pieces";
  }
}

TEST_F(TextViewTest, FillsTheEditControlsFormattingRectangle) {
  HDC dc = GetDC(view_);
  const HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(view_, dc);
  const std::wstring run(300, L'h');
  for (const int width : {120, 175, 240, 333}) {
    SetWindowPos(edit_, nullptr, 0, 0, width, 170, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(view_, nullptr, 0, 0, width, 170, SWP_NOZORDER | SWP_NOMOVE);
    SetBoth(run);
    RECT format{};
    SendMessageW(edit_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const auto columns = static_cast<std::uint32_t>((format.right - format.left) / metrics.tmAveCharWidth);
    std::vector<int> expected;
    for (std::uint32_t start = 0; start < run.size(); start += columns) expected.push_back(static_cast<int>(start));
    EXPECT_EQ(LineStarts(view_), expected) << "width " << width;
  }
}

TEST_F(TextViewTest, CharactersSitWhereTheEditControlPutsThem) {
  SetBoth(L"first line\r\nsecond");
  for (const int position : {0, 1, 5, 12, 15}) {
    EXPECT_EQ(SendMessageW(view_, EM_POSFROMCHAR, static_cast<WPARAM>(position), 0),
              SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(position), 0))
        << "position " << position;
  }
}

TEST_F(TextViewTest, HoldsAndCopiesExactlyTheText) {
  const std::wstring big = Repeat(L"\u00B7ab cd\u00B7\u00B7", 16 << 20);
  platform::Utf16String moved(big.begin(), big.end());
  win32::SetTextViewText(view_, std::move(moved));
  EXPECT_TRUE(moved.empty());  // taken over
  EXPECT_EQ(GetWindowTextLengthW(view_), static_cast<int>(big.size()));
  EXPECT_EQ(Text(view_), big);

  // Ctrl+End reaches the end of the text however it wraps; Ctrl+A then Ctrl+C copies it all.
  SetFocus(view_);
  {
    HeldKey control(VK_CONTROL);
    SendMessageW(view_, WM_KEYDOWN, VK_END, 0);
  }
  EXPECT_EQ(Selection(view_), std::make_pair(static_cast<DWORD>(big.size()), static_cast<DWORD>(big.size())));
  SetWindowTextW(view_, L"copy me\r\nwhole");
  SendMessageW(view_, WM_CHAR, 0x01, 0);  // Ctrl+A
  SendMessageW(view_, WM_CHAR, 0x03, 0);  // Ctrl+C
  ASSERT_TRUE(OpenClipboard(view_));
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(data))), L"copy me\r\nwhole");
  GlobalUnlock(data);
  CloseClipboard();
}

TEST_F(TextViewTest, EditsLikeAnEditBox) {
  struct Step {
    const wchar_t* start;
    int from, to;  // the selection before the keys
    std::vector<std::pair<UINT, WPARAM>> keys;
    const wchar_t* text;
    DWORD caret;
  };
  const std::vector<Step> steps = {
      {L"abc", 3, 3, {{WM_CHAR, L'd'}}, L"abcd", 4},
      {L"abc", 1, 1, {{WM_CHAR, L'\b'}}, L"bc", 0},
      {L"abc", 1, 1, {{WM_KEYDOWN, VK_DELETE}}, L"ac", 1},
      {L"abc", 0, 2, {{WM_CHAR, L'X'}}, L"Xc", 1},
      {L"ab", 1, 1, {{WM_CHAR, L'\r'}}, L"a\r\nb", 3},
      {L"a\r\nb", 4, 4, {{WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, VK_LEFT}, {WM_CHAR, L'\b'}}, L"\r\nb", 0},
      {L"one two", 7, 7, {{WM_KEYDOWN, VK_HOME}, {WM_CHAR, L'>'}}, L">one two", 1},
  };
  SetFocus(view_);
  for (const Step& step : steps) {
    SetWindowTextW(view_, step.start);
    SendMessageW(view_, EM_SETSEL, static_cast<WPARAM>(step.from), step.to);
    for (const auto& [message, key] : step.keys) SendMessageW(view_, message, key, 0);
    EXPECT_EQ(Text(view_), step.text) << "from " << step.start;
    EXPECT_EQ(Selection(view_).second, step.caret) << "from " << step.start;
  }
}

}  // namespace
}  // namespace vesk
