#pragma once

// The Win32 window: creates the controls with their design properties, hands them to Form1 and
// forwards every window message that has a handler to it. It decides nothing itself.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/form1.h"
#include "window/win32/controls.h"
#include "window/win32/tab_area.h"
#include "window/win32/values_view.h"

namespace vesk::win32 {

// How the window runs its modal parts. Tests replace them to look at a menu or a box and answer
// it without a nested message loop.
struct ModalRunners {
  // Shows the box and returns the button pressed.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags)> box;
  // Shows the menu at `at` (screen pixels) and returns the command chosen, 0 for none.
  std::function<UINT(HWND owner, HMENU menu, POINT at)> menu;
};

// The shell's open action through ShellExecuteW.
class ShellOpen final : public window::Shell {
 public:
  void Open(const std::string& address) override;
};

// Control identifiers; none is IDOK or IDCANCEL, which dialog keys send.
enum ControlId : int {
  kList1Id = 100,
  kText1Id,
  kList2Id,
  kCheck1Id,
  kCommand1GermanId,
  kCommand1EnglishId,
  kCommand2Id,
  kLabel1Id,
  kKillCookieId,
  kVisitHomepageId,
  kTabsId,
  kValuesId,
  kCopyValueId,
  kCopyAllJsonId,
};

class MainWindow final : public window::Window, public window::Accessibility {
 public:
  MainWindow(platform::System& system, window::Shell& shell, ModalRunners runners = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, runs the load event, sizes and centres the window and
  // shows it with `showCommand`. False when the window cannot be created.
  bool Create(HINSTANCE instance, int showCommand);

  // Whether closing the window ends the message loop (the program); tests keep their loop.
  void SetQuitOnClose(bool quit) { quitOnClose_ = quit; }

  // Runs the message loop until the window ends; returns the exit code.
  static int Run(HWND window);
  // What the loop does with a message before it is dispatched: the keys the whole window
  // answers, and a dialog's keys. True when the message was used up.
  bool PreTranslate(MSG& message);

  HWND Hwnd() const { return hwnd_; }
  window::Form1& Form() { return *form_; }
  ListBoxControl& List1() { return list1_; }
  TextBoxControl& Text1() { return text1_; }
  ListBoxControl& List2() { return list2_; }
  CheckBoxControl& Check1() { return check1_; }
  PictureButtonControl& Command1(int index) { return index == 0 ? german_ : english_; }
  PictureButtonControl& Command2() { return exit_; }
  LabelControl& Label1() { return label1_; }
  MenuItemControl& KillCookie() { return killCookie_; }
  MenuItemControl& VisitHomepage() { return visitHomepage_; }
  TabAreaControl& Tabs() { return tabs_; }
  ValuesListControl& Values() { return values_; }
  MenuItemControl& CopyValue() { return copyValue_; }
  MenuItemControl& CopyAllJson() { return copyAllJson_; }
  HMENU PopupHandle(window::PopupMenu menu) const;

  void SetTitle(const std::string& text) override;
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void Popup(window::PopupMenu menu) override;
  int MsgBox(const std::string& text, int flags, const std::string& title) override;
  void SetBusy(bool busy) override;
  void Unload() override;

  // window::Accessibility
  void SetNames(const window::AccessibleNames& names) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void ApplyDpi();  // fonts and pictures for the window's current DPI
  void OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  void PlaceInitially();

  platform::System& system_;
  window::Shell& shell_;
  ModalRunners runners_;
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  std::wstring title_;  // the caption last set
  HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
  bool quitOnClose_ = true;
  bool busy_ = false;
  HCURSOR handCursor_ = nullptr;

  ListBoxControl list1_;
  TextBoxControl text1_;
  ListBoxControl list2_;
  CheckBoxControl check1_;
  PictureButtonControl german_;
  PictureButtonControl english_;
  PictureButtonControl exit_;
  LabelControl label1_;
  HMENU list1Menu_ = nullptr;
  HMENU list2Menu_ = nullptr;
  MenuItemControl killCookie_;
  MenuItemControl visitHomepage_;
  // Beyond the original controls: the Values tab and what it needs.
  ValuesListControl values_;
  TabAreaControl tabs_;
  HMENU valuesMenu_ = nullptr;
  MenuItemControl copyValue_;
  MenuItemControl copyAllJson_;
  ClipboardControl clipboard_;
  WindowTasks tasks_;  // outlives form_, whose reader posts to it

  HFONT dialogFont_ = nullptr;
  HFONT text1Font_ = nullptr;
  HFONT check1Font_ = nullptr;
  HBITMAP pictures_[3] = {};
  HBRUSH black_ = nullptr;

  std::unique_ptr<window::Form1> form_;
};

}  // namespace vesk::win32
