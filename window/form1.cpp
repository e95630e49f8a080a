#include "window/form1.h"

#include "base/utf8.h"
#include "cookies/deletion.h"
#include "cookies/details.h"
#include "discovery/cookie_list.h"
#include "discovery/site.h"
#include "discovery/store.h"
#include "window/layout.h"
#include "window/www.h"

namespace vesk::window {
namespace {

class BusyCursor {
 public:
  explicit BusyCursor(Window& window) : window_(window) { window_.SetBusy(true); }
  ~BusyCursor() { window_.SetBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Window& window_;
};

}  // namespace

Form1::Form1(const Controls& controls, platform::System& system, Shell& shell)
    : c_(controls), system_(system), shell_(shell) {}

void Form1::Form_Load() {
  ClearText();
  c_.List1.Clear();
  ScanRoot = discovery::StandardRoot(system_);
  ShowFlashCookies();
  Command1_Click(language::StartsInGerman(system_.ExecutableName()) ? 0 : 1);
  c_.form.SetTitle(LangText[50]);
}

void Form1::Form_Resize() { LayOut(c_); }

void Form1::ShowFlashCookies() {
  BusyCursor busy(c_.form);
  // Scan first: the old list stays on screen until the new one is complete.
  const std::vector<std::string> cookies = discovery::ScanCookiePaths(ScanRoot, system_);
  c_.List1.Clear();
  c_.List2.Clear();
  ClearText();
  ShowValues(nullptr);
  c_.List1.AddItems(cookies);
}

std::string Form1::ProperPath(const std::string& path) { return platform::ProperPath(path); }

void Form1::Cookiecount() {
  c_.form.SetTitle(LangText[50] + " [" + std::to_string(c_.List1.ListCount()) + "/" +
                   std::to_string(c_.List1.SelCount()) + "]");
}

void Form1::Check1_Click() {
  ScanRoot = c_.Check1.Value() == 1 ? discovery::DeeperRoot(system_) : discovery::StandardRoot(system_);
  ShowFlashCookies();
  Cookiecount();
}

void Form1::List1_Click() {
  ClearText();
  c_.List2.Clear();
  const int index = c_.List1.ListIndex();
  if (index < 0) {  // no current item: nothing to show
    ShowValues(nullptr);
    return;
  }
  OpenFlashCookie(c_.List1.List(index));
}

void Form1::OpenFlashCookie(const std::string& cookie) {
  // The Values tab's file is read and decoded on another thread, meanwhile the text is read here.
  ShowValues(&cookie);
  // Each step stands alone: one that fails leaves its row or text out and the next one runs.
  // Behind the Values tab the text waits for its own tab: read now it would take the processor
  // the values need, for a view nobody sees (a big cookie's text is twice its size).
  if (Tab == 1 && v_) textPath_ = cookie;
  else ShowText(cookie);

  // The rows go to the list together: each addition costs the list a measure and a repaint.
  std::vector<std::string> rows;
  const auto parts = platform::SplitPath(cookie);
  if (parts.size() >= 2) {
    const std::size_t last = parts.size() - 1;
    rows.push_back(LangText[20] + std::string(parts[last]));
    rows.push_back(LangText[21] + std::string(parts[last - 1]));
    // The site, where the cookie lies in a store's layout: most cookies lie below a movie folder
    // ("game.swf"), whose bare name the shell could take for a local file.
    VisitTarget = discovery::ClassifyPath(cookie).site.value_or(std::string(parts[last - 1]));
  }
  const int index = c_.List1.ListIndex();
  if (index >= 0) {
    if (const auto length = system_.FileLength(c_.List1.List(index))) {
      rows.push_back(LangText[22] + std::to_string(*length));
    }
  }
  c_.List2.AddItems(rows);
  c_.VisitHomepage.SetCaption(LangText[30] + VisitTarget);
}

void Form1::ClearText() {
  c_.Text1.SetText("");
  textPath_.reset();
}

void Form1::ShowText(const std::string& cookie) {
  if (auto text = cookies::ReadCookieTextUtf16(system_, cookie)) c_.Text1.SetText(std::move(*text));
}

void Form1::KillCookie_Click() {
  if (c_.List1.SelCount() < 1) {
    c_.form.MsgBox(LangText[0], kMbOk, LangText[1]);
    return;
  }
  const int answer = c_.form.MsgBox(LangText[10], kMbYesNo | kMbIconQuestion | kMbDefButton2, LangText[11]);
  if (answer == kIdYes) {
    // Collect first: the list must not change while its items are visited.
    std::vector<std::string> chosen;
    for (int i = 0, n = c_.List1.ListCount(); i < n; ++i) {
      if (c_.List1.Selected(i)) chosen.push_back(c_.List1.List(i));
    }
    // Below the root they were listed from, so that a folder swapped for a link since the scan
    // cannot lead the deletion elsewhere.
    cookies::DeleteCookieFiles(ScanRoot, chosen, system_);
    ShowFlashCookies();
  }
  Cookiecount();
}

void Form1::List1_KeyDown(int keyCode, int shift) {
  if (keyCode == kKeyDelete) KillCookie_Click();
  if (keyCode == kKeyA && shift == kCtrlMask) {
    c_.List1.SetVisible(false);
    c_.List1.SelectAll();
    c_.List1.SetVisible(true);
  }
  Cookiecount();
}

void Form1::List1_MouseDown(int button, int /*shift*/, float /*x*/, float /*y*/) {
  if (button == kRightButton) c_.form.Popup(PopupMenu::List1);
  Cookiecount();
}

void Form1::List1_MouseUp(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) { Cookiecount(); }

void Form1::List2_MouseDown(int button, int /*shift*/, float /*x*/, float /*y*/) {
  if (button == kRightButton) c_.form.Popup(PopupMenu::List2);
  Cookiecount();
}

void Form1::VisitHomepage_Click() {
  if (base::CharacterCount(VisitTarget) > 4) OpenWWW(shell_, SiteAddress(VisitTarget));
}

void Form1::Label1_Click() {
  if (base::CharacterCount(LangText[40]) > 4) OpenWWW(shell_, LangText[40]);
}

void Form1::Command1_Click(int index) {
  if (index == 0) language::SetGerman(*this);
  if (index == 1) language::SetEnglish(*this);
}

void Form1::Command2_Click() { c_.form.Unload(); }

}  // namespace vesk::window
