#pragma once

// The main window's whole behaviour, free of any toolkit: its fields, its event handlers and
// its procedures. A front end creates the controls, hands them over, and calls one handler per
// toolkit event with the codes of controls.h.

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/language.h"
#include "window/values.h"
#include "window/values_loader.h"

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

  // ---- Beside the original window: the Values tab (form1_values.cpp) ----

  // A front end that has the Values tab's controls attaches them before Form_Load; without them
  // the window is the original one alone.
  void AttachValues(const ValuesControls& controls);
  const ValuesControls* Values() const { return v_ ? &*v_ : nullptr; }

  void Tabs_Click(int index);
  // A key pressed anywhere in the window, before the control with the focus sees it; true when
  // it was used: Ctrl+Tab and Ctrl+PageDown show the next tab, Ctrl+Shift+Tab and Ctrl+PageUp
  // the previous one.
  bool Form_KeyPreview(int keyCode, int shift);
  // Enter follows a reference to the row it points at; Ctrl+C copies the selected rows,
  // Ctrl+Shift+C all values as JSON.
  void Values_KeyDown(int keyCode, int shift);
  void Values_DblClick();
  void Values_MouseDown(int button, int shift, float x, float y);
  void CopyValue_Click();
  void CopyAllJson_Click();

  int Tab = 0;                  // the tab shown: 0 Text, 1 Values; lasts for the run
  language::MoreTexts More;     // the texts beside LangText, in the current language
  const ValuesModel* ShownValues() const { return model_.get(); }

 private:
  // The cookie shown changed (a click), or none is shown (a rescan): the Values tab follows.
  void ShowValues(const std::string* cookie);
  void LoadValues();
  // Text1: emptied, and the file's text put in it (now, or when the Text tab is shown).
  void ClearText();
  void ShowText(const std::string& cookie);

  Controls c_;
  platform::System& system_;
  Shell& shell_;
  std::optional<ValuesControls> v_;
  std::unique_ptr<ValuesLoader> loader_;
  std::unique_ptr<ValuesModel> model_;
  std::optional<std::string> valuesPath_;  // the cookie shown, while its values are not loaded
  bool awaiting_ = false;                   // the view was told a file is being read for it
  std::optional<std::string> textPath_;     // the cookie shown, while its text waits for the Text tab
};

}  // namespace vesk::window
