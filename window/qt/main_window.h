#pragma once

// The Qt window: creates the controls with their design properties, hands them to Form1 and
// forwards every toolkit event to one Form1 handler. It decides nothing itself.

#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/form1.h"
#include "window/qt/cookie_view.h"
#include "window/qt/values_view.h"
#include "window/qt/widgets.h"

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTabWidget;

namespace vesk::qt {

// How the window runs its modal parts. Tests replace them to look at a menu or a box and answer
// it without a nested event loop.
struct ModalRunners {
  // Shows the menu at the pointer and returns once it has closed (and its item's handler ran).
  std::function<void(QMenu& menu)> menu;
  // Runs the box and returns the button pressed.
  std::function<QMessageBox::StandardButton(QMessageBox& box)> box;
};

class MainWindow final : public QWidget,
                         public window::Window,
                         public window::TaskQueue,
                         public window::Accessibility {
 public:
  MainWindow(platform::System& system, window::Shell& shell, ModalRunners runners = {});
  ~MainWindow() override;

  // The load event; runs before the window is first shown.
  void Load();

  window::Form1& Form() { return *form_; }
  EventList& List1Widget() { return *list1_; }
  CookieView& Text1Widget() { return *text1_; }
  QtTextBox& Text1Control() { return text1Control_; }
  EventList& List2Widget() { return *list2_; }
  QCheckBox& Check1Widget() { return *check1_; }
  QPushButton& Command1Widget(int index) { return index == 0 ? *german_ : *english_; }
  QPushButton& Command2Widget() { return *exit_; }
  ClickLabel& Label1Widget() { return *label1_; }
  QMenu& PopupWidget(window::PopupMenu menu);
  // The control the layout moves as Text1: the tabs, whose first page is the text view.
  QTabWidget& TabsWidget() { return *tabs_; }
  ValuesTree& ValuesWidget() { return *values_; }

  void SetTitle(const std::string& text) override;
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void Popup(window::PopupMenu menu) override;
  int MsgBox(const std::string& text, int flags, const std::string& title) override;
  void SetBusy(bool busy) override;
  void Unload() override;

  // Runs `task` on the window's thread once the events before it are handled; dropped when the
  // window is gone first. Safe to call from any thread.
  void Post(std::function<void()> task) override;
  void SetNames(const window::AccessibleNames& names) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Ctrl+Tab and its kin switch tabs wherever the focus is in the window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetDesign();
  void Wire();

  ModalRunners runners_;
  EventList* list1_;
  QTabWidget* tabs_;
  CookieView* text1_;
  ValuesTree* values_;
  EventList* list2_;
  QCheckBox* check1_;
  QPushButton* german_;
  QPushButton* english_;
  QPushButton* exit_;
  ClickLabel* label1_;
  QMenu* list1Menu_;
  QMenu* list2Menu_;
  QAction* killCookie_;
  QAction* visitHomepage_;
  QMenu* valuesMenu_;
  QAction* copyValue_;
  QAction* copyAllJson_;

  QtListBox list1Control_;
  QtTextBox text1Control_;
  QtListBox list2Control_;
  QtCheckBox check1Control_;
  Placed<window::Control> germanControl_;
  Placed<window::Control> englishControl_;
  Placed<window::Control> exitControl_;
  QtLabel label1Control_;
  QtMenuItem killCookieItem_;
  QtMenuItem visitHomepageItem_;
  QtTabBar tabsControl_;
  QtValuesView valuesControl_;
  QtMenuItem copyValueItem_;
  QtMenuItem copyAllJsonItem_;
  QtClipboard clipboard_;
  std::unique_ptr<window::Form1> form_;
};

// Sets up a box for Windows message-box flags (buttons, icon, default button) and turns the
// button pressed into the Windows answer code.
void ConfigureMessageBox(QMessageBox& box, int flags);
int AnswerCode(QMessageBox::StandardButton button);

}  // namespace vesk::qt
