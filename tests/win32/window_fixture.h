#pragma once

// The real Win32 window, created in this process over cookies in a temporary APPDATA, with the
// helpers its tests share: message boxes and menus answered by the test, keys held down, the
// messages waiting run.

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/win32/temp_folder.h"
#include "window/win32/main_window.h"
#include "window/win32/text.h"

namespace vesk::test {

using win32::MainWindow;

class RecordingShell final : public window::Shell {
 public:
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

struct Box {
  std::wstring text;
  std::wstring title;
  UINT flags;
};

inline std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline RECT RectInParent(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

inline void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Holds a key down in this thread's keyboard state, which GetKeyState reads.
class HeldKey {
 public:
  explicit HeldKey(int key) : key_(key) { Set(0x80); }
  ~HeldKey() { Set(0); }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;

 private:
  void Set(BYTE state) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[key_] = state;
    SetKeyboardState(keys);
  }
  int key_;
};

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = "appdata\\macromedia\\flash player\\#sharedobjects\\";
    root_.WriteFile(store_ + "site.example\\a.sol", "alpha,one\r\ntwo");
    root_.WriteFile(store_ + "site.example\\b.sol", "bravo");
    root_.WriteFile(store_ + "other.example\\c.sol", "charlie");
    ASSERT_TRUE(SetEnvironmentVariableW(L"APPDATA", ToWide(root_ / "appdata").c_str()));

    win32::ModalRunners runners;
    runners.box = [this](HWND owner, const std::wstring& text, const std::wstring& title, UINT flags) {
      EXPECT_EQ(owner, window_->Hwnd());
      boxes_.push_back({text, title, flags});
      return boxAnswer_;
    };
    runners.menu = [this](HWND, HMENU menu, POINT) {
      menus_.push_back(menu);
      return menuChoice_;
    };
    window_ = std::make_unique<MainWindow>(platform::Native(), shell_, std::move(runners));
    window_->SetQuitOnClose(false);
    ASSERT_TRUE(window_->Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    Pump();
    list1_ = window_->List1().Hwnd();
  }

  void TearDown() override {
    window_.reset();
    Pump();
  }

  // Runs the waiting messages as the program's loop does: keys the whole window answers first.
  void PumpWindow() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window_->PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // Runs messages until `done` or `timeoutMs` passed; false then.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
      if (GetTickCount64() > end) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      PumpWindow();
    }
    return true;
  }

  std::string Cookie(const std::string& relative) const { return root_ / (store_ + relative); }
  std::wstring Title() const { return WindowText(window_->Hwnd()); }
  std::wstring TitleText() const { return win32::Wide(window_->Form().LangText[50]); }

  int IndexOf(const std::string& cookie) const {
    for (int i = 0; i < window_->List1().ListCount(); ++i) {
      if (window_->List1().List(i) == cookie) return i;
    }
    return -1;
  }

  LPARAM PointOf(HWND list, int index) const {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  }

  void Click(HWND list, int index, WPARAM keys = 0) {
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, PointOf(list, index));
    SendMessageW(list, WM_LBUTTONUP, keys, PointOf(list, index));
  }

  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < window_->List1().ListCount(); ++i) {
      if (SendMessageW(list1_, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) rows.push_back(i);
    }
    return rows;
  }

  TempFolder root_;
  std::string store_;
  RecordingShell shell_;
  std::vector<Box> boxes_;
  std::vector<HMENU> menus_;
  int boxAnswer_ = IDNO;
  UINT menuChoice_ = 0;
  std::unique_ptr<MainWindow> window_;
  HWND list1_ = nullptr;
};

}  // namespace vesk::test
