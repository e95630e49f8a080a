#pragma once

// The main window's whole behaviour, free of any toolkit: its fields, its event handlers and
// its procedures. A front end creates the controls, hands them over, and calls one handler per
// toolkit event with the codes of controls.h.

#include <string>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/language.h"

namespace vesk::window {

class Form1 {
 public:
  Form1(const Controls& controls, platform::System& system, Shell& shell);

  // Event handlers.
  void Form_Load();
  void Form_Resize();
  void List1_Click();
  void List1_KeyDown(int keyCode, int shift);
  void List1_MouseDown(int button, int shift, float x, float y);
  void List1_MouseUp(int button, int shift, float x, float y);
  void List2_MouseDown(int button, int shift, float x, float y);
  void KillCookie_Click();
  void VisitHomepage_Click();
  void Check1_Click();
  void Command1_Click(int index);
  void Command2_Click();
  void Label1_Click();

  // Procedures.
  void ShowFlashCookies();
  static std::string ProperPath(const std::string& path);
  void Cookiecount();
  void OpenFlashCookie(const std::string& cookie);

  const Controls& Ctl() const { return c_; }
  platform::System& Platform() const { return system_; }

  std::string ScanRoot;     // ends with the separator once the window has loaded
  std::string VisitTarget;  // the site of the cookie shown last, else its holding folder
  language::Texts LangText;

 private:
  Controls c_;
  platform::System& system_;
  Shell& shell_;
};

}  // namespace vesk::window
